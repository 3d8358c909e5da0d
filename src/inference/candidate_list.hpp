#pragma once

// The relations inference looks for, and the list of candidate constraints
// that hold in the drawing, kept in an order that depends on geometry only.

#include <array>
#include <optional>
#include <string_view>
#include <vector>

#include "inference/drawing_frame.hpp"
#include "system/system.hpp"

namespace ovralis::inference {

// In order of preference: when two candidates say the same thing, the rank
// check keeps the earlier one. The relations of two equations come before
// those of one that could make half of them implied (a midpoint before the
// point on its line, a symmetry before the direction of its pair), since a
// relation is added whole or not at all.
enum class Relation : std::uint8_t {
    Concentric,
    Coincident,
    PointOnArc,
    Midpoint,
    Symmetric,
    Horizontal,
    Vertical,
    Tangent,
    Parallel,
    Perpendicular,
    PointOnLine,
    PointOnCircle,
    EqualLength,
    EqualRadius,
};
inline constexpr std::size_t kRelationCount = 14;

// "concentric", "coincident", "point_on_arc", ..., "equal_radius".
std::string_view relation_name(Relation relation);
std::optional<Relation> relation_from_name(std::string_view name);

using RelationSet = std::array<bool, kRelationCount>;
inline RelationSet every_relation() {
    RelationSet all;
    all.fill(true);
    return all;
}

class CandidateList {
public:
    // A candidate holds when its geometric error (lengths relative to the
    // drawing's size, angles in radians) is at most `tol`.
    CandidateList(const System& system, const DrawingFrame& frame, double tol, RelationSet wanted);

    bool wants(Relation relation) const { return wanted_[static_cast<std::size_t>(relation)]; }

    // Keeps `constraint` if its relation is wanted and it holds. Within one
    // relation, candidates of a lower `preference` come first.
    void offer(Relation relation, Constraint constraint, std::uint8_t preference = 0);

    // The candidates kept, by relation, kind and the geometric ranks of the
    // entities they name, each once.
    std::vector<Constraint> in_canonical_order() const;

private:
    struct Entry {
        Relation relation;
        std::uint8_t preference;
        Constraint constraint;
        std::array<Index, 3> ranks;
    };
    const System& system_;
    const DrawingFrame& frame_;
    double tol_;
    RelationSet wanted_;
    std::vector<Entry> entries_;
};

}  // namespace ovralis::inference
