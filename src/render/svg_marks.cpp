// The drafting marks of a sketch picture (see svg_marks.hpp).

#include "render/svg_marks.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ovralis::svg {
namespace {

constexpr double kArrowLength = 8.0;
constexpr double kArrowHalfWidth = 3.0;
constexpr double kTextHeight = 15.0;
constexpr double kBadgeHalf = 7.0;

double length(Pixel a) { return std::hypot(a.x, a.y); }

Pixel unit(Pixel a) {
    const double l = length(a);
    return l > 0.0 ? (1.0 / l) * a : Pixel{1.0, 0.0};
}

// The text's box, estimated from its length: the picture carries no font metrics.
double text_width(std::string_view text) {
    std::size_t characters = 0;
    for (const char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++characters;
    }
    return 7.0 * static_cast<double>(characters) + 6.0;
}

// How far the centre of a text box must stand from a line through its anchor,
// in the direction `normal`, for the box to clear it.
double clearance(std::string_view text, Pixel normal) {
    return std::abs(normal.x) * text_width(text) / 2.0 + std::abs(normal.y) * kTextHeight / 2.0;
}

void segment(std::string& out, Pixel a, Pixel b) {
    append(out, "<line x1=\"", a.x, "\" y1=\"", a.y, "\" x2=\"", b.x, "\" y2=\"", b.y, "\"/>\n");
}

// A filled arrowhead whose tip is at `tip`, pointing along `direction`.
void arrowhead(std::string& out, Pixel tip, Pixel direction, const char* ink) {
    const Pixel d = unit(direction);
    const Pixel side{-d.y, d.x};
    const Pixel base = tip - kArrowLength * d;
    const Pixel left = base + kArrowHalfWidth * side;
    const Pixel right = base - kArrowHalfWidth * side;
    append(out, "<path d=\"M ", tip.x, " ", tip.y, " L ", left.x, " ", left.y, " L ", right.x, " ",
           right.y, " Z\" fill=\"", ink, "\" stroke=\"none\"/>\n");
}

// The strokes of each glyph, on a 14-pixel badge centred at the origin.
const char* glyph_strokes(Glyph kind) {
    switch (kind) {
        case Glyph::Horizontal: return "M -4 -4 L -4 4 M 4 -4 L 4 4 M -4 0 L 4 0";
        case Glyph::Vertical: return "M -4 -4 L 0 4 L 4 -4";
        case Glyph::Perpendicular: return "M 0 -4 L 0 4 M -4 4 L 4 4";
        case Glyph::Parallel: return "M -4 4 L -1 -4 M 1 4 L 4 -4";
        case Glyph::Tangent: return "M -5 3 L 5 3 M 3 -1 A 3 3 0 1 0 -3 -1 A 3 3 0 1 0 3 -1";
        case Glyph::Equal: return "M -4 -2 L 4 -2 M -4 2 L 4 2";
    }
    return "";
}

}  // namespace

Pixel ValuePlaces::take(Pixel preferred, Pixel away, std::string_view text) {
    constexpr int kTries = 6;
    const Pixel half{text_width(text) / 2.0, kTextHeight / 2.0};
    // One step moves the box by its own extent along `away`.
    const double step = 2.0 * (std::abs(away.x) * half.x + std::abs(away.y) * half.y) + 2.0;
    for (int attempt = 0; attempt < kTries; ++attempt) {
        const Pixel center = preferred + (step * attempt) * away;
        const Box box{center - half, center + half};
        const bool free = std::none_of(taken_.begin(), taken_.end(), [&](const Box& other) {
            return box.low.x < other.high.x && other.low.x < box.high.x &&
                   box.low.y < other.high.y && other.low.y < box.high.y;
        });
        if (free) {
            taken_.push_back(box);
            return center;
        }
    }
    taken_.push_back({preferred - half, preferred + half});
    return preferred;
}

void value_text(std::string& out, ValuePlaces& places, Pixel preferred, Pixel away,
                std::string_view text, const char* ink) {
    const Pixel center = places.take(preferred, unit(away), text);
    const double width = text_width(text);
    append(out, "<rect x=\"", center.x - width / 2.0, "\" y=\"", center.y - kTextHeight / 2.0,
           "\" width=\"", width, "\" height=\"", kTextHeight,
           "\" rx=\"3\" fill=\"white\" fill-opacity=\"0.85\" stroke=\"none\"/>\n");
    append(out, "<text x=\"", center.x, "\" y=\"", center.y + 4.0, "\" fill=\"", ink, "\" stroke=\"none\">",
           xml_escaped(text), "</text>\n");
}

