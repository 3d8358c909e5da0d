// The one place that maps each constraint kind to the functions that compute it.

#include "residual/kind_operations.hpp"

#include "residual/circle_arc_kinds.hpp"
#include "residual/ellipse_kinds.hpp"
#include "residual/point_line_kinds.hpp"
#include "system/errors.hpp"

namespace ovralis {

const KindOperations& kind_operations(ConstraintKind kind) {
    using K = ConstraintKind;
    switch (kind) {
        case K::Distance: return kinds::distance_kind;
        case K::Horizontal: return kinds::horizontal_kind;
        case K::Vertical: return kinds::vertical_kind;
        case K::Coincident: return kinds::coincident_kind;
        case K::PointOnLine: return kinds::point_on_line_kind;
        case K::Parallel: return kinds::parallel_kind;
        case K::Perpendicular: return kinds::perpendicular_kind;
        case K::Angle: return kinds::angle_kind;
        case K::EqualLength: return kinds::equal_length_kind;
        case K::FixedPoint: return kinds::fixed_point_kind;
        case K::PointOnCircle: return kinds::point_on_circle_kind;
        case K::LineCircleTangent: return kinds::line_circle_tangent_kind;
        case K::CircleCircleTangent: return kinds::circle_circle_tangent_kind;
        case K::CircleCircleTangentInternal: return kinds::circle_circle_tangent_internal_kind;
        case K::AngleBetweenPoints: return kinds::angle_between_points_kind;
        case K::Midpoint: return kinds::midpoint_kind;
        case K::EqualRadius: return kinds::equal_radius_kind;
        case K::Concentric: return kinds::concentric_kind;
        case K::Symmetry: return kinds::symmetry_kind;
        case K::PointLineDistance: return kinds::point_line_distance_kind;
        case K::LineLineIntersection: return kinds::line_line_intersection_kind;
        case K::CircleRadius: return kinds::circle_radius_kind;
        case K::PointOnLineAt: return kinds::point_on_line_at_kind;
        case K::PointOnArc: return kinds::point_on_arc_kind;
        case K::LineArcTangent: return kinds::line_arc_tangent_kind;
        case K::ArcArcTangent: return kinds::arc_arc_tangent_kind;
        case K::ArcArcTangentInternal: return kinds::arc_arc_tangent_internal_kind;
        case K::ArcCircleTangent: return kinds::arc_circle_tangent_kind;
        case K::ArcCircleTangentInternal: return kinds::arc_circle_tangent_internal_kind;
        case K::ArcRadius: return kinds::arc_radius_kind;
        case K::ArcSweepAngle: return kinds::arc_sweep_angle_kind;
        case K::LineArcStartTangent: return kinds::line_arc_start_tangent_kind;
        case K::LineArcEndTangent: return kinds::line_arc_end_tangent_kind;
        case K::PointOnEllipse: return kinds::point_on_ellipse_kind;
        case K::EllipseTangentLine: return kinds::ellipse_tangent_line_kind;
        case K::EqualMajorAxes: return kinds::equal_major_axes_kind;
        case K::EqualMinorAxes: return kinds::equal_minor_axes_kind;
        case K::PointOnArcOfEllipse: return kinds::point_on_arc_of_ellipse_kind;
        case K::EllipseRadmin: return kinds::ellipse_radmin_kind;
        case K::C2CDistance: return kinds::c2c_distance_kind;
        case K::P2CDistance: return kinds::p2c_distance_kind;
        case K::ArcLength: return kinds::arc_length_kind;
        case K::EqualLineLength: return kinds::equal_length_kind;
        case K::EllipseFocusDistance: return kinds::ellipse_focus_distance_kind;
    }
    throw InternalError("unknown constraint kind");
}

}  // namespace ovralis
