// Newton homotopy from the start.
//
// Levenberg–Marquardt descends the cost from the drawing and can end where
// the cost has a local minimum that is no solution, or on a solution reached
// by collapsing a line or a radius, or on a mirror image of the drawing. The
// homotopy instead deforms the residual continuously from what the drawing
// has to zero, so the solution it reaches is the one the drawing deforms
// into, with its corners turning the same way. The path is the follow's
// (path_tracker.hpp) with no parameter moving: H(x, s) = r(x) - (1 - s) r(x0).

#include "solver/start_homotopy.hpp"

#include <utility>

#include "solver/path_tracker.hpp"

namespace ovralis {

HomotopyEnd track_from_start(Problem& problem, const Eigen::VectorXd& x0,
                             const CollapseWatch& watch, const TurnWatch& turns,
                             std::uint64_t most_jacobians, double tol) {
    Homotopy homotopy(problem, x0);
    PathSettings settings;
    settings.max_iterations = most_jacobians;
    // A start that already turns something over (the drawing as drawn can
    // differ from any point of the variables) is judged by what turns over
    // along the path.
    problem.move_to(x0);
    const std::size_t flipped_at_start = turns.flips();
    settings.off_path = [&watch, &turns, flipped_at_start] {
        return watch.collapsed() || turns.flips() > flipped_at_start;
    };
    const PathEnd path = track_path(homotopy, x0, settings);
    HomotopyEnd end{path.x, path.reached, path.iterations, false};
    end.converged = path.complete && tol > problem.evaluate(end.x).max_abs;
    return end;
}

}  // namespace ovralis
