"""Rough drawings: how often does a solve end correct, and does a solved
sketch stay where it is?

Realistic parts from bench/rough_sketches.py (filleted plates with a slot and
a bolt circle, chamfered rectangles, filleted polygons, chamfered plates
with a row of counterbored holes, under-constrained parts, realistic parts
left mostly under-constrained as people draw them, and nearly parallel lines
meeting far away), each drawn roughly by
jittering its design by 1, 5 and 10 % of its size over several seeds, are
solved by ovralis (default arguments) and by
scipy.optimize.least_squares(method="lm") on the same equations. Each ending
is judged by geometry computed in rough_sketches.py:

  correct      claimed converged, every constraint holds, nothing collapsed,
               every corner and arc turns as in the drawing
  failed       not claimed, nothing collapsed
  collapsed    a line, radius or two distinct points collapsed, not claimed
  jumped       claimed, holds, but a corner or arc turned over
  wrong claim  claimed, but some constraint does not hold or something collapsed

`imprecise` counts correct answers with an error above 1e-12 of the size.
Then every design (which holds exactly, to rounding) is solved as it is:
`moved` counts those that moved by more than ten times their largest
constraint error, `touched` those that changed at all.

    python bench/rough_bench.py [seeds [solver ...]]   (default 10, both solvers)
"""

import sys
import time
import warnings

import numpy as np
from scipy.optimize import least_squares

from rough_sketches import FAMILIES, JITTERS, far_intersection, far_jittered, jittered, radii_of

OUTCOMES = ("correct", "failed", "collapsed", "jumped", "wrong claim")
PRECISE = 1e-12


def run_ovralis(drawing):
    system = drawing.to_system()
    began = time.perf_counter()
    result = system.solve()
    elapsed = time.perf_counter() - began
    points = np.array(system.get_points())
    return points, *radii_of(system), result.converged, elapsed


def run_scipy(drawing):
    residual = drawing.scipy_residual()
    began = time.perf_counter()
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        found = least_squares(residual, drawing.free_vector(), method="lm")
    elapsed = time.perf_counter() - began
    claimed = bool(found.success) and np.abs(found.fun).max(initial=0.0) < 1e-8
    return *drawing.unpack(found.x), claimed, elapsed


SOLVERS = {"ovralis": run_ovralis, "scipy lm": run_scipy}


def cases(seeds):
    for name, make in FAMILIES.items():
        for seed in range(seeds):
            design = make(np.random.default_rng(seed))
            for k, share in enumerate(JITTERS):
                rng = np.random.default_rng(1000 * seed + k + 1)
                yield name, design, jittered(design, rng, share)
    for seed in range(seeds):
        design = far_intersection(np.random.default_rng(seed))
        for k, share in enumerate(JITTERS):
            rng = np.random.default_rng(1000 * seed + k + 1)
            yield "far intersection", design, far_jittered(design, rng, share)


def tally(seeds, solvers):
    table = {}
    for family, design, drawing in cases(seeds):
        start = np.array(drawing.points)
        for solver, run in solvers.items():
            points, circle_r, arc_r, claimed, elapsed = run(drawing)
            verdict = drawing.judge(points, circle_r, arc_r, claimed, start)
            for row in (family, "all"):
                counts = table.setdefault((row, solver), dict.fromkeys(
                    OUTCOMES + ("imprecise", "cases", "seconds"), 0))
                counts[verdict] += 1
                counts["cases"] += 1
                counts["seconds"] += elapsed
                if verdict == "correct" and \
                        drawing.errors(points, circle_r, arc_r).max(initial=0.0) > PRECISE:
                    counts["imprecise"] += 1
    return table


def stillness(seeds):
    moved = touched = total = 0
    makers = list(FAMILIES.values()) + [far_intersection]
    for make in makers:
        for seed in range(seeds):
            design = make(np.random.default_rng(seed))
            system = design.to_system()
            before_text = system.to_json()
            before = np.array(system.get_points())
            error = design.errors(before, *radii_of(system)).max(initial=0.0) * design.size()
            system.solve()
            shift = np.abs(np.array(system.get_points()) - before).max(initial=0.0)
            total += 1
            moved += shift > 10.0 * error
            touched += system.to_json() != before_text
    return moved, touched, total


def main():
    seeds = int(sys.argv[1]) if len(sys.argv) > 1 else 10
    print(f"{seeds} seeds per family, jittered {', '.join(f'{j:.0%}' for j in JITTERS)}")
    header = f"{'family':20s} {'solver':9s}" + "".join(f"{o:>12s}" for o in OUTCOMES)
    print(header + f"{'imprecise':>10s}{'mean ms':>9s}")
    solvers = {name: SOLVERS[name] for name in sys.argv[2:]} if len(sys.argv) > 2 else SOLVERS
    table = tally(seeds, solvers)
    rows = sorted(table.items(), key=lambda item: item[0][0] == "all")
    for (family, solver), counts in rows:
        mean_ms = 1e3 * counts["seconds"] / counts["cases"]
        print(f"{family:20s} {solver:9s}" + "".join(f"{counts[o]:12d}" for o in OUTCOMES)
              + f"{counts['imprecise']:10d}{mean_ms:9.3f}")
    moved, touched, total = stillness(seeds)
    print(f"satisfied designs solved as they are: {moved} of {total} moved beyond ten times "
          f"their error, {touched} changed at all")


if __name__ == "__main__":
    main()
