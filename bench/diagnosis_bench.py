"""Diagnosis benchmark: how well the analysis and the repairs point at the
dimension a user changed.

For each family of bench/conflict_sketches.py (rectangles, grids, mixed
plates with holes, stepped profiles), generated sketches with one dimension
changed by 5-20 % are solved (the solve fails), then analysed and repaired.
Per family it prints:

- named: the median share of the constraints that the analysis names
  (conflicting constraints and their groups);
- circuit: the median share of a smallest set of constraints that conflicts
  and holds the changed one (a circuit: none of it can be spared), found in
  the bench, so that "named" can be read against what any analysis must name
  (over the cases whose conflict a rank shows);
- changed named: the cases whose changed constraint is among them;
- top-1, top-3, any: the cases whose changed constraint is the first repair,
  among the first three, among all of them (System.repairs(limit=100)), asked
  after the failed solve as the issue's users do;
- drawing top-1, top-3: the same, asked of the drawing before any solve;
- the median time of one analyze_constraints() and of one repairs() call.

The family "part" over-dimensions realistic parts (filleted plates with slots
and bolt circles, chamfered rectangles, filleted polygons; see
conflict_sketches.py). A last row pools the cases of every family for the two
shares.

After a failed solve the sketch sits at the least-squares compromise, which
spreads the changed dimension's error over every constraint of its circuit
and no longer shows which one the user changed: where the circuit is a chain
of like dimensions (a profile's treads and its overall length), the repairs
differ there only by where along the chain they are. The drawing columns show
what the repairs find while the drawing is still there.

    python bench/diagnosis_bench.py [--cases N] [--jitter J]
"""

import argparse
import math
import random
import statistics
import time

from conflict_sketches import FAMILIES, conflict_cases, with_dimension


def named(analysis):
    out = set(analysis.conflicting)
    for k in analysis.conflicting:
        out.update(analysis.groups[k])
    return out


def timed(call):
    start = time.perf_counter()
    value = call()
    return value, time.perf_counter() - start


def changed_depends_on(s, changed, kept):
    """Whether the changed constraint's equations follow from those of `kept`
    where every constraint holds: then `kept` with the changed value conflicts."""
    t = s.copy()
    t.clear_constraints()
    for k in kept:
        t.add_constraint(s.get_constraint(k))
    t.add_constraint(s.get_constraint(changed))
    return len(kept) in t.analyze_constraints().redundant


def circuit_share(case, orders=6):
    """The share of the smallest circuit through the changed constraint that
    dropping constraints one by one finds, in several orders, at the drawing
    the sketch had before the change: a constraint is dropped while the
    changed one still follows from the rest. None where it does not follow
    even from all of them (the change asks for more than the geometry can
    reach, as a chord longer than its circle's diameter)."""
    s = case.system.copy()
    s.set_constraint(case.changed, with_dimension(s.get_constraint(case.changed), 1 / case.factor))
    assert s.solve().converged
    others = [k for k in range(s.num_constraints()) if k != case.changed]
    if not changed_depends_on(s, case.changed, others):
        return None  # a conflict that no rank shows: no circuit to compare with
    smallest = len(others)
    rng = random.Random(case.changed)
    for order in range(orders):
        candidates = others[::-1] if order == 1 else rng.sample(others, len(others)) if order else others
        kept = list(others)
        for k in candidates:
            trial = [i for i in kept if i != k]
            if changed_depends_on(s, case.changed, trial):
                kept = trial
        smallest = min(smallest, len(kept))
    return (smallest + 1) / s.num_constraints()


def repair_rank(s, changed):
    order = [r.constraint for r in s.repairs(limit=100)]
    return order.index(changed) + 1 if changed in order else None


def family_figures(family, count, jitter):
    shares, circuits, found, ranks, drawing_ranks, analysis_times, repair_times = ([] for _ in range(7))
    for case in conflict_cases(family, count, jitter):
        s = case.system
        circuits.append(circuit_share(case))
        drawing_ranks.append(repair_rank(s, case.changed))
        s.solve()
        a, seconds = timed(s.analyze_constraints)
        analysis_times.append(seconds)
        names = named(a)
        shares.append(len(names) / s.num_constraints())
        found.append(case.changed in names)
        rank, seconds = timed(lambda: repair_rank(s, case.changed))
        repair_times.append(seconds)
        ranks.append(rank)
    return shares, circuits, found, ranks, drawing_ranks, analysis_times, repair_times


def median_of_known(values):
    known = [v for v in values if v is not None]
    return statistics.median(known) if known else math.nan


def share_within(ranks, best):
    return 100 * sum(r is not None and r <= best for r in ranks) / len(ranks)


def family_row(family, figures):
    shares, circuits, found, ranks, drawing_ranks, analysis_times, repair_times = figures
    return (f"{family:>10} {len(shares):>6} {statistics.median(shares):>7.3f}"
            f" {median_of_known(circuits):>8.3f} {100 * sum(found) / len(found):>8.0f} %"
            f" {statistics.median(analysis_times) * 1e3:>9.2f}"
            f" {share_within(ranks, 1):>6.0f} % {share_within(ranks, 3):>6.0f} %"
            f" {share_within(ranks, float('inf')):>6.0f} %"
            f" {share_within(drawing_ranks, 1):>6.0f} % {share_within(drawing_ranks, 3):>6.0f} %"
            f" {statistics.median(repair_times) * 1e3:>9.2f}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cases", type=int, default=50, help="conflicting sketches per family")
    parser.add_argument("--jitter", type=float, default=0.02,
                        help="start of each free point, as a share of the part's size")
    args = parser.parse_args()
    print(f"{'family':>10} {'cases':>6} {'named':>7} {'circuit':>8} {'changed named':>10}"
          f" {'analysis ms':>9} {'top-1':>8} {'top-3':>8} {'any':>8} {'drawing top-1':>8}"
          f" {'top-3':>8} {'repairs ms':>9}")
    pooled_shares, pooled_circuits = [], []
    for family in FAMILIES + ("part",):
        figures = family_figures(family, args.cases, args.jitter)
        pooled_shares += figures[0]
        pooled_circuits += figures[1]
        print(family_row(family, figures), flush=True)
    print(f"{'pooled':>10} {len(pooled_shares):>6} {statistics.median(pooled_shares):>7.3f}"
          f" {median_of_known(pooled_circuits):>8.3f}")


if __name__ == "__main__":
    main()
