// The unknowns of a solve and the moves between the entities and the variable
// vector.
//
// Every parameter (point x and y, circle and arc radius, ellipse and arc of
// ellipse radmin) has a number in candidate order: point 0's x and y, point
// 1's x and y, ..., then circle radii, arc radii, ellipse radmins, arc of
// ellipse radmins. The eliminated constraints tie parameters into equality
// groups, resolved with a union-find over those numbers, so that overlapping
// constraints and chains listed in any order end in one group each. A group
// with a fixed member is held at that member's value; any other group has one
// variable, its leader. After a scatter, propagation writes every group's
// value into its other free members, so every eliminated equality holds
// exactly; fixed values are never written.

#include "system/variable_layout.hpp"

#include <numeric>
#include <string>
#include <utility>

#include "expression/bound_fields.hpp"
#include "system/errors.hpp"
#include "system/references.hpp"
#include "system/system.hpp"

namespace ovralis {
namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

std::size_t kind_slot(ParamKind kind) { return static_cast<std::size_t>(kind); }

bool is_radius(ParamKind kind) {
    return kind != ParamKind::PointX && kind != ParamKind::PointY &&
           kind != ParamKind::DesignVariable;
}

// The entity list that holds parameters of this kind.
EntityKind owner_of(ParamKind kind) {
    switch (kind) {
        case ParamKind::PointX:
        case ParamKind::PointY: return EntityKind::Point;
        case ParamKind::CircleRadius: return EntityKind::Circle;
        case ParamKind::ArcRadius: return EntityKind::Arc;
        case ParamKind::EllipseRadmin: return EntityKind::Ellipse;
        case ParamKind::ArcOfEllipseRadmin: return EntityKind::ArcOfEllipse;
        case ParamKind::DesignVariable: break;
    }
    return EntityKind::Point;
}

// How many parameters of this kind the store holds: one per entity of its
// list, or one per design variable.
std::size_t parameter_count(const System& system, ParamKind kind) {
    if (kind == ParamKind::DesignVariable) return system.design_variables.size();
    return entity_count(system, owner_of(kind));
}

void throw_missing_entity(ParamKind kind, Index entity, std::size_t count) {
    const std::string missing = kind == ParamKind::DesignVariable
                                    ? "Variable position " + std::to_string(entity)
                                    : out_of_range_message(owner_of(kind), entity);
    throw InternalError(missing + " for a list of " + std::to_string(count));
}

// A parameter naming a missing entity means the layout no longer matches the store.
void require_entity(const System& system, Parameter p) {
    const std::size_t count = parameter_count(system, p.kind);
    if (p.entity >= count) throw_missing_entity(p.kind, p.entity, count);
}

// The same check for every parameter of the layout at once: each names an
// entity that had a column when the layout was built, so the lists must be at
// least as long as the column tables. Gather, scatter and propagate check this
// once and then move values without a check per parameter.
void require_layout_fits(const System& system) {
    for (std::size_t k = 0; k < kParamKindCount; ++k) {
        const auto kind = static_cast<ParamKind>(k);
        const std::size_t columns = system.layout.columns[k].size();
        const std::size_t count = parameter_count(system, kind);
        if (columns > count) throw_missing_entity(kind, columns - 1, count);
    }
}

// The scalar a parameter names, for reading (const System) or writing. The
// entity must exist.
template <class Store>
auto& scalar_of(Store& system, Parameter p) {
    switch (p.kind) {
        case ParamKind::PointX: return system.points[p.entity].x;
        case ParamKind::PointY: return system.points[p.entity].y;
        case ParamKind::CircleRadius: return system.circles[p.entity].radius;
        case ParamKind::ArcRadius: return system.arcs[p.entity].radius;
        case ParamKind::EllipseRadmin: return system.ellipses[p.entity].radmin;
        case ParamKind::DesignVariable: return system.design_variables[p.entity].value;
        case ParamKind::ArcOfEllipseRadmin: break;
    }
    return system.arcs_of_ellipse[p.entity].radmin;
}

bool is_fixed(const System& system, Parameter p) {
    switch (p.kind) {
        case ParamKind::PointX:
        case ParamKind::PointY: return system.points[p.entity].fixed;
        case ParamKind::CircleRadius: return system.circles[p.entity].fixed;
        case ParamKind::ArcRadius: return system.arcs[p.entity].fixed;
        case ParamKind::EllipseRadmin: return system.ellipses[p.entity].fixed;
        case ParamKind::ArcOfEllipseRadmin: return system.arcs_of_ellipse[p.entity].fixed;
        case ParamKind::DesignVariable: return system.design_variables[p.entity].fixed;
    }
    return false;
}

// Numbers every parameter of the store in candidate order, and back.
class ParameterNumbering {
public:
    explicit ParameterNumbering(const System& system) {
        // x and y share the first block, interleaved point by point.
        std::size_t next = 2 * system.points.size();
        for (std::size_t k = kind_slot(ParamKind::CircleRadius); k < kParamKindCount; ++k) {
            start_[k] = next;
            next += parameter_count(system, static_cast<ParamKind>(k));
        }
        total_ = next;
    }

