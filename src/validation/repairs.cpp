// Repairs of a sketch that does not solve, each tried on a copy.

#include "validation/repairs.hpp"

#include <algorithm>
#include <cmath>
#include <set>

#include "residual/dimension_measure.hpp"
#include "residual/plane_geometry.hpp"
#include "solver/solve.hpp"
#include "system/references.hpp"
#include "validation/analysis_items.hpp"
#include "validation/constraint_analysis.hpp"
#include "validation/consistent_point.hpp"

namespace ovralis {
namespace {

// How far the drawing moves from `before` to `after` (the same entities): the
// root of the summed squares of every point's distance and every radius's
// change. Summed rather than the largest alone, so that a repair that moves
// one feature ranks ahead of one that moves it and the rest of the drawing
// too, although both move some point equally far.
double movement_between(const System& before, const System& after) {
    double total = 0.0;  // accumulated by hypot, which neither overflows nor underflows
    const auto add = [&total](double moved) { total = std::hypot(total, moved); };
    for (std::size_t i = 0; i < before.points.size(); ++i) {
        add(hypot_norm(position(after.points[i]) - position(before.points[i])));
    }
    for (std::size_t i = 0; i < before.circles.size(); ++i) {
        add(after.circles[i].radius - before.circles[i].radius);
    }
    for (std::size_t i = 0; i < before.arcs.size(); ++i) add(after.arcs[i].radius - before.arcs[i].radius);
    for (std::size_t i = 0; i < before.ellipses.size(); ++i) {
        add(after.ellipses[i].radmin - before.ellipses[i].radmin);
    }
    return total;
}

// The conflicting constraints and the constraints of every conflict's group, ascending.
std::set<std::size_t> named_in_conflict(const ConstraintAnalysis& analysis) {
    std::set<std::size_t> named(analysis.conflicting.begin(), analysis.conflicting.end());
    for (const std::size_t k : analysis.conflicting) {
        const auto group = analysis.groups.find(k);
        if (group != analysis.groups.end()) named.insert(group->second.begin(), group->second.end());
    }
    for (const std::size_t e : analysis.conflicting_equations) {
        const auto group = analysis.equation_groups.find(e);
        if (group != analysis.equation_groups.end()) {
            named.insert(group->second.constraints.begin(), group->second.constraints.end());
        }
    }
    return named;
}

// Whether an expression drives constraint k's dimension value.
bool drives_value(const System& system, std::size_t k) {
    return std::any_of(system.bindings.begin(), system.bindings.end(), [k](const Binding& b) {
        return b.constraint == k && b.slot == 0;
    });
}

// Where to look: what the analysis names, else (when it finds no conflict in
// a sketch that does not solve) every constraint.
std::set<std::size_t> candidates(const System& system, double tol) {
    std::set<std::size_t> named = named_in_conflict(analyze_constraints(system, tol));
    if (named.empty()) {
        for (std::size_t k = 0; k < system.constraints.size(); ++k) named.insert(k);
    }
    return named;
}

// The repair that concerns constraint k, or nullopt when none makes the sketch solve.
std::optional<Repair> repair_of(const System& system, std::size_t k, std::uint64_t max_iter,
                                double tol) {
    // The copy drops k's bindings and renumbers the others with their constraints.
    System without = with_items(system, item_count(system), {k});
    if (!solve(without, max_iter, tol).converged) return std::nullopt;
    const Constraint& c = system.constraints[k];
    // A dimension an expression drives is mended through its variables, not its value.
    if (has_dimension(c.kind) && !drives_value(system, k)) {
        Constraint changed = c;
        changed.value[0] = measure_dimension(without, c);
        System applied = without;
        restore_items(applied, system);
        applied.constraints[k] = changed;
        if (std::isfinite(changed.value[0]) && solve(applied, max_iter, tol).converged) {
            return Repair{false, k, changed.value[0], movement_between(system, applied)};
        }
    }
    return Repair{true, k, std::nullopt, movement_between(system, without)};
}

}  // namespace

std::vector<Repair> find_repairs(const System& system, std::size_t limit, std::uint64_t max_iter,
                                 double tol) {
    validate_references(system);
    System trial = system;
    if (limit == 0 || solve(trial, max_iter, tol).converged) return {};
    std::vector<Repair> repairs;
    for (const std::size_t k : candidates(system, tol)) {
        if (const std::optional<Repair> repair = repair_of(system, k, max_iter, tol)) {
            repairs.push_back(*repair);
        }
    }
    std::stable_sort(repairs.begin(), repairs.end(), [](const Repair& a, const Repair& b) {
        return a.movement < b.movement;
    });
    if (repairs.size() > limit) repairs.resize(limit);
    return repairs;
}

}  // namespace ovralis
