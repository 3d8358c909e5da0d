#pragma once

// The searches that propose candidate relations. Each looks only where a
// relation can hold (neighbouring cells of a grid, runs of a sorted list,
// entities meeting at a point), never at all pairs, and offers what it finds
// to the candidate list, which keeps those that hold.

#include "inference/candidate_list.hpp"
#include "inference/drawing_index.hpp"
#include "inference/figures.hpp"

namespace ovralis::inference {

struct SearchContext {
    const System& system;
    const DrawingFrame& frame;
    DrawingIndex& index;
    const Figures& figures;
    CandidateList& out;
    double length_tol;  // tol times the drawing's size
    double angle_tol;   // tol, in radians
};

// Coincident and concentric points, points on lines, circles and arcs (an
// arc's own ends among them), midpoints of lines.
void search_incidences(SearchContext& context);

// Horizontal, vertical, parallel, perpendicular and collinear lines, and
// pairs of points symmetric about a line; all but the first two within one figure.
void search_directions(SearchContext& context);

// Lines tangent to circles and arcs, and circles and arcs tangent to each
// other, at shared ends or anywhere along them.
void search_tangencies(SearchContext& context);

// Lines of equal length and circles of equal radius, within one figure.
void search_equalities(SearchContext& context);

// A constraint of `kind` naming the given entities, with no real fields.
Constraint relation_constraint(ConstraintKind kind, Index a, Index b, Index c = 0);

}  // namespace ovralis::inference
