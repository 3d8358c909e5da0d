// Saving and restoring the values a solve must leave bit for bit as they were.
#include "solver/user_values.hpp"

namespace ovralis {
namespace {

template <class Entity>
std::vector<SavedValue> save_fixed(const std::vector<Entity>& entities, double Entity::*field) {
    std::vector<SavedValue> saved;
    for (std::size_t i = 0; i < entities.size(); ++i) {
        if (entities[i].fixed) saved.emplace_back(i, entities[i].*field);
    }
    return saved;
}

template <class Entity>
void restore_fixed(std::vector<Entity>& entities, double Entity::*field,
                   const std::vector<SavedValue>& saved) {
    for (const auto& [index, value] : saved) entities[index].*field = value;
}

}  // namespace

UserValues save_user_values(const System& system) {
    UserValues saved;
    saved.constraint_values.reserve(system.constraints.size());
    for (const Constraint& c : system.constraints) saved.constraint_values.push_back(c.value);
    for (std::size_t i = 0; i < system.points.size(); ++i) {
        if (system.points[i].fixed) saved.fixed_points.emplace_back(i, system.points[i]);
    }
    saved.fixed_circle_radii = save_fixed(system.circles, &Circle::radius);
    saved.fixed_arc_radii = save_fixed(system.arcs, &Arc::radius);
    saved.fixed_ellipse_radmins = save_fixed(system.ellipses, &Ellipse::radmin);
    saved.fixed_arc_of_ellipse_radmins = save_fixed(system.arcs_of_ellipse, &ArcOfEllipse::radmin);
    return saved;
}

void restore_user_values(System& system, const UserValues& saved) {
    for (std::size_t i = 0; i < system.constraints.size(); ++i) {
        system.constraints[i].value = saved.constraint_values[i];
    }
    for (const auto& [index, point] : saved.fixed_points) system.points[index] = point;
    restore_fixed(system.circles, &Circle::radius, saved.fixed_circle_radii);
    restore_fixed(system.arcs, &Arc::radius, saved.fixed_arc_radii);
    restore_fixed(system.ellipses, &Ellipse::radmin, saved.fixed_ellipse_radmins);
    restore_fixed(system.arcs_of_ellipse, &ArcOfEllipse::radmin,
                  saved.fixed_arc_of_ellipse_radmins);
}

}  // namespace ovralis
