"""Editing without surprises: does an edit stay on its branch?

Families of mirror-prone sketches (triangles, trusses, four-bar linkages,
circles tangent in a wedge, filleted corners, points on two circles,
quadrilaterals with an angle, and mixes with free, under-constrained parts)
get seeded random edits: dimension changes of 1 % to 50 %, angle changes up
to 60 degrees, and drags: a distance removed and its free end dragged to
where the same change of that distance would put it. The
branch's truth is a reference continuation: the same edit in many tiny
steps, each solved from the last. An end is on the branch when every
orientation that tells the branches apart (the side of a triangle's base its
apex lies on, the side of a line a tangent circle lies on, a linkage's
assembly mode) is the reference's; "jumped" when it converged elsewhere,
"failed" when it did not converge. Edits whose reference meets a turning
point have no continuous path and are counted apart ("no path": a method
that stops there is right).

For solve(), follow() and drag(), and scipy's least_squares(method="lm") on
the same equations written here, it prints on-branch / jumped / failed. Then
timing: follow() against solve() on a one-dimension edit of trusses of 10,
1,000 and 100,000 unknowns, and follow() on an unchanged sketch against one
residual evaluation (diagnostics(include_residuals=True), which validates
the references and evaluates the full residual once).

    python bench/follow_bench.py [--cases N] [--quick]

Runs against the module it imports; where that has no follow(), the follow
column says n/a (the table before follow existed).
"""

import argparse
import json
import math
import random
import re
import time

import numpy as np
from scipy.optimize import least_squares

import ovralis

REFERENCE_STEPS = 300


# ---- families: each returns (system, edits, triples) ----
# edits are ("dim", constraint, new value) or ("drag", point, x, y);
# triples are point triples whose orientation tells the branches apart.


def tri_apex(ab, ac, bc, sign):
    x = (ab * ab + ac * ac - bc * bc) / (2 * ab)
    return x, sign * math.sqrt(max(ac * ac - x * x, 1e-12))


def triangle(rng):
    ab, ac, bc = 5.0, rng.uniform(2.5, 4.5), rng.uniform(2.5, 4.5)
    s = ovralis.System()
    s.add_point(0, 0, fixed=True)
    s.add_point(rng.uniform(-0.3, 0.3), ab)
    s.add_vertical_constraint(0, 1)
    s.add_distance_constraint(0, 1, ab)
    ay, ax = tri_apex(ab, ac, bc, rng.choice([-1, 1]))
    s.add_point(-ax, ay)
    s.add_distance_constraint(0, 2, ac)
    s.add_distance_constraint(1, 2, bc)
    return s, [2, 3], [(0, 1, 2)]


def truss(rng, bays=4):
    """Triangles in a strip along the x axis, each new point placed by two members."""
    s = ovralis.System()
    s.add_point(0, 0, fixed=True)
    s.add_point(2, 0, fixed=True)
    bottom, triples, dims = [0, 1], [], []
    for k in range(bays):
        left, right = bottom[k], bottom[k + 1]
        top = s.add_point(1 + 2 * k + rng.uniform(-0.1, 0.1), rng.choice([1.6, -1.6]))
        dims.append(s.num_constraints())
        s.add_distance_constraint(left, top, math.dist(s.get_point(left), s.get_point(top)))
        s.add_distance_constraint(right, top, math.dist(s.get_point(right), s.get_point(top)))
        triples.append((left, right, top))
        if k + 1 < bays:
            nxt = s.add_point(2 * k + 4 + rng.uniform(-0.1, 0.1), rng.uniform(-0.1, 0.1))
            dims.append(s.num_constraints())
            s.add_distance_constraint(right, nxt, math.dist(s.get_point(right), s.get_point(nxt)))
            s.add_distance_constraint(top, nxt, math.dist(s.get_point(top), s.get_point(nxt)))
            triples.append((right, top, nxt))
            bottom.append(nxt)
    return s, dims, triples


