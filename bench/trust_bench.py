"""Trust benchmark: does `converged` mean the geometry holds?

Generates families of sketches with known solutions, solves each with
ovralis (default arguments) and, side by side from the same start, with
scipy.optimize.least_squares(method="lm") on the same equations written here
in numpy. Every result is then checked by geometry computed in this script:
each distance, angle, tangency and radius measured directly, lengths
relative to the sketch size. Prints, per family and solver, how many results
were correct, claimed but wrong, and not converged. For the conflicting
family no answer exists, so "correct" means reporting not converged.

    python bench/trust_bench.py [seeds]        (default 40)

A claim of convergence is checked at 1e-9, a tenth of solve()'s default tol:
a solver that says "converged" should have the geometry right to that.
"""

import math
import sys

import numpy as np
from scipy.optimize import least_squares

import ovralis

GEOMETRY_TOL = 1e-9  # relative to the sketch size, or radians: ten times the default tol


class Sketch:
    """Points (some fixed), circles and constraints, with a start layout."""

    def __init__(self):
        self.points, self.fixed, self.circles, self.constraints = [], [], [], []

    def point(self, x, y, fixed=False):
        self.points.append([x, y])
        self.fixed.append(fixed)
        return len(self.points) - 1

    def circle(self, center, radius):
        self.circles.append([center, radius])
        return len(self.circles) - 1


def unpack(sketch, values):
    """Point coordinates and radii from the free-variable vector."""
    points = np.array(sketch.points, dtype=float)
    radii = np.array([r for _, r in sketch.circles], dtype=float)
    free = [i for i, f in enumerate(sketch.fixed) if not f]
    points[free] = values[: 2 * len(free)].reshape(-1, 2)
    radii[:] = values[2 * len(free):]
    return points, radii


def start_vector(sketch):
    free = [p for p, f in zip(sketch.points, sketch.fixed) if not f]
    return np.concatenate([np.ravel(free), [r for _, r in sketch.circles]]).astype(float)


def line_angle(points, l1, l2):
    u = points[l1[1]] - points[l1[0]]
    v = points[l2[1]] - points[l2[0]]
    return math.atan2(abs(u[0] * v[1] - u[1] * v[0]), u @ v), min(np.hypot(*u), np.hypot(*v))


def errors(sketch, points, radii, size):
    """Each constraint's geometric error: lengths over size, angles in radians."""
    out = []
    for c in sketch.constraints:
        kind = c[0]
        if kind == "distance":
            _, i, j, d = c
            out.append(abs(np.hypot(*(points[i] - points[j])) - d) / size)
        elif kind == "horizontal":
            _, i, j = c
            out.append(abs(points[i][1] - points[j][1]) / size)
        elif kind in ("angle", "perpendicular"):
            l1, l2 = c[1], c[2]
            target = math.radians(c[3]) if kind == "angle" else math.pi / 2
            theta, shortest = line_angle(points, l1, l2)
            gap = min(abs(theta - target), abs(math.pi - theta - target))
            out.append(gap if shortest > 1e-9 * size else math.pi / 2)
        elif kind == "tangent":
            _, (a, b), k = c
            u = points[b] - points[a]
            centre = points[sketch.circles[k][0]]
            w = centre - points[a]
            distance = abs(u[0] * w[1] - u[1] * w[0]) / max(np.hypot(*u), 1e-300)
            out.append(abs(distance - abs(radii[k])) / size)
        elif kind == "radius":
            _, k, r = c
            out.append(abs(radii[k] - r) / size)
    return np.array(out)


def scipy_residuals(sketch, size):
    """The same equations for scipy, in the signed form a least-squares solver needs."""

    def residual(values):
        points, radii = unpack(sketch, values)
        out = []
        for c in sketch.constraints:
            kind = c[0]
            if kind == "distance":
                _, i, j, d = c
                out.append((np.hypot(*(points[i] - points[j])) - d) / size)
            elif kind == "horizontal":
                out.append((points[c[1]][1] - points[c[2]][1]) / size)
            elif kind in ("angle", "perpendicular"):
                l1, l2 = c[1], c[2]
                target = math.radians(c[3]) if kind == "angle" else math.pi / 2
                u = points[l1[1]] - points[l1[0]]
                v = points[l2[1]] - points[l2[0]]
                out.append(math.atan2(u[0] * v[1] - u[1] * v[0], u @ v) - target)
            elif kind == "tangent":
                _, (a, b), k = c
                u = points[b] - points[a]
                w = points[sketch.circles[k][0]] - points[a]
                signed = (u[0] * w[1] - u[1] * w[0]) / max(np.hypot(*u), 1e-300)
                out.append((abs(signed) - abs(radii[k])) / size)
            elif kind == "radius":
                out.append((radii[c[1]] - c[2]) / size)
        return np.array(out)

    return residual


