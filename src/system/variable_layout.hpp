// The variable layout of a solve: which entity parameters are unknowns, their
// vector positions, and the moves between the entities and the variable vector.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include <Eigen/Core>

#include "system/entities.hpp"

namespace ovralis {

struct System;

// Which scalar of which entity a variable is.
enum class ParamKind : std::uint8_t {
    PointX,
    PointY,
    CircleRadius,
    ArcRadius,
    EllipseRadmin,
    ArcOfEllipseRadmin,
    // A free design variable; `entity` is its position in the variable list.
    DesignVariable,
};

inline constexpr std::size_t kParamKindCount = 7;

struct Parameter {
    ParamKind kind;
    Index entity;

    friend bool operator==(const Parameter&, const Parameter&) = default;
};

// The unknowns of a solve. Every parameter that an eliminated constraint
// (Horizontal, Vertical, Coincident, EqualRadius, Concentric, EqualMinorAxes)
// ties to others belongs to an equality group; a group has one variable, or
// none when it holds a fixed value.
struct VariableLayout {
    // Vector position -> the parameter whose value it is.
    std::vector<Parameter> variables;
    // Per parameter kind, per entity: the column (vector position) that the
    // parameter's value comes from, or kNoColumn when it is held.
    std::array<std::vector<std::int64_t>, kParamKindCount> columns;
    // Parameters whose value is copied from another by propagation, in the
    // order the copies are made: (member, source).
    std::vector<std::pair<Parameter, Parameter>> copies;

    static constexpr std::int64_t kNoColumn = -1;
};

// Rebuilds system.layout from the entities' fixed flags and the eliminated
// constraints. References must have been validated.
void build_variables(System& system);

// The column that drives a parameter, through its equality group.
std::optional<Eigen::Index> column_of(const VariableLayout& layout, Parameter parameter);

double parameter_value(const System& system, Parameter parameter);
void set_parameter_value(System& system, Parameter parameter, double value);

// The value a scatter stores for a parameter of this kind: radii below
// min_radius are raised to it when clamp_radii is set; a NaN is kept as it is.
double scatter_value(const System& system, ParamKind kind, double value);

// Reads the variables' current values from the entities.
Eigen::VectorXd gather(const System& system);

// Writes x into the entities (clamping radii when clamp_radii is set), then
// propagates (which also brings every bound field up to date). x must hold
// at least as many entries as there are variables.
void scatter(System& system, const Eigen::VectorXd& x);

// Makes every eliminated equality hold by copying each group's value to its
// members, then gives every bound constraint field its expression's value
// (the store's references must have been validated).
void propagate(System& system);

}  // namespace ovralis
