#include "lib/verification_dict.hpp"

#include <string>
#include <vector>

namespace ovralis::py {
namespace {

void set_item(PyObject* dict, const char* key, Ref value) {
    check(PyDict_SetItemString(dict, key, value.get()));
}

}  // namespace

Ref verification_dict(const VerificationReport& report) {
    std::vector<std::string> failed;
    for (const VerificationCheck& c : report.checks) {
        if (!c.passed) failed.push_back(c.name + ": " + c.detail);
    }

    Ref dict = Ref::steal(PyDict_New());
    set_item(dict.get(), "verdict", new_str(verdict_text(report.verdict)));
    set_item(dict.get(), "is_correct", new_bool(report.verdict == Verdict::Correct));
    set_item(dict.get(), "max_residual", new_float(report.max_residual));
    set_item(dict.get(), "tolerance", new_float(report.tolerance));
    set_item(dict.get(), "summary", new_str(summary_line(report)));
    set_item(dict.get(), "num_checks", new_int(report.checks.size()));
    set_item(dict.get(), "failed_checks",
             new_list(failed, [](const std::string& text) { return new_str(text); }));
    set_item(
        dict.get(), "geometry_warnings",
        new_list(report.warnings, [](const GeometryWarning& w) { return new_str(w.message); }));
    return dict;
}

}  // namespace ovralis::py
