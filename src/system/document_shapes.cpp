// Builds the reader's record layouts from the member tables
// (document_schema.hpp) and the constraint catalogue, so that the reader knows
// no name or order of its own.
#include "system/document_shapes.hpp"

#include "system/document_messages.hpp"
#include "system/document_schema.hpp"
#include "system/overloaded.hpp"
#include "system/system.hpp"

namespace ovralis::reading {
namespace {

Expected expected_for(MemberType type) {
    switch (type) {
        case MemberType::Index: return {Shape::Index};
        case MemberType::Real: return {Shape::Real};
        case MemberType::Flag: return {Shape::Flag};
    }
    return {Shape::Ignored};
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
    record.description = struct_description("struct variant Constraint::" + std::string(info.name),
                                            info.field_count);
    return record;
}

}  // namespace

Layouts::Layouts()
    : point(entity_record<Point>(RecordKind::Point, "Point")),
      line(entity_record<Line>(RecordKind::Line, "Line")),
      circle(entity_record<Circle>(RecordKind::Circle, "Circle")),
      arc(entity_record<Arc>(RecordKind::Arc, "Arc")),
      ellipse(entity_record<Ellipse>(RecordKind::Ellipse, "Ellipse")),
      arc_of_ellipse(entity_record<ArcOfEllipse>(RecordKind::ArcOfEllipse, "ArcOfEllipse")),
      system{RecordKind::System, {}, {}, {}, kRequiredSystemMembers} {
    for (std::size_t k = 0; k < kConstraintKindCount; ++k) {
        constraints.push_back(constraint_record(static_cast<ConstraintKind>(k)));
    }
    const auto entity_list = [](const Record& elements) {
        return Expected{Shape::EntityList, &elements};
    };
    const System defaults;
    for (const SystemMember& member : kSystemMembers) {
        const std::string_view name = member.name;
        // Settings fall back to a fresh System's values when left out.
        const Overloaded field{
            [&](std::vector<Point> System::*) {
                return RecordField{name, entity_list(point)};
            },
            [&](std::vector<Line> System::*) {
                return RecordField{name, entity_list(line)};
            },
            [&](std::vector<Circle> System::*) {
                return RecordField{name, entity_list(circle)};
            },
            [&](std::vector<Arc> System::*) {
                return RecordField{name, entity_list(arc)};
            },
            [&](std::vector<Ellipse> System::*) {
                return RecordField{name, entity_list(ellipse)};
            },
            [&](std::vector<ArcOfEllipse> System::*) {
                return RecordField{name, entity_list(arc_of_ellipse)};
            },
            [&](std::vector<Constraint> System::*) {
                return RecordField{name, {Shape::ConstraintList}};
            },
            [&](bool System::*setting) {
                return RecordField{name, {Shape::Flag}, defaults.*setting};
            },
            [&](double System::*setting) {
                return RecordField{name, {Shape::Real}, defaults.*setting};
            },
        };
        system.fields.push_back(std::visit(field, member.member));
    }
    system.description = struct_description("struct System", system.fields.size());
}

const Layouts& layouts() {
    static const Layouts instance;
    return instance;
}

}  // namespace ovralis::reading
