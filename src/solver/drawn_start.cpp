// Equality groups at the mean of their members, for a recovery that starts
// from the drawing rather than from its propagated copy.
//
// Propagation copies a group's leader (the first-named parameter) into every
// other member, so a corner whose two line ends were drawn apart starts at
// one of them; on a rough drawing that can already turn the corner over.
// The mean keeps every member's say.

#include "solver/drawn_start.hpp"

#include "system/variable_layout.hpp"

namespace ovralis {

Eigen::VectorXd drawn_start(const System& system) {
    const VariableLayout& layout = system.layout;
    const Eigen::Index n = static_cast<Eigen::Index>(layout.variables.size());
    Eigen::VectorXd sum(n);
    Eigen::VectorXd members = Eigen::VectorXd::Ones(n);  // each leader counts once
    for (Eigen::Index c = 0; c < n; ++c) {
        sum[c] = parameter_value(system, layout.variables[static_cast<std::size_t>(c)]);
    }
    for (const auto& copy : layout.copies) {
        const std::optional<Eigen::Index> column = column_of(layout, copy.first);
        if (!column) continue;
        sum[*column] += parameter_value(system, copy.first);
        members[*column] += 1.0;
    }
    return sum.cwiseQuotient(members);
}

}  // namespace ovralis
