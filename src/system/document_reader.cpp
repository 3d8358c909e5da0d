// Reads a document into a new store.
//
// RapidJSON's iterative SAX parser tokenises the text without recursion and
// reports each token as an event; DocumentReader turns the events into the
// store with an explicit stack of frames, one per open array or object. No
// document tree is built, so neither parsing nor clean-up can recurse however
// deep the input nests, and every event knows its position in the text for the
// error messages.
//
// Accepted shape: the writer's (document_writer.cpp), with members in any
// order, unknown members skipped, every object with named fields also
// accepted as an array of its values in field order, and null accepted for
// any real (read as NaN, since the writer emits non-finite reals as null).

#include <algorithm>
#include <bitset>
#include <charconv>
#include <cctype>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <type_traits>
#include <variant>
#include <vector>

#include <rapidjson/error/en.h>
#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>

#include "system/catalogue.hpp"
#include "system/document.hpp"
#include "system/document_schema.hpp"
#include "system/errors.hpp"
#include "system/json_allocator.hpp"
#include "system/json_number.hpp"

namespace ovralis {
namespace {

// Arrays and objects may nest this deep, skipped values included.
constexpr std::size_t kNestingLimit = 128;

// The widest object with named fields: the top level.
constexpr std::size_t kMaxFields = 10;

// What the reader expects at one place in the document.
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
    System, Point, Line, Circle, Arc, Ellipse, ArcOfEllipse, ConstraintFields
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

// Positions of the top-level members in writer order.
enum SystemField : std::size_t {
    kPoints, kLines, kCircles, kArcs, kEllipses, kArcsOfEllipse, kConstraints,
    kClampRadii, kMinRadius, kTrackConvergence,
};

Expected expected_for(MemberType type) {
    switch (type) {
        case MemberType::Index: return {Shape::Index};
        case MemberType::Real: return {Shape::Real};
        case MemberType::Flag: return {Shape::Flag};
    }
    return {Shape::Ignored};
}

std::string struct_description(std::string_view name, std::size_t fields) {
    return std::string(name) + " with " + std::to_string(fields) + " elements";
}

template <class Entity>
Record entity_record(RecordKind kind, std::string_view name) {
    Record record{kind, {}, {}, {}, 0};
    for (const auto& member : entity_members<Entity>()) {
        record.fields.push_back({member.name, expected_for(member_type(member))});
    }
    record.required = record.fields.size();
    record.description = struct_description("struct " + std::string(name), record.fields.size());
    return record;
}

Record constraint_record(ConstraintKind kind) {
    const KindInfo& info = kind_info(kind);
    Record record{RecordKind::ConstraintFields, kind, {}, {}, info.field_count};
    for (std::uint8_t i = 0; i < info.field_count; ++i) {
        const FieldSpec& field = info.fields[i];
        record.fields.push_back(
            {field.name, {field.type == FieldType::Real ? Shape::Real : Shape::Index}});
    }
    record.description = struct_description(
        "struct variant Constraint::" + std::string(info.name), info.field_count);
    return record;
}

// Every record layout the document uses, built once from the entity tables
// and the constraint catalogue. The top level refers to the entity layouts by
// address, so the set is built in place and never copied.
struct Layouts {
    Record point = entity_record<Point>(RecordKind::Point, "Point");
    Record line = entity_record<Line>(RecordKind::Line, "Line");
    Record circle = entity_record<Circle>(RecordKind::Circle, "Circle");
    Record arc = entity_record<Arc>(RecordKind::Arc, "Arc");
    Record ellipse = entity_record<Ellipse>(RecordKind::Ellipse, "Ellipse");
    Record arc_of_ellipse = entity_record<ArcOfEllipse>(RecordKind::ArcOfEllipse, "ArcOfEllipse");
    std::vector<Record> constraints;
    Record system;

