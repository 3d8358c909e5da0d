#pragma once

// How the normal matrices J^T J of one problem are stored and factorised,
// decided once for the Jacobian's sparsity pattern and shared by every method
// that solves with them during a solve (Levenberg–Marquardt, then the
// refinement).

#include <optional>

#include <Eigen/SparseCore>

#include "jacobian/banded_cholesky.hpp"
#include "jacobian/banded_elimination.hpp"
#include "jacobian/normal_matrix.hpp"
#include "jacobian/shifted_cholesky.hpp"

namespace ovralis {

// When the non-zeros of J^T J stay near the diagonal (a strip of triangles,
// separate rectangles) the variables keep their order and the matrix also
// has a band shape, which is factorised in band storage. When some lie far
// from it (every radius couples to its centre's coordinates, numbered a whole
// block of points earlier; a hole is measured from the plate's edges), the
// variables are put in a fill-reducing order and the sparse factorisation's
// symbolic analysis is made for it.
class NormalStructure {
public:
    // Makes the choice and the analysis for the pattern of `jacobian`
    // (compressed) unless they were made for it already.
    void prepare_for(const Eigen::SparseMatrix<double>& jacobian);

    NormalMatrix& normal() { return normal_; }

    // Factorises the assembled J^T J (normal().matrix(), with whatever the
    // caller changed in it since) plus shift I, in the band or in the
    // fill-reducing order. False when a pivot lies below `pivot_floor`.
    bool factorize(double shift, double pivot_floor);

    // After a successful factorize: the solution x of (J^T J + shift I) x = b,
    // b and x in the variables' own order.
    Eigen::VectorXd solve(const Eigen::VectorXd& b) const;

    // The band's shape (its values all zero) when the matrix is banded.
    const std::optional<BandedMatrix>& band_shape() const { return band_shape_; }

private:
    NormalMatrix normal_;
    std::optional<BandedMatrix> band_shape_;
    BandedCholesky band_cholesky_;  // when banded
    ShiftedCholesky cholesky_;      // otherwise
};

}  // namespace ovralis
