#include "validation/verification.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "residual/residual.hpp"
#include "system/number_text.hpp"
#include "system/references.hpp"
#include "validation/constraint_checks.hpp"

namespace ovralis {
namespace {

// A fixed point counts as moved once it is this far from a FixedPoint target.
constexpr double kMoveLimit = 1e-10;

std::string fix6(double v) { return format_fixed(v, 6); }
std::string point_label(Index index) { return std::string("P").append(std::to_string(index)); }

VerificationCheck residual_check(double max_residual, double tolerance) {
    const bool passed = tolerance > max_residual;
    std::string detail = "max_residual = " + format_scientific(max_residual) +
                         (passed ? " < tol = " : " >= tol = ") + format_scientific(tolerance);
    if (!passed) detail += " — residual too high!";
    return {"residual_check", std::move(detail), passed};
}

VerificationCheck geometry_check(const std::vector<GeometryWarning>& warnings) {
    if (warnings.empty()) return {"geometry_check", "No degenerate geometry detected", true};
    return {"geometry_check", std::to_string(warnings.size()) + " geometry warning(s) detected",
            false};
}

// FixedPoint constraints on points flagged fixed, ordered by point and then by
// list position. A flagged point is never solved for, so any distance from its
// target means something wrote over it.
std::vector<const Constraint*> fixed_targets_of_fixed_points(const System& system) {
    std::vector<const Constraint*> targets;
    for (const Constraint& c : system.constraints) {
        if (c.kind == ConstraintKind::FixedPoint && system.points[c.index[0]].fixed) {
            targets.push_back(&c);
        }
    }
    std::stable_sort(targets.begin(), targets.end(), [](const Constraint* a, const Constraint* b) {
        return a->index[0] < b->index[0];
    });
    return targets;
}

VerificationCheck fixed_point_integrity(const System& system) {
    std::string moved;
    for (const Constraint* target : fixed_targets_of_fixed_points(system)) {
        const Index j = target->index[0];
        const Point& p = system.points[j];
        const double x = target->value[0];
        const double y = target->value[1];
        if (std::abs(p.x - x) > kMoveLimit || std::abs(p.y - y) > kMoveLimit) {
            if (!moved.empty()) moved += "; ";
            moved += point_label(j) + " moved from (" + fix6(x) + ", " + fix6(y) + ") to (" +
                     fix6(p.x) + ", " + fix6(p.y) + ")";
        }
    }
    if (moved.empty()) {
        return {"fixed_point_integrity", "All fixed points remain at their specified positions",
                true};
    }
    return {"fixed_point_integrity", "Fixed points moved: " + moved, false};
}

// The residual outranks degeneracy, which outranks a failed sanity check.
Verdict decide(const VerificationReport& report) {
    if (!(report.tolerance > report.max_residual)) return Verdict::ResidualTooHigh;
    if (!report.warnings.empty()) return Verdict::DegenerateGeometry;
    const bool any_failed = std::any_of(report.checks.begin(), report.checks.end(),
                                        [](const VerificationCheck& c) { return !c.passed; });
    return any_failed ? Verdict::WrongBranch : Verdict::Correct;
}

}  // namespace

const char* verdict_text(Verdict verdict) {
    switch (verdict) {
        case Verdict::Correct: return "Correct";
        case Verdict::ResidualTooHigh: return "ResidualTooHigh";
        case Verdict::DegenerateGeometry: return "DegenerateGeometry";
        case Verdict::WrongBranch: return "WrongBranch";
    }
    return "Correct";
}

VerificationReport verify(const System& system, double tolerance,
                          const InterruptPoll& interrupted) {
    validate_references(system);
    throw_if_interrupted(interrupted);

    VerificationReport report;
    report.tolerance = tolerance;
    report.max_residual = max_abs_residual(residual_vector(system, ResidualForm::Full));
    report.checks.push_back(residual_check(report.max_residual, tolerance));

    report.warnings = check_geometry(system);
    report.checks.push_back(geometry_check(report.warnings));

    for (Index i = 0; i < system.constraints.size(); ++i) {
        if (i % kStepsPerPoll == 0) throw_if_interrupted(interrupted);
        if (auto check = constraint_check(system, system.constraints[i], i)) {
            report.checks.push_back(std::move(*check));
        }
    }
    report.checks.push_back(fixed_point_integrity(system));

    report.verdict = decide(report);
    return report;
}

std::string summary_line(const VerificationReport& report) {
    const auto passed = std::count_if(report.checks.begin(), report.checks.end(),
                                      [](const VerificationCheck& c) { return c.passed; });
    return std::string("[").append(verdict_text(report.verdict)) +
           "] max_residual=" + format_scientific(report.max_residual) +
           " tol=" + format_scientific(report.tolerance) + " checks=" + std::to_string(passed) +
           "/" + std::to_string(report.checks.size()) + " passed";
}

}  // namespace ovralis
