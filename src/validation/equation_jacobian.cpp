// Builds the unreduced, row-scaled Jacobian used by the constraint analysis.

#include "validation/equation_jacobian.hpp"

#include <array>
#include <cmath>

#include "validation/analysis_equations.hpp"

namespace ovralis {
namespace {

constexpr Eigen::Index kNoColumn = -1;

// Per parameter kind, per entity: its column, or kNoColumn when it is fixed.
using ColumnMap = std::array<std::vector<Eigen::Index>, kParamKindCount>;

template <typename Entity>
void add_columns(const std::vector<Entity>& entities, ParamKind kind, ColumnMap& map,
                 std::vector<Parameter>& columns) {
    auto& column_of = map[static_cast<std::size_t>(kind)];
    column_of.assign(entities.size(), kNoColumn);
    for (std::size_t i = 0; i < entities.size(); ++i) {
        if (entities[i].fixed) continue;
        column_of[i] = static_cast<Eigen::Index>(columns.size());
        columns.push_back({kind, i});
    }
}

ColumnMap free_parameter_columns(const System& s, std::vector<Parameter>& columns) {
    ColumnMap map;
    auto& x = map[static_cast<std::size_t>(ParamKind::PointX)];
    auto& y = map[static_cast<std::size_t>(ParamKind::PointY)];
    x.assign(s.points.size(), kNoColumn);
    y.assign(s.points.size(), kNoColumn);
    for (std::size_t i = 0; i < s.points.size(); ++i) {
        if (s.points[i].fixed) continue;
        x[i] = static_cast<Eigen::Index>(columns.size());
        columns.push_back({ParamKind::PointX, i});
        y[i] = static_cast<Eigen::Index>(columns.size());
        columns.push_back({ParamKind::PointY, i});
    }
    add_columns(s.circles, ParamKind::CircleRadius, map, columns);
    add_columns(s.arcs, ParamKind::ArcRadius, map, columns);
    add_columns(s.ellipses, ParamKind::EllipseRadmin, map, columns);
    add_columns(s.arcs_of_ellipse, ParamKind::ArcOfEllipseRadmin, map, columns);
    return map;
}

}  // namespace

EquationJacobian equation_jacobian(const System& system, const InterruptPoll& interrupted) {
    EquationJacobian out;
    const ColumnMap map = free_parameter_columns(system, out.columns);

    std::vector<Eigen::Triplet<double, Eigen::Index>> triplets;
    triplets.reserve(6 * system.constraints.size());
    std::vector<double> row_norm;
    ConstraintPartials partials;
    Eigen::Index row = 0;
    out.first_row.reserve(system.constraints.size() + 1);
    for (std::size_t k = 0; k < system.constraints.size(); ++k) {
        if (k % kStepsPerPoll == 0) throw_if_interrupted(interrupted);
        const Constraint& constraint = system.constraints[k];
        out.first_row.push_back(row);
        const unsigned equations = analysis_partials(system, constraint, partials);
        row_norm.resize(static_cast<std::size_t>(row + equations), 0.0);
        out.constraint_of_row.resize(static_cast<std::size_t>(row + equations), k);
        for (const Partial& partial : partials) {
            const Eigen::Index column =
                map[static_cast<std::size_t>(partial.parameter.kind)][partial.parameter.entity];
            if (column == kNoColumn) continue;
            triplets.emplace_back(row + partial.entry, column, partial.value);
        }
        row += equations;
    }
    out.first_row.push_back(row);
    throw_if_interrupted(interrupted);

    out.matrix.resize(row, static_cast<Eigen::Index>(out.columns.size()));
    out.matrix.setFromTriplets(triplets.begin(), triplets.end());  // sums repeated parameters
    throw_if_interrupted(interrupted);
    for (Eigen::Index j = 0; j < out.matrix.outerSize(); ++j) {
        for (Eigen::SparseMatrix<double>::InnerIterator it(out.matrix, j); it; ++it) {
            row_norm[static_cast<std::size_t>(it.row())] += it.value() * it.value();
        }
    }
    for (Eigen::Index j = 0; j < out.matrix.outerSize(); ++j) {
        for (Eigen::SparseMatrix<double>::InnerIterator it(out.matrix, j); it; ++it) {
            const double norm = std::sqrt(row_norm[static_cast<std::size_t>(it.row())]);
            if (norm > 0.0) it.valueRef() /= norm;
        }
    }
    return out;
}

}  // namespace ovralis
