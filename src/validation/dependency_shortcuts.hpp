#pragma once

// Shorter dependencies for redundant equations: an equation that depends on
// an earlier redundant one is expressed through it rather than through
// everything that one depends on.

#include <cstddef>
#include <vector>

#include <Eigen/SparseCore>

#include "validation/ordered_rank.hpp"

namespace ovralis {

// A dependent row's combination over the independent rows is unique, but it
// can be long: when row r depends on an earlier dependent row j, it spells out
// all of j's own combination (a chain of redundant bars reaching back to the
// first). Wherever the combination of r contains a multiple of j's
// combination, replacing that part by j gives a smaller set of rows that is
// still minimal: j together with the rest of r's independent rows is
// independent, and every coefficient stays non-zero.
class DependencyShortcuts {
public:
    // Earlier dependent rows tried per lookup, most recent first.
    static constexpr std::size_t kCandidates = 16;

    // Rows whose coefficient is at most `tol` times the largest count as absent.
    explicit DependencyShortcuts(double tol, Eigen::Index rows);

    // `combination` is the dependent `row` over the independent rows. Returns
    // it over independent and earlier dependent rows, shortened where it
    // can be, and remembers the row for later ones.
    std::vector<ColumnCoefficient> shorten(Eigen::Index row,
                                           std::vector<ColumnCoefficient> combination);

private:
    struct Remembered {
        Eigen::Index row;
        std::vector<ColumnCoefficient> combination;  // over independent rows, large first
    };

    bool replace(const Remembered& earlier, std::vector<double>& coefficient,
                 std::vector<ColumnCoefficient>& used, double largest) const;

    double tol_;
    std::vector<Remembered> remembered_;
    // Per independent row: the remembered rows whose largest coefficient sits on it.
    std::vector<std::vector<std::size_t>> by_leading_row_;
    std::vector<double> coefficient_;  // per row: the working combination, 0 elsewhere
};

}  // namespace ovralis
