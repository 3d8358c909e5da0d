// Items of the constraint analysis: constraints, then design-intent equations.

#include "validation/analysis_items.hpp"

#include <algorithm>

#include "expression/bound_fields.hpp"
#include "system/design_intent_edits.hpp"

namespace ovralis {

std::size_t item_count(const System& system) {
    return system.constraints.size() + system.equations.size();
}

bool is_equation_item(const System& system, std::size_t item) {
    return item >= system.constraints.size();
}

bool item_holds(ConflictJudge& judge, const System& system, std::size_t item) {
    if (is_equation_item(system, item)) {
        return judge.holds(system.equations[item - system.constraints.size()]);
    }
    return judge.holds(system.constraints[item]);
}

System with_items(const System& system, std::size_t count, const std::vector<std::size_t>& dropped) {
    const auto kept = [&](std::size_t item) {
        return item < count && !std::binary_search(dropped.begin(), dropped.end(), item);
    };
    System out = system;
    out.constraints.clear();
    std::vector<bool> removed(system.constraints.size(), false);
    for (std::size_t k = 0; k < system.constraints.size(); ++k) {
        if (kept(k)) {
            out.constraints.push_back(system.constraints[k]);
        } else {
            removed[k] = true;
        }
    }
    forget_constraints(out, removed);
    out.equations.clear();
    for (std::size_t e = 0; e < system.equations.size(); ++e) {
        if (kept(system.constraints.size() + e)) out.equations.push_back(system.equations[e]);
    }
    return out;
}

void restore_items(System& reduced, const System& full) {
    reduced.constraints = full.constraints;
    reduced.bindings = full.bindings;
    reduced.equations = full.equations;
    refresh_bound_fields(reduced);
}

}  // namespace ovralis
