// Pairs of plane points that lie within a small distance of each other,
// found by one sort instead of comparing every pair.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

namespace ovralis {

struct PlanePoint {
    double x = 0.0;
    double y = 0.0;
};

// Calls `visit(i, j)` (i < j, positions in `points`) for every pair whose
// distance is at most `reach` (> 0). Points with a non-finite coordinate are
// skipped. The points are sorted once by columns `reach` wide and by y
// within a column, so a pair can only sit in one column or in two
// neighbouring ones: the cost is that of the sort plus the pairs near each
// other, also when many points share one x, as a grid's columns do.
void for_each_close_pair(const std::vector<PlanePoint>& points, double reach,
                         const std::function<void(std::size_t, std::size_t)>& visit);

}  // namespace ovralis
