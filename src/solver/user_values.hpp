// What the user set and a solve must not change: the constraint parameters
// and the values of fixed entities, saved before the engine normalises and
// written back, bit for bit, after it puts the caller's units back.
#pragma once

#include <array>
#include <cstddef>
#include <utility>
#include <vector>

#include "system/system.hpp"

namespace ovralis {

using SavedValue = std::pair<std::size_t, double>;

struct UserValues {
    std::vector<std::array<double, 2>> constraint_values;
    std::vector<std::pair<std::size_t, Point>> fixed_points;
    std::vector<SavedValue> fixed_circle_radii;
    std::vector<SavedValue> fixed_arc_radii;
    std::vector<SavedValue> fixed_ellipse_radmins;
    std::vector<SavedValue> fixed_arc_of_ellipse_radmins;
};

UserValues save_user_values(const System& system);
void restore_user_values(System& system, const UserValues& saved);

}  // namespace ovralis
