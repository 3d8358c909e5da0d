#include <gtest/gtest.h>

#include <set>
#include <string>

#include "system/catalogue.hpp"

namespace ovralis {
namespace {

TEST(Catalogue, NamesRoundTripAndAreUnique) {
    std::set<std::string_view> names;
    for (std::size_t tag = 0; tag < kConstraintKindCount; ++tag) {
        const auto kind = static_cast<ConstraintKind>(tag);
        const std::string_view name = kind_info(kind).name;
        EXPECT_EQ(kind_from_name(name), kind);
        names.insert(name);
    }
    EXPECT_EQ(names.size(), kConstraintKindCount);
    EXPECT_FALSE(kind_from_name("distance").has_value());
}

TEST(Catalogue, TagsFollowTheDocumentOrder) {
    EXPECT_EQ(kind_info(static_cast<ConstraintKind>(0)).name, "Distance");
    EXPECT_EQ(kind_info(static_cast<ConstraintKind>(22)).name, "PointOnLineAt");
    EXPECT_EQ(kind_info(static_cast<ConstraintKind>(42)).name, "EqualLineLength");
    EXPECT_EQ(kind_info(static_cast<ConstraintKind>(43)).name, "EllipseFocusDistance");
}

TEST(Catalogue, EquationCountsAndEliminatedKinds) {
    const std::set<std::string_view> two = {"Coincident",   "FixedPoint", "Midpoint",
                                            "Concentric",   "Symmetry",   "LineLineIntersection",
                                            "PointOnLineAt"};
    const std::set<std::string_view> eliminated = {"Horizontal",  "Vertical",   "Coincident",
                                                   "EqualRadius", "Concentric", "EqualMinorAxes"};
    for (std::size_t tag = 0; tag < kConstraintKindCount; ++tag) {
        const KindInfo& info = kind_info(static_cast<ConstraintKind>(tag));
        EXPECT_EQ(info.equations, two.count(info.name) ? 2 : 1) << info.name;
        EXPECT_EQ(info.eliminated, eliminated.count(info.name) == 1) << info.name;
    }
}

TEST(Catalogue, SlotsCountEachFieldClassInOrder) {
    const KindInfo& angle = kind_info(ConstraintKind::AngleBetweenPoints);
    ASSERT_EQ(angle.field_count, 4);
    EXPECT_EQ(angle.fields[2].name, "c");
    EXPECT_EQ(angle.fields[2].slot, 2);
    EXPECT_EQ(angle.fields[3].type, FieldType::Real);
    EXPECT_EQ(angle.fields[3].slot, 0);
    const KindInfo& fixed = kind_info(ConstraintKind::FixedPoint);
    EXPECT_EQ(fixed.fields[2].name, "y");
    EXPECT_EQ(fixed.fields[2].slot, 1);
}

TEST(Catalogue, ReferencesAndRenumberFollowFieldTypes) {
    // C2CDistance names circles only; its real field is never an index.
    Constraint c{ConstraintKind::C2CDistance, {3, 5, 0}, {4.0, 0.0}};
    EXPECT_TRUE(references(c, EntityKind::Circle, 5));
    EXPECT_FALSE(references(c, EntityKind::Point, 3));
    renumber(c, EntityKind::Circle, 4);
    EXPECT_EQ(c.index[0], 3u);
    EXPECT_EQ(c.index[1], 4u);
    renumber(c, EntityKind::Point, 0);
    EXPECT_EQ(c.index[0], 3u);
}

}  // namespace
}  // namespace ovralis
