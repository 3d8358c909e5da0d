// Jacobians conformed to one pattern keep their values exactly, and the
// pattern settles on the union of those seen.

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <Eigen/Dense>

#include "jacobian/stable_pattern.hpp"

namespace ovralis {
namespace {

using Entries = std::vector<Eigen::Triplet<double>>;

Eigen::SparseMatrix<double> sparse(int rows, int columns, const Entries& entries) {
    Eigen::SparseMatrix<double> m(rows, columns);
    m.setFromTriplets(entries.begin(), entries.end());
    m.makeCompressed();
    return m;
}

std::vector<std::pair<int, int>> positions(const Eigen::SparseMatrix<double>& m) {
    std::vector<std::pair<int, int>> held;
    for (int c = 0; c < m.outerSize(); ++c) {
        for (Eigen::SparseMatrix<double>::InnerIterator it(m, c); it; ++it)
            held.emplace_back(static_cast<int>(it.row()), c);
    }
    return held;
}

struct Sequence {
    const char* name;
    std::vector<Entries> jacobians;            // 3 x 3, in the order they arrive
    std::vector<std::pair<int, int>> settled;  // the union, column by column
};

class StablePatternTest : public ::testing::TestWithParam<Sequence> {};

TEST_P(StablePatternTest, KeepsValuesAndSettlesOnTheUnion) {
    StablePattern pattern;
    Eigen::SparseMatrix<double> last;
    for (const Entries& entries : GetParam().jacobians) {
        const Eigen::SparseMatrix<double> jacobian = sparse(3, 3, entries);
        last = pattern.conform(jacobian);
        EXPECT_TRUE(last.isCompressed());
        EXPECT_EQ(Eigen::MatrixXd(last), Eigen::MatrixXd(jacobian));
    }
    EXPECT_EQ(positions(last), GetParam().settled);
    // From now on every Jacobian of the shape comes back in the settled pattern.
    const Eigen::SparseMatrix<double> lone = sparse(3, 3, {{1, 1, 7.0}});
    const Eigen::SparseMatrix<double> conformed = pattern.conform(lone);
    EXPECT_EQ(Eigen::MatrixXd(conformed), Eigen::MatrixXd(lone));
    std::vector<std::pair<int, int>> expected = GetParam().settled;
    if (std::find(expected.begin(), expected.end(), std::pair{1, 1}) == expected.end()) {
        expected.emplace_back(1, 1);
        std::sort(expected.begin(), expected.end(), [](auto a, auto b) {
            return std::pair{a.second, a.first} < std::pair{b.second, b.first};
        });
    }
    EXPECT_EQ(positions(conformed), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, StablePatternTest,
    ::testing::Values(Sequence{"unchanged",
                               {{{0, 0, 1.0}, {2, 1, 2.0}}, {{0, 0, 3.0}, {2, 1, 4.0}}},
                               {{0, 0}, {2, 1}}},
                      // An entry that rounds to zero at one point and not at the next.
                      Sequence{"flickering",
                               {{{0, 0, 1.0}, {1, 0, 1e-19}, {2, 2, 1.0}},
                                {{0, 0, 1.0}, {2, 2, 1.0}},
                                {{0, 0, 2.0}, {1, 0, -1e-19}, {2, 2, 2.0}}},
                               {{0, 0}, {1, 0}, {2, 2}}},
                      // Entries that appear in one column and vanish from another.
                      Sequence{
                          "moving",
                          {{{0, 1, 1.0}, {2, 2, 1.0}}, {{1, 1, 5.0}, {0, 2, 6.0}}, {{2, 0, 8.0}}},
                          {{2, 0}, {0, 1}, {1, 1}, {0, 2}, {2, 2}}}),
    [](const ::testing::TestParamInfo<Sequence>& info) { return std::string(info.param.name); });

// A Jacobian of another shape starts a new pattern.
TEST(StablePattern, StartsAgainForAnotherShape) {
    StablePattern pattern;
    pattern.conform(sparse(3, 3, {{0, 0, 1.0}, {1, 1, 1.0}, {2, 2, 1.0}}));
    const Eigen::SparseMatrix<double> other = sparse(2, 3, {{1, 2, 4.0}});
    const Eigen::SparseMatrix<double> conformed = pattern.conform(other);
    EXPECT_EQ(Eigen::MatrixXd(conformed), Eigen::MatrixXd(other));
    EXPECT_EQ(conformed.nonZeros(), 1);
}

}  // namespace
}  // namespace ovralis
