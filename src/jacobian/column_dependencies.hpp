// Which parameters and constraints each Jacobian column touches, for column-wise differences.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include <Eigen/Core>

#include "residual/residual.hpp"
#include "system/system.hpp"

namespace ovralis {

// For every column of the Jacobian: the parameters its variable drives (the
// members of its equality group) and the constraints whose residual reads one
// of them, directly or through a line, circle, arc or ellipse. Only those
// constraints change when the variable moves. Compressed rows: column j's items
// lie between start[j] and start[j + 1].
struct ColumnDependencies {
    std::vector<std::size_t> member_start;
    std::vector<Parameter> members;
    std::vector<std::size_t> constraint_start;
    std::vector<std::size_t> constraints;  // positions in system.constraints, in list order
    // First residual row of each constraint in the chosen form (unused for a
    // constraint that takes no rows in it).
    std::vector<Eigen::Index> first_row;

    std::span<const Parameter> members_of(Eigen::Index column) const {
        const auto j = static_cast<std::size_t>(column);
        return {members.data() + member_start[j], member_start[j + 1] - member_start[j]};
    }
    std::span<const std::size_t> constraints_of(Eigen::Index column) const {
        const auto j = static_cast<std::size_t>(column);
        return {constraints.data() + constraint_start[j],
                constraint_start[j + 1] - constraint_start[j]};
    }
};

// Built in time linear in the entities plus the parameters the constraints
// read. Indices must have been validated.
ColumnDependencies column_dependencies(const System& system, ResidualForm form);

}  // namespace ovralis