def four_bar(rng):
    s = ovralis.System()
    s.add_point(0, 0, fixed=True)
    s.add_point(4, 0, fixed=True)
    crank = rng.uniform(30, 70)
    a = math.radians(crank)
    s.add_point(1.2 * math.cos(a), 1.2 * math.sin(a))
    s.add_point(3.2, rng.choice([-1, 1]) * 2.3)
    ground, arm = s.add_line(0, 1), s.add_line(0, 2)
    s.add_distance_constraint(0, 2, 1.2)
    s.add_angle_constraint(ground, arm, crank)
    s.add_distance_constraint(2, 3, 3.5)
    s.add_distance_constraint(3, 1, 2.5)
    return s, [1, 2, 3], [(2, 3, 1)]


def wedge(rng):
    s = ovralis.System()
    opening = math.radians(rng.uniform(35, 80))
    s.add_point(0, 0, fixed=True)
    s.add_point(10, 0, fixed=True)
    s.add_point(10 * math.cos(opening), 10 * math.sin(opening), fixed=True)
    half = opening / 2
    r = rng.uniform(0.6, 1.4)
    d = r / math.sin(half)
    s.add_point(d * math.cos(half), d * math.sin(half))
    l1, l2 = s.add_line(0, 1), s.add_line(0, 2)
    c = s.add_circle(3, r)
    s.add_line_circle_tangent_constraint(l1, c)
    s.add_line_circle_tangent_constraint(l2, c)
    s.add_circle_radius_constraint(c, r)
    return s, [2], [(0, 1, 3), (0, 2, 3)]


def filleted(rng):
    s = ovralis.System()
    angle = rng.uniform(50, 120)
    a = math.radians(angle)
    s.add_point(0, 0, fixed=True)
    s.add_point(8, 0, fixed=True)
    s.add_point(6 * math.cos(a), 6 * math.sin(a))
    d = 1.0 / math.sin(a / 2)
    s.add_point(d * math.cos(a / 2), d * math.sin(a / 2))
    l1, l2 = s.add_line(0, 1), s.add_line(0, 2)
    s.add_distance_constraint(0, 2, 6.0)
    s.add_angle_constraint(l1, l2, angle)
    c = s.add_circle(3, 1.0, fixed=True)
    s.add_line_circle_tangent_constraint(l1, c)
    s.add_line_circle_tangent_constraint(l2, c)
    return s, [0, 1], [(0, 1, 3), (0, 2, 3), (0, 1, 2)]


def two_circles(rng):
    s = ovralis.System()
    s.add_point(0, 0, fixed=True)
    s.add_point(3, 0, fixed=True)
    r1, r2 = rng.uniform(1.8, 2.6), rng.uniform(1.8, 2.6)
    x = (9 + r1 * r1 - r2 * r2) / 6
    s.add_point(x, rng.choice([-1, 1]) * math.sqrt(r1 * r1 - x * x))
    c1, c2 = s.add_circle(0, r1), s.add_circle(1, r2)
    s.add_point_on_circle_constraint(2, c1)
    s.add_point_on_circle_constraint(2, c2)
    s.add_circle_radius_constraint(c1, r1)
    s.add_circle_radius_constraint(c2, r2)
    return s, [2, 3], [(0, 1, 2)]


def quad_angle(rng):
    """A quadrilateral with three sides, one angle and a diagonal: mirror-prone at D."""
    s = ovralis.System()
    s.add_point(0, 0, fixed=True)
    s.add_point(4, 0, fixed=True)
    angle = rng.uniform(60, 110)
    a = math.radians(angle)
    s.add_point(4 + 3 * math.cos(math.pi - a), 3 * math.sin(math.pi - a))
    s.add_point(0.3, 2.8)
    ab, bc = s.add_line(0, 1), s.add_line(1, 2)
    s.add_distance_constraint(1, 2, 3.0)
    s.add_angle_constraint(ab, bc, 180 - angle)
    s.add_distance_constraint(2, 3, math.dist(s.get_point(2), s.get_point(3)))
    s.add_distance_constraint(0, 3, math.dist(s.get_point(0), s.get_point(3)))
    return s, [0, 1, 2, 3], [(0, 1, 2), (0, 2, 3)]