    Layouts() {
        for (std::size_t k = 0; k < kConstraintKindCount; ++k) {
            constraints.push_back(constraint_record(static_cast<ConstraintKind>(k)));
        }
        const System defaults;
        system = Record{RecordKind::System, {}, {},
                        {
                            {"points", {Shape::EntityList, &point}},
                            {"lines", {Shape::EntityList, &line}},
                            {"circles", {Shape::EntityList, &circle}},
                            {"arcs", {Shape::EntityList, &arc}},
                            {"ellipses", {Shape::EntityList, &ellipse}},
                            {"arcs_of_ellipse", {Shape::EntityList, &arc_of_ellipse}},
                            {"constraints", {Shape::ConstraintList}},
                            {"clamp_radii", {Shape::Flag}, defaults.clamp_radii},
                            {"min_radius", {Shape::Real}, defaults.min_radius},
                            {"track_convergence", {Shape::Flag}, defaults.track_convergence},
                        },
                        kConstraints + 1};
        system.description = struct_description("struct System", system.fields.size());
    }
    Layouts(const Layouts&) = delete;
    Layouts& operator=(const Layouts&) = delete;
};

const Layouts& layouts() {
    static const Layouts instance;
    return instance;
}

// ---- message text ----------------------------------------------------------

// Text from the document made safe to quote in a message: control characters
// are escaped, and byte sequences that are not UTF-8 (a lone \udc00 escape
// decodes to one) become U+FFFD, so the message is always valid UTF-8.
std::string printable(std::string_view text) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte == 0x7F) {
            static constexpr char kHex[] = "0123456789abcdef";
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
            ++i;
            continue;
        }
        if (byte < 0x80) {
            out += static_cast<char>(byte);
            ++i;
            continue;
        }
        // Lead byte -> sequence length and the smallest code point it may encode.
        const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 0;
        std::uint32_t code = byte & (0x7F >> length);
        bool valid = length != 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        static constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        valid = valid && code >= kSmallest[length] && code <= 0x10FFFF &&
                !(code >= 0xD800 && code <= 0xDFFF);
        if (valid) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

std::string unknown_variant_message(std::string_view name) {
    std::string message = "unknown variant `" + printable(name) + "`, expected one of ";
    for (std::size_t k = 0; k < kConstraintKindCount; ++k) {
        if (k != 0) message += ", ";
        message += '`';
        message += kind_info(static_cast<ConstraintKind>(k)).name;
        message += '`';
    }
    return message;
}

std::string expectation(const Expected& expected) {
    switch (expected.shape) {
        case Shape::Index: return "u64";
        case Shape::Real: return "f64";
        case Shape::Flag: return "a boolean";
        case Shape::Record: return expected.record->description;
        case Shape::EntityList:
        case Shape::ConstraintList: return "a sequence";
        case Shape::Constraint: return "enum Constraint";
        case Shape::Ignored: break;
    }
    return "any value";
}

// " at line {} column {}" for the character at `offset`; an offset at the end
// of the text names its last character.
std::string position_text(std::string_view text, std::size_t offset) {
    if (!text.empty()) offset = std::min(offset, text.size() - 1);
    const std::string_view before = text.substr(0, offset);
    const auto newlines = std::count(before.begin(), before.end(), '\n');
    const std::size_t line = 1 + static_cast<std::size_t>(newlines);
    const std::size_t last_newline = before.rfind('\n');
    const std::size_t line_start = last_newline == std::string_view::npos ? 0 : last_newline + 1;
    // An empty text has no character to point at: column 0.
    const std::size_t column = text.empty() ? 0 : offset - line_start + 1;
    return " at line " + std::to_string(line) + " column " + std::to_string(column);
}

// RapidJSON's own message for a syntax error, in the reader's lower-case style:
// "Invalid value." -> "invalid value".
std::string syntax_message(rapidjson::ParseErrorCode code) {
    std::string message = rapidjson::GetParseError_En(code);
    if (!message.empty() && message.back() == '.') message.pop_back();
    if (!message.empty()) message.front() = static_cast<char>(std::tolower(message.front()));
    return message;
}

// ---- decoding ----------------------------------------------------------------

// One scalar event: null, a boolean, a non-negative or a negative integer, a
// number with a fraction or exponent, or a string.
using Scalar = std::variant<std::nullptr_t, bool, std::uint64_t, std::int64_t, double, std::string_view>;

template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

std::string describe(const Scalar& value) {
    return std::visit(
        Overloaded{
            [](std::nullptr_t) -> std::string { return "null"; },
            [](bool flag) -> std::string { return flag ? "boolean `true`" : "boolean `false`"; },
            [](std::uint64_t n) { return "integer `" + std::to_string(n) + "`"; },
            [](std::int64_t n) { return "integer `" + std::to_string(n) + "`"; },
            [](double x) { return "floating point `" + format_json_number(x) + "`"; },
            [](std::string_view s) { return "string \"" + printable(s) + "\""; },
        },
        value);
}

std::optional<double> as_real(const Scalar& value) {
    return std::visit(
        Overloaded{
            // Non-finite reals are written as null; reading null back as NaN
            // keeps every written document loadable.
            [](std::nullptr_t) -> std::optional<double> { return std::numeric_limits<double>::quiet_NaN(); },
            [](std::uint64_t n) -> std::optional<double> { return static_cast<double>(n); },
            [](std::int64_t n) -> std::optional<double> { return static_cast<double>(n); },
            [](double x) -> std::optional<double> { return x; },
            [](const auto&) -> std::optional<double> { return std::nullopt; },
        },
        value);
}

// Whether a number text outside the range of double is too small (it then
// reads as zero) rather than too large: decided by the power of ten of its
// first significant digit, which is negative exactly when the value is below one.
bool below_double_range(std::string_view number) {
    if (number.front() == '-') number.remove_prefix(1);
    const std::size_t e = std::min(number.find_first_of("eE"), number.size());
    const std::string_view mantissa = number.substr(0, e);
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    // Zero is never out of range, so a significant digit exists.
    const std::size_t first = mantissa.find_first_of("123456789");
    long long power = first < point ? static_cast<long long>(point - first - 1)
                                    : -static_cast<long long>(first - point);
    if (e < number.size()) {
        std::string_view exponent = number.substr(e + 1);
        const bool minus = exponent.front() == '-';
        if (minus || exponent.front() == '+') exponent.remove_prefix(1);
        long long value = 0;
        const auto parsed = std::from_chars(exponent.data(), exponent.data() + exponent.size(), value);
        // An exponent this large outweighs any number of mantissa digits.
        if (parsed.ec != std::errc{} || value > 1'000'000'000'000) return minus;
        power += minus ? -value : value;
    }
    return power < 0;
}

// A JSON number as the scalar it denotes: an integer when it has neither
// fraction nor exponent and fits 64 bits, otherwise the nearest double (with
// the standard library's correctly rounded conversion), except "-0", which is
// negative zero. Nullopt when it is too
// large for a double; too small a value reads as zero of its sign.
std::optional<Scalar> read_number(std::string_view text) {
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (text.find_first_of(".eE") == std::string_view::npos) {
        if (text.front() == '-') {
            std::int64_t value = 0;
            if (std::from_chars(first, last, value).ec == std::errc{}) {
                // "-0" keeps its sign, as "-0.0" does: it is the real negative zero.
                return value == 0 ? Scalar{-0.0} : Scalar{value};
            }
        } else {
            std::uint64_t value = 0;
            if (std::from_chars(first, last, value).ec == std::errc{}) return Scalar{value};
        }
    }
    double value = 0.0;
    if (std::from_chars(first, last, value).ec == std::errc{}) return Scalar{value};
    if (below_double_range(text)) return Scalar{text.front() == '-' ? -0.0 : 0.0};
    return std::nullopt;
}

// One open array or object.
enum class FrameKind : std::uint8_t {
    RecordObject,    // a record given by name
    RecordArray,     // a record given as its values in field order
    EntityList,
    ConstraintList,
    Constraint,      // {"Kind": ...}, kind not yet known until its key arrives
    Ignored,         // inside the value of an unknown member
};

struct Frame {
    explicit Frame(FrameKind kind, const Record* record = nullptr) : kind(kind), record(record) {}

