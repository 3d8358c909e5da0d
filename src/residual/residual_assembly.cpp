// The residual vector: one entry per constraint equation, constraint by
// constraint in list order, in the full or the reduced form, then one entry
// per design-intent equation (left - right) in its order.

#include <algorithm>
#include <cmath>

#include "expression/bound_fields.hpp"
#include "residual/kind_operations.hpp"
#include "residual/residual.hpp"

namespace ovralis {
namespace {

bool contributes(const Constraint& c, ResidualForm form) {
    return form == ResidualForm::Full || !is_eliminated(c);
}

// Calls visit(entry) for every residual entry of the form, in row order.
template <class Visit>
void for_each_entry(const System& system, ResidualForm form, Visit&& visit) {
    for (const Constraint& c : system.constraints) {
        if (!contributes(c, form)) continue;
        const ConstraintEntries entries = constraint_residual(system, c);
        for (unsigned e = 0; e < entries.count; ++e) visit(entries.value[e]);
    }
    for (const Equation& equation : system.equations) visit(equation_residual(system, equation));
}

}  // namespace

ConstraintEntries constraint_residual(const System& system, const Constraint& c) {
    return kind_operations(c.kind).residual(system, c);
}

bool has_eliminated_constraints(const System& system) {
    return std::any_of(system.constraints.begin(), system.constraints.end(),
                       [](const Constraint& c) { return is_eliminated(c); });
}

ResidualForm solver_residual_form(const System& system) {
    return has_eliminated_constraints(system) ? ResidualForm::Reduced : ResidualForm::Full;
}

Eigen::Index residual_size(const System& system, ResidualForm form) {
    Eigen::Index size = 0;
    for (const Constraint& c : system.constraints) {
        if (contributes(c, form)) size += equation_count(c);
    }
    return size + static_cast<Eigen::Index>(system.equations.size());
}

void evaluate_residuals(const System& system, ResidualForm form, Eigen::VectorXd& out) {
    // resize keeps the storage when the size already matches.
    out.resize(residual_size(system, form));
    Eigen::Index row = 0;
    for_each_entry(system, form, [&](double entry) { out[row++] = entry; });
}

Eigen::VectorXd residual_vector(const System& system, ResidualForm form) {
    Eigen::VectorXd out;
    evaluate_residuals(system, form, out);
    return out;
}

double residual_sum_of_squares(const System& system, ResidualForm form) {
    double sum = -0.0;
    for_each_entry(system, form, [&](double entry) { sum += entry * entry; });
    return sum;
}

double max_abs_residual(const Eigen::VectorXd& residual) {
    double largest = 0.0;
    for (const double entry : residual) {
        // A NaN entry fails the comparison and is skipped.
        if (std::fabs(entry) > largest) largest = std::fabs(entry);
    }
    return largest;
}

double sum_of_squares(const Eigen::VectorXd& residual) {
    double sum = -0.0;
    for (const double entry : residual) sum += entry * entry;
    return sum;
}

}  // namespace ovralis
