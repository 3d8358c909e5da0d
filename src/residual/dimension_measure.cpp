// Each kind measures its own dimension, beside its residual in its family file.

#include "residual/dimension_measure.hpp"

#include "residual/kind_operations.hpp"
#include "system/errors.hpp"
#include "system/references.hpp"

namespace ovralis {
namespace {

void validate_constraint_references(const System& system, const Constraint& c) {
    const KindInfo& info = kind_info(c.kind);
    for (std::uint8_t i = 0; i < info.field_count; ++i) {
        const FieldSpec& spec = info.fields[i];
        const auto entity = entity_kind_of(spec.type);
        if (entity && c.index[spec.slot] >= entity_count(system, *entity)) {
            throw InvalidReference(out_of_range_message(*entity, c.index[spec.slot]));
        }
    }
}

}  // namespace

bool has_dimension(ConstraintKind kind) { return kind_operations(kind).measure != nullptr; }

double measure_dimension(const System& system, const Constraint& c) {
    validate_references(system);
    validate_constraint_references(system, c);
    const KindOperations& operations = kind_operations(c.kind);
    if (operations.measure == nullptr) {
        throw InternalError("measure_dimension of a kind without a dimension");
    }
    return operations.measure(system, c);
}

}  // namespace ovralis
