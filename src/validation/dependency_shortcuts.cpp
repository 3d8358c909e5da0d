// Replacing spelled-out dependencies on earlier redundant rows by those rows.

#include "validation/dependency_shortcuts.hpp"

#include <algorithm>
#include <cmath>

namespace ovralis {

DependencyShortcuts::DependencyShortcuts(double tol, Eigen::Index rows)
    : tol_(tol),
      by_leading_row_(static_cast<std::size_t>(rows)),
      coefficient_(static_cast<std::size_t>(rows), 0.0) {}

// The part of the working combination on `earlier`'s rows is alpha times its
// combination, alpha read on its leading row: then those rows go, `earlier`
// comes in with alpha.
bool DependencyShortcuts::replace(const Remembered& earlier, std::vector<double>& coefficient,
                                  std::vector<ColumnCoefficient>& used, double largest) const {
    const ColumnCoefficient& lead = earlier.combination.front();
    const double alpha = coefficient[static_cast<std::size_t>(lead.column)] / lead.value;
    if (alpha == 0.0) return false;
    for (const ColumnCoefficient& c : earlier.combination) {
        const double x = coefficient[static_cast<std::size_t>(c.column)];
        if (!(std::abs(x - alpha * c.value) <= tol_ * largest)) return false;
    }
    for (const ColumnCoefficient& c : earlier.combination) {
        coefficient[static_cast<std::size_t>(c.column)] = 0.0;
    }
    used.push_back({earlier.row, alpha});
    return true;
}

std::vector<ColumnCoefficient> DependencyShortcuts::shorten(
    Eigen::Index row, std::vector<ColumnCoefficient> combination) {
    double largest = 0.0;
    for (const ColumnCoefficient& c : combination) largest = std::max(largest, std::abs(c.value));
    std::erase_if(combination, [&](const ColumnCoefficient& c) {
        return !(std::abs(c.value) > tol_ * largest);
    });
    std::sort(combination.begin(), combination.end(),
              [](const auto& a, const auto& b) { return std::abs(a.value) > std::abs(b.value); });

    for (const ColumnCoefficient& c : combination) {
        coefficient_[static_cast<std::size_t>(c.column)] = c.value;
    }
    std::vector<ColumnCoefficient> used;
    for (const ColumnCoefficient& c : combination) {
        const auto& candidates = by_leading_row_[static_cast<std::size_t>(c.column)];
        const std::size_t tried = std::min(candidates.size(), kCandidates);
        for (std::size_t i = 0; i < tried; ++i) {
            const Remembered& earlier = remembered_[candidates[candidates.size() - 1 - i]];
            if (replace(earlier, coefficient_, used, largest)) break;
        }
    }
    for (const ColumnCoefficient& c : combination) {
        double& x = coefficient_[static_cast<std::size_t>(c.column)];
        if (x != 0.0) used.push_back({c.column, x});
        x = 0.0;
    }

    if (!combination.empty()) {
        by_leading_row_[static_cast<std::size_t>(combination.front().column)].push_back(
            remembered_.size());
        remembered_.push_back({row, std::move(combination)});
    }
    return used;
}

}  // namespace ovralis
