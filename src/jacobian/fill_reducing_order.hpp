#pragma once

// The order in which the variables of a sparse symmetric matrix (J^T J) are
// eliminated so that its Cholesky factor fills little.

#include <vector>

#include <Eigen/SparseCore>

namespace ovralis {

// A fill-reducing order of the variables of a symmetric pattern (both
// triangles stored): order[j] is the position variable j takes. Approximate
// minimum degree keeps the fill small for the couplings of most sketches
// (radii to centres numbered a whole block of points earlier, holes to the
// edges they are measured from) and is cheap to find. Where its factor still
// costs many operations per stored entry, as on a grid of holes each
// dimensioned from its neighbours (a two-dimensional mesh), nested
// dissection is tried as well and the cheaper of the two factorisations
// kept.
std::vector<int> fill_reducing_order(const Eigen::SparseMatrix<double>& pattern);

}  // namespace ovralis
