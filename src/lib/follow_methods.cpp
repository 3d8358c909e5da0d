// System.follow, System.dimension_range and System.alternatives.

#include "lib/follow_methods.hpp"

#include <string>

#include "lib/arguments.hpp"
#include "lib/call_guard.hpp"
#include "lib/follow_result.hpp"
#include "lib/system_class.hpp"
#include "lib/type_helpers.hpp"
#include "lib/without_gil.hpp"
#include "solver/alternatives.hpp"
#include "solver/dimension_range.hpp"
#include "solver/follow.hpp"
#include "system/store.hpp"

namespace ovralis::py {
namespace {

constexpr double kTolerance = 1e-8;

PyObject* follow(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static constexpr Signature signature{"follow", {"max_iter", "tol"}, 0};
    return with_exclusive_store(self, [&](System& store) {
        const Arguments a(signature, args, nargs, kwnames);
        const std::uint64_t max_iter = a.present(0) ? a.index(0) : 200;
        const double tol = a.real_or(1, kTolerance);
        const FollowResult result = without_gil_interruptible([&](const InterruptPoll& interrupted) {
            return ovralis::follow(store, max_iter, tol, interrupted);
        });
        return wrap_follow_result(result);
    });
}

PyObject* dimension_range(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                          PyObject* kwnames) {
    static constexpr Signature signature{"dimension_range", {"index"}, 1};
    return with_exclusive_store(self, [&](System& store) {
        const Arguments a(signature, args, nargs, kwnames);
        const Index index = a.index(0);
        const Constraint& constraint = ovralis::get_constraint(store, index);
        if (!dimension_slot(constraint.kind)) {
            raise(PyExc_ValueError, "dimension_range: constraint " + std::to_string(index) + " (" +
                                        std::string(kind_info(constraint.kind).name) +
                                        ") has no dimension");
        }
        const DimensionRange range =
            without_gil_interruptible([&](const InterruptPoll& interrupted) {
                return ovralis::dimension_range(store, index, kTolerance, interrupted);
            });
        return new_tuple(new_float(range.low), new_float(range.high));
    });
}

PyObject* alternatives(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                       PyObject* kwnames) {
    static constexpr Signature signature{"alternatives", {"limit"}, 0};
    return with_exclusive_store(self, [&](System& store) {
        const Arguments a(signature, args, nargs, kwnames);
        const std::size_t limit = a.present(0) ? a.index(0) : 8;
        std::vector<System> found =
            without_gil_interruptible([&](const InterruptPoll& interrupted) {
                return ovralis::alternatives(store, limit, kTolerance, interrupted);
            });
        Ref list = Ref::steal(PyList_New(0));
        for (System& alternative : found) {
            const Ref item = wrap_new_system(std::move(alternative));
            check(PyList_Append(list.get(), item.get()));
        }
        return list;
    });
}

const PyMethodDef kFollowMethods[] = {
    {"follow", as_py_cfunction(follow), METH_FASTCALL | METH_KEYWORDS,
     "follow($self, max_iter=200, tol=1e-8)\n--\n\n"
     "Reach the current constraint values along a continuous path.\n\n"
     "Starting from the configuration the sketch holds now, the sketch is\n"
     "deformed step by step until every constraint holds, never jumping to\n"
     "another solution (a mirrored triangle, the other intersection of two\n"
     "circles). Each step moves what the constraints leave free as little as\n"
     "possible. A sketch whose constraints already hold is not moved. When the\n"
     "path meets a configuration where it cannot go on (a turning point, such\n"
     "as a triangle flattening because a side became too long), the sketch is\n"
     "left exactly as it was.\n\n"
     "Args:\n    max_iter: Most steps along the path, kept or not (default 200)\n"
     "    tol: Convergence tolerance, read as solve reads it (default 1e-8)\n\n"
     "Returns: FollowResult."},
    {"dimension_range", as_py_cfunction(dimension_range), METH_FASTCALL | METH_KEYWORDS,
     "dimension_range($self, index)\n--\n\n"
     "The values of constraint index's dimension that follow() reaches from here.\n\n"
     "The limits of the current branch (a triangle's side between the\n"
     "difference and the sum of the other two), -inf or inf where unbounded.\n"
     "The sketch is not changed.\n\n"
     "Raises: ValueError for a bad index or a kind without a dimension.\n\n"
     "Returns: (low, high)."},
    {"alternatives", as_py_cfunction(alternatives), METH_FASTCALL | METH_KEYWORDS,
     "alternatives($self, limit=8)\n--\n\n"
     "Other solutions of the same constraints near this one, nearest first.\n\n"
     "A triangle mirrored over its base, the other intersection of two circles,\n"
     "a linkage's other assembly mode. Each is an independent, solved System;\n"
     "this sketch is not changed.\n\n"
     "Args:\n    limit: The most alternatives returned (default 8)\n\n"
     "Returns: list of System."},
};

}  // namespace

void append_follow_methods(std::vector<PyMethodDef>& methods) {
    methods.insert(methods.end(), std::begin(kFollowMethods), std::end(kFollowMethods));
}

}  // namespace ovralis::py
