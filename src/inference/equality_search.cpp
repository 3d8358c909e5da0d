// Equalities: lines of one length and circles of one radius, found as runs of
// a list sorted by the value and chained pairwise.

#include <algorithm>
#include <cmath>
#include <tuple>

#include "inference/candidate_search.hpp"

namespace ovralis::inference {
namespace {

// Indices sorted by figure, value and rank; consecutive ones of one figure are offered.
template <typename Figure, typename Value>
void chain_sorted(SearchContext& c, std::size_t count, const std::vector<Index>& rank, Figure figure,
                  Value value, Relation relation, ConstraintKind kind) {
    std::vector<Index> order(count);
    std::vector<double> values(count);
    for (Index i = 0; i < count; ++i) {
        order[i] = i;
        values[i] = value(i);
    }
    std::sort(order.begin(), order.end(), [&](Index a, Index b) {
        return std::make_tuple(figure(a), values[a], rank[a]) < std::make_tuple(figure(b), values[b], rank[b]);
    });
    for (std::size_t k = 1; k < count; ++k) {
        if (figure(order[k]) != figure(order[k - 1])) continue;
        if (values[order[k]] - values[order[k - 1]] > c.length_tol) continue;
        c.out.offer(relation, relation_constraint(kind, order[k - 1], order[k]));
    }
}

}  // namespace

void search_equalities(SearchContext& c) {
    const System& s = c.system;
    if (c.out.wants(Relation::EqualLength)) {
        chain_sorted(c, s.lines.size(), c.frame.line_rank, [&](Index i) { return c.figures.of_line(s, i); }, [&](Index i) {
            return norm(point_at(s, s.lines[i].p2) - point_at(s, s.lines[i].p1));
        }, Relation::EqualLength, ConstraintKind::EqualLength);
    }
    if (c.out.wants(Relation::EqualRadius)) {
        chain_sorted(c, s.circles.size(), c.frame.circle_rank,
                     [&](Index i) { return c.figures.of_circle(s, i); }, [&](Index i) { return std::fabs(s.circles[i].radius); }, Relation::EqualRadius,
                     ConstraintKind::EqualRadius);
    }
}

}  // namespace ovralis::inference
