// The solve step behind System.solve and the solve engine that every method
// runs under.
//
// The engine prepares the system (variables, normalisation by the mean point
// spacing, propagation of the eliminated equalities), runs one method (with a
// recovery when Levenberg–Marquardt gives up), checks the outcome against the
// full residual and puts the caller's units back; a converged solve is then
// refined to full precision and judged by its geometric errors. It
// also guarantees that a solve changes only free values: the constraint
// parameters and the values of fixed entities are saved before normalising
// and written back, bit for bit, after un-normalising.

#include "solver/solve.hpp"

#include "residual/residual.hpp"
#include "solver/collapse_watch.hpp"
#include "solver/convergence_judge.hpp"
#include "solver/drawing.hpp"
#include "solver/drawn_start.hpp"
#include "solver/normalisation.hpp"
#include "solver/polish.hpp"
#include "solver/problem.hpp"
#include "solver/recovery.hpp"
#include "solver/soft_joins.hpp"
#include "solver/turn_watch.hpp"
#include "solver/user_values.hpp"
#include "system/references.hpp"
#include "system/variable_layout.hpp"

namespace ovralis {
namespace {

// Every constraint holds within tol, the eliminated kinds included, and no
// entry is NaN (the largest-entry fold would skip it).
bool satisfies_every_constraint(const System& system, double tol) {
    const Eigen::VectorXd residual = residual_vector(system, ResidualForm::Full);
    return residual.allFinite() && tol > max_abs_residual(residual);
}

// The drawing before propagation moved each joined point to one of its
// copies (which can turn a corner over): the variables with each equality
// group at its members' mean (drawn_start.hpp), the entities for a solve with
// the coincidences as equations (soft_joins.hpp), and the senses its corners
// and arcs turn in, every arc's from its own ends, every corner's at its
// lines' own ends (turn_watch.hpp).
struct AsDrawn {
    Eigen::VectorXd start;
    SoftJoins joins;
    TurnWatch turns;
};

SolveReport run_method(Problem& problem, bool sparse, std::uint64_t max_iter, SolveMethod method,
                       double tol, const AsDrawn& drawn, const Watches& watches) {
    switch (method) {
        case SolveMethod::Automatic: {
            if (sparse) return sparse_levenberg_marquardt(problem, max_iter, tol);
            const Eigen::VectorXd propagated = problem.start();
            const SolveReport report = levenberg_marquardt(problem, max_iter, tol);
            if (!recoverable(report, watches, tol)) return report;
            return recover(problem, report, {propagated, drawn.start, drawn.joins}, watches,
                           max_iter, tol);
        }
        case SolveMethod::DogLeg: return dogleg(problem, max_iter, tol);
        case SolveMethod::Bfgs: return bfgs(problem, max_iter, tol);
    }
    return {};
}

// Runs on the prepared, normalised system and judges the ending in its units.
SolveReport solve_prepared(Problem& problem, System& system, std::uint64_t max_iter,
                           SolveMethod method, double tol, const AsDrawn& drawn) {
    if (problem.variable_count() == 0) {
        // Nothing can move: the start is the answer.
        if (satisfies_every_constraint(system, tol)) return {true, SolveOutcome::Converged, 0};
        return {false, SolveOutcome::NoFreeVariablesNotSatisfied, 0};
    }
    // Normalised, the mean point spacing is the unit.
    const CollapseWatch watch(system, 1.0);
    SolveReport report = run_method(problem, system.sparse_solver, max_iter, method, tol, drawn,
                                    {watch, drawn.turns});
    // A method tests the residual it iterates on, which leaves out the
    // eliminated kinds; an equality group holding two different fixed values
    // is only seen by the full residual. An answer that holds only by
    // collapsing a line or a radius, or by making two circles one, is no
    // answer.
    if (report.converged &&
        (!satisfies_every_constraint(system, tol) || watch.collapsed() || watch.rounds_merged())) {
        report.converged = false;
        report.outcome = SolveOutcome::ConstraintsNotSatisfied;
    }
    return report;
}

// The engine once references are known to be valid.
SolveReport run_engine(System& system, std::uint64_t max_iter, SolveMethod method, double tol,
                       const InterruptPoll& interrupted) {
    build_variables(system);
    Problem problem(system, interrupted);
    const UserValues saved = save_user_values(system);
    const Drawing drawing(system);
    normalise(system, interrupted);
    const auto back_to_caller_units = [&] {
        unnormalise(system);
        restore_user_values(system, saved);
    };
    SolveReport report;
    try {
        const AsDrawn drawn{drawn_start(system), SoftJoins(system, interrupted), TurnWatch(system)};
        propagate(system);
        report = solve_prepared(problem, system, max_iter, method, tol, drawn);
    } catch (const SolveInterrupted&) {
        // The method left its best point in the entities: hand it over whole.
        back_to_caller_units();
        propagate(system);
        throw;
    } catch (...) {
        // Even an internal error or exhausted memory leaves the caller's units.
        back_to_caller_units();
        throw;
    }
    back_to_caller_units();
    // Free members of a group held at a fixed value took that value through
    // the scale and back; copying it again makes the equality exact.
    propagate(system);
    // Refined in the caller's units, so that the answer is exact in the
    // numbers the caller reads, not only before multiplying by the scale.
    if (report.converged && max_iter > 0) {
        const CollapseWatch watch(system, system.scale, CollapseWatch::kRefinementShrink);
        report.iterations += polish(problem, system.scale, max_iter, watch);
    }
    // Nothing was stepped: the values the round trip through the scale
    // rounded are put back, so that a sketch that holds is left as it was.
    if (report.iterations == 0) drawing.restore_rounded(system);
    // The method's test passed on its residual entries; the claim stands only
    // when the geometry holds too.
    if (report.converged && !geometry_holds(system, tol, system.scale)) {
        report.converged = false;
        report.outcome = SolveOutcome::ConstraintsNotSatisfied;
    }
    return report;
}

}  // namespace

SolveReport solve_engine(System& system, std::uint64_t max_iter, SolveMethod method, double tol,
                         const InterruptPoll& interrupted) {
    validate_references(system);
    return run_engine(system, max_iter, method, tol, interrupted);
}

SolveResult solve(System& system, std::uint64_t max_iter, double tol,
                  const InterruptPoll& interrupted) {
    validate_references(system);
    const SolveReport report =
        run_engine(system, max_iter, SolveMethod::Automatic, tol, interrupted);
    const Eigen::VectorXd residual = residual_vector(system, ResidualForm::Full);
    return {report.converged, report.iterations, max_abs_residual(residual),
            sum_of_squares(residual)};
}

}  // namespace ovralis
