// Builds the unreduced, row-scaled Jacobian used by the constraint analysis.

#include "validation/equation_jacobian.hpp"

#include <array>
#include <cmath>
#include <optional>

#include "expression/bound_fields.hpp"
#include "validation/analysis_equations.hpp"
#include "validation/analysis_items.hpp"

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
    add_columns(s.design_variables, ParamKind::DesignVariable, map, columns);
    return map;
}

// Gathers the triplets of the rows, item by item.
class RowWriter {
public:
    RowWriter(const ColumnMap& map, std::size_t constraints) : map_(map) {
        triplets_.reserve(6 * constraints);
    }

    void add(Eigen::Index row, Parameter parameter, double value) {
        const Eigen::Index column =
            map_[static_cast<std::size_t>(parameter.kind)][parameter.entity];
        if (column != kNoColumn) triplets_.emplace_back(row, column, value);
    }

    const std::vector<Eigen::Triplet<double, Eigen::Index>>& triplets() const { return triplets_; }

private:
    const ColumnMap& map_;
    std::vector<Eigen::Triplet<double, Eigen::Index>> triplets_;
};

// The chain of constraint k's bound fields that read unknowns, at `row`.
void add_bound_fields(const System& system, Index k, Eigen::Index row, RowWriter& rows) {
    std::vector<BoundPartial> bound;
    const Constraint& constraint = system.constraints[k];
    for (auto b = first_binding_of(system, k); b != system.bindings.end() && b->constraint == k;
         ++b) {
        if (!reads_unknowns(system, b->expression)) continue;
        const std::optional<ConstraintEntries> through_field =
            analysis_field_derivative(system, constraint, b->slot);
        if (!through_field) continue;
        bound.clear();
        bound_field_partials(system, *b, *through_field, bound);
        for (const BoundPartial& p : bound) rows.add(row + p.entry, p.parameter, p.value);
    }
}

// Scales every row of `matrix` to unit 2-norm; a zero row stays zero.
void scale_rows(Eigen::SparseMatrix<double>& matrix) {
    std::vector<double> row_norm(static_cast<std::size_t>(matrix.rows()), 0.0);
    for (Eigen::Index j = 0; j < matrix.outerSize(); ++j) {
        for (Eigen::SparseMatrix<double>::InnerIterator it(matrix, j); it; ++it) {
            row_norm[static_cast<std::size_t>(it.row())] += it.value() * it.value();
        }
    }
    for (Eigen::Index j = 0; j < matrix.outerSize(); ++j) {
        for (Eigen::SparseMatrix<double>::InnerIterator it(matrix, j); it; ++it) {
            const double norm = std::sqrt(row_norm[static_cast<std::size_t>(it.row())]);
            if (norm > 0.0) it.valueRef() /= norm;
        }
    }
}

}  // namespace

EquationJacobian equation_jacobian(const System& system, const InterruptPoll& interrupted) {
    EquationJacobian out;
    const ColumnMap map = free_parameter_columns(system, out.columns);
    RowWriter rows(map, system.constraints.size());
    const bool bound = !system.bindings.empty();

    ConstraintPartials partials;
    Eigen::Index row = 0;
    out.first_row.reserve(item_count(system) + 1);
    for (std::size_t k = 0; k < system.constraints.size(); ++k) {
        if (k % kStepsPerPoll == 0) throw_if_interrupted(interrupted);
        out.first_row.push_back(row);
        const unsigned equations = analysis_partials(system, system.constraints[k], partials);
        out.item_of_row.resize(static_cast<std::size_t>(row + equations), k);
        for (const Partial& partial : partials) {
            rows.add(row + partial.entry, partial.parameter, partial.value);
        }
        if (bound) add_bound_fields(system, k, row, rows);
        row += equations;
    }
    std::vector<ExpressionPartial> equation;
    for (std::size_t e = 0; e < system.equations.size(); ++e) {
        out.first_row.push_back(row);
        out.item_of_row.push_back(system.constraints.size() + e);
        equation.clear();
        equation_partials(system, system.equations[e], equation);
        for (const ExpressionPartial& p : equation) rows.add(row, p.parameter, p.value);
        ++row;
    }
    out.first_row.push_back(row);
    throw_if_interrupted(interrupted);

    out.matrix.resize(row, static_cast<Eigen::Index>(out.columns.size()));
    out.matrix.setFromTriplets(rows.triplets().begin(),
                               rows.triplets().end());  // sums repeated parameters
    throw_if_interrupted(interrupted);
    scale_rows(out.matrix);
    return out;
}

}  // namespace ovralis
