// The dense central-difference Jacobian and the residual form its rows follow.
#include "jacobian/central_difference.hpp"

#include <string>

#include "jacobian/jacobian.hpp"
#include "system/errors.hpp"

namespace ovralis {

ResidualForm central_difference_form(const System& system, Eigen::Index rows) {
    const bool reduced_fits =
        has_eliminated_constraints(system) && residual_size(system, ResidualForm::Reduced) == rows;
    return reduced_fits ? ResidualForm::Reduced : ResidualForm::Full;
}

Eigen::MatrixXd central_difference_jacobian(System& system, const Eigen::VectorXd& x,
                                            Eigen::Index rows) {
    const auto columns = static_cast<Eigen::Index>(system.layout.variables.size());
    if (x.size() < columns) throw InternalError("variable vector shorter than the variable list");
    const ResidualForm form = central_difference_form(system, rows);

    Eigen::MatrixXd jacobian = Eigen::MatrixXd::Zero(rows, columns);
    Eigen::VectorXd w = x;
    Eigen::VectorXd plus;
    Eigen::VectorXd minus;
    for (Eigen::Index j = 0; j < columns; ++j) {
        const double v = w[j];
        // Every sample writes the whole vector back, so the eliminated
        // equalities and the radius clamp hold at it as at any solver trial.
        w[j] = v + kDifferenceStep;
        scatter(system, w);
        evaluate_residuals(system, form, plus);
        w[j] = v + (-kDifferenceStep);
        scatter(system, w);
        evaluate_residuals(system, form, minus);
        w[j] = v;
        if (plus.size() < rows || minus.size() < rows) {
            throw InternalError("residual vector of " + std::to_string(plus.size()) +
                                " entries for a Jacobian of " + std::to_string(rows) + " rows");
        }
        for (Eigen::Index i = 0; i < rows; ++i) {
            jacobian(i, j) = central_difference(plus[i], minus[i]);
        }
    }
    scatter(system, x);
    return jacobian;
}

}  // namespace ovralis
