// Writes a whole store as one compact JSON document: no whitespace, members in
// the order of the member tables (document_schema.hpp), indices as unsigned
// integers, reals in their shortest round-trip digits (number_text.hpp),
// infinities as 1.0e309 and -1.0e309, and NaN as null.

#include <cmath>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "system/catalogue.hpp"
#include "system/document.hpp"
#include "system/document_design_intent.hpp"
#include "system/document_schema.hpp"
#include "system/json_allocator.hpp"
#include "system/number_text.hpp"

namespace ovralis {
namespace {

using JsonBuffer = rapidjson::GenericStringBuffer<rapidjson::UTF8<>, ThrowingAllocator>;
using JsonWriter =
    rapidjson::Writer<JsonBuffer, rapidjson::UTF8<>, rapidjson::UTF8<>, ThrowingAllocator>;

void write_key(JsonWriter& writer, std::string_view key) {
    writer.Key(key.data(), static_cast<rapidjson::SizeType>(key.size()));
}

// The library's own double formatting differs from the document's layout, so
// reals go out as ready-made number text.
void write_real(JsonWriter& writer, double value) {
    if (std::isnan(value)) {
        writer.Null();
        return;
    }
    if (std::isinf(value)) {
        const std::string_view text = json_infinity_text(value < 0.0);
        writer.RawValue(text.data(), text.size(), rapidjson::kNumberType);
        return;
    }
    const std::string text = format_json_number(value);
    writer.RawValue(text.data(), text.size(), rapidjson::kNumberType);
}

void write_value(JsonWriter& writer, Index value) { writer.Uint64(value); }
void write_value(JsonWriter& writer, double value) { write_real(writer, value); }
void write_value(JsonWriter& writer, bool value) { writer.Bool(value); }

template <class Entity>
void write_entity(JsonWriter& writer, const Entity& entity) {
    writer.StartObject();
    for (const auto& [name, member] : entity_members<Entity>()) {
        write_key(writer, name);
        std::visit([&](auto pointer) { write_value(writer, entity.*pointer); }, member);
    }
    writer.EndObject();
}

// {"Kind":{"field":value,...}}, fields in catalogue order.
void write_constraint(JsonWriter& writer, const Constraint& constraint) {
    const KindInfo& info = kind_info(constraint.kind);
    writer.StartObject();
    write_key(writer, info.name);
    writer.StartObject();
    for (std::uint8_t i = 0; i < info.field_count; ++i) {
        const FieldSpec& field = info.fields[i];
        write_key(writer, field.name);
        if (field.type == FieldType::Real) {
            write_real(writer, constraint.value[field.slot]);
        } else {
            writer.Uint64(constraint.index[field.slot]);
        }
    }
    writer.EndObject();
    writer.EndObject();
}

template <class Item>
void write_value(JsonWriter& writer, const std::vector<Item>& items) {
    writer.StartArray();
    for (const Item& item : items) {
        if constexpr (std::is_same_v<Item, Constraint>) {
            write_constraint(writer, item);
        } else {
            write_entity(writer, item);
        }
    }
    writer.EndArray();
}

}  // namespace

std::string to_json(const System& system) {
    JsonBuffer buffer;
    JsonWriter writer(buffer);
    writer.StartObject();
    for (const auto& [name, member] : kSystemMembers) {
        write_key(writer, name);
        std::visit([&](auto pointer) { write_value(writer, system.*pointer); }, member);
    }
    writer.EndObject();
    std::string text(buffer.GetString(), buffer.GetSize());
    if (has_design_records(system)) {
        // The optional members go in before the closing brace.
        text.pop_back();
        text += design_intent_members(system);
        text += '}';
    }
    return text;
}

}  // namespace ovralis