    std::size_t total() const { return total_; }

    std::size_t number(Parameter p) const {
        switch (p.kind) {
            case ParamKind::PointX: return 2 * p.entity;
            case ParamKind::PointY: return 2 * p.entity + 1;
            case ParamKind::CircleRadius:
            case ParamKind::ArcRadius:
            case ParamKind::EllipseRadmin:
            case ParamKind::ArcOfEllipseRadmin:
            case ParamKind::DesignVariable: break;
        }
        return start_[kind_slot(p.kind)] + p.entity;
    }

    Parameter parameter(std::size_t number) const {
        const std::size_t radii = start_[kind_slot(ParamKind::CircleRadius)];
        if (number < radii) {
            return {number % 2 == 0 ? ParamKind::PointX : ParamKind::PointY, number / 2};
        }
        // The last kind starting at or before the number: an empty kind
        // starts where the next one does, so it is never the answer.
        std::size_t k = kParamKindCount - 1;
        while (start_[k] > number) --k;
        return {static_cast<ParamKind>(k), number - start_[k]};
    }

private:
    std::array<std::size_t, kParamKindCount> start_{};
    std::size_t total_ = 0;
};

// Union-find over parameter numbers. Each group remembers its leader: the
// parameter that keeps a variable when nothing in the group is fixed.
class EqualityGroups {
public:
    explicit EqualityGroups(std::size_t count) : parent_(count), size_(count, 1), leader_(count) {
        std::iota(parent_.begin(), parent_.end(), std::size_t{0});
        std::iota(leader_.begin(), leader_.end(), std::size_t{0});
    }

    std::size_t root(std::size_t n) {
        while (parent_[n] != n) {
            parent_[n] = parent_[parent_[n]];  // path halving
            n = parent_[n];
        }
        return n;
    }

    // `target` takes `source`'s value: the merged group keeps the source
    // group's leader, so a single equality and a forward chain leave the
    // first-named parameter as the variable.
    void tie(std::size_t target, std::size_t source) {
        std::size_t t = root(target);
        std::size_t s = root(source);
        if (t == s) return;
        const std::size_t leader = leader_[s];
        if (size_[t] > size_[s]) std::swap(t, s);
        parent_[t] = s;
        size_[s] += size_[t];
        leader_[s] = leader;
    }

    std::size_t leader(std::size_t root) const { return leader_[root]; }

private:
    std::vector<std::size_t> parent_;
    std::vector<std::size_t> size_;
    std::vector<std::size_t> leader_;
};

Parameter x_of(Index point) { return {ParamKind::PointX, point}; }
Parameter y_of(Index point) { return {ParamKind::PointY, point}; }

// Ties the parameters that each eliminated constraint equates, second-named
// to first-named.
void tie_eliminated_constraints(const System& system, const ParameterNumbering& numbering,
                                EqualityGroups& groups) {
    const auto tie = [&](Parameter target, Parameter source) {
        groups.tie(numbering.number(target), numbering.number(source));
    };
    const auto tie_points = [&](Index target, Index source) {
        tie(x_of(target), x_of(source));
        tie(y_of(target), y_of(source));
    };
    using K = ConstraintKind;
    for (const Constraint& c : system.constraints) {
        const Index first = c.index[0];
        const Index second = c.index[1];
        switch (c.kind) {
            case K::Horizontal: tie(y_of(second), y_of(first)); break;
            case K::Vertical: tie(x_of(second), x_of(first)); break;
            case K::Coincident: tie_points(second, first); break;
            case K::EqualRadius:
                tie({ParamKind::CircleRadius, second}, {ParamKind::CircleRadius, first});
                break;
            case K::Concentric:
                tie_points(system.circles[second].center, system.circles[first].center);
                break;
            case K::EqualMinorAxes:
                tie({ParamKind::EllipseRadmin, second}, {ParamKind::EllipseRadmin, first});
                break;
            // Every other kind is solved for, never substituted.
            case K::Distance:
            case K::PointOnLine:
            case K::Parallel:
            case K::Perpendicular:
            case K::Angle:
            case K::EqualLength:
            case K::FixedPoint:
            case K::PointOnCircle:
            case K::LineCircleTangent:
            case K::CircleCircleTangent:
            case K::CircleCircleTangentInternal:
            case K::AngleBetweenPoints:
            case K::Midpoint:
            case K::Symmetry:
            case K::PointLineDistance:
            case K::LineLineIntersection:
            case K::CircleRadius:
            case K::PointOnLineAt:
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
            case K::PointOnEllipse:
            case K::EllipseTangentLine:
            case K::EqualMajorAxes:
            case K::PointOnArcOfEllipse:
            case K::EllipseRadmin:
            case K::C2CDistance:
            case K::P2CDistance:
            case K::ArcLength:
            case K::EqualLineLength:
            case K::EllipseFocusDistance: break;
        }
    }
}

// Sources are group leaders or fixed holders, never copied into themselves,
// so the order of the copies does not matter.
void copy_into_members(System& system) {
    for (const auto& [member, source] : system.layout.copies) {
        scalar_of(system, member) = scalar_of(std::as_const(system), source);
    }
    apply_bound_fields(system);
}

}  // namespace

