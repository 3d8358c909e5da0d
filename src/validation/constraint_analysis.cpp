// The constraint analysis: an ordered rank factorisation of the equations'
// rows for redundancy, and one of the columns for the null space.

#include "validation/constraint_analysis.hpp"

#include <algorithm>
#include <cmath>
#include <random>
#include <set>

#include <Eigen/SparseCore>

#include "system/references.hpp"
#include "validation/conflict_judge.hpp"
#include "validation/dependency_shortcuts.hpp"
#include "validation/equation_jacobian.hpp"
#include "validation/ordered_rank.hpp"

namespace ovralis {
namespace {

// The constraints behind the dependent rows of constraint k, from the
// combinations over the rows before them, shortened through earlier dependent rows.
std::vector<std::size_t> dependency_group(const EquationJacobian& jacobian,
                                          const ColumnFactorisation& rows,
                                          DependentCombinations& combinations,
                                          DependencyShortcuts& shortcuts, std::size_t k) {
    std::set<std::size_t> group;
    for (Eigen::Index row = jacobian.first_row[k]; row < jacobian.first_row[k + 1]; ++row) {
        if (rows.independent[static_cast<std::size_t>(row)]) continue;
        for (const ColumnCoefficient& c : shortcuts.shorten(row, combinations.of(row))) {
            const std::size_t owner =
                jacobian.constraint_of_row[static_cast<std::size_t>(c.column)];
            if (owner != k) group.insert(owner);
        }
    }
    return {group.begin(), group.end()};
}

void find_redundant(const EquationJacobian& jacobian, const ColumnFactorisation& rows, double tol,
                    const InterruptPoll& interrupted, ConstraintAnalysis& out) {
    DependentCombinations combinations(rows);
    DependencyShortcuts shortcuts(tol, jacobian.matrix.rows());
    for (std::size_t k = 0; k + 1 < jacobian.first_row.size(); ++k) {
        if (k % kStepsPerPoll == 0) throw_if_interrupted(interrupted);
        bool dependent = false;
        for (Eigen::Index row = jacobian.first_row[k]; row < jacobian.first_row[k + 1]; ++row) {
            dependent = dependent || !rows.independent[static_cast<std::size_t>(row)];
        }
        if (!dependent) continue;
        out.redundant.push_back(k);
        out.groups[k] = dependency_group(jacobian, rows, combinations, shortcuts, k);
    }
}

void find_conflicting(const System& system, double tol, const InterruptPoll& interrupted,
                      ConstraintAnalysis& out) {
    if (out.redundant.empty()) return;
    ConflictJudge judge(system, tol, interrupted);
    for (std::size_t i = 0; i < out.redundant.size(); ++i) {
        if (i % kStepsPerPoll == 0) throw_if_interrupted(interrupted);
        const std::size_t k = out.redundant[i];
        if (!judge.holds(system.constraints[k])) out.conflicting.push_back(k);
    }
}

// Parameters that some null vector moves. Each dependent column d of J gives
// the null vector e_d - sum x_k e_k of its combination; rather than one back
// substitution per dependent column (quadratic on a long free chain), a
// random blend of them all moves every parameter that any of them moves,
// except on a set of weights of measure zero. Two blends, with fixed seeds,
// make an accidental cancellation below the threshold all but impossible.
std::vector<bool> movable_parameters(const EquationJacobian& jacobian, double tol,
                                     const InterruptPoll& interrupted) {
    const Eigen::Index n = jacobian.matrix.cols();
    std::vector<bool> movable(static_cast<std::size_t>(n), false);
    const ColumnFactorisation columns = factorise_columns(jacobian.matrix, tol, false);
    throw_if_interrupted(interrupted);
    DependentCombinations combinations(columns);
    std::vector<Eigen::Index> dependent;
    for (Eigen::Index d = 0; d < n; ++d) {
        if (columns.independent[static_cast<std::size_t>(d)]) continue;
        movable[static_cast<std::size_t>(d)] = true;
        dependent.push_back(d);
    }
    for (const unsigned seed : {1u, 2u}) {
        throw_if_interrupted(interrupted);
        std::mt19937 random(seed);
        std::uniform_real_distribution<double> weight(1.0, 2.0);
        std::vector<ColumnCoefficient> weights;
        for (const Eigen::Index d : dependent) weights.push_back({d, weight(random)});
        const std::vector<ColumnCoefficient> combination = combinations.of_sum(weights);
        double largest = 2.0;  // the null vector's components on the dependent columns: the weights
        for (const ColumnCoefficient& c : combination)
            largest = std::max(largest, std::abs(c.value));
        for (const ColumnCoefficient& c : combination) {
            if (std::abs(c.value) > tol * largest)
                movable[static_cast<std::size_t>(c.column)] = true;
        }
    }
    return movable;
}

void find_free_entities(const System& system, const EquationJacobian& jacobian, double tol,
                        const InterruptPoll& interrupted, ConstraintAnalysis& out) {
    const std::vector<bool> movable = movable_parameters(jacobian, tol, interrupted);
    throw_if_interrupted(interrupted);
    std::vector<bool> point_free(system.points.size(), false);
    std::vector<bool> circle_free(system.circles.size(), false);
    std::vector<bool> arc_free(system.arcs.size(), false);
    for (std::size_t j = 0; j < movable.size(); ++j) {
        if (!movable[j]) continue;
        const Parameter& p = jacobian.columns[j];
        switch (p.kind) {
            case ParamKind::PointX:
            case ParamKind::PointY: point_free[p.entity] = true; break;
            case ParamKind::CircleRadius: circle_free[p.entity] = true; break;
            case ParamKind::ArcRadius: arc_free[p.entity] = true; break;
            case ParamKind::EllipseRadmin:
            case ParamKind::ArcOfEllipseRadmin: break;
        }
    }
    for (Index i = 0; i < system.points.size(); ++i) {
        if (point_free[i]) out.free_points.push_back(i);
    }
    for (Index i = 0; i < system.circles.size(); ++i) {
        if (circle_free[i] || point_free[system.circles[i].center]) out.free_circles.push_back(i);
    }
    for (Index i = 0; i < system.arcs.size(); ++i) {
        const Arc& a = system.arcs[i];
        if (arc_free[i] || point_free[a.center] || point_free[a.start] || point_free[a.end]) {
            out.free_arcs.push_back(i);
        }
    }
}

ConstraintStatus status_of(const ConstraintAnalysis& a) {
    if (!a.conflicting.empty()) return ConstraintStatus::Conflicting;
    if (!a.redundant.empty()) return ConstraintStatus::Redundant;
    if (a.dof > 0) return ConstraintStatus::UnderConstrained;
    return ConstraintStatus::WellConstrained;
}

}  // namespace

const char* constraint_status_text(ConstraintStatus status) {
    switch (status) {
        case ConstraintStatus::WellConstrained: return "well_constrained";
        case ConstraintStatus::UnderConstrained: return "under_constrained";
        case ConstraintStatus::Redundant: return "redundant";
        case ConstraintStatus::Conflicting: return "conflicting";
    }
    return "";
}

ConstraintAnalysis analyze_constraints(const System& system, double tol,
                                       const InterruptPoll& interrupted) {
    validate_references(system);
    throw_if_interrupted(interrupted);
    const EquationJacobian jacobian = equation_jacobian(system);
    throw_if_interrupted(interrupted);
    ConstraintAnalysis out;
    out.free_variables = static_cast<std::uint64_t>(jacobian.matrix.cols());
    const Eigen::SparseMatrix<double> rows_as_columns = jacobian.matrix.transpose();
    const ColumnFactorisation rows = factorise_columns(rows_as_columns, tol, true);
    throw_if_interrupted(interrupted);
    out.rank = static_cast<std::uint64_t>(rows.rank);
    out.dof = static_cast<std::int64_t>(out.free_variables) - static_cast<std::int64_t>(out.rank);
    find_redundant(jacobian, rows, tol, interrupted, out);
    find_conflicting(system, tol, interrupted, out);
    throw_if_interrupted(interrupted);
    if (out.dof > 0) find_free_entities(system, jacobian, tol, interrupted, out);
    out.status = status_of(out);
    return out;
}

}  // namespace ovralis
