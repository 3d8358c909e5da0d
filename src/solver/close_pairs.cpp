// Pairs of plane points within a small distance, by a sort into columns.
#include "solver/close_pairs.hpp"

#include <algorithm>
#include <cmath>

namespace ovralis {
namespace {

struct Entry {
    double column = 0.0;  // floor(x / reach), kept as a double so no coordinate overflows it
    double y = 0.0;
    std::size_t position = 0;
};

// The pairs of one column, sorted by y, and those it forms with the next column.
void visit_column(const std::vector<PlanePoint>& points, double reach, const Entry* first,
                  const Entry* last, const Entry* next_first, const Entry* next_last,
                  const std::function<void(std::size_t, std::size_t)>& visit) {
    const auto close = [&](const Entry& a, const Entry& b) {
        const PlanePoint& p = points[a.position];
        const PlanePoint& q = points[b.position];
        if (std::hypot(p.x - q.x, p.y - q.y) <= reach) {
            visit(std::min(a.position, b.position), std::max(a.position, b.position));
        }
    };
    const Entry* below = next_first;
    for (const Entry* a = first; a != last; ++a) {
        for (const Entry* b = a + 1; b != last && b->y - a->y <= reach; ++b) close(*a, *b);
        while (below != next_last && below->y < a->y - reach) ++below;
        for (const Entry* b = below; b != next_last && b->y - a->y <= reach; ++b) close(*a, *b);
    }
}

}  // namespace

void for_each_close_pair(const std::vector<PlanePoint>& points, double reach,
                         const std::function<void(std::size_t, std::size_t)>& visit) {
    std::vector<Entry> entries;
    entries.reserve(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        const PlanePoint& p = points[i];
        if (std::isfinite(p.x) && std::isfinite(p.y)) {
            entries.push_back({std::floor(p.x / reach), p.y, i});
        }
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.column != b.column ? a.column < b.column : a.y < b.y;
    });
    const Entry* end = entries.data() + entries.size();
    const auto column_end = [end](const Entry* from) {
        const Entry* e = from;
        while (e != end && e->column == from->column) ++e;
        return e;
    };
    const Entry* first = entries.data();
    while (first != end) {
        const Entry* last = column_end(first);
        const bool next_is_neighbour = last != end && last->column == first->column + 1.0;
        const Entry* next_last = next_is_neighbour ? column_end(last) : last;
        visit_column(points, reach, first, last, last, next_last, visit);
        first = last;
    }
}

}  // namespace ovralis