def mix(rng):
    """A triangle beside a free, under-constrained rectangle and a free point."""
    s, dims, triples = triangle(rng)
    base = s.num_points()
    for x, y in [(8, 1), (12, 1), (12, 3), (8, 3)]:
        s.add_point(x + rng.uniform(-1, 1), y)
    s.add_horizontal_constraint(base, base + 1)
    s.add_horizontal_constraint(base + 3, base + 2)
    s.add_vertical_constraint(base + 1, base + 2)
    s.add_vertical_constraint(base, base + 3)
    s.add_distance_constraint(base, base + 1, math.dist(s.get_point(base), s.get_point(base + 1)))
    s.add_point(rng.uniform(-3, 3), rng.uniform(-3, 3))
    return s, dims, triples


FAMILIES = {"triangle": triangle, "truss": truss, "four-bar": four_bar, "wedge": wedge,
            "fillet": filleted, "two-circles": two_circles, "quad-angle": quad_angle,
            "mix": mix}


# ---- edits ----

def value_name(c):
    return next(n for n in ("d", "deg", "r") if n in c.fields())


def set_value(s, index, value):
    c = s.get_constraint(index)
    fields = c.fields()
    snake = re.sub(r"(?<!^)(?=[A-Z])", "_", c.kind()).lower()
    s.set_constraint(index, getattr(ovralis, snake + "_constraint")(**{**fields, value_name(c): value}))


def random_edit(rng, s, dims):
    """A dimension change, or (one time in four) a drag: a distance is removed and its
    free end dragged to where the same change of that distance would put it, so the
    rest of the sketch must follow the point."""
    index = rng.choice(dims)
    c = s.get_constraint(index)
    fields = c.fields()
    v = fields[value_name(c)]
    if value_name(c) == "deg":
        return ("dim", index, min(max(v + rng.choice([-1, 1]) * rng.uniform(1, 60), 5.0), 175.0))
    value = v * (1 + rng.choice([-1, 1]) * rng.uniform(0.01, 0.5))
    if rng.random() < 0.3 and c.kind() == "Distance":
        free = [p for p in (fields["p1"], fields["p2"]) if not ovralis_fixed(s)[p]]
        if free:
            return ("drag", index, free[-1], value)
    return ("dim", index, value)


def without(s, index):
    t = s.copy()
    t.remove_constraint(index)
    return t


def reference(s, edit):
    """The dimension change in tiny steps, each solved from the last; None where the
    path meets a turning point. A drag's target is where this puts the dragged point."""
    r = s.copy()
    c = r.get_constraint(edit[1])
    v0 = c.fields()[value_name(c)]
    end = edit[-1]
    for k in range(1, REFERENCE_STEPS + 1):
        set_value(r, edit[1], v0 + (end - v0) * k / REFERENCE_STEPS)
        if not r.solve().converged:
            return None
    return r


def orientation(s, triple):
    a, b, c = (s.get_point(i) for i in triple)
    return (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0])


def same_branch(s, ref, triples):
    for t in triples:
        want = orientation(ref, t)
        if abs(want) > 1e-6 and orientation(s, t) * want <= 0:
            return False
    return True


# ---- scipy's Levenberg-Marquardt on the same equations ----