    FrameKind kind;
    // RecordObject, RecordArray: the record read; EntityList: the elements'
    // record; Constraint: the field record of the named kind.
    const Record* record = nullptr;
    std::size_t count = 0;               // RecordArray: values read so far
    std::optional<std::size_t> field;    // RecordObject: whose value comes next (none: unknown member)
    std::bitset<kMaxFields> seen;        // RecordObject: members given so far
    std::array<FieldValue, kMaxFields> values{};
};

// Where the next value of the document goes.
struct Slot {
    Expected expected;
    FieldValue* target = nullptr;  // scalar fields of a record
};

template <class Entity>
Entity build_entity(const std::array<FieldValue, kMaxFields>& values) {
    Entity entity;
    const auto& members = entity_members<Entity>();
    for (std::size_t i = 0; i < members.size(); ++i) {
        std::visit(
            [&](auto pointer) {
                using Value = std::remove_reference_t<decltype(entity.*pointer)>;
                entity.*pointer = std::get<Value>(values[i]);
            },
            members[i].member);
    }
    return entity;
}

Constraint build_constraint(ConstraintKind kind, const std::array<FieldValue, kMaxFields>& values) {
    const KindInfo& info = kind_info(kind);
    Constraint constraint;
    constraint.kind = kind;
    for (std::uint8_t i = 0; i < info.field_count; ++i) {
        const FieldSpec& field = info.fields[i];
        if (field.type == FieldType::Real) {
            constraint.value[field.slot] = std::get<double>(values[i]);
        } else {
            constraint.index[field.slot] = std::get<Index>(values[i]);
        }
    }
    return constraint;
}

// The SAX handler: receives RapidJSON's events and builds the store. A handler
// method that returns false stops the parse; failure() then holds why and where.
class DocumentReader : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, DocumentReader> {
public:
    struct Failure {
        std::string message;
        std::size_t offset;
    };

