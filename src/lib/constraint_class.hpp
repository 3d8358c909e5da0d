#pragma once

// The Constraint class, which holds one constraint record by value, and the
// conversion of call arguments into a record of a given kind, driven by the
// catalogue's field list. The 32 constructor functions and the System's
// add_*_constraint methods are all this one conversion.

#include <array>

#include "lib/arguments.hpp"
#include "system/catalogue.hpp"

namespace ovralis::py {

// One constraint kind that Python can create by name. `method_doc` is the text
// of the System method; kinds without one (arc kinds) reach a store through
// System.add_constraint.
struct ConstraintConstructor {
    ConstraintKind kind;
    const char* function;
    const char* method;
    const char* method_doc;
};

// In registration order of the module functions; the System methods follow
// the same order.
inline constexpr std::array<ConstraintConstructor, 32> kConstraintConstructors{{
    {ConstraintKind::Distance, "distance_constraint", "add_distance_constraint",
     "Add a distance constraint between two points."},
    {ConstraintKind::Horizontal, "horizontal_constraint", "add_horizontal_constraint",
     "Add a horizontal constraint between two points."},
    {ConstraintKind::Vertical, "vertical_constraint", "add_vertical_constraint",
     "Add a vertical constraint between two points."},
    {ConstraintKind::Coincident, "coincident_constraint", "add_coincident_constraint",
     "Add a coincident constraint (two points share position)."},
    {ConstraintKind::PointOnLine, "point_on_line_constraint", "add_point_on_line_constraint",
     "Add a point-on-line constraint."},
    {ConstraintKind::PointLineDistance, "point_line_distance_constraint",
     "add_point_line_distance_constraint", "Add a point-line-distance constraint."},
    {ConstraintKind::Parallel, "parallel_constraint", "add_parallel_constraint",
     "Add a parallel constraint between two lines."},
    {ConstraintKind::Perpendicular, "perpendicular_constraint", "add_perpendicular_constraint",
     "Add a perpendicular constraint between two lines."},
    {ConstraintKind::Angle, "angle_constraint", "add_angle_constraint",
     "Add an angle constraint between two lines (degrees)."},
    {ConstraintKind::EqualLength, "equal_length_constraint", "add_equal_length_constraint",
     "Add an equal-length constraint between two lines."},
    {ConstraintKind::LineLineIntersection, "line_line_intersection_constraint",
     "add_line_line_intersection_constraint", "Add a line-line intersection constraint."},
    {ConstraintKind::FixedPoint, "fixed_point_constraint", "add_fixed_point_constraint",
     "Add a fixed-point constraint."},
    {ConstraintKind::PointOnCircle, "point_on_circle_constraint", "add_point_on_circle_constraint",
     "Add a point-on-circle constraint."},
    {ConstraintKind::LineCircleTangent, "line_circle_tangent_constraint",
     "add_line_circle_tangent_constraint", "Add a line-circle tangent constraint."},
    {ConstraintKind::CircleCircleTangent, "circle_circle_tangent_constraint",
     "add_circle_circle_tangent_constraint", "Add a circle-circle external tangent constraint."},
    {ConstraintKind::CircleCircleTangentInternal, "circle_circle_tangent_internal_constraint",
     "add_circle_circle_tangent_internal_constraint",
     "Add a circle-circle internal tangent constraint."},
    {ConstraintKind::EqualRadius, "equal_radius_constraint", "add_equal_radius_constraint",
     "Add an equal-radius constraint between two circles."},
    {ConstraintKind::Concentric, "concentric_constraint", "add_concentric_constraint",
     "Add a concentric constraint between two circles."},
    {ConstraintKind::CircleRadius, "circle_radius_constraint", "add_circle_radius_constraint",
     "Add a circle-radius constraint."},
    {ConstraintKind::AngleBetweenPoints, "angle_between_points_constraint",
     "add_angle_between_points_constraint", "Add an angle-between-points constraint (degrees)."},
    {ConstraintKind::Midpoint, "midpoint_constraint", "add_midpoint_constraint",
     "Add a midpoint constraint."},
    {ConstraintKind::Symmetry, "symmetry_constraint", "add_symmetry_constraint",
     "Add a symmetry constraint."},
    {ConstraintKind::PointOnArc, "point_on_arc_constraint", nullptr, nullptr},
    {ConstraintKind::LineArcTangent, "line_arc_tangent_constraint", nullptr, nullptr},
    {ConstraintKind::LineArcStartTangent, "line_arc_start_tangent_constraint", nullptr, nullptr},
    {ConstraintKind::LineArcEndTangent, "line_arc_end_tangent_constraint", nullptr, nullptr},
    {ConstraintKind::ArcArcTangent, "arc_arc_tangent_constraint", nullptr, nullptr},
    {ConstraintKind::ArcArcTangentInternal, "arc_arc_tangent_internal_constraint", nullptr,
     nullptr},
    {ConstraintKind::ArcCircleTangent, "arc_circle_tangent_constraint", nullptr, nullptr},
    {ConstraintKind::ArcCircleTangentInternal, "arc_circle_tangent_internal_constraint", nullptr,
     nullptr},
    {ConstraintKind::ArcRadius, "arc_radius_constraint", nullptr, nullptr},
    {ConstraintKind::ArcSweepAngle, "arc_sweep_angle_constraint", nullptr, nullptr},
}};

// The kinds that have a System method come first in the table.
inline constexpr std::size_t kConstraintMethodCount = 22;

// The parameters of a kind's constructor: its field names, all required.
Signature constraint_signature(ConstraintKind kind, std::string_view function);

// "distance_constraint(p1, p2, d)"; `self_parameter` adds "$self, " for methods.
std::string constraint_signature_line(ConstraintKind kind, std::string_view function,
                                      bool self_parameter);

// Converts the bound arguments field by field, in field order.
Constraint constraint_from_arguments(ConstraintKind kind, const Arguments& arguments);

PyTypeObject* create_constraint_type();
Ref wrap_constraint(const Constraint& constraint);
// The record held by a Constraint object; TypeError naming `name` otherwise.
const Constraint& constraint_in(PyObject* object, const ValueName& name);

// A constraint's pickled state, (kind name, field values in field order), and
// back; a malformed state raises TypeError or ValueError.
Ref constraint_state(const Constraint& constraint);
Constraint constraint_from_state(PyObject* state);

// The 32 module-level constructor functions, in registration order.
std::array<PyMethodDef, kConstraintConstructors.size()>& constraint_functions();

}  // namespace ovralis::py
