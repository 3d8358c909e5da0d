// The saved free values and their restoration.
#include "solver/drawing.hpp"

#include <cmath>
#include <limits>

#include "solver/normalisation.hpp"

namespace ovralis {
namespace {

// A round trip through one division and one multiplication moves a value by
// at most a couple of units in the last place.
constexpr double kRoundingUlps = 4.0;

}  // namespace

Drawing::Drawing(const System& system) {
    for_each_entity_length(system, [this](const double& value) { values_.push_back(value); });
}

void Drawing::restore_rounded(System& system) const {
    std::size_t i = 0;
    for_each_entity_length(system, [&](double& value) {
        const double saved = values_[i++];
        const double rounding =
            kRoundingUlps * std::numeric_limits<double>::epsilon() * std::abs(saved);
        if (std::abs(value - saved) <= rounding) value = saved;
    });
}

}  // namespace ovralis
