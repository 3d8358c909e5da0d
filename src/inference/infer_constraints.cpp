#include "inference/infer_constraints.hpp"

#include "inference/candidate_search.hpp"
#include "inference/independent_selection.hpp"
#include "system/store.hpp"

namespace ovralis::inference {
namespace {

// A candidate with several equations is refused when only some of them are
// dependent, yet its other rows still shaped the span the later candidates
// were tested against; another pass without it finds what it hid.
constexpr int kSelectionPasses = 3;

std::vector<Constraint> holding_candidates(const System& system, const InferenceOptions& options) {
    const DrawingFrame frame = measure_drawing(system);
    const double length_tol = options.tol * frame.size;
    DrawingIndex index(system, frame, length_tol);
    const Figures figures = find_figures(system, frame);
    CandidateList list(system, frame, options.tol, options.relations);
    SearchContext context{system, frame, index, figures, list, length_tol, options.tol};
    search_incidences(context);
    search_directions(context);
    search_tangencies(context);
    search_equalities(context);
    return list.in_canonical_order();
}

}  // namespace

std::vector<Index> infer_constraints(System& system, const InferenceOptions& options) {
    std::vector<Constraint> pending = holding_candidates(system, options);
    std::vector<Index> added;
    for (int pass = 0; pass < kSelectionPasses && !pending.empty(); ++pass) {
        const std::vector<Independence> verdict = independent_candidates(system, pending);
        std::vector<Constraint> dependent;
        bool any_partly = false;
        for (std::size_t k = 0; k < pending.size(); ++k) {
            switch (verdict[k]) {
                case Independence::Independent:
                    added.push_back(system.constraints.size());
                    add_constraint(system, pending[k]);
                    break;
                case Independence::Dependent: dependent.push_back(pending[k]); break;
                case Independence::Partly: any_partly = true; break;
            }
        }
        if (!any_partly) break;
        pending = std::move(dependent);
    }
    return added;
}

}  // namespace ovralis::inference