    explicit DocumentReader(const rapidjson::MemoryStream& stream) : stream_(stream) {}

    const std::optional<Failure>& failure() const { return failure_; }
    System take_system() { return std::move(system_); }

    bool Null() { return scalar(nullptr); }
    bool Bool(bool flag) { return scalar(flag); }
    bool RawNumber(const char* text, rapidjson::SizeType length, bool) {
        offset_ = stream_.Tell() - 1;  // the number's last character
        const std::optional<Scalar> number = read_number(std::string_view(text, length));
        if (!number) return fail("number out of range");
        return scalar(*number);
    }
    bool String(const char* text, rapidjson::SizeType length, bool) {
        return scalar(std::string_view(text, length));
    }

    bool StartObject() { return start(FrameKind::RecordObject); }
    bool StartArray() { return start(FrameKind::RecordArray); }
    bool EndObject(rapidjson::SizeType) { return end(); }
    bool EndArray(rapidjson::SizeType) { return end(); }

    bool Key(const char* text, rapidjson::SizeType length, bool) {
        offset_ = stream_.Tell() - 1;  // the closing quote
        const std::string_view key(text, length);
        Frame& top = frames_.back();
        switch (top.kind) {
            case FrameKind::RecordObject: return member_key(top, key);
            case FrameKind::Constraint: return kind_key(top, key);
            default: return true;  // inside an ignored value
        }
    }

private:
    bool fail(std::string message) {
        failure_ = Failure{std::move(message), offset_};
        return false;
    }

    bool type_error(const std::string& found, const Expected& expected) {
        return fail("invalid type: " + found + ", expected " + expectation(expected));
    }