void build_variables(System& system) {
    const ParameterNumbering numbering(system);
    const std::size_t total = numbering.total();
    EqualityGroups groups(total);
    tie_eliminated_constraints(system, numbering, groups);

    // Per group root: the fixed member that holds the group (the first fixed
    // member in parameter order; when fixed members disagree the others keep
    // their own values and the equality stays unmet), and the group's column.
    std::vector<std::size_t> holder(total, kNone);
    std::vector<std::int64_t> group_column(total, VariableLayout::kNoColumn);
    std::vector<bool> fixed(total);
    for (std::size_t n = 0; n < total; ++n) {
        fixed[n] = is_fixed(system, numbering.parameter(n));
        const std::size_t r = groups.root(n);
        if (fixed[n] && holder[r] == kNone) holder[r] = n;
    }

    VariableLayout& layout = system.layout;
    layout.variables.clear();
    layout.copies.clear();
    for (std::size_t k = 0; k < kParamKindCount; ++k) {
        layout.columns[k].assign(parameter_count(system, static_cast<ParamKind>(k)),
                                 VariableLayout::kNoColumn);
    }

    // Variables: the leaders of the groups that nothing holds, in parameter order.
    for (std::size_t n = 0; n < total; ++n) {
        const std::size_t r = groups.root(n);
        if (fixed[n] || holder[r] != kNone || groups.leader(r) != n) continue;
        group_column[r] = static_cast<std::int64_t>(layout.variables.size());
        layout.variables.push_back(numbering.parameter(n));
    }

    // Columns through the groups, and the copies into every other free member.
    for (std::size_t n = 0; n < total; ++n) {
        if (fixed[n]) continue;
        const Parameter p = numbering.parameter(n);
        const std::size_t r = groups.root(n);
        layout.columns[kind_slot(p.kind)][p.entity] = group_column[r];
        const std::size_t source = holder[r] != kNone ? holder[r] : groups.leader(r);
        if (source != n) layout.copies.emplace_back(p, numbering.parameter(source));
    }
}

std::optional<Eigen::Index> column_of(const VariableLayout& layout, Parameter parameter) {
    const std::vector<std::int64_t>& table = layout.columns[kind_slot(parameter.kind)];
    if (parameter.entity >= table.size()) {
        throw InternalError("parameter of entity " + std::to_string(parameter.entity) +
                            " lies outside the variable layout");
    }
    const std::int64_t column = table[parameter.entity];
    if (column == VariableLayout::kNoColumn) return std::nullopt;
    return static_cast<Eigen::Index>(column);
}

double parameter_value(const System& system, Parameter p) {
    require_entity(system, p);
    return scalar_of(system, p);
}

void set_parameter_value(System& system, Parameter p, double value) {
    require_entity(system, p);
    scalar_of(system, p) = value;
}

double scatter_value(const System& system, ParamKind kind, double value) {
    // A NaN fails the comparison and is stored as it is.
    const bool clamped = is_radius(kind) && system.clamp_radii && system.min_radius > value;
    return clamped ? system.min_radius : value;
}

Eigen::VectorXd gather(const System& system) {
    require_layout_fits(system);
    const std::vector<Parameter>& variables = system.layout.variables;
    Eigen::VectorXd x(static_cast<Eigen::Index>(variables.size()));
    for (std::size_t i = 0; i < variables.size(); ++i) {
        x[static_cast<Eigen::Index>(i)] = scalar_of(system, variables[i]);
    }
    return x;
}

void scatter(System& system, const Eigen::VectorXd& x) {
    const std::vector<Parameter>& variables = system.layout.variables;
    if (static_cast<std::size_t>(x.size()) < variables.size()) {
        throw InternalError("scatter of " + std::to_string(x.size()) + " values into " +
                            std::to_string(variables.size()) + " variables");
    }
    require_layout_fits(system);
    for (std::size_t i = 0; i < variables.size(); ++i) {
        scalar_of(system, variables[i]) =
            scatter_value(system, variables[i].kind, x[static_cast<Eigen::Index>(i)]);
    }
    copy_into_members(system);
}

void propagate(System& system) {
    require_layout_fits(system);
    copy_into_members(system);
}

}  // namespace ovralis
