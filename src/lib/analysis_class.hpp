#pragma once

// ConstraintAnalysis: the read-only Python view of a constraint analysis
// (rank, redundant and conflicting constraints, their groups, free entities).

#include "lib/py_ref.hpp"
#include "validation/constraint_analysis.hpp"

namespace ovralis::py {

PyTypeObject* create_constraint_analysis_type();

Ref wrap_constraint_analysis(ConstraintAnalysis&& analysis);

}  // namespace ovralis::py
