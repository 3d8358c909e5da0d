// The residual vector: one entry per constraint equation, constraint by
// constraint in list order, in the full or the reduced form.

#include <algorithm>
#include <cmath>

#include "residual/kind_residuals.hpp"
#include "residual/residual.hpp"

namespace ovralis {
namespace {

bool contributes(const Constraint& c, ResidualForm form) {
    return form == ResidualForm::Full || !is_eliminated(c);
}

}  // namespace

ConstraintEntries constraint_residual(const System& system, const Constraint& c) {
    using K = ConstraintKind;
    switch (c.kind) {
        case K::Distance:
        case K::Horizontal:
        case K::Vertical:
        case K::Coincident:
        case K::PointOnLine:
        case K::Parallel:
        case K::Perpendicular:
        case K::Angle:
        case K::EqualLength:
        case K::FixedPoint:
        case K::AngleBetweenPoints:
        case K::Midpoint:
        case K::Symmetry:
        case K::PointLineDistance:
        case K::LineLineIntersection:
        case K::PointOnLineAt:
        case K::EqualLineLength: return residual_detail::point_line_residual(system, c);
        case K::PointOnCircle:
        case K::LineCircleTangent:
        case K::CircleCircleTangent:
        case K::CircleCircleTangentInternal:
        case K::EqualRadius:
        case K::Concentric:
        case K::CircleRadius:
        case K::PointOnArc:
        case K::LineArcTangent:
        case K::ArcArcTangent:
        case K::ArcArcTangentInternal:
        case K::ArcCircleTangent:
        case K::ArcCircleTangentInternal:
        case K::ArcRadius:
        case K::ArcSweepAngle:
        case K::LineArcStartTangent:
        case K::LineArcEndTangent:
        case K::C2CDistance:
        case K::P2CDistance:
        case K::ArcLength: return residual_detail::circle_arc_residual(system, c);
        case K::PointOnEllipse:
        case K::EllipseTangentLine:
        case K::EqualMajorAxes:
        case K::EqualMinorAxes:
        case K::PointOnArcOfEllipse:
        case K::EllipseRadmin:
        case K::EllipseFocusDistance: return residual_detail::ellipse_residual(system, c);
    }
    return {};
}

bool has_eliminated_constraints(const System& system) {
    return std::any_of(system.constraints.begin(), system.constraints.end(),
                       [](const Constraint& c) { return is_eliminated(c); });
}

ResidualForm solver_residual_form(const System& system) {
    return has_eliminated_constraints(system) ? ResidualForm::Reduced : ResidualForm::Full;
}

Eigen::Index residual_size(const System& system, ResidualForm form) {
    Eigen::Index size = 0;
    for (const Constraint& c : system.constraints) {
        if (contributes(c, form)) size += equation_count(c);
    }
    return size;
}

void evaluate_residuals(const System& system, ResidualForm form, Eigen::VectorXd& out) {
    // resize keeps the storage when the size already matches.
    out.resize(residual_size(system, form));
    Eigen::Index row = 0;
    for (const Constraint& c : system.constraints) {
        if (!contributes(c, form)) continue;
        const ConstraintEntries entries = constraint_residual(system, c);
        for (unsigned e = 0; e < entries.count; ++e) out[row++] = entries.value[e];
    }
}

Eigen::VectorXd residual_vector(const System& system, ResidualForm form) {
    Eigen::VectorXd out;
    evaluate_residuals(system, form, out);
    return out;
}

double max_abs_residual(const Eigen::VectorXd& residual) {
    double largest = 0.0;
    for (const double entry : residual) {
        // A NaN entry fails the comparison and is skipped.
        if (std::fabs(entry) > largest) largest = std::fabs(entry);
    }
    return largest;
}

double sum_of_squares(const Eigen::VectorXd& residual) {
    double sum = -0.0;
    for (const double entry : residual) sum += entry * entry;
    return sum;
}

}  // namespace ovralis