    // Decides what the next value is, from the innermost open frame.
    std::optional<Slot> next_slot() {
        if (frames_.empty()) return Slot{{Shape::Record, &layouts().system}};
        Frame& top = frames_.back();
        switch (top.kind) {
            case FrameKind::RecordObject:
                if (!top.field) return Slot{{Shape::Ignored}};
                return Slot{top.record->fields[*top.field].expected, &top.values[*top.field]};
            case FrameKind::RecordArray: {
                if (top.count == top.record->fields.size()) {
                    fail("invalid length: more than " + std::to_string(top.count) +
                         " elements, expected " + top.record->description);
                    return std::nullopt;
                }
                const std::size_t i = top.count++;
                return Slot{top.record->fields[i].expected, &top.values[i]};
            }
            case FrameKind::EntityList: return Slot{{Shape::Record, top.record}};
            case FrameKind::ConstraintList: return Slot{{Shape::Constraint}};
            case FrameKind::Constraint: return Slot{{Shape::Record, top.record}};
            case FrameKind::Ignored: break;
        }
        return Slot{{Shape::Ignored}};
    }

    bool scalar(const Scalar& value) {
        offset_ = stream_.Tell() - 1;  // the value's last character
        const std::optional<Slot> slot = next_slot();
        if (!slot) return false;
        switch (slot->expected.shape) {
            case Shape::Ignored: return true;
            case Shape::Index:
                if (const auto* index = std::get_if<std::uint64_t>(&value)) {
                    *slot->target = Index{*index};
                    return true;
                }
                if (std::holds_alternative<std::int64_t>(value)) {
                    return fail("invalid value: " + describe(value) + ", expected u64");
                }
                break;
            case Shape::Real:
                if (const std::optional<double> real = as_real(value)) {
                    *slot->target = *real;
                    return true;
                }
                break;
            case Shape::Flag:
                if (const auto* flag = std::get_if<bool>(&value)) {
                    *slot->target = *flag;
                    return true;
                }
                break;
            case Shape::Constraint:
                // Every kind carries fields, so a bare kind name is never a constraint.
                if (const auto* name = std::get_if<std::string_view>(&value)) {
                    const std::optional<ConstraintKind> kind = kind_from_name(*name);
                    if (!kind) return fail(unknown_variant_message(*name));
                    const Record& fields = layouts().constraints[static_cast<std::size_t>(*kind)];
                    return type_error(describe(value), {Shape::Record, &fields});
                }
                break;
            default: break;
        }
        return type_error(describe(value), slot->expected);
    }

    // `as` is RecordObject for '{' and RecordArray for '['.
    bool start(FrameKind as) {
        offset_ = stream_.Tell();  // the opening bracket
        const bool object = as == FrameKind::RecordObject;
        const std::optional<Slot> slot = next_slot();
        if (!slot) return false;
        if (frames_.size() == kNestingLimit) return fail("recursion limit exceeded");
        switch (slot->expected.shape) {
            case Shape::Ignored: return push(Frame{FrameKind::Ignored});
            case Shape::Record: {
                Frame frame{as, slot->expected.record};
                const auto& fields = frame.record->fields;
                for (std::size_t i = 0; i < fields.size(); ++i) frame.values[i] = fields[i].fallback;
                return push(std::move(frame));
            }
            case Shape::EntityList:
                if (!object) return push(Frame{FrameKind::EntityList, slot->expected.record});
                break;
            case Shape::ConstraintList:
                if (!object) return push(Frame{FrameKind::ConstraintList});
                break;
            case Shape::Constraint:
                if (object) return push(Frame{FrameKind::Constraint});
                break;
            default: break;
        }
        return type_error(object ? "map" : "sequence", slot->expected);
    }

    bool push(Frame frame) {
        frames_.push_back(std::move(frame));
        return true;
    }

    bool member_key(Frame& top, std::string_view key) {
        const auto& fields = top.record->fields;
        const auto found = std::find_if(fields.begin(), fields.end(),
                                        [&](const RecordField& field) { return field.name == key; });
        if (found == fields.end()) {
            top.field.reset();  // unknown member: its value is skipped
            return true;
        }
        const auto i = static_cast<std::size_t>(found - fields.begin());
        if (top.seen[i]) return fail("duplicate field `" + std::string(key) + "`");
        top.seen.set(i);
        top.field = i;
        return true;
    }

