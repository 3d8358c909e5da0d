#pragma once

#include <cstdint>

namespace ovralis {

// Every handle the module hands out is a zero-based position in one of the
// store's per-kind lists.
using Index = std::uint64_t;

struct Point {
    double x = 0.0;
    double y = 0.0;
    bool fixed = false;
};

// A segment between two points; it has no coordinates of its own.
struct Line {
    Index p1 = 0;
    Index p2 = 0;
};

// A fixed circle's radius is not an unknown; its centre follows its point's flag.
struct Circle {
    Index center = 0;
    double radius = 0.0;
    bool fixed = false;
};

// Runs counter-clockwise from start to end about center. `fixed` freezes only the radius.
struct Arc {
    Index center = 0;
    Index start = 0;
    Index end = 0;
    double radius = 0.0;
    bool fixed = false;
};

// Given by its centre, one focus and the minor radius. `fixed` freezes only radmin.
struct Ellipse {
    Index center = 0;
    Index focus1 = 0;
    double radmin = 0.0;
    bool fixed = false;
};

struct ArcOfEllipse {
    Index center = 0;
    Index focus1 = 0;
    double radmin = 0.0;
    Index start = 0;
    Index end = 0;
    bool fixed = false;
};

enum class EntityKind : std::uint8_t { Point, Line, Circle, Arc, Ellipse, ArcOfEllipse };

// "Point", "Line", ..., "ArcOfEllipse": the word used in index errors.
const char* entity_kind_name(EntityKind kind);

}  // namespace ovralis