def scipy_lm(s):
    """Solve s's constraints with least_squares(method='lm'), written here kind by kind."""
    points = s.get_points()
    doc_fixed = ovralis_fixed(s)
    variables = [(i, k) for i in range(len(points)) if not doc_fixed[i] for k in (0, 1)]
    circles = s.get_circles()
    radius_vars = [j for j, c in enumerate(circles) if not circle_fixed(s, j)]
    lines = s.get_lines()
    cons = [s.get_constraint(k) for k in range(s.num_constraints())]

    def unpack(x):
        pts = [list(p) for p in points]
        for (i, k), v in zip(variables, x):
            pts[i][k] = v
        radii = [c[1] for c in circles]
        for j, v in zip(radius_vars, x[len(variables):]):
            radii[j] = v
        return pts, radii

    def residual(x):
        pts, radii = unpack(x)
        out = []
        for c in cons:
            f, kind = c.fields(), c.kind()
            if kind == "Distance":
                out.append(math.dist(pts[f["p1"]], pts[f["p2"]]) - f["d"])
            elif kind == "Horizontal":
                out.append(pts[f["p1"]][1] - pts[f["p2"]][1])
            elif kind == "Vertical":
                out.append(pts[f["p1"]][0] - pts[f["p2"]][0])
            elif kind == "Angle":
                u = np.subtract(pts[lines[f["l1"]][1]], pts[lines[f["l1"]][0]])
                v = np.subtract(pts[lines[f["l2"]][1]], pts[lines[f["l2"]][0]])
                out.append(u @ v / (np.linalg.norm(u) * np.linalg.norm(v)) - math.cos(math.radians(f["deg"])))
            elif kind == "LineCircleTangent":
                a, b = pts[lines[f["line"]][0]], pts[lines[f["line"]][1]]
                o = pts[circles[f["circle"]][0]]
                cross = (b[0] - a[0]) * (o[1] - a[1]) - (b[1] - a[1]) * (o[0] - a[0])
                out.append(abs(cross) / math.dist(a, b) - radii[f["circle"]])
            elif kind == "PointOnCircle":
                out.append(math.dist(pts[f["point"]], pts[circles[f["circle"]][0]]) - radii[f["circle"]])
            elif kind == "CircleRadius":
                out.append(radii[f["circle"]] - f["r"])
            elif kind == "FixedPoint":
                out.extend([pts[f["point"]][0] - f["x"], pts[f["point"]][1] - f["y"]])
            else:
                raise ValueError(kind)
        return np.array(out)

    x0 = np.array([points[i][k] for i, k in variables] + [circles[j][1] for j in radius_vars])
    if len(residual(x0)) < len(x0):  # LM needs at least as many equations as unknowns
        pad = len(x0) - len(residual(x0))
        fit = least_squares(lambda x: np.concatenate([residual(x), np.zeros(pad)]), x0, method="lm")
    else:
        fit = least_squares(residual, x0, method="lm")
    pts, radii = unpack(fit.x)
    out = s.copy()
    for i, p in enumerate(pts):
        if not doc_fixed[i]:
            out.set_point(i, p[0], p[1])
    for j in radius_vars:
        out.set_circle(j, radii[j])
    return out, bool(np.max(np.abs(residual(fit.x)), initial=0.0) < 1e-8)


def ovralis_fixed(s):
    return [p.get("fixed", False) for p in json.loads(s.to_json())["points"]]


def circle_fixed(s, j):
    return json.loads(s.to_json())["circles"][j].get("fixed", False)


# ---- the table ----

def apply(method, s, edit, ref):
    """The edit made by one method: the end and whether it says it converged."""
    if edit[0] == "drag":
        if ref is None or method in ("solve", "follow"):
            return None, None  # drags are drag()'s, and need a target
        _, index, point, _ = edit
        t = without(s, index)
        target = ref.get_point(point)
        if method == "drag":
            return t, t.drag(point, *target).converged
        t.add_fixed_point_constraint(point, *target)
        return scipy_lm(t)
    if method == "drag":
        return None, None
    t = s.copy()
    set_value(t, edit[1], edit[2])
    if method == "scipy":
        return scipy_lm(t)
    return t, getattr(t, method)().converged


