// Solving a copy of the sketch without some of its constraints.

#include "validation/consistent_point.hpp"

#include <cstdint>
#include <utility>

#include "solver/solve.hpp"
#include "validation/conflict_judge.hpp"

namespace ovralis {
namespace {

// What System.solve allows by default.
constexpr std::uint64_t kMaxIterations = 200;

// `system` with only the constraints below `count` that are not `dropped`.
System reduced(const System& system, std::size_t count, const std::vector<std::size_t>& dropped) {
    System out = system;
    out.constraints.clear();
    std::size_t next = 0;
    for (std::size_t k = 0; k < count; ++k) {
        while (next < dropped.size() && dropped[next] < k) ++next;
        if (next < dropped.size() && dropped[next] == k) continue;
        out.constraints.push_back(system.constraints[k]);
    }
    return out;
}

}  // namespace

bool every_constraint_holds(const System& system, double tol) {
    ConflictJudge judge(system, tol);
    for (const Constraint& c : system.constraints) {
        if (!judge.holds(c)) return false;
    }
    return true;
}

std::optional<System> solved_without(const System& system, const std::vector<std::size_t>& dropped,
                                     double tol, const InterruptPoll& interrupted) {
    PrefixSolve solved = solve_prefix(system, system.constraints.size(), tol, interrupted, dropped);
    if (!solved.converged) return std::nullopt;
    return std::move(solved.end);
}

PrefixSolve solve_prefix(const System& system, std::size_t count, double tol,
                         const InterruptPoll& interrupted,
                         const std::vector<std::size_t>& skipped) {
    PrefixSolve out{false, reduced(system, count, skipped)};
    out.converged = solve(out.end, kMaxIterations, tol, interrupted).converged;
    out.end.constraints = system.constraints;
    return out;
}

}  // namespace ovralis
