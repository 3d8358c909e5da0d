#pragma once

// The kinds that involve only points and lines. EqualLength and EqualLineLength
// share one entry: the same equation under two tags.

#include "residual/kind_operations.hpp"

namespace ovralis::kinds {

extern const KindOperations distance_kind;
extern const KindOperations horizontal_kind;
extern const KindOperations vertical_kind;
extern const KindOperations coincident_kind;
extern const KindOperations point_on_line_kind;
extern const KindOperations parallel_kind;
extern const KindOperations perpendicular_kind;
extern const KindOperations angle_kind;
extern const KindOperations equal_length_kind;
extern const KindOperations fixed_point_kind;
extern const KindOperations angle_between_points_kind;
extern const KindOperations midpoint_kind;
extern const KindOperations symmetry_kind;
extern const KindOperations point_line_distance_kind;
extern const KindOperations line_line_intersection_kind;
extern const KindOperations point_on_line_at_kind;

}  // namespace ovralis::kinds
