#include "system/document_design_intent.hpp"

#include <cmath>
#include <cstdint>
#include <optional>
#include <variant>

#include <rapidjson/document.h>
#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "system/design_intent_edits.hpp"
#include "system/document_messages.hpp"
#include "system/errors.hpp"
#include "system/number_text.hpp"

namespace ovralis {

using namespace design_keys;

namespace {

using Writer = rapidjson::Writer<rapidjson::StringBuffer>;

void key(Writer& writer, std::string_view name) {
    writer.Key(name.data(), static_cast<rapidjson::SizeType>(name.size()));
}

void text_value(Writer& writer, std::string_view text) {
    writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
}

// The member `name` of the top-level object as a JSON array of its own.
template <typename Items, typename WriteItem>
void write_member(std::string& out, std::string_view name, const Items& items, WriteItem write) {
    if (items.empty()) return;
    rapidjson::StringBuffer buffer;
    Writer writer(buffer);
    writer.StartArray();
    for (const auto& item : items) write(writer, item);
    writer.EndArray();
    out += ",\"";
    out += name;
    out += "\":";
    out.append(buffer.GetString(), buffer.GetSize());
}

// Builds a document with every number read by the document reader's own
// conversion, correctly rounded (RapidJSON's full-precision conversion
// misbehaves on some texts, such as a zero with a large negative exponent).
// A number too large for a double becomes null, which the readers below
// refuse as not a number.
struct ExactNumbers {
    rapidjson::Document& document;

    bool Null() { return document.Null(); }
    bool Bool(bool value) { return document.Bool(value); }
    bool Int(int value) { return document.Int(value); }
    bool Uint(unsigned value) { return document.Uint(value); }
    bool Int64(std::int64_t value) { return document.Int64(value); }
    bool Uint64(std::uint64_t value) { return document.Uint64(value); }
    bool Double(double value) { return document.Double(value); }
    bool RawNumber(const char* text, rapidjson::SizeType length, bool) {
        const std::optional<JsonNumber> number = read_json_number({text, length});
        if (!number) return document.Null();
        return std::visit([this](auto value) { return number_value(value); }, *number);
    }
    bool String(const char* text, rapidjson::SizeType length, bool copy) {
        return text_is_utf8({text, length}) && document.String(text, length, copy);
    }
    bool StartObject() { return document.StartObject(); }
    bool Key(const char* text, rapidjson::SizeType length, bool copy) {
        return text_is_utf8({text, length}) && document.Key(text, length, copy);
    }
    bool EndObject(rapidjson::SizeType members) { return document.EndObject(members); }
    bool StartArray() { return document.StartArray(); }
    bool EndArray(rapidjson::SizeType elements) { return document.EndArray(elements); }

    // Set when a string decoded to bytes that are not UTF-8 (a lone
    // surrogate escape such as \udc00), which ends the reading.
    bool not_utf8 = false;

private:
    bool text_is_utf8(std::string_view text) {
        not_utf8 = !reading::is_utf8(text);
        return !not_utf8;
    }

