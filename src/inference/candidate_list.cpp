#include "inference/candidate_list.hpp"

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

#include "residual/geometric_error.hpp"

namespace ovralis::inference {
namespace {

constexpr std::array<std::string_view, kRelationCount> kRelationNames = {
    "concentric",    "coincident",    "point_on_arc",  "midpoint",
    "symmetric",     "horizontal",    "vertical",      "tangent",
    "parallel",      "perpendicular", "point_on_line", "point_on_circle",
    "equal_length",  "equal_radius",
};

// The pair of fields that may be swapped without changing the constraint's
// meaning, if any: such pairs are stored lower rank first, so one relation
// found from either side is one candidate.
std::optional<std::pair<int, int>> interchangeable_fields(ConstraintKind kind) {
    switch (kind) {
        case ConstraintKind::Horizontal:
        case ConstraintKind::Vertical:
        case ConstraintKind::Coincident:
        case ConstraintKind::Parallel:
        case ConstraintKind::Perpendicular:
        case ConstraintKind::EqualLength:
        case ConstraintKind::EqualRadius:
        case ConstraintKind::Concentric:
        case ConstraintKind::CircleCircleTangent:
        case ConstraintKind::CircleCircleTangentInternal:
        case ConstraintKind::ArcArcTangent:
        case ConstraintKind::ArcArcTangentInternal:
        case ConstraintKind::Symmetry: return std::pair{0, 1};
        case ConstraintKind::Midpoint: return std::pair{1, 2};
        default: return std::nullopt;
    }
}

}  // namespace

std::string_view relation_name(Relation relation) {
    return kRelationNames[static_cast<std::size_t>(relation)];
}

std::optional<Relation> relation_from_name(std::string_view name) {
    for (std::size_t i = 0; i < kRelationCount; ++i) {
        if (kRelationNames[i] == name) return static_cast<Relation>(i);
    }
    return std::nullopt;
}

CandidateList::CandidateList(const System& system, const DrawingFrame& frame, double tol,
                             RelationSet wanted)
    : system_(system), frame_(frame), tol_(tol), wanted_(wanted) {}

void CandidateList::offer(Relation relation, Constraint constraint, std::uint8_t preference) {
    if (!wants(relation)) return;
    if (!(geometric_error(system_, constraint, frame_.size) <= tol_)) return;
    const KindInfo& info = kind_info(constraint.kind);
    std::array<Index, 3> ranks{};
    for (std::size_t f = 0; f < info.field_count; ++f) {
        const FieldSpec& field = info.fields[f];
        const std::optional<EntityKind> entity = entity_kind_of(field.type);
        if (entity) ranks[field.slot] = rank_of(frame_, *entity, constraint.index[field.slot]);
    }
    if (const auto pair = interchangeable_fields(constraint.kind)) {
        if (ranks[pair->first] > ranks[pair->second]) {
            std::swap(ranks[pair->first], ranks[pair->second]);
            std::swap(constraint.index[pair->first], constraint.index[pair->second]);
        }
    }
    entries_.push_back({relation, preference, constraint, ranks});
}

std::vector<Constraint> CandidateList::in_canonical_order() const {
    auto key = [](const Entry& e) {
        return std::make_tuple(e.relation, e.preference, e.constraint.kind, e.ranks);
    };
    std::vector<Entry> sorted = entries_;
    std::sort(sorted.begin(), sorted.end(),
              [&](const Entry& a, const Entry& b) { return key(a) < key(b); });
    std::vector<Constraint> out;
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        if (i > 0 && key(sorted[i]) == key(sorted[i - 1])) continue;
        out.push_back(sorted[i].constraint);
    }
    return out;
}

}  // namespace ovralis::inference
