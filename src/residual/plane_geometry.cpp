// The turn between two directions, shared by the arc kinds.

#include "residual/plane_geometry.hpp"

namespace ovralis {

std::optional<Turn> turn_between(const Vec2& u, const Vec2& v) {
    const double nu2 = squared_norm(u);
    const double nv2 = squared_norm(v);
    const double nu = std::sqrt(nu2);
    const double nv = std::sqrt(nv2);
    if (!(nu > kMinLength && nv > kMinLength)) return std::nullopt;
    const double norms = nu * nv;
    Turn turn;
    turn.sine = cross(u, v) / norms;
    turn.cosine = dot(u, v) / norms;
    turn.sine_wrt_u = perp(v) / norms - u * (turn.sine / nu2);
    turn.sine_wrt_v = -perp(u) / norms - v * (turn.sine / nv2);
    turn.cosine_wrt_u = v / norms - u * (turn.cosine / nu2);
    turn.cosine_wrt_v = u / norms - v * (turn.cosine / nv2);
    return turn;
}

}  // namespace ovralis