def to_system(sketch):
    s = ovralis.System()
    for (x, y), fixed in zip(sketch.points, sketch.fixed):
        s.add_point(x, y, fixed=fixed)
    lines = {}

    def line(pair):
        if pair not in lines:
            lines[pair] = s.add_line(*pair)
        return lines[pair]

    for centre, radius in sketch.circles:
        s.add_circle(centre, radius)
    for c in sketch.constraints:
        kind = c[0]
        if kind == "distance":
            s.add_distance_constraint(c[1], c[2], c[3])
        elif kind == "horizontal":
            s.add_horizontal_constraint(c[1], c[2])
        elif kind == "angle":
            s.add_angle_constraint(line(c[1]), line(c[2]), c[3])
        elif kind == "perpendicular":
            s.add_perpendicular_constraint(line(c[1]), line(c[2]))
        elif kind == "tangent":
            s.add_constraint(ovralis.line_circle_tangent_constraint(line(c[1]), c[2]))
        elif kind == "radius":
            s.add_constraint(ovralis.circle_radius_constraint(c[1], c[2]))
    return s


# ---- families: each returns (sketch with its start layout, size, solvable) ----

def jitter(sketch, rng, amount):
    for p, fixed in zip(sketch.points, sketch.fixed):
        if not fixed:
            p[0] += rng.normal(0, amount)
            p[1] += rng.normal(0, amount)


def polygon(rng, noise):
    """An irregular polygon: sides, angles between sides, a tangent circle inside."""
    n = int(rng.integers(5, 8))
    angles = np.sort(rng.uniform(0, 2 * math.pi, n))
    radius = 10.0
    corners = [(radius * math.cos(a) * rng.uniform(0.8, 1.2), radius * math.sin(a) * rng.uniform(0.8, 1.2))
               for a in angles]
    s = Sketch()
    for k, (x, y) in enumerate(corners):
        s.point(x, y, fixed=k < 2)
    pts = np.array(corners)
    for k in range(n):
        a, b = k, (k + 1) % n
        s.constraints.append(("distance", a, b, float(np.hypot(*(pts[a] - pts[b])))))
    for k in range(1, n - 2):
        l1, l2 = (k, k + 1), (k + 1, k + 2)
        theta, _ = line_angle(pts, l1, l2)
        s.constraints.append(("angle", l1, l2, math.degrees(theta)))
    centre = s.point(*pts.mean(axis=0))
    side = (0, 1)
    u = pts[1] - pts[0]
    w = pts.mean(axis=0) - pts[0]
    r = abs(u[0] * w[1] - u[1] * w[0]) / np.hypot(*u)
    k = s.circle(centre, r * 1.1)
    s.constraints += [("tangent", side, k), ("radius", k, r),
                      ("distance", 0, centre, float(np.hypot(*w)))]
    jitter(s, rng, noise * radius)
    return s, radius, True


def strip(rng, far=True):
    """Triangles along the x axis started far from the answer."""
    n = 20
    s = Sketch()
    for i in range(n):
        s.point(5.0 * i, 0.0 if i % 2 == 0 else 5.0 * math.sqrt(3), fixed=i < 2)
    for i in range(n - 1):
        s.constraints.append(("distance", i, i + 1, 10.0))
        if i + 2 < n:
            s.constraints.append(("distance", i, i + 2, 10.0))
    jitter(s, rng, 2.0 if far else 0.1)
    return s, 10.0 * n / 2, True


def grid(rng):
    """A braced grid of unit squares started far away."""
    m = 5
    s = Sketch()
    for i in range(m):
        for j in range(m):
            s.point(float(i), float(j), fixed=(i, j) in ((0, 0), (1, 0)))
    for i in range(m):
        for j in range(m):
            k = i * m + j
            if i + 1 < m:
                s.constraints.append(("distance", k, k + m, 1.0))
            if j + 1 < m:
                s.constraints.append(("distance", k, k + 1, 1.0))
            if i + 1 < m and j + 1 < m:
                s.constraints.append(("distance", k, k + m + 1, math.sqrt(2)))
    jitter(s, rng, 0.4)
    return s, float(m), True


def mirrored(rng):
    """A strip started near its mirror image across the line of its fixed points.

    The mirror image is itself a solution, so a solver may end on either side.
    """
    s, size, _ = strip(rng, far=False)
    a, b = np.array(s.points[0]), np.array(s.points[1])
    u = (b - a) / np.hypot(*(b - a))
    for p, fixed in zip(s.points, s.fixed):
        if not fixed:
            w = np.array(p) - a
            reflected = a + 2 * (w @ u) * u - w
            p[0], p[1] = reflected + rng.normal(0, 0.2, 2)
    return s, size, True


