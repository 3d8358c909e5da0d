// Coincidences solved as equations, from the drawing as drawn.
//
// The copy keeps every other equality substituted (a horizontal's heights, an
// equal radius, a concentricity): those do not decide which side of a chord
// a point starts on. Each coincidence becomes the midpoint constraint of one
// point between the other and itself, M - (P + P) / 2 = M - P exactly, the
// coincidence's own equation without its substitution.

#include "solver/soft_joins.hpp"

#include <algorithm>

#include "solver/drawn_start.hpp"
#include "solver/problem.hpp"
#include "system/variable_layout.hpp"

namespace ovralis {
namespace {

bool is_coincidence(const Constraint& c) { return c.kind == ConstraintKind::Coincident; }

bool drawn_apart(const System& system, const Constraint& coincidence) {
    const Point& p = system.points[coincidence.index[0]];
    const Point& q = system.points[coincidence.index[1]];
    return p.x != q.x || p.y != q.y;
}

Constraint as_equation(const Constraint& coincidence) {
    Constraint equation;
    equation.kind = ConstraintKind::Midpoint;
    equation.index = {coincidence.index[0], coincidence.index[1], coincidence.index[1]};
    return equation;
}

}  // namespace

SoftJoins::SoftJoins(const System& system, const InterruptPoll& interrupted)
    : system_(system),
      interrupted_(interrupted),
      any_(std::any_of(system.constraints.begin(), system.constraints.end(),
                       [&](const Constraint& c) {
                           return is_coincidence(c) && drawn_apart(system, c);
                       })) {
    // A sketch drawn closed is never solved here: nothing to keep.
    if (!any_) return;
    points_ = system.points;
    circles_ = system.circles;
    arcs_ = system.arcs;
    ellipses_ = system.ellipses;
    arcs_of_ellipse_ = system.arcs_of_ellipse;
}

Eigen::VectorXd SoftJoins::solve(std::uint64_t max_iter, double tol,
                                 std::uint64_t& iterations) const {
    System soft = system_;
    soft.points = points_;
    soft.circles = circles_;
    soft.arcs = arcs_;
    soft.ellipses = ellipses_;
    soft.arcs_of_ellipse = arcs_of_ellipse_;
    for (Constraint& c : soft.constraints) {
        if (is_coincidence(c)) c = as_equation(c);
    }
    build_variables(soft);
    Problem problem(soft, interrupted_);
    problem.move_to(drawn_start(soft));
    const SolveReport report = sparse_levenberg_marquardt(problem, max_iter, tol);
    iterations += report.iterations;
    if (!report.converged) return {};
    // Each variable of the substituted layout from its own parameter: a
    // coincidence's two points agree within tol at a converged answer.
    const std::vector<Parameter>& variables = system_.layout.variables;
    Eigen::VectorXd x(static_cast<Eigen::Index>(variables.size()));
    for (std::size_t c = 0; c < variables.size(); ++c) {
        x[static_cast<Eigen::Index>(c)] = parameter_value(soft, variables[c]);
    }
    return x;
}

}  // namespace ovralis
