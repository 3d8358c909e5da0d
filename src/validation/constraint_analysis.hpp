#pragma once

// Which constraints are redundant or conflicting, what each depends on, and
// which entities can still move: a numerical rank analysis of the equations.

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

#include "solver/interruption.hpp"
#include "system/system.hpp"

namespace ovralis {

enum class ConstraintStatus { WellConstrained, UnderConstrained, Redundant, Conflicting };

// "well_constrained", "under_constrained", "redundant", "conflicting".
const char* constraint_status_text(ConstraintStatus status);

// What a redundant design-intent equation depends on: earlier constraints
// and equations, by their positions in their own lists.
struct EquationGroup {
    std::vector<std::size_t> constraints;
    std::vector<std::size_t> equations;
};

struct ConstraintAnalysis {
    std::uint64_t rank = 0;
    std::uint64_t free_variables = 0;  // free design variables included
    std::int64_t dof = 0;                  // free_variables - rank
    std::vector<std::size_t> redundant;    // ascending constraint positions
    std::vector<std::size_t> conflicting;  // the redundant ones that do not hold
    std::map<std::size_t, std::vector<std::size_t>>
        groups;  // redundant -> earlier ones it depends on
    std::vector<Index> free_points;
    std::vector<Index> free_circles;
    std::vector<Index> free_arcs;
    ConstraintStatus status = ConstraintStatus::WellConstrained;
    // The design-intent equations, numbered as System::equations, which rank
    // after every constraint; empty for a sketch without equations.
    std::size_t equation_count = 0;  // how many were analysed
    std::vector<std::size_t> redundant_equations;
    std::vector<std::size_t> conflicting_equations;
    std::map<std::size_t, EquationGroup> equation_groups;
};

// At the entities' current values. Equations (analysis_partials: regular
// where each constraint holds) are taken in constraint order, then the
// design-intent equations (one row each) in theirs, with every row
// scaled to unit length; an equation is dependent when the part of its row
// orthogonal to the independent rows before it has a norm of at most `tol`,
// and a constraint is redundant when any of its equations is dependent. Its
// group holds the earlier constraints whose rows carry a coefficient above
// `tol` times the largest in the combination reproducing its dependent rows;
// that combination is unique over the independent rows, so no constraint of a
// group can be dropped. Where it spells out an earlier redundant constraint's
// own combination, that constraint stands in for it (DependencyShortcuts): the
// group stays minimal and names the nearby constraints, not a whole chain.
// A constraint conflicts when it cannot hold together with the constraints
// that agree. Unless every constraint holds already, the whole sketch is
// solved (from the current values); where that solve fails, the sketch is
// solved again without the constraints that clearly miss at its compromise
// (solved_without), which are those that take part in a conflict; then, in
// order, one of them agrees when it holds there (its geometric error, in the
// solve's length scale, is within geometric_tolerance(tol), the solver's own
// test of convergence) or when the sketch solves with it added to those that
// agree so far. A conflicting constraint's group is the circuit it closes
// with the constraints that held where it was judged: those whose rows,
// ranked before its own, combine into them. An entity is free when one of its
// parameters (its points' coordinates included) moves along a null vector of
// the Jacobian by more than `tol` times the vector's largest component.
// Free design variables are unknowns like the entities' parameters (columns
// of the Jacobian, counted in free_variables and dof); a field bound to an
// expression takes its current value, and where the expression reads
// unknowns, its row also carries the chain through the expression. A design-
// intent equation holds as a converged solve judges it (equation_error).
// `interrupted` is polled between the steps and within the long loops;
// once it answers true, SolveInterrupted is thrown.
ConstraintAnalysis analyze_constraints(const System& system, double tol,
                                       const InterruptPoll& interrupted = {});

}  // namespace ovralis
