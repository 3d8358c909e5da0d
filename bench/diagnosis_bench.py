"""Diagnosis benchmark: how well the analysis and the repairs point at the
dimension a user changed.

For each family of bench/conflict_sketches.py (rectangles, grids, mixed
plates with holes, stepped profiles), generated sketches with one dimension
changed by 5-20 % are solved (the solve fails), then analysed and repaired.
Per family it prints:

- named: the median share of the constraints that the analysis names
  (conflicting constraints and their groups);
- changed named: the cases whose changed constraint is among them;
- top-1, top-3, any: the cases whose changed constraint is the first repair,
  among the first three, among all of them (System.repairs(limit=100));
- the median time of one analyze_constraints() and of one repairs() call.

    python bench/diagnosis_bench.py [--cases N] [--jitter J]

Run against a module without System.repairs, it prints the analysis columns only.
"""

import argparse
import statistics
import time

from conflict_sketches import FAMILIES, conflict_cases


def named(analysis):
    out = set(analysis.conflicting)
    for k in analysis.conflicting:
        out.update(analysis.groups[k])
    return out


def timed(call):
    start = time.perf_counter()
    value = call()
    return value, time.perf_counter() - start


def family_row(family, count, jitter):
    shares, found, ranks, analysis_times, repair_times = [], 0, [], [], []
    for case in conflict_cases(family, count, jitter):
        s = case.system
        s.solve()
        a, seconds = timed(s.analyze_constraints)
        analysis_times.append(seconds)
        names = named(a)
        shares.append(len(names) / s.num_constraints())
        found += case.changed in names
        if hasattr(s, "repairs"):
            repairs, seconds = timed(lambda: s.repairs(limit=100))
            repair_times.append(seconds)
            order = [r.constraint for r in repairs]
            ranks.append(order.index(case.changed) + 1 if case.changed in order else None)
    row = (f"{family:>10} {count:>6} {statistics.median(shares):>7.3f} {100 * found / count:>8.0f} %"
           f" {statistics.median(analysis_times) * 1e3:>9.2f}")
    if ranks:
        def share(best):
            return 100 * sum(r is not None and r <= best for r in ranks) / count
        row += (f" {share(1):>6.0f} % {share(3):>6.0f} % {share(float('inf')):>6.0f} %"
                f" {statistics.median(repair_times) * 1e3:>9.2f}")
    return row


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cases", type=int, default=50, help="conflicting sketches per family")
    parser.add_argument("--jitter", type=float, default=0.02,
                        help="start of each free point, as a share of the part's size")
    args = parser.parse_args()
    print(f"{'family':>10} {'cases':>6} {'named':>7} {'changed named':>10} {'analysis ms':>9}"
          f" {'top-1':>8} {'top-3':>8} {'any':>8} {'repairs ms':>9}")
    for family in FAMILIES:
        print(family_row(family, args.cases, args.jitter), flush=True)


if __name__ == "__main__":
    main()
