// Builds the column-to-parameter and column-to-constraint tables of the difference Jacobian.
#include "jacobian/column_dependencies.hpp"

#include <cstdint>
#include <limits>
#include <optional>

#include "system/errors.hpp"

namespace ovralis {
namespace {

// Calls read(parameter) for every parameter a constraint's residual may read.
// Arcs of ellipse are read only through their centre, focus and minor radius.
template <typename Read>
void for_each_parameter_read(const System& s, const Constraint& c, Read&& read) {
    const auto point = [&](Index p) {
        read(Parameter{ParamKind::PointX, p});
        read(Parameter{ParamKind::PointY, p});
    };
    const KindInfo& info = kind_info(c.kind);
    for (std::uint8_t f = 0; f < info.field_count; ++f) {
        const FieldSpec& field = info.fields[f];
        const Index i = c.index[field.slot];
        switch (field.type) {
            case FieldType::Point: point(i); break;
            case FieldType::Line:
                point(s.lines[i].p1);
                point(s.lines[i].p2);
                break;
            case FieldType::Circle:
                point(s.circles[i].center);
                read(Parameter{ParamKind::CircleRadius, i});
                break;
            case FieldType::Arc:
                point(s.arcs[i].center);
                point(s.arcs[i].start);
                point(s.arcs[i].end);
                read(Parameter{ParamKind::ArcRadius, i});
                break;
            case FieldType::Ellipse:
                point(s.ellipses[i].center);
                point(s.ellipses[i].focus1);
                read(Parameter{ParamKind::EllipseRadmin, i});
                break;
            case FieldType::ArcOfEllipse:
                point(s.arcs_of_ellipse[i].center);
                point(s.arcs_of_ellipse[i].focus1);
                read(Parameter{ParamKind::ArcOfEllipseRadmin, i});
                break;
            case FieldType::Real: break;
        }
    }
}

// Turns per-column counts into start offsets (with the total at the end).
void counts_to_starts(std::vector<std::size_t>& start) {
    std::size_t total = 0;
    for (std::size_t& entry : start) {
        const std::size_t count = entry;
        entry = total;
        total += count;
    }
}

// Every column validated here, which also covers the lookups of the constraint pass.
void group_members(const VariableLayout& layout, std::size_t columns, ColumnDependencies& deps) {
    deps.member_start.assign(columns + 1, 0);
    for (const auto& table : layout.columns) {
        for (const std::int64_t column : table) {
            if (column == VariableLayout::kNoColumn) continue;
            if (column < 0 || static_cast<std::size_t>(column) >= columns) {
                throw InternalError("variable layout names a column outside the variable vector");
            }
            ++deps.member_start[static_cast<std::size_t>(column)];
        }
    }
    counts_to_starts(deps.member_start);
    deps.members.resize(deps.member_start[columns]);
    std::vector<std::size_t> next(deps.member_start.begin(), deps.member_start.end() - 1);
    for (std::size_t kind = 0; kind < kParamKindCount; ++kind) {
        const auto& table = layout.columns[kind];
        for (Index entity = 0; entity < table.size(); ++entity) {
            if (table[entity] == VariableLayout::kNoColumn) continue;
            deps.members[next[static_cast<std::size_t>(table[entity])]++] =
                Parameter{static_cast<ParamKind>(kind), entity};
        }
    }
}

}  // namespace

ColumnDependencies column_dependencies(const System& system, ResidualForm form) {
    const VariableLayout& layout = system.layout;
    const std::size_t columns = layout.variables.size();
    ColumnDependencies deps;
    group_members(layout, columns, deps);

    // Two passes over the constraints, counting then filling. A constraint that
    // reads a column several times (a shared point, two members of one group)
    // is listed once: it is the last one recorded for that column.
    constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();
    std::vector<std::size_t> last_listed(columns, kNone);
    const auto visit_reads = [&](auto&& record) {
        for (std::size_t k = 0; k < system.constraints.size(); ++k) {
            const Constraint& constraint = system.constraints[k];
            if (form == ResidualForm::Reduced && is_eliminated(constraint)) continue;
            for_each_parameter_read(system, constraint, [&](Parameter parameter) {
                const std::optional<Eigen::Index> column = column_of(layout, parameter);
                if (!column) return;
                const auto j = static_cast<std::size_t>(*column);
                if (last_listed[j] == k) return;
                last_listed[j] = k;
                record(j, k);
            });
        }
    };

    deps.constraint_start.assign(columns + 1, 0);
    visit_reads([&](std::size_t j, std::size_t) { ++deps.constraint_start[j]; });
    counts_to_starts(deps.constraint_start);
    deps.constraints.resize(deps.constraint_start[columns]);
    std::vector<std::size_t> next(deps.constraint_start.begin(), deps.constraint_start.end() - 1);
    last_listed.assign(columns, kNone);
    visit_reads([&](std::size_t j, std::size_t k) { deps.constraints[next[j]++] = k; });

    deps.first_row.resize(system.constraints.size());
    Eigen::Index row = 0;
    for (std::size_t k = 0; k < system.constraints.size(); ++k) {
        deps.first_row[k] = row;
        const Constraint& constraint = system.constraints[k];
        if (form == ResidualForm::Full || !is_eliminated(constraint)) {
            row += equation_count(constraint);
        }
    }
    return deps;
}

}  // namespace ovralis