def degenerate(rng):
    """A tiny circle tangent to a line, a tiny angle, and a far meeting of near-parallel lines."""
    s = Sketch()
    a = s.point(0.0, 0.0, fixed=True)
    b = s.point(10.0, 0.0, fixed=True)
    c = s.point(10.0, 0.3 + rng.normal(0, 0.05))
    s.constraints += [("distance", b, c, 1.0), ("angle", (a, b), (a, c), 0.06)]
    centre = s.point(5.0, 3e-4)
    k = s.circle(centre, 2e-4)
    s.constraints += [("tangent", (a, b), k), ("radius", k, 1e-4),
                      ("distance", a, centre, 5.0 + rng.uniform(0, 1e-3))]
    d = s.point(0.0, 1.0, fixed=True)
    e = s.point(10.0, 1.0 + rng.normal(0, 0.01))
    s.constraints += [("distance", d, e, 10.0), ("angle", (a, b), (d, e), 0.01)]
    return s, 10.0, True


def redundant(rng):
    """A rectangle with four perpendiculars and a consistent diagonal."""
    w, h = rng.uniform(2, 8), rng.uniform(2, 8)
    s = Sketch()
    p = [s.point(0, 0, fixed=True), s.point(w, 0, fixed=True), s.point(w, h), s.point(0, h)]
    sides = [(p[0], p[1]), (p[1], p[2]), (p[2], p[3]), (p[3], p[0])]
    s.constraints += [("perpendicular", sides[k], sides[(k + 1) % 4]) for k in range(4)]
    s.constraints += [("distance", p[1], p[2], h), ("distance", p[0], p[2], math.hypot(w, h))]
    jitter(s, rng, 0.3)
    return s, max(w, h), True


def conflicting(rng):
    """A rectangle whose diagonal is too long, or a triangle that breaks the triangle inequality."""
    s, size, _ = redundant(rng)
    kind, i, j, d = s.constraints[-1]
    s.constraints[-1] = (kind, i, j, d * rng.uniform(1.05, 1.5))
    return s, size, False


FAMILIES = {
    "polygons, noise 0.02": lambda rng: polygon(rng, 0.02),
    "polygons, noise 0.1": lambda rng: polygon(rng, 0.1),
    "polygons, noise 0.3": lambda rng: polygon(rng, 0.3),
    "strips, far start": strip,
    "grids, far start": grid,
    "mirrored start": mirrored,
    "nearly degenerate": degenerate,
    "redundant": redundant,
    "conflicting": conflicting,
}


def judge(claimed, holds, solvable):
    if not solvable:
        return "wrong" if claimed else "correct"
    if claimed:
        return "correct" if holds else "wrong"
    return "not converged"


def run_ovralis(sketch, size):
    s = to_system(sketch)
    result = s.solve()
    points = np.array(s.get_points())
    radii = np.array([r for _, r in s.get_circles()])
    return result.converged, errors(sketch, points, radii, size).max(initial=0.0) <= GEOMETRY_TOL


def run_scipy(sketch, size):
    residual = scipy_residuals(sketch, size)
    x0 = start_vector(sketch)
    try:
        found = least_squares(residual, x0, method="lm", xtol=1e-15, ftol=1e-15, gtol=1e-15)
    except ValueError:  # fewer equations than unknowns: method "lm" refuses
        return False, False
    claimed = found.success and np.abs(found.fun).max(initial=0.0) < 1e-8
    points, radii = unpack(sketch, found.x)
    return claimed, errors(sketch, points, radii, size).max(initial=0.0) <= GEOMETRY_TOL


def main():
    seeds = int(sys.argv[1]) if len(sys.argv) > 1 else 40
    print(f"{seeds} seeds per family; geometry checked to {GEOMETRY_TOL:g} of the sketch size or radians")
    print(f"{'family':24s} {'solver':8s} {'correct':>8s} {'wrong':>8s} {'not conv':>9s}")
    totals = {}
    for name, make in FAMILIES.items():
        for solver, run in (("ovralis", run_ovralis), ("scipy", run_scipy)):
            counts = {"correct": 0, "wrong": 0, "not converged": 0}
            for seed in range(seeds):
                sketch, size, solvable = make(np.random.default_rng(seed))
                claimed, holds = run(sketch, size)
                counts[judge(claimed, holds, solvable)] += 1
            for key, value in counts.items():
                totals.setdefault(solver, {}).setdefault(key, 0)
                totals[solver][key] += value
            print(f"{name:24s} {solver:8s} {counts['correct']:8d} {counts['wrong']:8d} "
                  f"{counts['not converged']:9d}")
    for solver, counts in totals.items():
        print(f"{'all':24s} {solver:8s} {counts['correct']:8d} {counts['wrong']:8d} "
              f"{counts['not converged']:9d}")


if __name__ == "__main__":
    main()
