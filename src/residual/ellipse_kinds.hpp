#pragma once

// The kinds that involve ellipses and arcs of ellipse.

#include "residual/kind_operations.hpp"

namespace ovralis::kinds {

extern const KindOperations point_on_ellipse_kind;
extern const KindOperations ellipse_tangent_line_kind;
extern const KindOperations equal_major_axes_kind;
extern const KindOperations equal_minor_axes_kind;
extern const KindOperations point_on_arc_of_ellipse_kind;
extern const KindOperations ellipse_radmin_kind;
extern const KindOperations ellipse_focus_distance_kind;

}  // namespace ovralis::kinds
