#pragma once

// Constraint inference: the relations a drawing shows, added to its sketch.

#include <vector>

#include "inference/candidate_list.hpp"
#include "system/system.hpp"

namespace ovralis::inference {

struct InferenceOptions {
    // A relation holds when its geometric error is at most tol: lengths
    // relative to the drawing's size (the diagonal of its bounding box),
    // angles in radians.
    double tol = 1e-6;
    RelationSet relations = every_relation();
};

// Adds to the store every relation of the wanted kinds that holds in the
// drawing and is not implied by the constraints already there (or by those
// added before it), in an order fixed by the geometry alone; returns the
// positions of the added constraints, ascending. The store's indices must be
// valid (validate_references).
std::vector<Index> infer_constraints(System& system, const InferenceOptions& options);

}  // namespace ovralis::inference
