#include "expression/expression.hpp"

namespace ovralis {

const std::vector<NamedOperation>& named_operations() {
    using O = Operation;
    static const std::vector<NamedOperation> names{
        {"pi", O::Number, 0, false},        {"sqrt", O::Sqrt, 1, false},
        {"abs", O::Abs, 1, false},          {"sin", O::Sin, 1, false},
        {"cos", O::Cos, 1, false},          {"tan", O::Tan, 1, false},
        {"asin", O::Asin, 1, false},        {"acos", O::Acos, 1, false},
        {"min", O::Min, 2, false},          {"max", O::Max, 2, false},
        {"atan2", O::Atan2, 2, false},      {"distance", O::Distance, 2, true},
        {"length", O::Length, 1, true},     {"radius", O::Radius, 1, true},
        {"arc_radius", O::ArcRadius, 1, true}, {"angle", O::Angle, 2, true},
        {"x", O::PointX, 1, true},          {"y", O::PointY, 1, true},
    };
    return names;
}

const NamedOperation* operation_name(Operation op) {
    if (op == Operation::Number) return nullptr;
    for (const NamedOperation& named : named_operations()) {
        if (named.op == op) return &named;
    }
    return nullptr;
}

bool is_measure(Operation op) { return op >= Operation::Distance; }

EntityKind measured_entity(Operation op) {
    switch (op) {
        case Operation::Length:
        case Operation::Angle: return EntityKind::Line;
        case Operation::Radius: return EntityKind::Circle;
        case Operation::ArcRadius: return EntityKind::Arc;
        default: return EntityKind::Point;
    }
}

}  // namespace ovralis
