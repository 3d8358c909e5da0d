#pragma once

// Ways to make a sketch that does not solve solvable: remove one constraint,
// or give one dimension a value that holds. Each is checked by solving a copy.

#include <cstddef>
#include <optional>
#include <vector>

#include "system/system.hpp"

namespace ovralis {

struct Repair {
    bool removes = false;          // remove the constraint; otherwise change its dimension
    Index constraint = 0;          // its position in the constraint list
    std::optional<double> value;   // the dimension's new value, for a change
    double movement = 0.0;         // how far the drawing moves when the repair is applied
};

// Repairs of a sketch whose solve (max_iter, tol) does not converge, the least
// movement first (ties by constraint position), at most `limit`; none for a
// sketch that solves. The candidates are the conflicting constraints and their
// groups (analyze_constraints), or every constraint when it names none. A
// candidate with a dimension
// (has_dimension) is changed to the value it measures once the rest is solved
// without it; any other is removed. A repair is kept only when the sketch with
// it applied solves from the entities' current values; its movement is the
// root of the summed squares of the distances the points move, and of the
// radii's changes, in that solve. The
// store is not changed.
std::vector<Repair> find_repairs(const System& system, std::size_t limit, std::uint64_t max_iter,
                                 double tol);

}  // namespace ovralis
