#pragma once

// The kinds that involve circles and arcs.

#include "residual/kind_operations.hpp"

namespace ovralis::kinds {

extern const KindOperations point_on_circle_kind;
extern const KindOperations line_circle_tangent_kind;
extern const KindOperations circle_circle_tangent_kind;
extern const KindOperations circle_circle_tangent_internal_kind;
extern const KindOperations equal_radius_kind;
extern const KindOperations concentric_kind;
extern const KindOperations circle_radius_kind;
extern const KindOperations point_on_arc_kind;
extern const KindOperations line_arc_tangent_kind;
extern const KindOperations arc_arc_tangent_kind;
extern const KindOperations arc_arc_tangent_internal_kind;
extern const KindOperations arc_circle_tangent_kind;
extern const KindOperations arc_circle_tangent_internal_kind;
extern const KindOperations arc_radius_kind;
extern const KindOperations arc_sweep_angle_kind;
extern const KindOperations line_arc_start_tangent_kind;
extern const KindOperations line_arc_end_tangent_kind;
extern const KindOperations c2c_distance_kind;
extern const KindOperations p2c_distance_kind;
extern const KindOperations arc_length_kind;

}  // namespace ovralis::kinds
