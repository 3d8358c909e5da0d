#include "inference/figures.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "inference/spatial_grid.hpp"

namespace ovralis::inference {
namespace {

class UnionFind {
public:
    explicit UnionFind(std::size_t count) : parent_(count) { std::iota(parent_.begin(), parent_.end(), Index{0}); }
    Index find(Index i) {
        while (parent_[i] != i) i = parent_[i] = parent_[parent_[i]];
        return i;
    }
    void unite(Index a, Index b) {
        a = find(a);
        b = find(b);
        if (a != b) parent_[std::max(a, b)] = std::min(a, b);
    }

private:
    std::vector<Index> parent_;
};

void extend(Box& box, double x, double y, double margin) {
    box.x0 = std::min(box.x0, x - margin);
    box.y0 = std::min(box.y0, y - margin);
    box.x1 = std::max(box.x1, x + margin);
    box.y1 = std::max(box.y1, y + margin);
}

bool overlap(const Box& a, const Box& b) {
    return a.x0 <= b.x1 && b.x0 <= a.x1 && a.y0 <= b.y1 && b.y0 <= a.y1;
}

}  // namespace

Figures find_figures(const System& s, const DrawingFrame& frame) {
    UnionFind joined(s.points.size());
    for (const Line& l : s.lines) joined.unite(l.p1, l.p2);
    for (const Arc& a : s.arcs) {
        joined.unite(a.center, a.start);
        joined.unite(a.center, a.end);
    }
    // Boxes of the point-joined groups; a circle's box is its full extent.
    std::vector<Box> boxes(s.points.size(), Box{INFINITY, INFINITY, -INFINITY, -INFINITY});
    for (Index p = 0; p < s.points.size(); ++p) extend(boxes[joined.find(p)], s.points[p].x, s.points[p].y, 0.0);
    for (const Circle& c : s.circles) {
        const Point& centre = s.points[c.center];
        extend(boxes[joined.find(c.center)], centre.x, centre.y, std::fabs(c.radius));
    }
    std::vector<Index> groups;
    for (Index p = 0; p < s.points.size(); ++p) {
        if (joined.find(p) == p) groups.push_back(p);
    }
    SpatialGrid grid(frame.bounds, groups.size());
    for (std::size_t g = 0; g < groups.size(); ++g) grid.insert(static_cast<std::uint32_t>(g), boxes[groups[g]]);
    for (std::size_t g = 0; g < groups.size(); ++g) {
        for (const std::uint32_t other : grid.near(boxes[groups[g]])) {
            if (other > g && overlap(boxes[groups[g]], boxes[groups[other]])) joined.unite(groups[g], groups[other]);
        }
    }
    // Each figure is numbered by its lowest point rank, which the order of the points does not change.
    std::vector<Index> label(s.points.size(), s.points.size());
    for (Index p = 0; p < s.points.size(); ++p) {
        Index& l = label[joined.find(p)];
        l = std::min(l, frame.point_rank[p]);
    }
    Figures out;
    out.of_point.resize(s.points.size());
    for (Index p = 0; p < s.points.size(); ++p) out.of_point[p] = label[joined.find(p)];
    return out;
}

}  // namespace ovralis::inference
