// The saved free values and their restoration.
#include "solver/drawing.hpp"

#include <cmath>
#include <limits>

namespace ovralis {
namespace {

// A round trip through one division and one multiplication moves a value by
// at most a couple of units in the last place.
constexpr double kRoundingUlps = 4.0;

// Applies `visit` to every point coordinate and radius, always in one order.
template <class SystemRef, class Visit>
void for_each_value(SystemRef& system, Visit visit) {
    for (auto& p : system.points) {
        visit(p.x);
        visit(p.y);
    }
    for (auto& c : system.circles) visit(c.radius);
    for (auto& a : system.arcs) visit(a.radius);
    for (auto& e : system.ellipses) visit(e.radmin);
    for (auto& e : system.arcs_of_ellipse) visit(e.radmin);
}

}  // namespace

Drawing::Drawing(const System& system) {
    for_each_value(system, [this](const double& value) { values_.push_back(value); });
}

void Drawing::restore_rounded(System& system) const {
    std::size_t i = 0;
    for_each_value(system, [&](double& value) {
        const double saved = values_[i++];
        const double rounding =
            kRoundingUlps * std::numeric_limits<double>::epsilon() * std::abs(saved);
        if (std::abs(value - saved) <= rounding) value = saved;
    });
}

}  // namespace ovralis
