"""Solve benchmark: sketch families of growing size, built through the Python API.

For every family and size it prints the median time of System.solve over
several runs, the median time to build the sketch from Python, whether the
solve converged, how far the worst point lies from the exact solution, and the peak resident memory of a process that built and
solved that sketch. Each (family, size) runs in a fresh interpreter so that
the peak memory belongs to that case alone.

    python bench/solve_bench.py                 # every family and size
    python bench/solve_bench.py strip 1000      # one case
"""

import json
import math
import random
import resource
import statistics
import subprocess
import sys
import time

import ovralis

RUNS = 5
SIZES = {
    "strip": [10, 100, 1_000, 10_000, 100_000],
    "rectangles": [1, 10, 100, 1_000, 10_000],
    "circles": [10, 100, 1_000, 10_000, 100_000],
}
# Time limits for the strip, in seconds.
STRIP_TARGETS = {10: 0.1e-3, 1_000: 15e-3, 100_000: 10.0}
STRIP_BUILD_TARGET = {100_000: 0.3}
MEMORY_TARGET_MB = {100_000: 1024}


def strip(n, rng):
    """Equilateral triangles along the x axis: each point 10 from the next two.

    Point 0 is fixed and Horizontal(0, 2) keeps the strip level; the free
    points start within 0.5 of the solution.
    """
    s = ovralis.System()
    height = 5 * math.sqrt(3)
    for i in range(n):
        x, y = 5.0 * i, height * (i % 2)
        if i == 0:
            s.add_point(x, y, True)
        else:
            s.add_point(x + rng.uniform(-0.5, 0.5), y + rng.uniform(-0.5, 0.5))
    add_distance = s.add_distance_constraint
    for i in range(n - 1):
        add_distance(i, i + 1, 10.0)
        if i + 2 < n:
            add_distance(i, i + 2, 10.0)
    if n > 2:
        s.add_horizontal_constraint(0, 2)
    return s


def rectangles(k, rng):
    """k separate 10 x 6 rectangles, each held by a FixedPoint corner."""
    s = ovralis.System()
    for r in range(k):
        x0, y0 = 20.0 * r, 0.0
        corners = [(x0, y0), (x0 + 10, y0), (x0 + 10, y0 + 6), (x0, y0 + 6)]
        p = [s.add_point(x + rng.uniform(-1, 1), y + rng.uniform(-1, 1)) for x, y in corners]
        s.add_horizontal_constraint(p[0], p[1])
        s.add_vertical_constraint(p[1], p[2])
        s.add_horizontal_constraint(p[3], p[2])
        s.add_vertical_constraint(p[0], p[3])
        s.add_distance_constraint(p[0], p[1], 10.0)
        s.add_distance_constraint(p[1], p[2], 6.0)
        s.add_fixed_point_constraint(p[0], x0, y0)
    return s


def circles(k, rng):
    """A row of k circles of radius 1 to 2, each tangent to the next."""
    s = ovralis.System()
    radii = [1.0 + 0.5 * (i % 3) for i in range(k)]
    x = 0.0
    for i in range(k):
        if i > 0:
            x += radii[i - 1] + radii[i]
        fixed = i == 0
        centre = s.add_point(x if fixed else x + rng.uniform(-0.3, 0.3), 0.0 if fixed else rng.uniform(-0.3, 0.3), fixed)
        s.add_circle(centre, radii[i] * (1 if fixed else rng.uniform(0.8, 1.2)))
        s.add_circle_radius_constraint(i, radii[i])
        if i > 0:
            s.add_circle_circle_tangent_constraint(i - 1, i)
            s.add_horizontal_constraint(centre - 1, centre)
    return s


FAMILIES = {"strip": strip, "rectangles": rectangles, "circles": circles}


def exact_strip(n):
    height = 5 * math.sqrt(3)
    return [(5.0 * i, height * (i % 2)) for i in range(n)]


def exact_rectangles(k):
    return [c for r in range(k) for c in [(20.0 * r, 0), (20.0 * r + 10, 0), (20.0 * r + 10, 6), (20.0 * r, 6)]]


def exact_circles(k):
    radii = [1.0 + 0.5 * (i % 3) for i in range(k)]
    centres, x = [], 0.0
    for i in range(k):
        if i > 0:
            x += radii[i - 1] + radii[i]
        centres.append((x, 0.0))
    return centres


# Each family's solution, point by point, worked out from its construction.
EXACT = {"strip": exact_strip, "rectangles": exact_rectangles, "circles": exact_circles}


def distance_from_exact(family, size, system):
    """The largest distance of a solved point from where the construction puts it."""
    return max(math.dist(system.get_point(i), p) for i, p in enumerate(EXACT[family](size)))


def run_case(family, size):
    """Builds and solves one case RUNS times; returns its figures."""
    build_times, solve_times, results, errors = [], [], [], []
    for run in range(RUNS):
        rng = random.Random(run)
        start = time.perf_counter()
        system = FAMILIES[family](size, rng)
        build_times.append(time.perf_counter() - start)
        start = time.perf_counter()
        result = system.solve()
        solve_times.append(time.perf_counter() - start)
        results.append(result)
        errors.append(distance_from_exact(family, size, system))
    peak_kb = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    return {
        "family": family,
        "size": size,
        "variables": system.analyze_dof().free_variables,
        "solve_s": statistics.median(solve_times),
        "build_s": statistics.median(build_times),
        "converged": all(r.converged for r in results),
        "iterations": statistics.median(r.iterations for r in results),
        "max_residual": max(r.max_residual for r in results),
        "from_exact": max(errors),
        "peak_mb": peak_kb / 1024,
    }


def verdict(value, limit):
    return "" if limit is None else (" (met)" if value <= limit else f" (MISSED: limit {limit:g})")


def report(case):
    size = case["size"]
    is_strip = case["family"] == "strip"
    solve_limit = STRIP_TARGETS.get(size) if is_strip else None
    build_limit = STRIP_BUILD_TARGET.get(size) if is_strip else None
    memory_limit = MEMORY_TARGET_MB.get(size) if is_strip else None
    print(
        f"{case['family']:>10} {size:>7}  free vars {case['variables']:>7}  "
        f"solve {case['solve_s'] * 1e3:10.3f} ms{verdict(case['solve_s'], solve_limit)}  "
        f"build {case['build_s'] * 1e3:9.3f} ms{verdict(case['build_s'], build_limit)}  "
        f"peak {case['peak_mb']:7.1f} MB{verdict(case['peak_mb'], memory_limit)}  "
        f"converged {case['converged']}  iterations {case['iterations']:g}  "
        f"max residual {case['max_residual']:.1e}  from exact {case['from_exact']:.1e}",
        flush=True,
    )


def main(argv):
    if len(argv) == 3:
        print(json.dumps(run_case(argv[1], int(argv[2]))))
        return
    print(f"median over {RUNS} runs; each case in its own process")
    for family, sizes in SIZES.items():
        for size in sizes:
            out = subprocess.run(
                [sys.executable, __file__, family, str(size)], check=True, capture_output=True, text=True
            ).stdout
            report(json.loads(out))


if __name__ == "__main__":
    main(sys.argv)