void linear_dimension(std::string& out, ValuePlaces& places, Pixel a, Pixel b, Pixel normal, double offset,
                      std::string_view text, const char* ink) {
    const Pixel n = unit(normal);
    const Pixel from = a + offset * n;
    const Pixel to = b + offset * n;
    // Extension lines leave a small gap at the geometry and run a little past the dimension line.
    segment(out, a + 3.0 * n, from + 4.0 * n);
    segment(out, b + 3.0 * n, to + 4.0 * n);
    segment(out, from, to);
    arrowhead(out, from, from - to, ink);
    arrowhead(out, to, to - from, ink);
    value_text(out, places, 0.5 * (from + to) + (4.0 + clearance(text, n)) * n, n, text, ink);
}

void angle_dimension(std::string& out, ValuePlaces& places, Pixel center, double radius, double from, double sweep,
                     std::string_view text, const char* ink) {
    const auto on_arc = [&](double angle) {
        return center + Pixel{radius * std::cos(angle), radius * std::sin(angle)};
    };
    const Pixel start = on_arc(from);
    const Pixel end = on_arc(from + sweep);
    const char* large = std::abs(sweep) > std::numbers::pi ? "1" : "0";
    const char* clockwise = sweep > 0.0 ? "1" : "0";
    append(out, "<path d=\"M ", start.x, " ", start.y, " A ", radius, " ", radius, " 0 ", large, " ",
           clockwise, " ", end.x, " ", end.y, "\"/>\n");
    const double turn = sweep > 0.0 ? 1.0 : -1.0;
    const auto tangent = [&](double angle) {
        return Pixel{-std::sin(angle) * turn, std::cos(angle) * turn};
    };
    arrowhead(out, start, -1.0 * tangent(from), ink);
    arrowhead(out, end, tangent(from + sweep), ink);
    const double middle = from + sweep / 2.0;
    const Pixel outward{std::cos(middle), std::sin(middle)};
    value_text(out, places, center + (radius + 4.0 + clearance(text, outward)) * outward, outward,
               text, ink);
}

void radius_leader(std::string& out, ValuePlaces& places, Pixel center, Pixel rim, std::string_view text,
                   const char* ink) {
    const Pixel outward = unit(rim - center);
    segment(out, center, rim);
    arrowhead(out, rim, outward, ink);
    value_text(out, places, rim + (4.0 + clearance(text, outward)) * outward, outward, text, ink);
}

void glyph(std::string& out, Glyph kind, Pixel center, const char* ink) {
    append(out, "<g transform=\"translate(", center.x, " ", center.y, ")\">\n");
    append(out, "<rect x=\"", -kBadgeHalf, "\" y=\"", -kBadgeHalf, "\" width=\"", 2.0 * kBadgeHalf,
           "\" height=\"", 2.0 * kBadgeHalf,
           "\" rx=\"3\" fill=\"white\" stroke-width=\"1\"/>\n");
    append(out, "<path d=\"", glyph_strokes(kind), "\" fill=\"none\" stroke=\"", ink,
           "\" stroke-width=\"1.3\"/>\n</g>\n");
}

void coincidence_ring(std::string& out, Pixel center, const char* ink) {
    append(out, "<circle cx=\"", center.x, "\" cy=\"", center.y, "\" r=\"6.5\" fill=\"none\" stroke=\"", ink,
           "\" stroke-width=\"1.2\"/>\n");
}

void anchor(std::string& out, Pixel point, const char* ink) {
    const double base = point.y + 14.0;
    append(out, "<path d=\"M ", point.x, " ", point.y + 5.0, " L ", point.x - 6.0, " ", base, " L ",
           point.x + 6.0, " ", base, " Z M ", point.x - 9.0, " ", base, " L ", point.x + 9.0, " ", base);
    for (int tick = 0; tick < 5; ++tick) {
        const double x = point.x - 8.0 + 4.0 * tick;
        append(out, " M ", x, " ", base, " L ", x - 3.0, " ", base + 4.0);
    }
    append(out, "\" fill=\"none\" stroke=\"", ink, "\" stroke-width=\"1.2\"/>\n");
}

}  // namespace ovralis::svg
