"""Constraint analysis benchmark: its speed on long strips, and how well it
names a conflict.

Speed: the analysis of a triangulated strip of 1,000 and of 100,000 points
(a minimally rigid one, and one braced with both diagonals in every cell, so
that every cell holds a redundant bar), and of a free chain of bars as long
(every point free to move).

Conflicts: generated sketches of three families (braced strips, braced grids
and a ring of quads each braced by a diagonal and an angle) are drawn
consistent; one constraint, picked at random, gets a new value; the sketch
is solved, then analysed. A case is found when the changed constraint is a
reported conflicting one or in the group of one. Prints the cases found and
the median group size as a fraction of the constraint count.

    python bench/analysis_bench.py [--seeds N]
"""

import argparse
import math
import random
import statistics
import time

import ovralis


def strip(points, braced):
    """Cells of unit squares along x; the first rung's two points fixed."""
    s = ovralis.System()
    cells = points // 2 - 1
    for i in range(cells + 1):
        s.add_point(i, 0, fixed=i == 0)
        s.add_point(i, 1, fixed=i == 0)
    for i in range(cells):
        a, b, c, d = 2 * i, 2 * i + 1, 2 * i + 2, 2 * i + 3
        s.add_distance_constraint(a, c, 1.0)
        s.add_distance_constraint(b, d, 1.0)
        s.add_distance_constraint(c, d, 1.0)
        s.add_distance_constraint(a, d, math.sqrt(2))
        if braced:
            s.add_distance_constraint(b, c, math.sqrt(2))
    return s


def chain(points):
    """Bars from a fixed end, nothing else: one freedom per bar, every point free."""
    s = ovralis.System()
    s.add_point(0, 0, fixed=True)
    for i in range(1, points):
        s.add_point(i, 0.1 * (i % 2))
        s.add_distance_constraint(i - 1, i, math.hypot(1.0, 0.1))
    return s


def timed_analysis(s, repeats):
    times = []
    for _ in range(repeats):
        start = time.perf_counter()
        a = s.analyze_constraints()
        times.append(time.perf_counter() - start)
    return a, statistics.median(times)


def speed():
    for points, repeats in ((1_000, 21), (100_000, 3)):
        for braced in (False, True):
            a, seconds = timed_analysis(strip(points, braced), repeats)
            kind = "braced" if braced else "minimal"
            print(f"strip of {points:>7,} points, {kind:>7}: {seconds * 1e3:9.1f} ms "
                  f"(rank {a.rank}, dof {a.dof}, {len(a.redundant)} redundant)")
        a, seconds = timed_analysis(chain(points), repeats)
        print(f"chain of {points:>7,} points:          {seconds * 1e3:9.1f} ms "
              f"(dof {a.dof}, {len(a.free_points)} free points)")


# ---- generated conflicting sketches ---------------------------------------
# Each builder draws a consistent sketch with a few seeded irregularities and
# returns it with, per constraint, a function that writes a changed copy.

def bar(s, changes, p, q, points):
    d = math.dist(points[p], points[q])
    s.add_distance_constraint(p, q, d)
    changes.append(lambda t, f: t.add_distance_constraint(p, q, d * f))


def add_points(s, points, fixed):
    for k, (x, y) in enumerate(points):
        s.add_point(x, y, fixed=k in fixed)


def braced_strip(rng):
    cells = rng.randint(5, 30)
    points = [(i + rng.uniform(-0.2, 0.2), j + rng.uniform(-0.2, 0.2))
              for i in range(cells + 1) for j in (0, 1)]
    s, changes = ovralis.System(), []
    add_points(s, points, {0, 1})
    for i in range(cells):
        a, b, c, d = 2 * i, 2 * i + 1, 2 * i + 2, 2 * i + 3
        for p, q in ((a, c), (b, d), (c, d), (a, d), (b, c)):
            bar(s, changes, p, q, points)
    return s, changes


