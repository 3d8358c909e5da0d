// What the document reader expects at each place of a document: the shape of
// each value, and the layout of every object with named fields, built once
// from the member tables and the constraint catalogue.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "system/catalogue.hpp"
#include "system/entities.hpp"

namespace ovralis::reading {

// The widest object with named fields: the top level.
inline constexpr std::size_t kMaxFields = 10;

enum class Shape : std::uint8_t {
    Index,           // unsigned integer
    Real,            // number, or null for NaN
    Flag,            // boolean
    Record,          // object with named fields, or array of their values
    EntityList,      // array of entity records
    ConstraintList,  // array of constraints
    Constraint,      // {"Kind": fields}
    Ignored,         // value of an unknown member: anything
};

struct Record;

struct Expected {
    Shape shape;
    const Record* record = nullptr;  // Record: its layout; EntityList: the elements' layout
};

using FieldValue = std::variant<Index, double, bool>;

struct RecordField {
    std::string_view name;
    Expected expected;
    FieldValue fallback{};  // the value of an optional field left out
};

enum class RecordKind : std::uint8_t {
    System,
    Point,
    Line,
    Circle,
    Arc,
    Ellipse,
    ArcOfEllipse,
    ConstraintFields
};

// An object with named fields: the top level, an entity, or the field object
// of one constraint kind.
struct Record {
    RecordKind kind;
    ConstraintKind constraint = ConstraintKind::Distance;  // ConstraintFields only
    std::string description;                               // "struct Point with 3 elements"
    std::vector<RecordField> fields;                       // in writer order
    std::size_t required = 0;                              // leading fields that must be given
};

// Every record layout of the document. The top level refers to the entity
// layouts by address, so the set is built in place and never copied.
struct Layouts {
    Layouts();
    Layouts(const Layouts&) = delete;
    Layouts& operator=(const Layouts&) = delete;

    Record point;
    Record line;
    Record circle;
    Record arc;
    Record ellipse;
    Record arc_of_ellipse;
    std::vector<Record> constraints;  // by kind tag
    Record system;

    const Record& constraint_fields(ConstraintKind kind) const {
        return constraints[static_cast<std::size_t>(kind)];
    }
};

const Layouts& layouts();

// One scalar as the parser reports it: null, a boolean, a non-negative or a
// negative integer, a number with a fraction or exponent, or a string.
using Scalar =
    std::variant<std::nullptr_t, bool, std::uint64_t, std::int64_t, double, std::string_view>;

}  // namespace ovralis::reading
