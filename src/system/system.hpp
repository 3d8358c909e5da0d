#pragma once

#include <vector>

#include "system/catalogue.hpp"
#include "system/design_intent.hpp"
#include "system/entities.hpp"
#include "system/variable_layout.hpp"

namespace ovralis {

// The store: every entity of a sketch, the ordered constraint list, the three
// persisted settings and the solver's working state. Entities and constraints
// refer to each other only by index.
struct System {
    std::vector<Point> points;
    std::vector<Line> lines;
    std::vector<Circle> circles;
    std::vector<Arc> arcs;
    std::vector<Ellipse> ellipses;
    std::vector<ArcOfEllipse> arcs_of_ellipse;
    std::vector<Constraint> constraints;  // in residual order

    // Design intent: variables in creation order, bindings ordered by
    // constraint then field, equations in residual order after the constraints.
    std::vector<DesignVariable> design_variables;
    std::vector<Binding> bindings;
    std::vector<Equation> equations;

    // Persisted settings.
    bool clamp_radii = true;
    double min_radius = 1e-10;
    bool track_convergence = false;

    // Working state, not persisted.
    VariableLayout layout;
    double scale = 1.0;
    bool analytic_jacobian = true;
    bool sparse_solver = false;
    // The caller's length per stored length: the solve's scale while lengths
    // are normalised, 1 otherwise. Expressions measure in the caller's units.
    double length_unit = 1.0;
};

}  // namespace ovralis
