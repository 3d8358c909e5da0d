// The central-difference scheme shared by the dense and the compressed producers.
#pragma once

#include <Eigen/Core>

#include "residual/residual.hpp"
#include "system/system.hpp"

namespace ovralis {

// The absolute step of the central differences, in the units of the variables.
inline constexpr double kDifferenceStep = 1e-6;

// The residual form whose differences fill a Jacobian of `rows` rows: the
// reduced form when eliminated constraints exist and it has exactly that many
// entries, the full form otherwise.
ResidualForm central_difference_form(const System& system, Eigen::Index rows);

// One Jacobian element from the residual entries at x + step and x - step.
inline double central_difference(double plus, double minus) {
    return (plus - minus) / (2.0 * kDifferenceStep);
}

}  // namespace ovralis
