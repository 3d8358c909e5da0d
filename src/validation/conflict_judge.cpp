// Bounds on the mean point spacing, and the exact spacing only when needed.

#include "validation/conflict_judge.hpp"

#include <cmath>

#include "expression/bound_fields.hpp"
#include "residual/geometric_error.hpp"
#include "residual/plane_geometry.hpp"
#include "solver/convergence_judge.hpp"
#include "solver/normalisation.hpp"

namespace ovralis {

ConflictJudge::ConflictJudge(const System& system, double tol, const InterruptPoll& interrupted)
    : system_(system), tol_(tol), interrupted_(interrupted) {
    const std::size_t n = system.points.size();
    if (n < 2) return;
    Vec2 centroid = Vec2::Zero();
    for (const Point& p : system.points) centroid += Vec2(p.x, p.y);
    centroid /= static_cast<double>(n);
    double m = 0.0;
    for (const Point& p : system.points) m += (Vec2(p.x, p.y) - centroid).norm();
    m /= static_cast<double>(n);
    // Widened a little for the rounding of both sums.
    const double low = m * static_cast<double>(n) / static_cast<double>(n - 1) * (1.0 - 1e-9);
    const double high = 2.0 * m * (1.0 + 1e-9);
    bracketed_ = low > kMinScale && std::isfinite(high);
    if (bracketed_) {
        low_ = measure(low);
        high_ = measure(high);
    }
}

template <typename Item>
bool ConflictJudge::holds_item(const Item& item) {
    if (bracketed_) {
        const bool at_low = holds_in(item, low_);
        if (at_low == holds_in(item, high_)) return at_low;
    }
    if (!(exact_.scale > 0.0)) exact_ = measure(length_scale(system_, interrupted_));
    return holds_in(item, exact_);
}

bool ConflictJudge::holds(const Constraint& c) { return holds_item(c); }

bool ConflictJudge::holds(const Equation& e) { return holds_item(e); }

ConflictJudge::Measure ConflictJudge::measure(double scale) const {
    return {scale, geometric_tolerance(system_, tol_, scale)};
}

bool ConflictJudge::holds_in(const Constraint& c, const Measure& m) const {
    return std::abs(geometric_error(system_, c, m.scale)) <= m.tolerance;
}

bool ConflictJudge::holds_in(const Equation& e, const Measure& m) const {
    return equation_error(system_, e) <= m.tolerance;
}

}  // namespace ovralis
