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
    System reduced = system;
    reduced.constraints.clear();
    std::size_t next = 0;
    for (std::size_t k = 0; k < system.constraints.size(); ++k) {
        if (next < dropped.size() && dropped[next] == k) {
            ++next;
            continue;
        }
        reduced.constraints.push_back(system.constraints[k]);
    }
    if (!solve(reduced, kMaxIterations, tol, interrupted).converged) return std::nullopt;
    reduced.constraints = system.constraints;
    return reduced;
}

}  // namespace ovralis