def branch_table(cases, seed):
    rng = random.Random(seed)
    methods = ["solve", "follow", "drag", "scipy"]
    has_follow = hasattr(ovralis.System, "follow")
    counts = {m: {"on-branch": 0, "jumped": 0, "failed": 0, "stopped": 0, "went on": 0}
              for m in methods}
    with_path = without_path = 0
    for case in range(cases):
        family = list(FAMILIES)[case % len(FAMILIES)]
        s, dims, triples = FAMILIES[family](rng)
        if not s.solve().converged:
            continue
        edit = random_edit(rng, s, dims)
        ref = reference(s, edit)
        if edit[0] == "drag" and ref is None:
            continue  # no target to drag to
        with_path += ref is not None
        without_path += ref is None
        for m in methods:
            if m == "follow" and not has_follow:
                continue
            out, ok = apply(m, s, edit, ref)
            if out is None:
                continue
            if ref is None:
                counts[m]["went on" if ok else "stopped"] += 1
            elif not ok:
                counts[m]["failed"] += 1
            elif same_branch(out, ref, triples):
                counts[m]["on-branch"] += 1
            else:
                counts[m]["jumped"] += 1
    print(f"{with_path} edits with a continuous path, {without_path} meeting a turning point")
    print(f"{'method':<22}{'on-branch':>10}{'jumped':>8}{'failed':>8}   | no path: {'stopped':>7}{'went on':>8}")
    names = {"solve": "set + solve()", "follow": "set + follow()", "drag": "drag()",
             "scipy": "scipy least_squares lm"}
    for m in methods:
        c = counts[m]
        if m == "follow" and not has_follow:
            print(f"{names[m]:<22}{'n/a':>10}")
            continue
        print(f"{names[m]:<22}{c['on-branch']:>10}{c['jumped']:>8}{c['failed']:>8}   |          "
              f"{c['stopped']:>7}{c['went on']:>8}")


# ---- timing ----

def truss_of(unknowns):
    """A strip of triangles with about `unknowns` unknowns, solved."""
    s = ovralis.System()
    s.add_point(0, 0, fixed=True)
    s.add_point(0, 1, fixed=True)
    n = unknowns // 4
    for k in range(1, n + 1):
        s.add_point(k, 0.05 * (k % 3))
        s.add_point(k, 1 - 0.05 * (k % 2))
        b, t = 2 * k, 2 * k + 1
        s.add_distance_constraint(b - 2, b, 1.0)
        s.add_distance_constraint(b - 1, t, 1.0)
        s.add_distance_constraint(b, t, 1.0)
        s.add_distance_constraint(b - 1, b, math.sqrt(2))
    assert s.solve().converged
    return s


def best_of(repeats, work):
    times = []
    for _ in range(repeats):
        start = time.perf_counter()
        work()
        times.append(time.perf_counter() - start)
    return min(times)


def timing(sizes):
    has_follow = hasattr(ovralis.System, "follow")
    print(f"\n{'unknowns':>9}{'solve edit':>12}{'follow edit':>13}{'ratio':>7}"
          f"{'residual':>11}{'follow still':>14}{'ratio':>7}")
    for unknowns in sizes:
        s = truss_of(unknowns)
        edited = s.copy()
        middle = 4 * (unknowns // 8)
        set_value(edited, middle, edited.get_constraint(middle).fields()["d"] * 1.05)
        repeats = 5 if unknowns < 10000 else 2
        solve_time = best_of(repeats, lambda: edited.copy().solve())
        residual_time = best_of(repeats * 4, lambda: s.diagnostics(include_residuals=True))
        if has_follow:
            follow_time = best_of(repeats, lambda: edited.copy().follow())
            still_time = best_of(repeats * 4, lambda: s.follow())
            print(f"{unknowns:>9}{solve_time * 1e3:>10.2f}ms{follow_time * 1e3:>11.2f}ms"
                  f"{follow_time / solve_time:>7.2f}{residual_time * 1e3:>9.3f}ms"
                  f"{still_time * 1e3:>12.3f}ms{still_time / residual_time:>7.2f}")
        else:
            print(f"{unknowns:>9}{solve_time * 1e3:>10.2f}ms{'n/a':>13}{'':>7}"
                  f"{residual_time * 1e3:>9.3f}ms{'n/a':>14}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cases", type=int, default=400)
    parser.add_argument("--seed", type=int, default=20)
    parser.add_argument("--quick", action="store_true", help="fewer cases, no 100,000 unknowns")
    args = parser.parse_args()
    cases = 40 if args.quick else args.cases
    branch_table(cases, args.seed)
    timing([10, 1000] if args.quick else [10, 1000, 100000])


if __name__ == "__main__":
    main()
