// Gauss–Newton refinement after convergence.
//
// The methods stop as soon as the largest residual entry is below tol, which
// leaves a well-posed sketch some 1e-9 away from its solution. Near a regular
// solution Gauss–Newton converges quadratically, so one or two more steps
// reach rounding level; a step that fails to lower the cost by a real factor
// says the point is as good as the arithmetic allows (or the sketch is not
// regular there), and refinement stops.

#include "solver/polish.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>

#include <Eigen/SparseCore>

#include "jacobian/normal_structure.hpp"

namespace ovralis {
namespace {

using SparseMatrix = Eigen::SparseMatrix<double>;

// At most this many steps are kept, whatever the budget.
constexpr std::uint64_t kMostSteps = 6;
// A kept step lowers the cost at least this much. A step from an older
// linearisation must do much better, as Newton's quadratic convergence
// would; a slower one says the Jacobian has moved and is worth re-taking.
constexpr double kRequiredGain = 0.25;
constexpr double kRequiredReuseGain = 1e-2;
// The Marquardt damping, relative to each diagonal element of J^T J: small
// enough that a step is Gauss–Newton to about ten digits, large enough that a
// rank-deficient J^T J still factorises.
constexpr double kRelativeDamping = 1e-14;
// A step below this many ulps of its variable moves nothing.
constexpr double kRoundingUlps = 4.0;

// The damped Gauss–Newton normal equations at the latest linearisation
// point, factorised once there:
// (J^T J + damping diag(J^T J)) delta = -(J^T r) for any residual r.
// J^T J is assembled and factorised in the problem's normal structure.
class Linearisation {
public:
    explicit Linearisation(NormalStructure& structure) : structure_(structure) {}

    void relinearise(SparseMatrix jacobian) {
        jacobian.makeCompressed();
        structure_.prepare_for(jacobian);
        SparseMatrix& normal = structure_.normal().assemble(jacobian);
        for (Eigen::Index i = 0; i < normal.cols(); ++i) {
            // A column no constraint reads has a zero gradient entry: its unit
            // damping keeps the matrix regular and gives that variable no step.
            double& diagonal = normal.coeffRef(i, i);
            diagonal += kRelativeDamping * (diagonal > 0.0 ? diagonal : 1.0);
        }
        // Any pivot that is not NaN will do: the gain test judges the step.
        factorised_ = structure_.factorize(0.0, -std::numeric_limits<double>::infinity());
        jacobian_ = std::move(jacobian);
    }

    // nullopt when the factorisation failed or the step is not finite.
    std::optional<Eigen::VectorXd> step(const Eigen::VectorXd& residual) const {
        if (!factorised_) return std::nullopt;
        const Eigen::VectorXd gradient = -(jacobian_.transpose() * residual);
        Eigen::VectorXd step = structure_.solve(gradient);
        if (!step.allFinite()) return std::nullopt;
        return step;
    }

private:
    NormalStructure& structure_;
    SparseMatrix jacobian_;
    bool factorised_ = false;
};

bool moves_nothing(const Eigen::VectorXd& x, const Eigen::VectorXd& step, double length_scale) {
    constexpr double kEpsilon = std::numeric_limits<double>::epsilon();
    for (Eigen::Index i = 0; i < x.size(); ++i) {
        const double unit = std::max(std::abs(x[i]), length_scale);
        if (std::abs(step[i]) > kRoundingUlps * kEpsilon * unit) return false;
    }
    return true;
}

}  // namespace

std::uint64_t polish(Problem& problem, double length_scale, std::uint64_t max_steps) {
    Eigen::VectorXd x = problem.start();
    Evaluation current = problem.evaluate(x);
    Linearisation linearisation(problem.normal_structure());
    bool current_linearisation = false;  // taken at some point of this refinement
    bool fresh = false;
    std::uint64_t kept = 0;
    while (kept < std::min(max_steps, kMostSteps) && current.cost > 0.0) {
        problem.stop_if_interrupted(x);
        // A step from an older linearisation is cheap (a residual and two
        // triangular solves); only when it fails is the Jacobian re-taken, and
        // only a failed step from a fresh one ends the refinement.
        if (!current_linearisation) {
            linearisation.relinearise(problem.analytic_jacobian(x));
            current_linearisation = true;
            fresh = true;
        }
        const auto step = linearisation.step(current.residual);
        if (!step || moves_nothing(x, *step, length_scale)) break;
        Evaluation there = problem.evaluate(x + *step);
        const double gain = fresh ? kRequiredGain : kRequiredReuseGain;
        if (!(there.cost < gain * current.cost)) {
            if (fresh) break;
            current_linearisation = false;
            continue;
        }
        x += *step;
        current = std::move(there);
        fresh = false;
        ++kept;
    }
    problem.move_to(x);
    return kept;
}

}  // namespace ovralis
