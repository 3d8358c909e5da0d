#include "jacobian/normal_structure.hpp"

#include <utility>

#include "jacobian/fill_reducing_order.hpp"

namespace ovralis {
namespace {

bool band_pays_off(const BandedMatrix& band, Eigen::Index non_zeros) {
    return band.size * band.width() <= 4 * non_zeros + 1024;
}

}  // namespace

void NormalStructure::prepare_for(const Eigen::SparseMatrix<double>& jacobian) {
    if (normal_.fits(jacobian)) return;
    const Eigen::SparseMatrix<double> pattern = normal_pattern(jacobian);
    BandedMatrix band = ovralis::band_shape(pattern);
    if (band_pays_off(band, pattern.nonZeros())) {
        band_shape_ = std::move(band);
        normal_.prepare(jacobian, pattern);
    } else {
        band_shape_.reset();
        normal_.prepare(jacobian, pattern, fill_reducing_order(pattern));
        cholesky_.analyse(normal_.matrix());
    }
}

bool NormalStructure::factorize(double shift, double pivot_floor) {
    if (band_shape_) {
        // The pattern is symmetric, so its lower and upper reach agree.
        return band_cholesky_.factorize(normal_.matrix(), band_shape_->lower, shift, pivot_floor);
    }
    return cholesky_.factorize(normal_.matrix(), shift, pivot_floor);
}

Eigen::VectorXd NormalStructure::solve(const Eigen::VectorXd& b) const {
    if (band_shape_) return band_cholesky_.solve(b);
    return normal_.from_order(cholesky_.solve(normal_.to_order(b)));
}

}  // namespace ovralis