    bool kind_key(Frame& top, std::string_view key) {
        if (top.record != nullptr) {
            return fail("invalid constraint: expected a single member naming the kind, "
                        "found a second member `" + printable(key) + "`");
        }
        const std::optional<ConstraintKind> kind = kind_from_name(key);
        if (!kind) return fail(unknown_variant_message(key));
        top.record = &layouts().constraints[static_cast<std::size_t>(*kind)];
        return true;
    }

    bool end() {
        offset_ = stream_.Tell();  // the closing bracket
        Frame frame = std::move(frames_.back());
        frames_.pop_back();
        switch (frame.kind) {
            case FrameKind::RecordObject:
                for (std::size_t i = 0; i < frame.record->required; ++i) {
                    if (!frame.seen[i]) {
                        return fail("missing field `" + std::string(frame.record->fields[i].name) + "`");
                    }
                }
                return complete(*frame.record, frame.values);
            case FrameKind::RecordArray:
                if (frame.count < frame.record->required) {
                    return fail("invalid length " + std::to_string(frame.count) + ", expected " +
                                frame.record->description);
                }
                return complete(*frame.record, frame.values);
            case FrameKind::Constraint:
                if (frame.record == nullptr) {
                    return fail("invalid constraint: expected a single member naming the kind, found none");
                }
                return true;
            default: return true;
        }
    }

    // A record is whole: put it where it belongs in the store.
    bool complete(const Record& record, const std::array<FieldValue, kMaxFields>& values) {
        switch (record.kind) {
            case RecordKind::System:
                system_.clamp_radii = std::get<bool>(values[kClampRadii]);
                system_.min_radius = std::get<double>(values[kMinRadius]);
                system_.track_convergence = std::get<bool>(values[kTrackConvergence]);
                break;
            case RecordKind::Point: system_.points.push_back(build_entity<Point>(values)); break;
            case RecordKind::Line: system_.lines.push_back(build_entity<Line>(values)); break;
            case RecordKind::Circle: system_.circles.push_back(build_entity<Circle>(values)); break;
            case RecordKind::Arc: system_.arcs.push_back(build_entity<Arc>(values)); break;
            case RecordKind::Ellipse: system_.ellipses.push_back(build_entity<Ellipse>(values)); break;
            case RecordKind::ArcOfEllipse:
                system_.arcs_of_ellipse.push_back(build_entity<ArcOfEllipse>(values));
                break;
            case RecordKind::ConstraintFields:
                system_.constraints.push_back(build_constraint(record.constraint, values));
                break;
        }
        return true;
    }

    const rapidjson::MemoryStream& stream_;
    std::size_t offset_ = 0;  // the character the current event ends at
    std::vector<Frame> frames_;
    System system_;
    std::optional<Failure> failure_;
};

}  // namespace

System from_json(std::string_view text) {
    // Iterative: no recursion on nesting. Numbers as text: converted by
    // read_number, since the library's own conversion misreads some inputs
    // (it turns "0e-72" into 2.7e241). Validated encoding: messages that quote
    // the document stay valid UTF-8.
    constexpr unsigned kFlags = rapidjson::kParseIterativeFlag | rapidjson::kParseNumbersAsStringsFlag |
                                rapidjson::kParseValidateEncodingFlag;
    rapidjson::MemoryStream stream(text.data(), text.size());
    DocumentReader reader(stream);
    rapidjson::GenericReader<rapidjson::UTF8<>, rapidjson::UTF8<>, ThrowingAllocator> parser;
    const rapidjson::ParseResult result = parser.Parse<kFlags>(stream, reader);
    if (reader.failure()) {
        throw DocumentError(reader.failure()->message + position_text(text, reader.failure()->offset));
    }
    if (result.IsError()) {
        throw DocumentError(syntax_message(result.Code()) + position_text(text, result.Offset()));
    }
    // The stream reads a NUL byte as its end, so text after one is still unread.
    if (stream.Tell() != text.size()) {
        throw DocumentError(syntax_message(rapidjson::kParseErrorDocumentRootNotSingular) +
                            position_text(text, stream.Tell()));
    }
    System system = reader.take_system();
    system.analytic_jacobian = false;
    return system;
}

}  // namespace ovralis
