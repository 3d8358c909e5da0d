// The constraint analysis: an ordered rank factorisation of the equations'
// rows for redundancy, and one of the columns for the null space.

#include "validation/constraint_analysis.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <random>
#include <set>

#include <Eigen/SparseCore>

#include "expression/bound_fields.hpp"
#include "residual/residual.hpp"
#include "system/references.hpp"
#include "validation/analysis_items.hpp"
#include "validation/conflict_judge.hpp"
#include "validation/consistent_point.hpp"
#include "validation/dependency_shortcuts.hpp"
#include "validation/equation_jacobian.hpp"
#include "validation/ordered_rank.hpp"

namespace ovralis {
namespace {

// Within this file a constraint's position is that of an analysis item
// (analysis_items.hpp): the design-intent equations rank after the
// constraints, and analyze_constraints names them apart at the end.

// A constraint within this share of the solve's tolerance at a conflict's
// least-squares compromise takes no part in the conflict.
constexpr double kTakesNoPart = 1e-3;
// So does one whose miss there is below this share of the largest miss.
constexpr double kSmallMiss = 1e-3;

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
                jacobian.item_of_row[static_cast<std::size_t>(c.column)];
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
    const ColumnFactorisation columns = factorise_columns(jacobian.matrix, tol, false, interrupted);
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
            case ParamKind::ArcOfEllipseRadmin:
            case ParamKind::DesignVariable: break;
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

// The rank, the redundant constraints with their groups and the free
// entities at the entities' current values; no constraint judged conflicting.
// The rank and the redundant constraints with their groups at the entities'
// current values; `jacobian` receives the rows ranked.
ConstraintAnalysis ranked_rows(const System& system, double tol, const InterruptPoll& interrupted,
                               EquationJacobian& jacobian) {
    throw_if_interrupted(interrupted);
    jacobian = equation_jacobian(system, interrupted);
    ConstraintAnalysis out;
    out.free_variables = static_cast<std::uint64_t>(jacobian.matrix.cols());
    const Eigen::SparseMatrix<double> rows_as_columns = jacobian.matrix.transpose();
    throw_if_interrupted(interrupted);
    const ColumnFactorisation rows = factorise_columns(rows_as_columns, tol, true, interrupted);
    out.rank = static_cast<std::uint64_t>(rows.rank);
    out.dof = static_cast<std::int64_t>(out.free_variables) - static_cast<std::int64_t>(out.rank);
    find_redundant(jacobian, rows, tol, interrupted, out);
    return out;
}

ConstraintAnalysis rank_analysis(const System& system, double tol,
                                 const InterruptPoll& interrupted) {
    EquationJacobian jacobian;
    ConstraintAnalysis out = ranked_rows(system, tol, interrupted, jacobian);
    throw_if_interrupted(interrupted);
    if (out.dof > 0) find_free_entities(system, jacobian, tol, interrupted, out);
    out.status = status_of(out);
    return out;
}

// The constraints among `suspects` (ascending) that disagree with the
// constraints before them, and a point where all the others hold, starting
// from `at`, a solution of every constraint that is not a suspect.
// In order, a suspect that holds there agrees; one that does
// not is tried: solved for with the constraints that agree so far, it agrees
// when that solve converges (the point then moves to that solution). A
// conflict is judged by whether the constraints can hold together, never by
// how far one misses at a single point: where an equation meets its solution
// tangentially (an equal length that forces a line horizontal), a solve ends
// within the square root of its tolerance of it, and a constraint that agrees
// can miss there by more than the tolerance.
struct Agreement {
    System at;  // where every constraint that agrees holds
    std::vector<std::size_t> conflicting;
    // For each conflicting constraint, the constraints left out (ascending)
    // when it was found not to hold with the rest.
    std::map<std::size_t, std::vector<std::size_t>> judged_without;
    // For each conflicting constraint, the circuit it closes (circuit_closed_by).
    std::map<std::size_t, std::vector<std::size_t>> circuits;
};

// The constraints that k conflicts with at `at`, where every item but k and
// the `left_out` ones (ascending, k not among them) holds: those whose rows
// combine into k's, ranked in order with k's rows last. Over the rows that are
// independent in order the combination is unique and none of its members can
// be spared: this is the circuit k closes, a smallest set it conflicts with,
// and it holds every constraint without which k would agree. Empty when k's
// rows are independent of theirs there (an equation that meets its solution
// tangentially).
std::vector<std::size_t> circuit_closed_by(const System& at, std::size_t k,
                                           const std::vector<std::size_t>& left_out, double tol,
                                           const InterruptPoll& interrupted) {
    std::vector<std::size_t> dropped = left_out;
    dropped.insert(std::lower_bound(dropped.begin(), dropped.end(), k), k);
    System ranked_copy = with_items(at, item_count(at), dropped);
    std::vector<std::size_t> order;  // the copy's items -> their positions in `at`
    for (std::size_t i = 0; i < item_count(at); ++i) {
        if (!std::binary_search(dropped.begin(), dropped.end(), i)) order.push_back(i);
    }
    // k goes after the other constraints (an equation after every item), its
    // bound fields with it.
    std::size_t last = ranked_copy.constraints.size();
    if (is_equation_item(at, k)) {
        ranked_copy.equations.push_back(at.equations[k - at.constraints.size()]);
        last = item_count(ranked_copy) - 1;
    } else {
        ranked_copy.constraints.push_back(at.constraints[k]);
        for (const Binding& b : at.bindings) {
            if (b.constraint != k) continue;
            ranked_copy.bindings.push_back(b);
            ranked_copy.bindings.back().constraint = last;
        }
    }
    order.insert(order.begin() + static_cast<std::ptrdiff_t>(last), k);
    EquationJacobian jacobian;
    const ConstraintAnalysis ranked = ranked_rows(ranked_copy, tol, interrupted, jacobian);
    std::vector<std::size_t> circuit;
    const auto group = ranked.groups.find(last);
    if (group == ranked.groups.end()) return circuit;
    for (const std::size_t member : group->second) circuit.push_back(order[member]);
    std::sort(circuit.begin(), circuit.end());
    return circuit;
}

Agreement disagreeing(System at, const std::vector<std::size_t>& suspects, double tol,
                      const InterruptPoll& interrupted) {
    std::vector<std::size_t> conflicting;
    std::map<std::size_t, std::vector<std::size_t>> judged_without;
    std::map<std::size_t, std::vector<std::size_t>> circuits;
    std::optional<ConflictJudge> judge(std::in_place, at, tol);
    for (std::size_t i = 0; i < suspects.size(); ++i) {
        if (item_holds(*judge, at, suspects[i])) continue;
        std::vector<std::size_t> dropped = conflicting;
        dropped.insert(dropped.end(), suspects.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                       suspects.end());
        if (std::optional<System> agreeing = solved_without(at, dropped, tol, interrupted)) {
            judge.reset();  // it measured the point being replaced
            at = std::move(*agreeing);
            judge.emplace(at, tol);
        } else {
            circuits[suspects[i]] = circuit_closed_by(at, suspects[i], dropped, tol, interrupted);
            conflicting.push_back(suspects[i]);
            judged_without[suspects[i]] = std::move(dropped);
        }
    }
    return {std::move(at), std::move(conflicting), std::move(judged_without), std::move(circuits)};
}

// Marks k conflicting with `group`, listing it redundant too.
void add_conflict(std::size_t k, std::vector<std::size_t> group, ConstraintAnalysis& out) {
    out.conflicting.push_back(k);
    out.groups[k] = std::move(group);
    const auto place = std::lower_bound(out.redundant.begin(), out.redundant.end(), k);
    if (place == out.redundant.end() || *place != k) out.redundant.insert(place, k);
}

// How far an item misses at the entities' current values: a constraint's
// largest entry, an equation's difference of sides.
double miss(const System& system, std::size_t item) {
    if (is_equation_item(system, item)) {
        return std::abs(equation_residual(system, system.equations[item - system.constraints.size()]));
    }
    const ConstraintEntries entries = constraint_residual(system, system.constraints[item]);
    double largest = 0.0;
    for (unsigned e = 0; e < entries.count; ++e) largest = std::max(largest, std::abs(entries.value[e]));
    return largest;
}

// Which of the first `count` constraints (less the `skipped` ones) clearly
// miss at `compromise`, where a failed solve of them ended: the error
// of a conflict spreads over the constraints that take part in it, and one
// that holds there, or misses by a rounding of the largest miss, takes no
// part.
std::vector<bool> clearly_missing(const System& compromise, std::size_t count, double tol,
                                  const InterruptPoll& interrupted,
                                  const std::vector<std::size_t>& skipped) {
    std::vector<double> misses(count, 0.0);
    double largest = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        if (std::binary_search(skipped.begin(), skipped.end(), i)) continue;
        misses[i] = miss(compromise, i);
        largest = std::max(largest, misses[i]);
    }
    ConflictJudge judge(compromise, kTakesNoPart * tol, interrupted);
    std::vector<bool> missing(count, false);
    for (std::size_t i = 0; i < count; ++i) {
        missing[i] = misses[i] > kSmallMiss * largest && !item_holds(judge, compromise, i);
    }
    return missing;
}

// Whether constraint i clearly misses where the first `count` constraints
// (less the `skipped` ones) end their least-squares compromise
// (clearly_missing). All of them are suspects where that solve converges, or
// where k alone misses (the compromise sits where k has no derivative, as a
// distance between points that coincide, and tells nothing).
std::vector<bool> suspects(const System& system, std::size_t k, std::size_t count, double tol,
                           const InterruptPoll& interrupted,
                           const std::vector<std::size_t>& skipped) {
    const PrefixSolve compromise = solve_prefix(system, count, tol, interrupted, skipped);
    if (compromise.converged) return std::vector<bool>(count, true);
    std::vector<bool> suspect = clearly_missing(compromise.end, count, tol, interrupted, skipped);
    bool another = false;
    for (std::size_t i = 0; i < count; ++i) {
        another = another || (suspect[i] && i != k &&
                              !std::binary_search(skipped.begin(), skipped.end(), i));
    }
    if (!another) suspect.assign(count, true);
    return suspect;
}

// The constraints among the first `count`, other than k and the `skipped`
// ones (ascending), whose removal lets those first `count` solve, k among
// them. Each trial is a solve, and one that fails costs a whole recovery,
// so only the suspects are tried.
std::vector<std::size_t> fighting(const System& system, std::size_t k, std::size_t count,
                                  double tol, const InterruptPoll& interrupted,
                                  const std::vector<std::size_t>& skipped) {
    const std::vector<bool> suspect = suspects(system, k, count, tol, interrupted, skipped);
    std::vector<std::size_t> group;
    for (std::size_t i = 0; i < count; ++i) {
        if (i == k || !suspect[i] || std::binary_search(skipped.begin(), skipped.end(), i)) {
            continue;
        }
        std::vector<std::size_t> without = skipped;
        without.insert(std::lower_bound(without.begin(), without.end(), i), i);
        if (solve_prefix(system, count, tol, interrupted, without).converged) group.push_back(i);
    }
    return group;
}

// Everything ranked where the constraints that agree hold: a dependency that
// exists only where the constraints hold (three right angles make the fourth)
// does not show in a rough drawing. Each conflicting constraint's group is
// the circuit it closes; where it closes none that a rank shows (its
// equation meets its solution tangentially, or a distance between points
// that coincide has no derivative), its group is found by solving from `start`.
ConstraintAnalysis ranked_where_they_agree(const Agreement& agreement, const System& start,
                                           double tol, const InterruptPoll& interrupted) {
    ConstraintAnalysis out = rank_analysis(agreement.at, tol, interrupted);
    for (const std::size_t k : agreement.conflicting) {
        const std::vector<std::size_t>& circuit = agreement.circuits.at(k);
        add_conflict(k,
                     !circuit.empty() ? circuit
                                      : fighting(start, k, item_count(start), tol, interrupted,
                                                 agreement.judged_without.at(k)),
                     out);
    }
    return out;
}

// When the constraints that are not redundant cannot all hold, the conflict is
// one that no rank shows (the sides of a triangle that cannot meet, a hole
// placed from two edges farther apart than the plate is wide). Then the
// constraints conflict that cannot hold with those before them that do not:
// each found by bisection over the prefixes of the constraint list, until
// the sketch without them solves. Where the solve of its prefix ends, the
// least-squares compromise makes the equations dependent, and its group is
// read there; failing that, the group is the constraints before it whose
// removal lets it hold.
void find_conflicts_by_prefix(const System& system, double tol, const InterruptPoll& interrupted,
                              ConstraintAnalysis& out) {
    const std::size_t n = item_count(system);
    std::vector<std::size_t> dropped;
    std::size_t solvable = 0;  // a prefix that solves without the dropped ones
    while (!solve_prefix(system, n, tol, interrupted, dropped).converged) {
        std::size_t failing = n;
        std::optional<System> failed_end;
        while (failing - solvable > 1) {
            const std::size_t middle = solvable + (failing - solvable) / 2;
            PrefixSolve prefix = solve_prefix(system, middle, tol, interrupted, dropped);
            if (prefix.converged) {
                solvable = middle;
            } else {
                failing = middle;
                failed_end = std::move(prefix.end);
            }
        }
        if (!failed_end) failed_end = solve_prefix(system, failing, tol, interrupted, dropped).end;
        const std::size_t k = failing - 1;
        const ConstraintAnalysis there = rank_analysis(*failed_end, tol, interrupted);
        const auto group = there.groups.find(k);
        add_conflict(k,
                     group != there.groups.end() && !group->second.empty()
                         ? group->second
                         : fighting(system, k, k + 1, tol, interrupted, dropped),
                     out);
        dropped.push_back(k);
        solvable = failing;
        if (solvable >= n) break;
    }
}

ConstraintAnalysis analyze_items(const System& system, double tol, const InterruptPoll& interrupted) {
    if (every_constraint_holds(system, tol)) return rank_analysis(system, tol, interrupted);
    // Ranked where a solve of the whole sketch ends: a solution, or the
    // least-squares compromise of a conflict, near which every dependency
    // between the constraints shows (in a rough drawing, those that exist
    // only where the constraints hold do not), and the same point whether or
    // not the caller has already run that solve.
    PrefixSolve settled = solve_prefix(system, item_count(system), tol, interrupted);
    ConstraintAnalysis here = rank_analysis(settled.end, tol, interrupted);
    if (settled.converged) return here;
    if (here.redundant.empty()) {
        find_conflicts_by_prefix(settled.end, tol, interrupted, here);
        here.status = status_of(here);
        return here;
    }
    // The constraints that take part in the conflict miss at the compromise;
    // the others, which hold there, agree with every constraint. So the
    // sketch solves without the ones that miss, and those are judged in order
    // where the others hold, as near the drawing as the solves take them.
    std::vector<std::size_t> taking_part;
    const std::vector<bool> missing =
        clearly_missing(settled.end, item_count(system), tol, interrupted, {});
    for (std::size_t i = 0; i < missing.size(); ++i) {
        if (missing[i]) taking_part.push_back(i);
    }
    std::optional<System> consistent = solved_without(settled.end, taking_part, tol, interrupted);
    if (!consistent) {
        find_conflicts_by_prefix(settled.end, tol, interrupted, here);
        here.status = status_of(here);
        return here;
    }
    ConstraintAnalysis there = ranked_where_they_agree(
        disagreeing(std::move(*consistent), taking_part, tol, interrupted), settled.end, tol,
        interrupted);
    there.status = status_of(there);
    return there;
}

// Moves the equation items out of the constraint lists into the equation
// lists, numbered as System::equations. A constraint's group names
// constraints only, as the result's groups always have.
void name_equations_apart(const System& system, ConstraintAnalysis& out) {
    const std::size_t first = system.constraints.size();
    for (auto& [constraint, group] : out.groups) {
        if (constraint >= first) break;
        group.erase(std::remove_if(group.begin(), group.end(),
                                   [&](std::size_t member) { return member >= first; }),
                    group.end());
    }
    const auto move_equations = [&](std::vector<std::size_t>& items,
                                    std::vector<std::size_t>& equations) {
        const auto split = std::stable_partition(items.begin(), items.end(),
                                                 [&](std::size_t item) { return item < first; });
        for (auto item = split; item != items.end(); ++item) equations.push_back(*item - first);
        items.erase(split, items.end());
    };
    move_equations(out.redundant, out.redundant_equations);
    move_equations(out.conflicting, out.conflicting_equations);
    for (auto group = out.groups.lower_bound(first); group != out.groups.end();) {
        EquationGroup& named = out.equation_groups[group->first - first];
        for (const std::size_t member : group->second) {
            if (member < first) {
                named.constraints.push_back(member);
            } else {
                named.equations.push_back(member - first);
            }
        }
        group = out.groups.erase(group);
    }
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
    ConstraintAnalysis out = analyze_items(system, tol, interrupted);
    out.equation_count = system.equations.size();
    if (!system.equations.empty()) name_equations_apart(system, out);
    return out;
}

}  // namespace ovralis
