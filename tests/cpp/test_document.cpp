#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "system/catalogue.hpp"
#include "system/document.hpp"
#include "system/errors.hpp"
#include "system/number_text.hpp"
#include "system/store.hpp"

#include "support/sketch_builder.hpp"

namespace ovralis {
namespace {

const std::string kEmptyTail =
    R"("circles":[],"arcs":[],"ellipses":[],"arcs_of_ellipse":[],"constraints":[],)"
    R"("clamp_radii":true,"min_radius":1e-10,"track_convergence":false})";

std::string error_of(const std::string& text) {
    return error_text<DocumentError>([&] { from_json(text); });
}

// A document holding one point (for number layouts) wrapped around `x`.
std::string point_document(const std::string& x) {
    return R"({"points":[{"x":)" + x + R"(,"y":0.0,"fixed":false}],"lines":[],)" + kEmptyTail;
}

// ---- writing ----------------------------------------------------------------

TEST(DocumentWriter, WritesTheTwoPointExampleByteForByte) {
    System system;
    add_point(system, 0.0, 0.0, true);
    add_point(system, 5.0, 0.0, false);
    add_line(system, 0, 1);
    Constraint distance{ConstraintKind::Distance, {0, 1, 0}, {5.0, 0}};
    Constraint horizontal{ConstraintKind::Horizontal, {0, 1, 0}, {}};
    add_constraint(system, distance);
    add_constraint(system, horizontal);
    EXPECT_EQ(
        to_json(system),
        R"({"points":[{"x":0.0,"y":0.0,"fixed":true},{"x":5.0,"y":0.0,"fixed":false}],)"
        R"("lines":[{"p1":0,"p2":1}],"circles":[],"arcs":[],"ellipses":[],"arcs_of_ellipse":[],)"
        R"("constraints":[{"Distance":{"p1":0,"p2":1,"d":5.0}},{"Horizontal":{"p1":0,"p2":1}}],)"
        R"("clamp_radii":true,"min_radius":1e-10,"track_convergence":false})");
}

TEST(DocumentWriter, WritesEveryEntityKindWithItsMembersInOrder) {
    System system;
    system.circles.push_back({1, 2.5, true});
    system.arcs.push_back({1, 2, 3, 0.5, false});
    system.ellipses.push_back({4, 5, 1.5, true});
    system.arcs_of_ellipse.push_back({6, 7, 0.25, 8, 9, false});
    system.clamp_radii = false;
    system.min_radius = 0.001;
    system.track_convergence = true;
    EXPECT_EQ(
        to_json(system),
        R"({"points":[],"lines":[],"circles":[{"center":1,"radius":2.5,"fixed":true}],)"
        R"("arcs":[{"center":1,"start":2,"end":3,"radius":0.5,"fixed":false}],)"
        R"("ellipses":[{"center":4,"focus1":5,"radmin":1.5,"fixed":true}],)"
        R"("arcs_of_ellipse":[{"center":6,"focus1":7,"radmin":0.25,"start":8,"end":9,"fixed":false}],)"
        R"("constraints":[],"clamp_radii":false,"min_radius":0.001,"track_convergence":true})");
}

struct Layout {
    double value;
    const char* text;
};

TEST(DocumentWriter, LaysOutNumbersByTheirDecimalPointPosition) {
    const Layout layouts[] = {
        {5.0, "5.0"},
        {1e15, "1000000000000000.0"},
        {1234567890123456.0, "1234567890123456.0"},
        {1e16, "1e16"},
        {12345678901234567.0, "1.2345678901234568e16"},
        {123.5, "123.5"},
        {0.25, "0.25"},
        {0.00001, "0.00001"},
        {0.000012, "0.000012"},
        {1e-6, "1e-6"},
        {1.5e-6, "1.5e-6"},
        {1e-10, "1e-10"},
        {1.5e300, "1.5e300"},
        {0.0, "0.0"},
        {-0.0, "-0.0"},
        {-2.5, "-2.5"},
        {0.1 + 0.2, "0.30000000000000004"},
        {5e-324, "5e-324"},
        {std::numeric_limits<double>::max(), "1.7976931348623157e308"},
        {-1e-7, "-1e-7"},
    };
    for (const Layout& layout : layouts) {
        EXPECT_EQ(format_json_number(layout.value), layout.text);
        System system;
        add_point(system, layout.value, 0.0, false);
        EXPECT_EQ(to_json(system), point_document(layout.text)) << layout.text;
        // Reading the text gives back the identical double, sign of zero included.
        const double read = from_json(to_json(system)).points[0].x;
        EXPECT_EQ(std::signbit(read), std::signbit(layout.value)) << layout.text;
        EXPECT_EQ(read, layout.value) << layout.text;
    }
}

TEST(DocumentWriter, WritesNaNAsNullAndInfinitiesAsNumbersBeyondRange) {
    System system;
    add_point(system, std::nan(""), std::numeric_limits<double>::infinity(), false);
    system.constraints.push_back(
        {ConstraintKind::CircleRadius, {0, 0, 0}, {-std::numeric_limits<double>::infinity(), 0}});
    const std::string text = to_json(system);
    EXPECT_NE(text.find(R"({"x":null,"y":1.0e309,"fixed":false})"), std::string::npos);
    EXPECT_NE(text.find(R"({"CircleRadius":{"circle":0,"r":-1.0e309}})"), std::string::npos);
}

// ---- round trips --------------------------------------------------------------

// A store with every entity kind and one constraint of each of the 44 kinds,
// in reverse tag order so that the list order differs from the kind order.
System every_kind_system() {
    System system;
    add_point(system, 1.25, -3.5, true);
    add_point(system, 1e-7, 2e20, false);
    add_point(system, -0.0, 0.1, false);
    add_line(system, 0, 1);
    add_line(system, 2, 18446744073709551615ull);
    add_circle(system, 0, 2.5, false);
    add_circle(system, 1, 0.75, true);
    add_arc(system, 0, 1, 2, 3.0, true);
    system.ellipses.push_back({0, 1, 0.5, false});
    system.arcs_of_ellipse.push_back({0, 1, 0.5, 2, 3, true});
    for (std::size_t k = kConstraintKindCount; k-- > 0;) {
        Constraint c;
        c.kind = static_cast<ConstraintKind>(k);
        c.index = {k, k + 100, k + 200};
        c.value = {static_cast<double>(k) + 0.5, -static_cast<double>(k) * 1e-9};
        add_constraint(system, c);
    }
    system.clamp_radii = false;
    system.min_radius = 0.125;
    system.track_convergence = true;
    return system;
}

// Compares only what the kind carries: unused slots are not part of a constraint.
void expect_same_constraint(const Constraint& a, const Constraint& b) {
    ASSERT_EQ(a.kind, b.kind);
    const KindInfo& info = kind_info(a.kind);
    for (std::uint8_t i = 0; i < info.field_count; ++i) {
        const FieldSpec& field = info.fields[i];
        if (field.type == FieldType::Real) {
            EXPECT_EQ(a.value[field.slot], b.value[field.slot]) << info.name << "." << field.name;
        } else {
            EXPECT_EQ(a.index[field.slot], b.index[field.slot]) << info.name << "." << field.name;
        }
    }
}

TEST(DocumentRoundTrip, KeepsEveryEntityAndEveryConstraintKindInOrder) {
    const System original = every_kind_system();
    const std::string text = to_json(original);
    const System loaded = from_json(text);

    ASSERT_EQ(loaded.points.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(loaded.points[i].x, original.points[i].x);
        EXPECT_EQ(loaded.points[i].y, original.points[i].y);
        EXPECT_EQ(loaded.points[i].fixed, original.points[i].fixed);
    }
    EXPECT_TRUE(std::signbit(loaded.points[2].x));
    ASSERT_EQ(loaded.lines.size(), 2u);
    EXPECT_EQ(loaded.lines[1].p2, 18446744073709551615ull);
    ASSERT_EQ(loaded.circles.size(), 2u);
    EXPECT_EQ(loaded.circles[1].center, 1u);
    EXPECT_EQ(loaded.circles[1].radius, 0.75);
    EXPECT_TRUE(loaded.circles[1].fixed);
    ASSERT_EQ(loaded.arcs.size(), 1u);
    EXPECT_EQ(loaded.arcs[0].end, 2u);
    EXPECT_EQ(loaded.arcs[0].radius, 3.0);
    ASSERT_EQ(loaded.ellipses.size(), 1u);
    EXPECT_EQ(loaded.ellipses[0].focus1, 1u);
    EXPECT_EQ(loaded.ellipses[0].radmin, 0.5);
    ASSERT_EQ(loaded.arcs_of_ellipse.size(), 1u);
    EXPECT_EQ(loaded.arcs_of_ellipse[0].start, 2u);
    EXPECT_EQ(loaded.arcs_of_ellipse[0].end, 3u);
    EXPECT_TRUE(loaded.arcs_of_ellipse[0].fixed);

    ASSERT_EQ(loaded.constraints.size(), kConstraintKindCount);
    for (std::size_t i = 0; i < kConstraintKindCount; ++i) {
        EXPECT_EQ(static_cast<std::size_t>(loaded.constraints[i].kind),
                  kConstraintKindCount - 1 - i);
        expect_same_constraint(loaded.constraints[i], original.constraints[i]);
    }
    EXPECT_FALSE(loaded.clamp_radii);
    EXPECT_EQ(loaded.min_radius, 0.125);
    EXPECT_TRUE(loaded.track_convergence);
    EXPECT_FALSE(loaded.analytic_jacobian);
    EXPECT_EQ(to_json(loaded), text);
}

TEST(DocumentRoundTrip, NullReadsAsNaNAndInfinitiesComeBackExactly) {
    System system;
    add_point(system, std::nan(""), -std::numeric_limits<double>::infinity(), false);
    add_circle(system, 0, std::numeric_limits<double>::infinity(), false);
    system.min_radius = std::nan("");
    system.constraints.push_back({ConstraintKind::FixedPoint, {0, 0, 0}, {std::nan(""), 1.0}});
    const std::string text = to_json(system);
    const System loaded = from_json(text);
    EXPECT_TRUE(std::isnan(loaded.points[0].x));
    EXPECT_EQ(loaded.points[0].y, -std::numeric_limits<double>::infinity());
    EXPECT_EQ(loaded.circles[0].radius, std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(loaded.min_radius));
    EXPECT_TRUE(std::isnan(loaded.constraints[0].value[0]));
    EXPECT_EQ(loaded.constraints[0].value[1], 1.0);
    EXPECT_EQ(to_json(loaded), text);
}

// ---- accepted input -----------------------------------------------------------

TEST(DocumentReader, TakesDefaultsForOmittedSettings) {
    const System loaded = from_json(
        R"({"points":[],"lines":[],"circles":[],"arcs":[],"ellipses":[],"arcs_of_ellipse":[],"constraints":[]})");
    EXPECT_TRUE(loaded.clamp_radii);
    EXPECT_EQ(loaded.min_radius, 1e-10);
    EXPECT_FALSE(loaded.track_convergence);
    EXPECT_FALSE(loaded.analytic_jacobian);
    EXPECT_EQ(to_json(loaded), R"({"points":[],"lines":[],)" + kEmptyTail);
}

TEST(DocumentReader, AcceptsAnyMemberOrderWhitespaceAndUnknownMembers) {
    const System loaded = from_json(R"(
        { "comment": {"deep": [1, {"x": null}, "text"]},
          "track_convergence": true, "constraints": [ {"Distance": {"d": 5, "extra": [], "p2": 1, "p1": 0}} ],
          "arcs_of_ellipse": [], "ellipses": [], "arcs": [], "circles": [],
          "lines": [ {"p2": 7, "p1": 0, "note": "dangling indices load"} ],
          "points": [ {"fixed": true, "y": 2, "x": -1.5e1, "comment": "..."} ] }
    )");
    ASSERT_EQ(loaded.points.size(), 1u);
    EXPECT_EQ(loaded.points[0].x, -15.0);
    EXPECT_EQ(loaded.points[0].y, 2.0);
    EXPECT_TRUE(loaded.points[0].fixed);
    EXPECT_EQ(loaded.lines[0].p2, 7u);
    ASSERT_EQ(loaded.constraints.size(), 1u);
    EXPECT_EQ(loaded.constraints[0].kind, ConstraintKind::Distance);
    EXPECT_EQ(loaded.constraints[0].index[0], 0u);
    EXPECT_EQ(loaded.constraints[0].index[1], 1u);
    EXPECT_EQ(loaded.constraints[0].value[0], 5.0);
    EXPECT_TRUE(loaded.track_convergence);
}

TEST(DocumentReader, AcceptsTheArrayFormOfEveryRecord) {
    const System loaded = from_json(
        R"([[[1.0, 2.0, true]], [[0, 1]], [[0, 2.5, false]], [[0, 1, 2, 3.0, true]],)"
        R"( [[0, 1, 0.5, false]], [[0, 1, 0.5, 2, 3, true]],)"
        R"( [{"Distance": [0, 1, 5.0]}, {"AngleBetweenPoints": [3, 4, 5, 90]}], false, 0.5])");
    EXPECT_EQ(loaded.points[0].y, 2.0);
    EXPECT_EQ(loaded.lines[0].p2, 1u);
    EXPECT_EQ(loaded.circles[0].radius, 2.5);
    EXPECT_EQ(loaded.arcs[0].end, 2u);
    EXPECT_EQ(loaded.ellipses[0].radmin, 0.5);
    EXPECT_EQ(loaded.arcs_of_ellipse[0].end, 3u);
    EXPECT_EQ(loaded.constraints[0].value[0], 5.0);
    EXPECT_EQ(loaded.constraints[1].index[2], 5u);
    EXPECT_EQ(loaded.constraints[1].value[0], 90.0);
    EXPECT_FALSE(loaded.clamp_radii);
    EXPECT_EQ(loaded.min_radius, 0.5);
    EXPECT_FALSE(loaded.track_convergence);  // left out: default
}

TEST(DocumentReader, ReadsEveryNumberSpellingToTheNearestDouble) {
    const Layout readings[] = {
        {5.0, "5"},
        {-15.0, "-1.5e1"},
        {0.0, "0e-72"},  // a significand of zero with an exponent
        {0.0, "0.000e-30"},
        {-0.0, "-0.0"},
        {-0.0, "-0"},  // zero keeps its sign without a fraction too
        {0.1, "0.1000000000000000055511151231257827"},
        {18446744073709551616.0, "18446744073709551616"},
        {-9223372036854775808.0, "-9223372036854775808"},
        {-9223372036854775809.0, "-9223372036854775809"},
        {1e300, "1E+300"},
        {0.0, "1e-400"},  // below the smallest double: zero of its sign
        {-0.0, "-1e-400"},
        {5e-324, "4e-324"},
    };
    for (const Layout& reading : readings) {
        const double read = from_json(point_document(reading.text)).points[0].x;
        EXPECT_EQ(read, reading.value) << reading.text;
        EXPECT_EQ(std::signbit(read), std::signbit(reading.value)) << reading.text;
    }
}

// A design variable's value, and a document that carries design intent
// beside numbers such as a zero with a large negative exponent, read as
// exactly as a point's coordinate.
TEST(DocumentReader, ReadsDesignVariablesToTheNearestDouble) {
    const auto variable_document = [](const std::string& value) {
        std::string text = point_document("0e-101");
        text.pop_back();
        return text + R"(,"variables":[{"name":"w","value":)" + value + R"(,"fixed":true}]})";
    };
    const Layout readings[] = {
        {5.0, "5"},         {0.0, "0e-101"}, {-0.0, "-0"},      {0.0, "1e-400"},
        {5e-324, "4e-324"}, {1e300, "1E+300"}, {-9223372036854775809.0, "-9223372036854775809"},
        {0.1, "0.1000000000000000055511151231257827"},
    };
    for (const Layout& reading : readings) {
        const System system = from_json(variable_document(reading.text));
        ASSERT_EQ(system.design_variables.size(), 1u) << reading.text;
        const double read = system.design_variables[0].value;
        EXPECT_EQ(read, reading.value) << reading.text;
        EXPECT_EQ(std::signbit(read), std::signbit(reading.value)) << reading.text;
    }
    EXPECT_THROW(from_json(variable_document("1e400")), DocumentError);
    EXPECT_THROW(from_json(variable_document("\"5\"")), DocumentError);
}

// A lone surrogate escape decodes to bytes that are not UTF-8: refused
// wherever it stands in the design intent, so no text of it reaches a message.
TEST(DocumentReader, RefusesDesignIntentTextThatIsNotUtf8) {
    std::string base = point_document("0.0");
    base.pop_back();
    for (const char* tail : {R"(,"equations":["w\udfee = 1"]})",
                             R"(,"variables":[{"name":"w\udc80","value":1,"fixed":true}]})",
                             R"(,"variables":[{"\udc80":"w","value":1,"fixed":true}]})"}) {
        EXPECT_THROW(from_json(base + tail), DocumentError) << tail;
    }
    EXPECT_EQ(from_json(base + R"(,"equations":["1 = 1"]})").equations.size(), 1u);
}

TEST(DocumentReader, AcceptsNestingUpTo128LevelsInSkippedValues) {
    // The top-level object is the first level.
    const std::string deep = std::string(127, '[') + std::string(127, ']');
    EXPECT_NO_THROW(from_json(R"({"junk":)" + deep + R"(,"points":[],"lines":[],)" + kEmptyTail));
}

// ---- rejected input -------------------------------------------------------------

struct Rejection {
    std::string text;
    std::string message;
};

std::string unknown_variant_list() {
    std::string list = "one of ";
    for (std::size_t k = 0; k < kConstraintKindCount; ++k) {
        list +=
            (k ? ", `" : "`") + std::string(kind_info(static_cast<ConstraintKind>(k)).name) + "`";
    }
    return list;
}

std::string with_constraint(const std::string& constraint) {
    return R"({"points":[],"lines":[],"circles":[],"arcs":[],"ellipses":[],"arcs_of_ellipse":[],"constraints":[)" +
           constraint + "]}";
}

TEST(DocumentReader, RejectsMalformedDocumentsWithPositionedMessages) {
    const Rejection rejections[] = {
        {"{}", "missing field `points` at line 1 column 2"},
        {R"({"points":[{"x":1.0,"y":2.0}]})", "missing field `fixed` at line 1 column 28"},
        {R"({"points":[],"points":[]})", "duplicate field `points` at line 1 column 21"},
        {R"({"points":[[1.0,2.0]]})",
         "invalid length 2, expected struct Point with 3 elements at line 1 column 20"},
        {R"({"points":[[1.0,2.0,true,4]]})",
         "invalid length: more than 3 elements, expected struct Point with 3 elements at line 1 "
         "column 26"},
        {"[[],[],[],[],[],[]]",
         "invalid length 6, expected struct System with 10 elements at line 1 column 19"},
        {with_constraint(R"({"Distance":[0,1]})"),
         "invalid length 2, expected struct variant Constraint::Distance with 3 elements at line 1 "
         "column 114"},
        {with_constraint(R"({"Distance":{"p1":0,"d":1.0}})"),
         "missing field `p2` at line 1 column 125"},
        {with_constraint(R"({"Nope":{}})"),
         "unknown variant `Nope`, expected " + unknown_variant_list() + " at line 1 column 104"},
        {with_constraint(R"("Distance")"),
         "invalid type: string \"Distance\", expected struct variant Constraint::Distance with 3 "
         "elements"
         " at line 1 column 107"},
        {with_constraint(R"({})"),
         "invalid constraint: expected a single member naming the kind, found none at line 1 "
         "column 99"},
        {with_constraint(R"({"Horizontal":{"p1":0,"p2":1},"Vertical":{"p1":0,"p2":1}})"),
         "invalid constraint: expected a single member naming the kind, found a second member "
         "`Vertical`"
         " at line 1 column 137"},
        {point_document("\"1\""), "invalid type: string \"1\", expected f64 at line 1 column 19"},
        {R"({"lines":[{"p1":-1,"p2":0}]})",
         "invalid value: integer `-1`, expected u64 at line 1 column 18"},
        {R"({"lines":[{"p1":1.5,"p2":0}]})",
         "invalid type: floating point `1.5`, expected u64 at line 1 column 19"},
        {R"({"lines":[{"p1":1.0,"p2":0}]})",
         "invalid type: floating point `1.0`, expected u64 at line 1 column 19"},
        {R"({"lines":[{"p1":18446744073709551616,"p2":0}]})",
         "invalid type: floating point `1.8446744073709552e19`, expected u64 at line 1 column 36"},
        {R"({"lines":[{"p1":null,"p2":0}]})",
         "invalid type: null, expected u64 at line 1 column 20"},
        {R"({"points":[{"x":0,"y":0,"fixed":null}]})",
         "invalid type: null, expected a boolean at line 1 column 36"},
        {R"({"points":{}})", "invalid type: map, expected a sequence at line 1 column 11"},
        {R"({"points":[7]})",
         "invalid type: integer `7`, expected struct Point with 3 elements at line 1 column 12"},
        {"\"text\"",
         "invalid type: string \"text\", expected struct System with 10 elements at line 1 column "
         "6"},
        {R"({"points":[],"lines":[],)" + kEmptyTail + "\n x",
         "the document root must not be followed by other values at line 2 column 2"},
        {std::string("{}\0{}", 5), "missing field `points` at line 1 column 2"},
        {R"({"junk":0,)"
         "\n"
         R"(  "more": [1 2]})",
         "missing a comma or ']' after an array element at line 2 column 14"},
        {"", "the document is empty at line 1 column 0"},
        {R"({"points":[{"x":1e400}]})",
         "number too big to be stored in double at line 1 column 17"},
        {R"({"points":[{"x":NaN}]})", "invalid value at line 1 column 17"},
        {point_document("0.5e309"), "number out of range at line 1 column 23"},
        {point_document("1.7976931348623159e308"), "number out of range at line 1 column 38"},
        {with_constraint("{\"Bad\\u0001\\udc00\":{}}"),
         "unknown variant `Bad\\u0001\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD`, expected " +
             unknown_variant_list() + " at line 1 column 115"},
    };
    for (const Rejection& rejection : rejections) {
        EXPECT_EQ(error_of(rejection.text), rejection.message) << rejection.text;
    }
}

TEST(DocumentReader, RejectsTextAfterANulByte) {
    const std::string document = R"({"points":[],"lines":[],)" + kEmptyTail;
    EXPECT_EQ(error_of(document + std::string(1, '\0') + "x"),
              "the document root must not be followed by other values at line 1 column " +
                  std::to_string(document.size() + 1));
}

TEST(DocumentReader, RejectsNestingBeyond128LevelsWithoutExhaustingTheStack) {
    const std::string level129 =
        R"({"junk":)" + std::string(128, '[') + std::string(128, ']') + "}";
    EXPECT_EQ(error_of(level129), "recursion limit exceeded at line 1 column 136");
    // A million open brackets in skipped values: rejected at the limit.
    EXPECT_EQ(error_of(R"({"a":{"b":)" + std::string(1'000'000, '[')),
              "recursion limit exceeded at line 1 column 137");
    EXPECT_EQ(error_of(R"({"a":)" + std::string(1'000'000, '[')),
              "recursion limit exceeded at line 1 column 133");
}

}  // namespace
}  // namespace ovralis