    bool number_value(std::uint64_t value) { return document.Uint64(value); }
    bool number_value(std::int64_t value) { return document.Int64(value); }
    bool number_value(double value) { return document.Double(value); }
};

[[noreturn]] void refuse(std::string_view member, rapidjson::SizeType item, const std::string& why) {
    throw DocumentError(std::string(member) + "[" + std::to_string(item) + "]: " + why);
}

const rapidjson::Value& member_of(const rapidjson::Value& object, const char* name,
                                  std::string_view list, rapidjson::SizeType item) {
    const auto found = object.FindMember(name);
    if (found == object.MemberEnd()) refuse(list, item, std::string("missing member \"") + name + "\"");
    return found->value;
}

std::string_view string_member(const rapidjson::Value& object, const char* name,
                               std::string_view list, rapidjson::SizeType item) {
    const rapidjson::Value& value = member_of(object, name, list, item);
    if (!value.IsString()) refuse(list, item, std::string("\"") + name + "\" must be a string");
    return {value.GetString(), value.GetStringLength()};
}

// The object items of a top-level array member, each checked to have exactly `members` members.
const rapidjson::Value* array_member(const rapidjson::Document& document, const char* name) {
    const auto found = document.FindMember(name);
    if (found == document.MemberEnd()) return nullptr;
    if (!found->value.IsArray()) throw DocumentError(std::string("\"") + name + "\" must be an array");
    return &found->value;
}

void require_object(const rapidjson::Value& item, std::string_view list, rapidjson::SizeType i,
                    rapidjson::SizeType members) {
    if (!item.IsObject() || item.MemberCount() != members) {
        refuse(list, i, "expected an object of " + std::to_string(members) + " members");
    }
}

void read_variables(const rapidjson::Value& list, System& system) {
    for (rapidjson::SizeType i = 0; i < list.Size(); ++i) {
        const rapidjson::Value& item = list[i];
        require_object(item, kVariables, i, 3);
        const std::string_view name = string_member(item, kName, kVariables, i);
        const rapidjson::Value& value = member_of(item, kValue, kVariables, i);
        const rapidjson::Value& fixed = member_of(item, kFixed, kVariables, i);
        if (!value.IsNumber()) refuse(kVariables, i, "\"value\" must be a number");
        if (!fixed.IsBool()) refuse(kVariables, i, "\"fixed\" must be true or false");
        try {
            add_variable(system, name, value.GetDouble(), fixed.GetBool());
        } catch (const InvalidArgument& error) {
            refuse(kVariables, i, error.what());
        }
    }
}

void read_bindings(const rapidjson::Value& list, System& system) {
    for (rapidjson::SizeType i = 0; i < list.Size(); ++i) {
        const rapidjson::Value& item = list[i];
        require_object(item, kBindings, i, 3);
        const rapidjson::Value& constraint = member_of(item, kConstraint, kBindings, i);
        if (!constraint.IsUint64()) refuse(kBindings, i, "\"constraint\" must be an index");
        const std::string_view field = string_member(item, kField, kBindings, i);
        const std::string_view expression = string_member(item, kExpression, kBindings, i);
        try {
            restore_binding(system, constraint.GetUint64(), field, expression);
        } catch (const InvalidArgument& error) {
            refuse(kBindings, i, error.what());
        } catch (const InvalidReference& error) {
            refuse(kBindings, i, error.what());
        }
    }
}

void read_equations(const rapidjson::Value& list, System& system) {
    for (rapidjson::SizeType i = 0; i < list.Size(); ++i) {
        const rapidjson::Value& item = list[i];
        if (!item.IsString()) refuse(kEquations, i, "expected a string");
        try {
            add_equation(system, {item.GetString(), item.GetStringLength()});
        } catch (const InvalidArgument& error) {
            refuse(kEquations, i, error.what());
        } catch (const InvalidReference& error) {
            refuse(kEquations, i, error.what());
        }
    }
}

}  // namespace

bool has_design_records(const System& system) {
    return !system.design_variables.empty() || !system.bindings.empty() ||
           !system.equations.empty();
}

std::string design_intent_members(const System& system) {
    std::string out;
    write_member(out, kVariables, system.design_variables,
                 [](Writer& writer, const DesignVariable& v) {
                     writer.StartObject();
                     key(writer, kName);
                     text_value(writer, v.name);
                     key(writer, kValue);
                     const std::string number = format_json_number(v.value);
                     writer.RawValue(number.data(), number.size(), rapidjson::kNumberType);
                     key(writer, kFixed);
                     writer.Bool(v.fixed);
                     writer.EndObject();
                 });
    write_member(out, kBindings, system.bindings, [&](Writer& writer, const Binding& b) {
        writer.StartObject();
        key(writer, kConstraint);
        writer.Uint64(b.constraint);
        key(writer, kField);
        text_value(writer, bound_field_name(system, b));
        key(writer, kExpression);
        text_value(writer, b.text);
        writer.EndObject();
    });
    write_member(out, kEquations, system.equations,
                 [](Writer& writer, const Equation& e) { text_value(writer, e.text); });
    return out;
}

void read_design_intent(std::string_view text, System& system) {
    // Most documents have none of the members: only those that name one are read twice.
    const auto names = [&](std::string_view member) {
        std::string quoted(1, '"');
        quoted.append(member).push_back('"');
        return text.find(quoted) != std::string_view::npos;
    };
    if (!names(kVariables) && !names(kBindings) && !names(kEquations)) return;
    rapidjson::Document document;
    ExactNumbers handler{document};
    auto parse = [&](rapidjson::Document&) {
        rapidjson::Reader reader;
        rapidjson::MemoryStream stream(text.data(), text.size());
        constexpr unsigned kFlags = rapidjson::kParseIterativeFlag | rapidjson::kParseNumbersAsStringsFlag;
        return !reader.Parse<kFlags>(stream, handler).IsError();
    };
    document.Populate(parse);
    if (handler.not_utf8) {
        throw DocumentError("design intent: a string holds an unpaired surrogate escape");
    }
    if (!document.IsObject()) return;  // the first reading judged it
    if (const rapidjson::Value* list = array_member(document, kVariables)) {
        read_variables(*list, system);
    }
    if (const rapidjson::Value* list = array_member(document, kBindings)) {
        read_bindings(*list, system);
    }
    if (const rapidjson::Value* list = array_member(document, kEquations)) {
        read_equations(*list, system);
    }
}

}  // namespace ovralis
