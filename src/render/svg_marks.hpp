#pragma once

// The drafting marks of a sketch picture, drawn in pixel coordinates (y down):
// dimension lines with arrowheads, angle arcs, radius leaders, value texts on
// a white ground so no line runs through them, constraint glyphs and the
// anchor under a fixed point. svg_writer decides where each mark goes.

#include <string>
#include <string_view>
#include <vector>

#include "render/svg_text.hpp"

namespace ovralis::svg {

struct Pixel {
    double x = 0.0;
    double y = 0.0;
};

inline Pixel operator+(Pixel a, Pixel b) { return {a.x + b.x, a.y + b.y}; }
inline Pixel operator-(Pixel a, Pixel b) { return {a.x - b.x, a.y - b.y}; }
inline Pixel operator*(double s, Pixel a) { return {s * a.x, s * a.y}; }

// How far a dimension line stands off the geometry it measures, and how far
// its value stands off the dimension line (pixels).
inline constexpr double kDimensionOffset = 22.0;
inline constexpr double kValueOffset = 10.0;

// The glyph of a geometric constraint, drawn as strokes in a small badge so it
// looks the same whatever fonts the viewer has.
enum class Glyph { Horizontal, Vertical, Perpendicular, Parallel, Tangent, Equal };

// The boxes of the values drawn so far, so that a new value steps aside from them.
class ValuePlaces {
public:
    // The first centre from `preferred`, stepping along the unit `away`, whose box
    // meets no earlier value's (or `preferred` when none within a few steps is
    // free); the box is then taken.
    Pixel take(Pixel preferred, Pixel away, std::string_view text);

private:
    struct Box {
        Pixel low;
        Pixel high;
    };
    std::vector<Box> taken_;
};

// A value text centred on `center` (or stepped along `away` from it, clear of
// earlier values), on a white ground.
void value_text(std::string& out, ValuePlaces& places, Pixel center, Pixel away,
                std::string_view text, const char* ink);

// An aligned dimension of the segment a-b: extension lines from both ends,
// the dimension line `offset` pixels along the unit `normal` with an arrowhead
// at each end, and the value beyond it.
void linear_dimension(std::string& out, ValuePlaces& places, Pixel a, Pixel b, Pixel normal, double offset,
                      std::string_view text, const char* ink);

// An arc about `center` of `radius` pixels from direction angle `from` turning
// by `sweep` (screen radians, clockwise positive as y points down), arrowheads
// at both ends and the value outside its middle.
void angle_dimension(std::string& out, ValuePlaces& places, Pixel center, double radius, double from, double sweep,
                     std::string_view text, const char* ink);

// A leader from `center` to `rim` with an arrowhead on the rim and the value
// just outside it.
void radius_leader(std::string& out, ValuePlaces& places, Pixel center, Pixel rim, std::string_view text,
                   const char* ink);

void glyph(std::string& out, Glyph kind, Pixel center, const char* ink);

// Two concentric rings: points held together.
void coincidence_ring(std::string& out, Pixel center, const char* ink);

// A ground symbol under a fixed point: a triangle standing on a hatched base.
void anchor(std::string& out, Pixel point, const char* ink);

}  // namespace ovralis::svg