def braced_grid(rng):
    columns, rows = rng.randint(2, 6), rng.randint(2, 6)
    at = {}
    points = []
    for j in range(rows + 1):
        for i in range(columns + 1):
            at[i, j] = len(points)
            points.append((i + rng.uniform(-0.2, 0.2), j + rng.uniform(-0.2, 0.2)))
    s, changes = ovralis.System(), []
    add_points(s, points, {0, 1})
    for j in range(rows + 1):
        for i in range(columns + 1):
            for di, dj in ((1, 0), (0, 1)):
                if (i + di, j + dj) in at and (i, j, di, dj) != (0, 0, 1, 0):
                    bar(s, changes, at[i, j], at[i + di, j + dj], points)
            if (i + 1, j + 1) in at:
                bar(s, changes, at[i, j], at[i + 1, j + 1], points)
                bar(s, changes, at[i + 1, j], at[i, j + 1], points)
    return s, changes


def braced_ring(rng):
    """An inner and an outer polygon joined by spokes; each quad is braced by
    a diagonal and by the angle at its inner corner."""
    n = rng.randint(5, 24)
    points = []
    for k in range(n):
        phi = 2 * math.pi * k / n + rng.uniform(-0.1, 0.1)
        for radius in (2.0, 3.0 + rng.uniform(-0.3, 0.3)):
            points.append((radius * math.cos(phi), radius * math.sin(phi)))
    s, changes = ovralis.System(), []
    add_points(s, points, {0, 1})
    inner = lambda k: 2 * (k % n)
    outer = lambda k: 2 * (k % n) + 1
    for k in range(n):
        if k > 0:
            bar(s, changes, inner(k), outer(k), points)
        bar(s, changes, inner(k), inner(k + 1), points)
        bar(s, changes, outer(k), outer(k + 1), points)
        bar(s, changes, inner(k), outer(k + 1), points)
        a, vertex, c = outer(k), inner(k), inner(k + 1)
        u = [points[a][i] - points[vertex][i] for i in (0, 1)]
        v = [points[c][i] - points[vertex][i] for i in (0, 1)]
        deg = math.degrees(math.atan2(abs(u[0] * v[1] - u[1] * v[0]), u[0] * v[0] + u[1] * v[1]))
        s.add_angle_between_points_constraint(a, vertex, c, deg)
        changes.append(lambda t, f, a=a, vertex=vertex, c=c, deg=deg:
                       t.add_angle_between_points_constraint(a, vertex, c, deg * f))
    return s, changes


def with_change(s, changes, k, factor):
    """A copy of s whose constraint k has its value multiplied by `factor`,
    keeping its place in the list."""
    t = ovralis.System.from_json(s.to_json())
    tail = [t.remove_constraint(t.num_constraints() - 1) for _ in range(t.num_constraints() - k)]
    changes[k](t, factor)
    for constraint in reversed(tail[:-1]):
        t.add_constraint(constraint)
    return t


def conflicts(seeds):
    families = {"braced strip": braced_strip, "braced grid": braced_grid, "braced ring": braced_ring}
    found = 0
    cases = 0
    fractions = []
    for name, build in families.items():
        family_found = 0
        family_fractions = []
        for seed in range(seeds):
            rng = random.Random(f"{name} {seed}")
            s, changes = build(rng)
            k = rng.randrange(len(changes))
            t = with_change(s, changes, k, 1.0 + rng.choice((-1, 1)) * rng.uniform(0.05, 0.2))
            t.solve(max_iter=500)
            a = t.analyze_constraints()
            holding = [c for c in a.conflicting if c == k or k in a.groups[c]]
            if holding:
                family_found += 1
                smallest = min(len(a.groups[c]) + 1 for c in holding)
                family_fractions.append(smallest / t.num_constraints())
        found += family_found
        cases += seeds
        fractions += family_fractions
        median = statistics.median(family_fractions) if family_fractions else float("nan")
        print(f"{name:>13}: changed constraint in the conflict in {family_found}/{seeds}, "
              f"median group {median:.3f} of the constraints")
    median = statistics.median(fractions) if fractions else float("nan")
    print(f"{'all':>13}: {found}/{cases}, median group {median:.3f} of the constraints "
          "(a group counted with its conflicting constraint)")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seeds", type=int, default=40)
    args = parser.parse_args()
    speed()
    conflicts(args.seeds)


if __name__ == "__main__":
    main()
