#pragma once

// The rank check that keeps an added constraint from being redundant.

#include <cstdint>
#include <vector>

#include "system/system.hpp"

namespace ovralis::inference {

// How a candidate's equations stand against the rows before them.
enum class Independence : std::uint8_t {
    Independent,  // every row adds to the rank
    Dependent,    // no row does
    Partly,       // some rows do and some do not
};

// Which of `candidates`, taken in order after the store's own constraints,
// add to the rank of the constraint equations. A row adds when its part
// orthogonal to the rows of the store and of the candidates before it is at
// least kIndependenceMargin (rows of unit length, as the constraint analysis
// scales them), so the store with the independent candidates added is never
// found redundant by that analysis. Indices must be valid.
std::vector<Independence> independent_candidates(const System& system,
                                                 const std::vector<Constraint>& candidates);

// Well above the analysis's default rank tolerance of 1e-8.
inline constexpr double kIndependenceMargin = 1e-6;

}  // namespace ovralis::inference
