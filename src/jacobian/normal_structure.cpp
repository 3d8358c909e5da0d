#include "jacobian/normal_structure.hpp"

#include <utility>

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
    }
    cholesky_.analyse(normal_.matrix());
}

}  // namespace ovralis
