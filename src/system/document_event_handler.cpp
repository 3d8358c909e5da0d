// The parse events in turn: each value is checked against the shape its place
// expects, and each record, once whole, is put where it belongs in the store.
//
// Accepted shape: the writer's (document_writer.cpp), with members in any
// order, unknown members skipped, every object with named fields also
// accepted as an array of its values in field order, and null accepted for
// any real (read as NaN, since the writer emits NaN as null).
#include "system/document_event_handler.hpp"

#include <algorithm>
#include <limits>
#include <type_traits>
#include <utility>
#include <variant>

#include "system/document_messages.hpp"
#include "system/document_schema.hpp"
#include "system/number_text.hpp"
#include "system/overloaded.hpp"

namespace ovralis::reading {
namespace {

std::optional<double> as_real(const Scalar& value) {
    return std::visit(
        Overloaded{
            // NaN is written as null (infinities as numbers out of a
            // double's range, number_text.hpp); null reads back as NaN.
            [](std::nullptr_t) -> std::optional<double> {
                return std::numeric_limits<double>::quiet_NaN();
            },
            [](std::uint64_t n) -> std::optional<double> { return static_cast<double>(n); },
            [](std::int64_t n) -> std::optional<double> { return static_cast<double>(n); },
            [](double x) -> std::optional<double> { return x; },
            [](const auto&) -> std::optional<double> { return std::nullopt; },
        },
        value);
}

template <class Entity, class Values>
Entity build_entity(const Values& values) {
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

template <class Values>
Constraint build_constraint(ConstraintKind kind, const Values& values) {
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

// The top level's settings from its values; its lists filled up as their
// elements completed.
void take_member(bool& setting, const FieldValue& value) { setting = std::get<bool>(value); }
void take_member(double& setting, const FieldValue& value) { setting = std::get<double>(value); }
template <class Item>
void take_member(std::vector<Item>&, const FieldValue&) {}

}  // namespace

bool DocumentEventHandler::Null() { return scalar(nullptr); }

bool DocumentEventHandler::Bool(bool flag) { return scalar(flag); }

bool DocumentEventHandler::RawNumber(const char* text, rapidjson::SizeType length, bool) {
    offset_ = stream_.Tell() - 1;  // the number's last character
    const std::optional<JsonNumber> number = read_json_number(std::string_view(text, length));
    if (!number) return fail(number_range_message());
    return scalar(std::visit([](auto n) { return Scalar{n}; }, *number));
}

bool DocumentEventHandler::String(const char* text, rapidjson::SizeType length, bool) {
    return scalar(std::string_view(text, length));
}

bool DocumentEventHandler::StartObject() { return start(FrameKind::RecordObject); }
bool DocumentEventHandler::StartArray() { return start(FrameKind::RecordArray); }
bool DocumentEventHandler::EndObject(rapidjson::SizeType) { return end(); }
bool DocumentEventHandler::EndArray(rapidjson::SizeType) { return end(); }

bool DocumentEventHandler::Key(const char* text, rapidjson::SizeType length, bool) {
    offset_ = stream_.Tell() - 1;  // the closing quote
    const std::string_view key(text, length);
    Frame& top = frames_.back();
    switch (top.kind) {
        case FrameKind::RecordObject: return member_key(top, key);
        case FrameKind::Constraint: return kind_key(top, key);
        // Lists and arrays have no keys; an ignored value's keys mean nothing.
        case FrameKind::RecordArray:
        case FrameKind::EntityList:
        case FrameKind::ConstraintList:
        case FrameKind::Ignored: return true;
    }
    return true;
}

bool DocumentEventHandler::fail(std::string message) {
    failure_ = Failure{std::move(message), offset_};
    return false;
}

// Decides what the next value is, from the innermost open frame.
std::optional<DocumentEventHandler::Slot> DocumentEventHandler::next_slot() {
    if (frames_.empty()) return Slot{{Shape::Record, &layouts().system}};
    Frame& top = frames_.back();
    switch (top.kind) {
        case FrameKind::RecordObject:
            if (!top.field) return Slot{{Shape::Ignored}};
            return Slot{top.record->fields[*top.field].expected, &top.values[*top.field]};
        case FrameKind::RecordArray: {
            if (top.count == top.record->fields.size()) {
                fail(long_array_message(top.count, *top.record));
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

bool DocumentEventHandler::scalar(const Scalar& value) {
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
                return fail(negative_index_message(value));
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
                return fail(type_message(describe(value),
                                         {Shape::Record, &layouts().constraint_fields(*kind)}));
            }
            break;
        // Containers never hold a scalar.
        case Shape::Record:
        case Shape::EntityList:
        case Shape::ConstraintList: break;
    }
    return fail(type_message(describe(value), slot->expected));
}

// `as` is RecordObject for '{' and RecordArray for '['.
bool DocumentEventHandler::start(FrameKind as) {
    offset_ = stream_.Tell();  // the opening bracket
    const bool object = as == FrameKind::RecordObject;
    const std::optional<Slot> slot = next_slot();
    if (!slot) return false;
    if (frames_.size() == kNestingLimit) return fail(nesting_message());
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
        // Scalars never open a container.
        case Shape::Index:
        case Shape::Real:
        case Shape::Flag: break;
    }
    return fail(type_message(object ? "map" : "sequence", slot->expected));
}

bool DocumentEventHandler::push(Frame frame) {
    frames_.push_back(std::move(frame));
    return true;
}

bool DocumentEventHandler::member_key(Frame& top, std::string_view key) {
    const auto& fields = top.record->fields;
    const auto found = std::find_if(fields.begin(), fields.end(),
                                    [&](const RecordField& field) { return field.name == key; });
    if (found == fields.end()) {
        top.field.reset();  // unknown member: its value is skipped
        return true;
    }
    const auto i = static_cast<std::size_t>(found - fields.begin());
    if (top.seen[i]) return fail(duplicate_field_message(key));
    top.seen.set(i);
    top.field = i;
    return true;
}

bool DocumentEventHandler::kind_key(Frame& top, std::string_view key) {
    if (top.record != nullptr) return fail(second_kind_message(key));
    const std::optional<ConstraintKind> kind = kind_from_name(key);
    if (!kind) return fail(unknown_variant_message(key));
    top.record = &layouts().constraint_fields(*kind);
    return true;
}

bool DocumentEventHandler::end() {
    offset_ = stream_.Tell();  // the closing bracket
    Frame frame = std::move(frames_.back());
    frames_.pop_back();
    switch (frame.kind) {
        case FrameKind::RecordObject:
            for (std::size_t i = 0; i < frame.record->required; ++i) {
                if (!frame.seen[i])
                    return fail(missing_field_message(frame.record->fields[i].name));
            }
            return complete(*frame.record, frame.values);
        case FrameKind::RecordArray:
            if (frame.count < frame.record->required) {
                return fail(short_array_message(frame.count, *frame.record));
            }
            return complete(*frame.record, frame.values);
        case FrameKind::Constraint:
            if (frame.record == nullptr) return fail(no_kind_message());
            return true;
        // Their elements were stored as each completed.
        case FrameKind::EntityList:
        case FrameKind::ConstraintList:
        case FrameKind::Ignored: return true;
    }
    return true;
}

// A record is whole: put it where it belongs in the store.
bool DocumentEventHandler::complete(const Record& record, const Values& values) {
    switch (record.kind) {
        case RecordKind::System:
            for (std::size_t i = 0; i < kSystemMembers.size(); ++i) {
                std::visit([&](auto pointer) { take_member(system_.*pointer, values[i]); },
                           kSystemMembers[i].member);
            }
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

}  // namespace ovralis::reading
