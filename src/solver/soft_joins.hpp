// A recovery that lets the drawing's joined points meet as the solve goes,
// instead of joining them before the first step.
#pragma once

#include <cstdint>
#include <vector>

#include <Eigen/Core>

#include "solver/interruption.hpp"
#include "solver/solve.hpp"
#include "system/system.hpp"

namespace ovralis {

// The entities as drawn: taken after normalisation and before propagation
// moves each coincidence's points onto one of them.
//
// Substituting a coincidence puts its two points on one spot before the first
// step, the first-named copy or their mean; on a rough drawing that spot can
// already lie across a chord or a corner, and the solve then keeps the arc or
// corner turned over. Solved as an equation, the coincidence closes along
// with every other constraint, from where each end was drawn, which keeps
// what the drawing turns the way it turns.
class SoftJoins {
public:
    // Keeps a reference to `system` and to `interrupted`, and, when some
    // coincidence was drawn apart, copies of the entities as they are now.
    SoftJoins(const System& system, const InterruptPoll& interrupted);

    // Whether some coincidence's points were drawn apart: where every one
    // was drawn closed, the copy would start where the substituted problem
    // does, and solving it would spend the budget for nothing new.
    bool any() const { return any_; }

    // The Marquardt-scaled method (sparse_levenberg_marquardt), at most
    // max_iter iterations, on a copy of the system, prepared since, with its
    // entities back as drawn and its coincidences as equations (from this
    // start it keeps more rough drawings' senses than the plain method);
    // counts its iterations into `iterations`.
    // When it converges, returns the variable vector of the system's own
    // layout at its answer, which the caller refines and judges; else an
    // empty one. Only when any().
    Eigen::VectorXd solve(std::uint64_t max_iter, double tol, std::uint64_t& iterations) const;

private:
    const System& system_;
    const InterruptPoll& interrupted_;
    bool any_ = false;
    std::vector<Point> points_;
    std::vector<Circle> circles_;
    std::vector<Arc> arcs_;
    std::vector<Ellipse> ellipses_;
    std::vector<ArcOfEllipse> arcs_of_ellipse_;
};

}  // namespace ovralis
