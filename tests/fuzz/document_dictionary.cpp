// Prints the fuzzer's dictionary for documents: every key a document may hold,
// as a quoted JSON string, taken from the very tables the writer and the
// reader walk, then a few literals and pieces of expressions. tests/fuzz/run.sh
// writes it to a file.

#include <cstdio>
#include <set>
#include <string_view>

#include "system/catalogue.hpp"
#include "system/document_design_intent.hpp"
#include "system/document_schema.hpp"

namespace {

using ovralis::entity_members;

template <class Entity>
void add_entity_members(std::set<std::string_view>& keys) {
    for (const auto& member : entity_members<Entity>()) keys.insert(member.name);
}

}  // namespace

int main() {
    std::set<std::string_view> keys;
    for (const auto& member : ovralis::kSystemMembers) keys.insert(member.name);
    add_entity_members<ovralis::Point>(keys);
    add_entity_members<ovralis::Line>(keys);
    add_entity_members<ovralis::Circle>(keys);
    add_entity_members<ovralis::Arc>(keys);
    add_entity_members<ovralis::Ellipse>(keys);
    add_entity_members<ovralis::ArcOfEllipse>(keys);
    for (std::size_t k = 0; k < ovralis::kConstraintKindCount; ++k) {
        const ovralis::KindInfo& info = ovralis::kind_info(static_cast<ovralis::ConstraintKind>(k));
        keys.insert(info.name);
        for (std::uint8_t i = 0; i < info.field_count; ++i) keys.insert(info.fields[i].name);
    }
    for (const char* key : ovralis::design_keys::kAll) keys.insert(key);
    // Keys need no escaping: the tables spell them in letters, digits and "_".
    for (const std::string_view key : keys) {
        std::printf("\"\\\"%.*s\\\"\"\n", static_cast<int>(key.size()), key.data());
    }
    for (const char* literal : {"null", "true", "false", "-0.0", "1e-10", "1.0e309", "-1.0e309"}) {
        std::printf("\"%s\"\n", literal);
    }
    // Pieces of the expressions that bindings and equations hold, to be
    // spliced inside their strings (none holds a quote or a backslash).
    for (const char* piece : {"w = 2*h + 3", " = ", "length(0)", "distance(0, 1)", "angle(",
                              "atan2(", "sqrt(-", "^", "1e308", "pi", "/0"}) {
        std::printf("\"%s\"\n", piece);
    }
    return 0;
}
