// Solving a copy of the sketch without some of its constraints.

#include "validation/consistent_point.hpp"

#include <cstdint>
#include <utility>

#include "solver/solve.hpp"
#include "validation/analysis_items.hpp"
#include "validation/conflict_judge.hpp"

namespace ovralis {
namespace {

// What System.solve allows by default.
constexpr std::uint64_t kMaxIterations = 200;

}  // namespace

bool every_constraint_holds(const System& system, double tol) {
    ConflictJudge judge(system, tol);
    for (std::size_t item = 0; item < item_count(system); ++item) {
        if (!item_holds(judge, system, item)) return false;
    }
    return true;
}

std::optional<System> solved_without(const System& system, const std::vector<std::size_t>& dropped,
                                     double tol, const InterruptPoll& interrupted) {
    PrefixSolve solved = solve_prefix(system, item_count(system), tol, interrupted, dropped);
    if (!solved.converged) return std::nullopt;
    return std::move(solved.end);
}

PrefixSolve solve_prefix(const System& system, std::size_t count, double tol,
                         const InterruptPoll& interrupted,
                         const std::vector<std::size_t>& skipped) {
    PrefixSolve out{false, with_items(system, count, skipped)};
    out.converged = solve(out.end, kMaxIterations, tol, interrupted).converged;
    restore_items(out.end, system);
    return out;
}

}  // namespace ovralis
