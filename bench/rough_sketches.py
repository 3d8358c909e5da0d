"""Realistic rough drawings with known answers, for benchmarks and tests.

A generator builds a part the way a person draws one in a CAD sketcher:
every line and arc has its own end points, joined by coincidences; sides
are horizontal or vertical or at dimensioned angles; corners carry fillets
(arcs tangent to both sides) or chamfers; slots, bolt circles and
counterbored holes (two concentric circles, each with its own centre) sit
inside.
The design is exact: every dimension is measured from it. `jittered` moves
each free point by a share of the part's size, as a rough drawing is, and
`RoughSketch.judge` checks a solver's ending against geometry computed here
(never the solver's own residuals): every constraint's error, collapsed
lines, radii and merged points, and corners or arcs whose turning sense
flipped from the drawing's.

The realistic parts (`realistic_part`: L- and T-brackets with fillets,
slotted and keyhole plates, D-shapes with fillets inside a large arc,
S-curves of two tangent arcs, levers) are drawn with their whole design
intent and then lose some of it at random, as most sketches people draw are
under-constrained: 30-80 % of their freedom stays free.

`scipy_residual` writes the same constraints as numpy equations (lengths
over the part's size), so that scipy.optimize.least_squares can be run on
the very same drawing.

    from rough_sketches import FAMILIES, jittered
    design = FAMILIES["filleted plate"](np.random.default_rng(3))
    drawing = jittered(design, np.random.default_rng(4), 0.05)
    system = drawing.to_system(); system.solve()
    verdict = drawing.judge(np.array(system.get_points()), radii_of(system))
"""

import copy
import math

import numpy as np

import ovralis

# A length below this share of the size is collapsed; a claimed answer holds
# when every error is within HOLDS of the size (or radians).
COLLAPSED = 1e-6
HOLDS = 1e-8
# Points farther apart than this share of the size in the design are distinct.
DISTINCT = 1e-3
# A corner counts for orientation when its sine is at least this in the drawing.
TURNING = 0.05


class RoughSketch:
    """Points, lines, circles and arcs with constraints, as plain lists."""

    def __init__(self):
        self.points, self.fixed = [], []
        self.lines, self.circles, self.arcs = [], [], []  # (p1, p2), [centre, r], [c, s, e, r]
        self.constraints = []  # tuples: (kind, *indices, value?)
        self.turns = []  # (a, b, c): the sense of turn a -> b -> c is the drawing's
        self.design = None  # the exact points, once jittered
        self.intent = []  # positions of the constraints a designer may leave out

    # ---- building ----
    def point(self, x, y, fixed=False):
        self.points.append([float(x), float(y)])
        self.fixed.append(fixed)
        return len(self.points) - 1

    def line(self, p1, p2):
        self.lines.append((p1, p2))
        return len(self.lines) - 1

    def circle(self, centre, radius):
        self.circles.append([centre, float(radius)])
        return len(self.circles) - 1

    def arc(self, centre, start, end, radius):
        self.arcs.append([centre, start, end, float(radius)])
        self.turns.append((centre, start, end))
        return len(self.arcs) - 1

    def add(self, kind, *args):
        self.constraints.append((kind, *args))

    def measured(self, kind, *args):
        """Adds a dimension whose value is measured from the design."""
        value = measure(self, kind, args)
        self.constraints.append((kind, *args, value))

    def hint(self, kind, *args):
        """Adds a relation of design intent, one that a drawing may lack."""
        self.intent.append(len(self.constraints))
        self.add(kind, *args)

    def hint_measured(self, kind, *args):
        """Adds a dimension of design intent, measured from the design."""
        self.intent.append(len(self.constraints))
        self.measured(kind, *args)

    def exact_points(self):
        return np.array(self.points if self.design is None else self.design, dtype=float)

    def size(self):
        p = self.exact_points()
        return float(np.hypot(*(p.max(axis=0) - p.min(axis=0))))

    # ---- solver interfaces ----
    def to_system(self):
        s = ovralis.System()
        for (x, y), fixed in zip(self.points, self.fixed):
            s.add_point(x, y, fixed=fixed)
        for p1, p2 in self.lines:
            s.add_line(p1, p2)
        for centre, r in self.circles:
            s.add_circle(centre, r)
        for c, a, b, r in self.arcs:
            s.add_arc(c, a, b, r)
        for kind, *args in self.constraints:
            s.add_constraint(getattr(ovralis, kind + "_constraint")(*args))
        return s

    def free_vector(self):
        free = [p for p, f in zip(self.points, self.fixed) if not f]
        radii = [c[1] for c in self.circles] + [a[3] for a in self.arcs]
        return np.concatenate([np.ravel(free), radii]).astype(float)

    def unpack(self, values):
        points = np.array(self.points, dtype=float)
        free = [i for i, f in enumerate(self.fixed) if not f]
        points[free] = values[: 2 * len(free)].reshape(-1, 2)
        radii = values[2 * len(free):]
        return points, radii[: len(self.circles)], radii[len(self.circles):]

    def scipy_residual(self):
        """f(values) for least_squares, padded with zeros to at least as many
        entries as unknowns (method 'lm' needs that). The constraints are
        grouped by kind and evaluated with whole-array numpy operations."""
        size = self.size()
        unknowns = len(self.free_vector())
        groups = {}
        for kind, *args in self.constraints:
            groups.setdefault(kind, []).append(args)
        lines = np.array(self.lines, dtype=int).reshape(-1, 2)
        arcs = np.array([a[:3] for a in self.arcs], dtype=int).reshape(-1, 3)
        circle_centres = np.array([c[0] for c in self.circles], dtype=int)
        table = {k: np.array(v, dtype=float) for k, v in groups.items()}

        def column(kind, i):
            return table[kind][:, i].astype(int)

        def residual(values):
            p, cr, ar = self.unpack(values)
            out = []
            for kind, rows in table.items():
                if kind == "coincident":
                    out.append(np.ravel(p[column(kind, 0)] - p[column(kind, 1)]) / size)
                elif kind == "horizontal":
                    out.append((p[column(kind, 0), 1] - p[column(kind, 1), 1]) / size)
                elif kind == "vertical":
                    out.append((p[column(kind, 0), 0] - p[column(kind, 1), 0]) / size)
                elif kind == "distance":
                    gap = p[column(kind, 0)] - p[column(kind, 1)]
                    out.append((np.hypot(gap[:, 0], gap[:, 1]) - rows[:, 2]) / size)
                elif kind == "midpoint":
                    mid = 0.5 * (p[column(kind, 1)] + p[column(kind, 2)])
                    out.append(np.ravel(p[column(kind, 0)] - mid) / size)
                elif kind in ("parallel", "perpendicular", "angle", "equal_length"):
                    l1, l2 = lines[column(kind, 0)], lines[column(kind, 1)]
                    u = p[l1[:, 1]] - p[l1[:, 0]]
                    v = p[l2[:, 1]] - p[l2[:, 0]]
                    if kind == "equal_length":
                        out.append((np.hypot(u[:, 0], u[:, 1]) - np.hypot(v[:, 0], v[:, 1])) / size)
                        continue
                    cross = u[:, 0] * v[:, 1] - u[:, 1] * v[:, 0]
                    dot = np.einsum("ij,ij->i", u, v)
                    if kind == "parallel":
                        out.append(np.arctan2(cross, np.abs(dot)))
                    elif kind == "perpendicular":
                        out.append(np.arctan2(dot, np.abs(cross)))
                    else:
                        out.append(np.arctan2(np.abs(cross), dot) - np.radians(rows[:, 2]))
                elif kind == "point_on_line":
                    line = lines[column(kind, 1)]
                    d = p[line[:, 1]] - p[line[:, 0]]
                    w = p[column(kind, 0)] - p[line[:, 0]]
                    cross = d[:, 0] * w[:, 1] - d[:, 1] * w[:, 0]
                    out.append(cross / np.maximum(np.hypot(d[:, 0], d[:, 1]), 1e-300) / size)
                elif kind in ("point_on_circle", "point_on_arc"):
                    k = column(kind, 1)
                    centre, r = ((circle_centres[k], cr[k]) if kind == "point_on_circle"
                                 else (arcs[k, 0], ar[k]))
                    gap = p[column(kind, 0)] - p[centre]
                    out.append((np.hypot(gap[:, 0], gap[:, 1]) - r) / size)
                elif kind == "circle_radius":
                    out.append((cr[column(kind, 0)] - rows[:, 1]) / size)
                elif kind == "arc_radius":
                    out.append((ar[column(kind, 0)] - rows[:, 1]) / size)
                elif kind == "equal_radius":
                    out.append((cr[column(kind, 0)] - cr[column(kind, 1)]) / size)
                elif kind == "concentric":
                    first = circle_centres[column(kind, 0)]
                    second = circle_centres[column(kind, 1)]
                    out.append(np.ravel(p[first] - p[second]) / size)
                elif kind == "point_line_distance":
                    line = lines[column(kind, 1)]
                    d = p[line[:, 1]] - p[line[:, 0]]
                    w = p[column(kind, 0)] - p[line[:, 0]]
                    cross = d[:, 0] * w[:, 1] - d[:, 1] * w[:, 0]
                    gap = np.abs(cross) / np.maximum(np.hypot(d[:, 0], d[:, 1]), 1e-300)
                    out.append((gap - rows[:, 2]) / size)
                elif kind == "symmetry":
                    line = lines[column(kind, 2)]
                    a, d = p[line[:, 0]], p[line[:, 1]] - p[line[:, 0]]
                    inner = p[column(kind, 1)]
                    t = np.einsum("ij,ij->i", inner - a, d) / np.maximum(
                        np.einsum("ij,ij->i", d, d), 1e-300)
                    mirror = 2.0 * (a + t[:, None] * d) - inner
                    out.append(np.ravel(p[column(kind, 0)] - mirror) / size)
                elif kind == "line_arc_tangent":
                    line, arc = lines[column(kind, 0)], arcs[column(kind, 1)]
                    d = p[line[:, 1]] - p[line[:, 0]]
                    w = p[arc[:, 0]] - p[line[:, 0]]
                    cross = d[:, 0] * w[:, 1] - d[:, 1] * w[:, 0]
                    gap = np.abs(cross) / np.maximum(np.hypot(d[:, 0], d[:, 1]), 1e-300)
                    out.append((gap - np.abs(ar[column(kind, 1)])) / size)
                elif kind in ("arc_arc_tangent", "arc_arc_tangent_internal"):
                    first, second = column(kind, 0), column(kind, 1)
                    gap = p[arcs[first, 0]] - p[arcs[second, 0]]
                    reach = (ar[first] + ar[second] if kind == "arc_arc_tangent"
                             else np.abs(ar[first] - ar[second]))
                    out.append((np.hypot(gap[:, 0], gap[:, 1]) - reach) / size)
                elif kind in ("line_arc_start_tangent", "line_arc_end_tangent"):
                    line, arc = lines[column(kind, 0)], arcs[column(kind, 1)]
                    d = p[line[:, 1]] - p[line[:, 0]]
                    touch = arc[:, 1] if kind == "line_arc_start_tangent" else arc[:, 2]
                    radial = p[touch] - p[arc[:, 0]]
                    along = np.einsum("ij,ij->i", d, radial)
                    out.append(along / np.maximum(np.hypot(d[:, 0], d[:, 1]), 1e-300) / size)
                else:
                    raise ValueError(kind)
            flat = np.concatenate(out) if out else np.zeros(0)
            return np.concatenate([flat, np.zeros(max(0, unknowns - len(flat)))])

        return residual

    # ---- judging ----
    def errors(self, points, circle_r, arc_r):
        size = self.size()
        return np.array([abs(e) for c in self.constraints
                         for e in signed_errors(self, c, points, circle_r, arc_r, size)])

    def judge(self, points, circle_r, arc_r, claimed, start):
        """'correct', 'failed', 'collapsed', 'jumped' or 'wrong claim' for an
        ending; `start` is the drawing the solve began from."""
        holds = self.errors(points, circle_r, arc_r).max(initial=0.0) <= HOLDS
        collapsed = self.collapsed(points, circle_r, arc_r)
        if claimed and (not holds or collapsed):
            return "wrong claim"
        if collapsed:
            return "collapsed"
        if not claimed:
            return "failed"
        return "jumped" if self.flipped(start, points) else "correct"

    def collapsed(self, points, circle_r, arc_r):
        size = self.size()
        tiny = COLLAPSED * size
        if any(abs(r) < tiny for r in list(circle_r) + list(arc_r)):
            return True
        design = self.exact_points()
        for p1, p2 in self.lines:
            if np.hypot(*(points[p1] - points[p2])) < tiny:
                return True
        gaps_design = np.hypot(*(design[:, None, :] - design[None, :, :]).transpose(2, 0, 1))
        gaps = np.hypot(*(points[:, None, :] - points[None, :, :]).transpose(2, 0, 1))
        return bool(np.any((gaps_design > DISTINCT * size) & (gaps < tiny)))

    def flipped(self, start, points):
        """Whether a corner or arc that turns in the drawing as in the design
        turns the other way (or not at all) in `points`."""
        exact = self.exact_points()
        for a, b, c in self.turns:
            before = turn_sine(start, a, b, c)
            drawn_as_designed = before * turn_sine(exact, a, b, c) > 0.0
            if drawn_as_designed and abs(before) >= TURNING and \
                    before * turn_sine(points, a, b, c) <= 0.0:
                return True
        return False


def turn_sine(points, a, b, c):
    u, v = points[b] - points[a], points[c] - points[a]
    scale = np.hypot(*u) * np.hypot(*v)
    return float(u[0] * v[1] - u[1] * v[0]) / scale if scale > 0 else 0.0


def _direction(points, sketch, line):
    p1, p2 = sketch.lines[line]
    return points[p2] - points[p1]


def _angle(u, v):
    return math.atan2(abs(u[0] * v[1] - u[1] * v[0]), float(u @ v))


def _line_gap(points, sketch, point, line):
    """The distance of a point from a line taken as infinite."""
    d = _direction(points, sketch, line)
    w = points[point] - points[sketch.lines[line][0]]
    return abs(float(d[0] * w[1] - d[1] * w[0])) / max(float(np.hypot(*d)), 1e-300)


def _mirrored(points, sketch, point, line):
    """A point reflected in a line taken as infinite."""
    a = points[sketch.lines[line][0]]
    d = _direction(points, sketch, line)
    foot = a + float((points[point] - a) @ d) / max(float(d @ d), 1e-300) * d
    return 2.0 * foot - points[point]


def measure(sketch, kind, args):
    """The value a dimension has in the design."""
    points = np.array(sketch.points)
    radii = [c[1] for c in sketch.circles]
    arc_radii = [a[3] for a in sketch.arcs]
    if kind == "distance":
        return float(np.hypot(*(points[args[0]] - points[args[1]])))
    if kind == "angle":
        return math.degrees(_angle(_direction(points, sketch, args[0]),
                                   _direction(points, sketch, args[1])))
    if kind == "point_line_distance":
        return _line_gap(points, sketch, args[0], args[1])
    if kind == "circle_radius":
        return radii[args[0]]
    if kind == "arc_radius":
        return arc_radii[args[0]]
    raise ValueError(kind)


def signed_errors(sketch, c, points, circle_r, arc_r, size):
    """Each equation of constraint `c` as a signed geometric error: lengths
    over `size`, angles in radians."""
    kind, *a = c
    p = points
    if kind == "coincident":
        return list((p[a[0]] - p[a[1]]) / size)
    if kind == "horizontal":
        return [(p[a[0]][1] - p[a[1]][1]) / size]
    if kind == "vertical":
        return [(p[a[0]][0] - p[a[1]][0]) / size]
    if kind == "distance":
        return [(np.hypot(*(p[a[0]] - p[a[1]])) - a[2]) / size]
    if kind == "midpoint":
        return list((p[a[0]] - 0.5 * (p[a[1]] + p[a[2]])) / size)
    if kind in ("parallel", "perpendicular", "angle", "equal_length"):
        u, v = _direction(p, sketch, a[0]), _direction(p, sketch, a[1])
        if kind == "equal_length":
            return [(np.hypot(*u) - np.hypot(*v)) / size]
        theta = _angle(u, v)
        if kind == "parallel":
            # Signed, so that it is smooth where it holds (the rank of a
            # generated part's equations is taken by differences).
            return [math.atan2(u[0] * v[1] - u[1] * v[0], abs(float(u @ v)))]
        if kind == "perpendicular":
            return [theta - math.pi / 2]
        return [theta - math.radians(a[2])]
    if kind == "point_on_line":
        d = _direction(p, sketch, a[1])
        w = p[a[0]] - p[sketch.lines[a[1]][0]]
        return [(d[0] * w[1] - d[1] * w[0]) / max(np.hypot(*d), 1e-300) / size]
    if kind in ("point_on_circle", "point_on_arc"):
        centre, r = ((sketch.circles[a[1]][0], circle_r[a[1]]) if kind == "point_on_circle"
                     else (sketch.arcs[a[1]][0], arc_r[a[1]]))
        return [(np.hypot(*(p[a[0]] - p[centre])) - r) / size]
    if kind == "circle_radius":
        return [(circle_r[a[0]] - a[1]) / size]
    if kind == "arc_radius":
        return [(arc_r[a[0]] - a[1]) / size]
    if kind == "equal_radius":
        return [(circle_r[a[0]] - circle_r[a[1]]) / size]
    if kind == "concentric":
        first, second = sketch.circles[a[0]][0], sketch.circles[a[1]][0]
        return list((p[first] - p[second]) / size)
    if kind == "point_line_distance":
        return [(_line_gap(p, sketch, a[0], a[1]) - a[2]) / size]
    if kind == "symmetry":
        return list((p[a[0]] - _mirrored(p, sketch, a[1], a[2])) / size)
    if kind == "line_arc_tangent":
        return [(_line_gap(p, sketch, sketch.arcs[a[1]][0], a[0]) - abs(arc_r[a[1]])) / size]
    if kind in ("arc_arc_tangent", "arc_arc_tangent_internal"):
        r1, r2 = arc_r[a[0]], arc_r[a[1]]
        reach = r1 + r2 if kind == "arc_arc_tangent" else abs(r1 - r2)
        gap = p[sketch.arcs[a[0]][0]] - p[sketch.arcs[a[1]][0]]
        return [(np.hypot(*gap) - reach) / size]
    if kind in ("line_arc_start_tangent", "line_arc_end_tangent"):
        d = _direction(p, sketch, a[0])
        centre, start, end, _ = sketch.arcs[a[1]]
        touch = start if kind == "line_arc_start_tangent" else end
        return [float(d @ (p[touch] - p[centre])) / max(np.hypot(*d), 1e-300) / size]
    raise ValueError(kind)


def radii_of(system):
    return (np.array([r for _, r in system.get_circles()]),
            np.array([a[3] for a in system.get_arcs()]))


def jittered(design, rng, share):
    """The design drawn roughly: each free point moved by a normal offset of
    `share` of the size, each radius scaled by up to `share`."""
    drawing = copy.deepcopy(design)
    drawing.design = design.exact_points()
    spread = share * design.size()
    for p, fixed in zip(drawing.points, drawing.fixed):
        if not fixed:
            p[0] += rng.normal(0.0, spread)
            p[1] += rng.normal(0.0, spread)
    for entity in drawing.circles:
        entity[1] *= 1.0 + rng.uniform(-share, share)
    for entity in drawing.arcs:
        entity[3] *= 1.0 + rng.uniform(-share, share)
    return drawing


# ---- parts ----

def _corner_profile(sketch, corners, rng, corner_kind, dimensioned=True):
    """A closed convex profile through `corners` (counter-clockwise), each
    side a line with its own end points, each corner a fillet arc or a
    chamfer line (or sharp), joined by coincidences."""
    n = len(corners)
    corners = np.array(corners, dtype=float)
    sides = []
    trims = []
    for i in range(n):
        prev_dir = corners[i] - corners[i - 1]
        next_dir = corners[(i + 1) % n] - corners[i]
        shortest = min(np.hypot(*prev_dir), np.hypot(*next_dir))
        trims.append(0.0 if corner_kind == "sharp" else rng.uniform(0.08, 0.2) * shortest)
    side_points = []
    for i in range(n):
        a, b = corners[i], corners[(i + 1) % n]
        unit = (b - a) / np.hypot(*(b - a))
        start = sketch.point(*(a + trims[i] * unit))
        end = sketch.point(*(b - trims[(i + 1) % n] * unit))
        sides.append(sketch.line(start, end))
        side_points.append((start, end))
    for i in range(n):
        incoming, outgoing = sides[i - 1], sides[i]
        end_prev, start_next = side_points[i - 1][1], side_points[i][0]
        if corner_kind == "sharp":
            sketch.add("coincident", end_prev, start_next)
        elif corner_kind == "chamfer":
            a = sketch.point(*sketch.points[end_prev])
            b = sketch.point(*sketch.points[start_next])
            sketch.line(a, b)
            sketch.add("coincident", end_prev, a)
            sketch.add("coincident", b, start_next)
            if dimensioned:
                sketch.measured("distance", a, b)
        else:
            _fillet(sketch, incoming, outgoing, end_prev, start_next, corners[i])
        sketch.turns.append((side_points[i - 1][0], side_points[i][0], side_points[i][1]))
    return sides, side_points


def _fillet(sketch, incoming, outgoing, end_prev, start_next, corner):
    p, q = np.array(sketch.points[end_prev]), np.array(sketch.points[start_next])
    u = corner - p
    u /= np.hypot(*u)
    # The centre lies on the inward normal of the incoming side at its end.
    normal = np.array([-u[1], u[0]])
    v = q - corner
    v /= np.hypot(*v)
    # Equal trims put the centre where the two inward normals meet.
    t = float((q - p) @ v) / float(normal @ v) if abs(normal @ v) > 1e-12 else 0.0
    centre_xy = p + t * normal
    radius = float(np.hypot(*(centre_xy - p)))
    centre = sketch.point(*centre_xy)
    start = sketch.point(*p)
    end = sketch.point(*q)
    arc = sketch.arc(centre, start, end, radius)
    sketch.add("coincident", end_prev, start)
    sketch.add("coincident", end, start_next)
    sketch.add("point_on_arc", start, arc)
    sketch.add("point_on_arc", end, arc)
    sketch.add("line_arc_start_tangent", incoming, arc)
    sketch.add("line_arc_end_tangent", outgoing, arc)
    sketch.measured("arc_radius", arc)


def _rectangle_constraints(sketch, sides, side_points, dimensioned):
    for i, (a, b) in enumerate(side_points):
        sketch.add("horizontal" if i % 2 == 0 else "vertical", a, b)
    if dimensioned:
        sketch.measured("distance", *side_points[0])
        sketch.measured("distance", *side_points[1])


def _anchor(sketch, point_index):
    sketch.fixed[point_index] = True


def filleted_plate(rng, dimensioned=True):
    """A rectangle with four fillets, one corner anchored, a slot and a bolt
    circle inside."""
    s = RoughSketch()
    w, h = rng.uniform(60, 140), rng.uniform(40, 90)
    sides, side_points = _corner_profile(s, [(0, 0), (w, 0), (w, h), (0, h)], rng, "fillet")
    _rectangle_constraints(s, sides, side_points, dimensioned)
    _anchor(s, side_points[0][0])
    _slot(s, rng, (0.25 * w, 0.3 * h), 0.3 * w, 0.06 * h, dimensioned)
    _bolt_circle(s, rng, (0.7 * w, 0.55 * h), 0.18 * min(w, h), int(rng.integers(3, 7)),
                 dimensioned)
    return s


def chamfered_rectangle(rng, dimensioned=True):
    s = RoughSketch()
    w, h = rng.uniform(30, 90), rng.uniform(20, 70)
    x0, y0 = rng.uniform(-20, 20, size=2)
    corners = [(x0, y0), (x0 + w, y0), (x0 + w, y0 + h), (x0, y0 + h)]
    sides, side_points = _corner_profile(s, corners, rng, "chamfer", dimensioned)
    _rectangle_constraints(s, sides, side_points, dimensioned)
    if dimensioned:
        s.measured("distance", *side_points[2])
        s.measured("distance", *side_points[3])
    _anchor(s, side_points[0][0])
    return s


def filleted_polygon(rng, dimensioned=True):
    """An irregular convex profile, sides and corner angles dimensioned, every
    corner filleted."""
    s = RoughSketch()
    n = int(rng.integers(5, 8))
    angles = np.sort(rng.uniform(0, 2 * math.pi, n))
    radius = rng.uniform(30, 60)
    corners = [(radius * math.cos(t) * rng.uniform(0.85, 1.0),
                radius * math.sin(t) * rng.uniform(0.85, 1.0)) for t in angles]
    if not _convex(corners):
        corners = [(radius * math.cos(t), radius * math.sin(t))
                   for t in np.linspace(0, 2 * math.pi, n, endpoint=False)]
    sides, side_points = _corner_profile(s, corners, rng, "fillet")
    _anchor(s, side_points[0][0])
    if dimensioned:
        for i in range(n - 1):
            s.measured("angle", sides[i], sides[i + 1])
        for i in range(n - 2):
            s.measured("distance", *side_points[i])
    return s


def _convex(corners):
    c = np.array(corners)
    n = len(c)
    for i in range(n):
        u, v = c[(i + 1) % n] - c[i], c[(i + 2) % n] - c[(i + 1) % n]
        if u[0] * v[1] - u[1] * v[0] <= 0.02 * np.hypot(*u) * np.hypot(*v):
            return False
    return True


def _slot(sketch, rng, centre, length, half_width, dimensioned):
    """Two parallel sides and two semicircular caps, the axis horizontal."""
    cx, cy = centre
    left = sketch.point(cx, cy)
    right = sketch.point(cx + length, cy)
    r = half_width
    bottom_a, bottom_b = sketch.point(cx, cy - r), sketch.point(cx + length, cy - r)
    top_a, top_b = sketch.point(cx + length, cy + r), sketch.point(cx, cy + r)
    bottom = sketch.line(bottom_a, bottom_b)
    top = sketch.line(top_a, top_b)
    # Caps run counter-clockwise: right cap from bottom to top, left from top to bottom.
    rs, re = sketch.point(cx + length, cy - r), sketch.point(cx + length, cy + r)
    ls, le = sketch.point(cx, cy + r), sketch.point(cx, cy - r)
    right_cap = sketch.arc(right, rs, re, r)
    left_cap = sketch.arc(left, ls, le, r)
    for a, b in ((bottom_b, rs), (re, top_a), (top_b, ls), (le, bottom_a)):
        sketch.add("coincident", a, b)
    for p, arc in ((rs, right_cap), (re, right_cap), (ls, left_cap), (le, left_cap)):
        sketch.add("point_on_arc", p, arc)
    sketch.add("line_arc_start_tangent", bottom, right_cap)
    sketch.add("line_arc_end_tangent", top, right_cap)
    sketch.add("line_arc_start_tangent", top, left_cap)
    sketch.add("line_arc_end_tangent", bottom, left_cap)
    sketch.add("horizontal", left, right)
    sketch.turns.append((bottom_a, bottom_b, top_a))
    if dimensioned:
        sketch.measured("arc_radius", right_cap)
        sketch.measured("arc_radius", left_cap)
        sketch.measured("distance", left, right)
        anchor = sketch.point(0.0, 0.0, fixed=True)
        sketch.measured("distance", anchor, left)
        sketch.measured("distance", anchor, right)


def _bolt_circle(sketch, rng, centre, pitch, holes, dimensioned):
    """Holes of one radius on a pitch circle, equally spaced by chords."""
    hub = sketch.point(*centre)
    pitch_circle = sketch.circle(hub, pitch)
    phase = rng.uniform(0, 2 * math.pi) if not dimensioned else 0.0
    hole_radius = rng.uniform(0.1, 0.25) * pitch
    circles, centres = [], []
    for k in range(holes):
        t = phase + 2 * math.pi * k / holes
        p = sketch.point(centre[0] + pitch * math.cos(t), centre[1] + pitch * math.sin(t))
        circles.append(sketch.circle(p, hole_radius))
        centres.append(p)
        sketch.add("point_on_circle", p, pitch_circle)
    for k in range(1, holes):
        sketch.add("equal_radius", circles[0], circles[k])
        # Each hole a chord from the one before and one from the first, as
        # a single chord would let a hole fold back onto the one before last.
        sketch.measured("distance", centres[k - 1], centres[k])
        if k >= 2:
            sketch.measured("distance", centres[0], centres[k])
        sketch.turns.append((hub, centres[k - 1], centres[k]))
    if dimensioned:
        sketch.measured("circle_radius", pitch_circle)
        sketch.measured("circle_radius", circles[0])
        sketch.add("horizontal", hub, centres[0])
        anchor = sketch.point(0.0, 0.0, fixed=True)
        sketch.measured("distance", anchor, hub)


def counterbored_plate(rng, dimensioned=True):
    """A chamfered plate with a row of counterbored holes: each hole's two
    circles have centres of their own, joined by a concentric constraint, as
    a drawing imported from DXF has them."""
    s = chamfered_rectangle(rng, dimensioned)
    corner = s.lines[0][0]
    x0, y0 = s.points[corner]
    width = s.points[s.lines[0][1]][0] - x0
    height = s.points[s.lines[1][1]][1] - s.points[s.lines[1][0]][1]
    holes = int(rng.integers(2, 5))
    pitch = 0.8 * width / holes
    bore = rng.uniform(0.06, 0.1) * min(pitch, height)
    inner, outer, centres = [], [], []
    for k in range(holes):
        x, y = x0 + 0.1 * width + (k + 0.5) * pitch, y0 + 0.5 * height
        centre, counter = s.point(x, y), s.point(x, y)
        inner.append(s.circle(centre, bore))
        outer.append(s.circle(counter, 1.8 * bore))
        s.add("concentric", inner[-1], outer[-1])
        centres.append(centre)
        if k > 0:
            s.add("horizontal", centres[0], centre)
            s.measured("distance", centres[k - 1], centre)
            s.add("equal_radius", inner[0], inner[-1])
            s.add("equal_radius", outer[0], outer[-1])
    s.measured("distance", corner, centres[0])
    s.measured("distance", s.lines[0][1], centres[0])
    s.measured("circle_radius", inner[0])
    s.measured("circle_radius", outer[0])
    return s


def under_constrained(rng):
    """A part as drawn mid-way: some dimensions not given yet."""
    make = [filleted_plate, chamfered_rectangle, filleted_polygon][int(rng.integers(0, 3))]
    design = make(rng, dimensioned=True)
    dims = [i for i, c in enumerate(design.constraints)
            if c[0] in ("distance", "angle", "arc_radius", "circle_radius")]
    dropped = set(rng.choice(dims, size=max(1, len(dims) // 3), replace=False).tolist())
    design.constraints = [c for i, c in enumerate(design.constraints) if i not in dropped]
    return design


def far_intersection(rng):
    """Two nearly parallel lines of a small part whose meeting point, a
    construction point on both, lies hundreds of part sizes away."""
    s = RoughSketch()
    theta = math.radians(rng.uniform(0.1, 0.5))
    a = s.point(0.0, 0.0, fixed=True)
    b = s.point(10.0, 0.0)
    c = s.point(0.0, 5.0)
    d = s.point(10.0 * math.cos(theta), 5.0 - 10.0 * math.sin(theta))
    base, slant = s.line(a, b), s.line(c, d)
    s.add("horizontal", a, b)
    s.measured("distance", a, b)
    s.add("vertical", a, c)
    s.measured("distance", a, c)
    s.measured("distance", c, d)
    s.measured("angle", base, slant)
    far = s.point(5.0 / math.tan(theta), 0.0)
    s.add("point_on_line", far, base)
    s.add("point_on_line", far, slant)
    s.turns.append((a, b, d))
    return s


def far_jittered(design, rng, share):
    """The far point is drawn roughly relative to its own distance, the part
    relative to the part's size."""
    drawing = copy.deepcopy(design)
    drawing.design = design.exact_points()
    part = 10.0
    for i, (p, fixed) in enumerate(zip(drawing.points, drawing.fixed)):
        if fixed:
            continue
        spread = share * (np.hypot(*p) if i == len(drawing.points) - 1 else part)
        p[0] += rng.normal(0.0, spread)
        p[1] += rng.normal(0.0, spread)
    return drawing


# ---- realistic parts, partly constrained ----
#
# People draw closed profiles of lines and tangent arcs (L- and T-brackets
# with fillets, slots, keyholes, levers, D-shapes, S-curves), snap their ends
# together, and then give only some of the relations and dimensions they
# mean: a sketch in a CAD service is mostly under-constrained. A realistic
# part is built with its whole design intent, marked with `hint`, and then
# loses intent constraints at random until a drawn share (30-80 %) of the
# degrees of freedom that its joins leave is free again.

def _unit(v):
    return v / np.hypot(*v)


def _left_normal(u):
    return np.array([-u[1], u[0]])


def _signed_turn(u, v):
    return math.atan2(u[0] * v[1] - u[1] * v[0], float(u @ v))


def _tangent(sketch, rng, line, arc, at_start):
    """A line tangent to an arc where they meet, written either as a tangency
    at the arc's start or end, or as a tangency to the arc's circle."""
    if rng.random() < 0.5:
        sketch.add("line_arc_tangent", line, arc)
    else:
        sketch.add("line_arc_start_tangent" if at_start else "line_arc_end_tangent", line, arc)


def _arc_through(sketch, centre_xy, start_xy, end_xy):
    """An arc with its own centre and end points, both ends held on it."""
    centre = sketch.point(*centre_xy)
    start, end = sketch.point(*start_xy), sketch.point(*end_xy)
    arc = sketch.arc(centre, start, end, float(np.hypot(*(np.asarray(start_xy) - centre_xy))))
    sketch.add("point_on_arc", start, arc)
    sketch.add("point_on_arc", end, arc)
    return arc, centre, start, end


def _outline(sketch, rng, corners, trims):
    """A closed counter-clockwise outline through `corners`, each side a line
    with its own end points. Corner i is sharp (a coincidence) where
    trims[i] is 0, else a fillet tangent to both sides, convex or concave,
    that cuts trims[i] of the shorter side next to it. Returns the sides and
    their (start, end) points."""
    corners = np.array(corners, dtype=float)
    n = len(corners)
    dirs = [corners[(i + 1) % n] - corners[i] for i in range(n)]
    cut = [trims[i] * min(np.hypot(*dirs[i - 1]), np.hypot(*dirs[i])) for i in range(n)]
    sides, ends = [], []
    for i in range(n):
        u = _unit(dirs[i])
        start = sketch.point(*(corners[i] + cut[i] * u))
        end = sketch.point(*(corners[(i + 1) % n] - cut[(i + 1) % n] * u))
        sides.append(sketch.line(start, end))
        ends.append((start, end))
    for i in range(n):
        end_prev, start_next = ends[i - 1][1], ends[i][0]
        turn = _signed_turn(dirs[i - 1], dirs[i])
        if cut[i] == 0.0:
            sketch.add("coincident", end_prev, start_next)
        else:
            radius = cut[i] / math.tan(abs(turn) / 2)
            p, q = np.array(sketch.points[end_prev]), np.array(sketch.points[start_next])
            centre = p + math.copysign(radius, turn) * _left_normal(_unit(dirs[i - 1]))
            # A fillet turns as the outline does: a concave one runs from q to p.
            first, second = (p, q) if turn > 0 else (q, p)
            arc, _, start, end = _arc_through(sketch, centre, first, second)
            touch_p, touch_q = (start, end) if turn > 0 else (end, start)
            sketch.add("coincident", end_prev, touch_p)
            sketch.add("coincident", touch_q, start_next)
            _tangent(sketch, rng, sides[i - 1], arc, touch_p == start)
            _tangent(sketch, rng, sides[i], arc, touch_q == start)
            sketch.hint_measured("arc_radius", arc)
        sketch.turns.append((ends[i - 1][0], ends[i][0], ends[i][1]))
    return sides, ends


def _side_intent(sketch, sides, ends):
    """Horizontal or vertical sides, each side's length, and the angle
    between neighbours where a side is slanted."""
    size = sketch.size()
    for i, (a, b) in enumerate(ends):
        dx, dy = np.array(sketch.points[b]) - np.array(sketch.points[a])
        if abs(dy) < 1e-9 * size:
            sketch.hint("horizontal", a, b)
        elif abs(dx) < 1e-9 * size:
            sketch.hint("vertical", a, b)
        else:
            sketch.hint_measured("angle", sides[i - 1], sides[i])
        sketch.hint_measured("distance", a, b)


def _shifted(corners, rng):
    offset = rng.uniform(-30, 30, size=2)
    return [(x + offset[0], y + offset[1]) for x, y in corners]


def l_bracket(rng):
    """An L-shaped bracket, some corners filleted (the inner one concave),
    with a hole in each leg."""
    s = RoughSketch()
    w, h = rng.uniform(50, 120), rng.uniform(50, 120)
    a, b = rng.uniform(0.25, 0.5) * h, rng.uniform(0.25, 0.5) * w
    corners = _shifted([(0, 0), (w, 0), (w, a), (b, a), (b, h), (0, h)], rng)
    trims = [rng.uniform(0.1, 0.3) if rng.random() < 0.5 else 0.0 for _ in corners]
    sides, ends = _outline(s, rng, corners, trims)
    _side_intent(s, sides, ends)
    x0, y0 = corners[0]
    r = 0.2 * min(a, b, w - b, h - a)
    holes = []
    for centre_xy, walls in ((((b + w) / 2 + x0, a / 2 + y0), (sides[0], sides[1])),
                             ((b / 2 + x0, (a + h) / 2 + y0), (sides[5], sides[4]))):
        centre = s.point(*centre_xy)
        holes.append(s.circle(centre, r))
        for wall in walls:
            s.hint_measured("point_line_distance", centre, wall)
    s.hint("equal_radius", holes[0], holes[1])
    s.hint_measured("circle_radius", holes[0])
    return s, ends[0][0]


def _mirror_pairs(sketch, points, axis_x):
    """Pairs (right, left) of the given points that mirror each other in the
    vertical line x = axis_x."""
    xy = np.array([sketch.points[p] for p in points])
    scale = np.abs(xy).max()
    pairs = []
    for i, p in enumerate(points):
        if xy[i, 0] <= axis_x + 1e-9 * scale:
            continue
        mirror = np.array([2 * axis_x - xy[i, 0], xy[i, 1]])
        j = int(np.argmin(np.hypot(*(xy - mirror).T)))
        if np.hypot(*(xy[j] - mirror)) < 1e-9 * scale:
            pairs.append((p, points[j]))
    return pairs


def t_bracket(rng):
    """An upside-down T, symmetric about a vertical construction line that
    runs from the base's midpoint to the stem's, with mirrored fillets and a
    hole on the axis."""
    s = RoughSketch()
    w, h = rng.uniform(60, 140), rng.uniform(50, 120)
    a, t = rng.uniform(0.2, 0.4) * h, rng.uniform(0.25, 0.5) * w
    x0, y0 = rng.uniform(-30, 30, size=2)
    half = [(w / 2, 0), (w / 2, a), (t / 2, a), (t / 2, h)]
    right = [(x0 + x, y0 + y) for x, y in half]
    left = [(2 * x0 - x, y) for x, y in reversed(right)]
    corners = [(2 * x0 - right[0][0], right[0][1])] + right + left[:-1]
    # Mirrored corners get mirrored fillets: corner k mirrors corner (1 - k) mod n.
    n = len(corners)
    trims = [0.0] * n
    for k in range(1, n // 2 + 1):
        trims[k] = trims[(1 - k) % n] = rng.uniform(0.1, 0.3) if rng.random() < 0.5 else 0.0
    sides, ends = _outline(s, rng, corners, trims)
    foot, head = s.point(x0, y0), s.point(x0, y0 + h)
    axis = s.line(foot, head)
    s.hint("midpoint", foot, *ends[0])
    s.hint("midpoint", head, *ends[4])
    s.hint("vertical", foot, head)
    outline_points = [p for pair in ends for p in pair]
    for p_out, p_in in _mirror_pairs(s, outline_points, x0):
        s.hint("symmetry", p_out, p_in, axis)
    for i in range(1, n // 2):
        s.hint("equal_length", sides[i], sides[n - i])
    _side_intent(s, sides, ends)
    centre = s.point(x0, y0 + 0.5 * (a + h))
    hole = s.circle(centre, 0.25 * t)
    s.hint("point_on_line", centre, axis)
    s.hint_measured("distance", centre, head)
    s.hint_measured("circle_radius", hole)
    return s, foot


def _plate(sketch, rng, w, h, filleted):
    """A rectangular plate with horizontal and vertical sides."""
    corners = _shifted([(0, 0), (w, 0), (w, h), (0, h)], rng)
    trims = [rng.uniform(0.05, 0.15) if filleted else 0.0 for _ in corners]
    sides, ends = _outline(sketch, rng, corners, trims)
    _side_intent(sketch, sides, ends)
    return sides, ends, np.array(corners[0])


def slotted_plate(rng):
    """A plate with an obround slot at a dimensioned slant: two parallel
    lines of equal length joined by tangent half-circle arcs, whose centres
    are the ends of a construction axis."""
    s = RoughSketch()
    w, h = rng.uniform(60, 140), rng.uniform(40, 100)
    sides, ends, origin = _plate(s, rng, w, h, rng.random() < 0.5)
    theta = math.radians(rng.uniform(10, 60)) * rng.choice([-1, 1])
    length, r = rng.uniform(0.25, 0.4) * w, rng.uniform(0.06, 0.12) * h
    e = np.array([math.cos(theta), math.sin(theta)])
    n = _left_normal(e)
    mid = origin + np.array([0.5 * w, 0.5 * h])
    a_xy, b_xy = mid - 0.5 * length * e, mid + 0.5 * length * e
    bottom = s.line(s.point(*(a_xy - r * n)), s.point(*(b_xy - r * n)))
    top = s.line(s.point(*(b_xy + r * n)), s.point(*(a_xy + r * n)))
    right, b_centre, rs, re = _arc_through(s, b_xy, b_xy - r * n, b_xy + r * n)
    left, a_centre, ls, le = _arc_through(s, a_xy, a_xy + r * n, a_xy - r * n)
    (b0, b1), (t0, t1) = s.lines[bottom], s.lines[top]
    for p, q in ((b1, rs), (re, t0), (t1, ls), (le, b0)):
        s.add("coincident", p, q)
    _tangent(s, rng, bottom, right, True)
    _tangent(s, rng, top, right, False)
    _tangent(s, rng, top, left, True)
    _tangent(s, rng, bottom, left, False)
    s.turns.append((b0, b1, t0))
    axis = s.line(a_centre, b_centre)
    s.hint("parallel", bottom, top)
    s.hint("equal_length", bottom, top)
    s.hint_measured("arc_radius", right)
    s.hint_measured("arc_radius", left)
    s.hint_measured("distance", a_centre, b_centre)
    s.hint_measured("angle", sides[0], axis)
    s.hint_measured("point_line_distance", a_centre, sides[0])
    s.hint_measured("point_line_distance", a_centre, sides[3])
    return s, ends[0][0]


def keyhole_plate(rng):
    """A plate with a keyhole: a large arc cut by a narrow slot whose end is
    a tangent half circle, symmetric about the construction line through the
    two arc centres."""
    s = RoughSketch()
    w, h = rng.uniform(60, 120), rng.uniform(70, 140)
    sides, ends, origin = _plate(s, rng, w, h, rng.random() < 0.3)
    big = rng.uniform(0.12, 0.2) * w
    half = rng.uniform(0.35, 0.65) * big
    drop = rng.uniform(1.5, 3.0) * big
    c_xy = origin + np.array([0.5 * w, 0.7 * h])
    d_xy = c_xy - np.array([0.0, drop])
    rise = math.sqrt(big * big - half * half)
    right_top, left_top = c_xy + [half, -rise], c_xy + [-half, -rise]
    right_bottom, left_bottom = d_xy + [half, 0.0], d_xy + [-half, 0.0]
    right_line = s.line(s.point(*right_bottom), s.point(*right_top))
    left_line = s.line(s.point(*left_top), s.point(*left_bottom))
    head, c, hs, he = _arc_through(s, c_xy, right_top, left_top)
    cap, d, cs, ce = _arc_through(s, d_xy, left_bottom, right_bottom)
    (r0, r1), (l0, l1) = s.lines[right_line], s.lines[left_line]
    for p, q in ((r1, hs), (he, l0), (l1, cs), (ce, r0)):
        s.add("coincident", p, q)
    _tangent(s, rng, left_line, cap, True)
    _tangent(s, rng, right_line, cap, False)
    axis = s.line(d, c)
    s.hint("vertical", r0, r1)
    s.hint("parallel", right_line, left_line)
    s.hint("vertical", d, c)
    s.hint("symmetry", r1, l0, axis)
    s.hint_measured("arc_radius", head)
    s.hint_measured("arc_radius", cap)
    s.hint_measured("distance", c, d)
    s.hint_measured("point_line_distance", c, sides[2])
    s.hint_measured("point_line_distance", c, sides[3])
    return s, ends[0][0]


def _upright_sides(sketch, base, right, left):
    """The intent of a plate standing on a horizontal base between two
    vertical sides (each given by its end points), and the corners at the
    base's ends, which turn as drawn."""
    (b0, b1), (r0, r1), (l0, l1) = base, right, left
    sketch.turns.append((b0, b1, r1))
    sketch.turns.append((l0, b0, b1))
    sketch.hint("horizontal", b0, b1)
    sketch.hint("vertical", r0, r1)
    sketch.hint("vertical", l0, l1)


def d_profile(rng):
    """A D-shaped profile: a straight base and sides, a large top arc, and
    fillets tangent to the sides and inside the top arc."""
    s = RoughSketch()
    w = rng.uniform(50, 120)
    big = 0.5 * w * rng.uniform(1.15, 2.0)
    rho = 0.5 * w * rng.uniform(0.1, 0.3)
    wall = rng.uniform(0.3, 0.7) * w
    reach = math.sqrt((big - rho) ** 2 - (0.5 * w - rho) ** 2)
    m_xy = np.array([0.5 * w, wall - reach])
    f_right, f_left = np.array([w - rho, wall]), np.array([rho, wall])
    t_right = m_xy + big * _unit(f_right - m_xy)
    t_left = m_xy + big * _unit(f_left - m_xy)
    base = s.line(s.point(0.0, 0.0), s.point(w, 0.0))
    right_side = s.line(s.point(w, 0.0), s.point(w, wall))
    left_side = s.line(s.point(0.0, wall), s.point(0.0, 0.0))
    right_fillet, _, rf0, rf1 = _arc_through(s, f_right, (w, wall), t_right)
    top, m, t0, t1 = _arc_through(s, m_xy, t_right, t_left)
    left_fillet, _, lf0, lf1 = _arc_through(s, f_left, t_left, (0.0, wall))
    (b0, b1), (r0, r1), (l0, l1) = s.lines[base], s.lines[right_side], s.lines[left_side]
    for p, q in ((b1, r0), (r1, rf0), (rf1, t0), (t1, lf0), (lf1, l0), (l1, b0)):
        s.add("coincident", p, q)
    _tangent(s, rng, right_side, right_fillet, True)
    _tangent(s, rng, left_side, left_fillet, False)
    s.add("arc_arc_tangent_internal", right_fillet, top)
    s.add("arc_arc_tangent_internal", left_fillet, top)
    _upright_sides(s, (b0, b1), (r0, r1), (l0, l1))
    s.hint("equal_length", right_side, left_side)
    s.hint_measured("distance", b0, b1)
    s.hint_measured("distance", r0, r1)
    s.hint_measured("arc_radius", top)
    s.hint_measured("arc_radius", right_fillet)
    s.hint_measured("arc_radius", left_fillet)
    s.hint_measured("point_line_distance", m, base)
    return s, b0


def wave_plate(rng):
    """A plate whose top is an S-curve: a convex arc and a concave one,
    tangent to each other where they meet."""
    s = RoughSketch()
    w = rng.uniform(60, 140)
    x_join = w * rng.uniform(0.35, 0.65)
    bend_right, bend_left = (math.radians(rng.uniform(30, 70)) for _ in range(2))
    r_right = (w - x_join) / math.sin(bend_right)
    r_left = x_join / math.sin(bend_left)
    height = w * rng.uniform(0.4, 0.9) + r_right * (1 - math.cos(bend_right))
    join = np.array([x_join, height])
    c_right, c_left = join - [0.0, r_right], join + [0.0, r_left]
    p_right = np.array([w, height - r_right * (1 - math.cos(bend_right))])
    p_left = np.array([0.0, height + r_left * (1 - math.cos(bend_left))])
    base = s.line(s.point(0.0, 0.0), s.point(w, 0.0))
    right_side = s.line(s.point(w, 0.0), s.point(*p_right))
    left_side = s.line(s.point(*p_left), s.point(0.0, 0.0))
    bump, _, u0, u1 = _arc_through(s, c_right, p_right, join)
    dip, _, v0, v1 = _arc_through(s, c_left, p_left, join)
    (b0, b1), (r0, r1), (l0, l1) = s.lines[base], s.lines[right_side], s.lines[left_side]
    for p, q in ((b1, r0), (r1, u0), (u1, v1), (v0, l0), (l1, b0)):
        s.add("coincident", p, q)
    s.add("arc_arc_tangent", bump, dip)
    _upright_sides(s, (b0, b1), (r0, r1), (l0, l1))
    s.hint_measured("distance", b0, b1)
    s.hint_measured("distance", r0, r1)
    s.hint_measured("distance", l0, l1)
    s.hint_measured("arc_radius", bump)
    s.hint_measured("arc_radius", dip)
    return s, b0


def lever(rng):
    """A lever: a large and a small round end joined by two lines tangent to
    both, a hole at each end whose centre is snapped to the end's centre."""
    s = RoughSketch()
    length = rng.uniform(60, 140)
    r_big, r_small = length * rng.uniform(0.2, 0.3), length * rng.uniform(0.1, 0.18)
    theta = rng.uniform(-math.pi, math.pi)
    e = np.array([math.cos(theta), math.sin(theta)])
    c1_xy = rng.uniform(-30, 30, size=2)
    c2_xy = c1_xy + length * e
    tilt = math.asin((r_big - r_small) / length)
    up = math.cos(tilt) * _left_normal(e) + math.sin(tilt) * e
    down = -math.cos(tilt) * _left_normal(e) + math.sin(tilt) * e
    lower = s.line(s.point(*(c1_xy + r_big * down)), s.point(*(c2_xy + r_small * down)))
    upper = s.line(s.point(*(c2_xy + r_small * up)), s.point(*(c1_xy + r_big * up)))
    small_end, c2, se0, se1 = _arc_through(s, c2_xy, c2_xy + r_small * down, c2_xy + r_small * up)
    big_end, c1, be0, be1 = _arc_through(s, c1_xy, c1_xy + r_big * up, c1_xy + r_big * down)
    (lo0, lo1), (up0, up1) = s.lines[lower], s.lines[upper]
    for p, q in ((lo1, se0), (se1, up0), (up1, be0), (be1, lo0)):
        s.add("coincident", p, q)
    _tangent(s, rng, lower, small_end, True)
    _tangent(s, rng, upper, small_end, False)
    _tangent(s, rng, upper, big_end, True)
    _tangent(s, rng, lower, big_end, False)
    s.turns.append((lo0, lo1, up0))
    s.line(c1, c2)  # the construction axis
    s.hint_measured("distance", c1, c2)
    s.hint_measured("arc_radius", big_end)
    s.hint_measured("arc_radius", small_end)
    holes = []
    for centre, end_radius in ((c1, r_big), (c2, r_small)):
        pin = s.point(*s.points[centre])
        holes.append(s.circle(pin, 0.5 * end_radius))
        s.add("coincident", pin, centre)
        s.hint_measured("circle_radius", holes[-1])
    if abs(e[1]) < 0.3:
        s.hint("horizontal", c1, c2)
    return s, c1


def equation_rows(sketch):
    """Each constraint's rows of the Jacobian of its signed errors at the
    design, by central differences over the free coordinates and radii."""
    points = np.array(sketch.points, dtype=float)
    circle_r = np.array([c[1] for c in sketch.circles])
    arc_r = np.array([a[3] for a in sketch.arcs])
    size = sketch.size()
    step = 1e-6 * size
    unknowns = [("p", i, k) for i, f in enumerate(sketch.fixed) if not f for k in (0, 1)]
    unknowns += [("c", i, 0) for i in range(len(circle_r))] + [("a", i, 0) for i in range(len(arc_r))]

    def errors_at(which, index, coordinate, delta):
        p, c, a = points.copy(), circle_r.copy(), arc_r.copy()
        {"p": p[index], "c": c[index:index + 1], "a": a[index:index + 1]}[which][coordinate] += delta
        return [np.array(signed_errors(sketch, con, p, c, a, size)) for con in sketch.constraints]

    columns = [[(hi - lo) / (2 * step) for hi, lo in zip(errors_at(*u, step), errors_at(*u, -step))]
               for u in unknowns]
    return [np.array([col[k] for col in columns]).T for k in range(len(sketch.constraints))], \
        len(unknowns)


def freedom(rows, kept, unknowns):
    """The degrees of freedom that the constraints at positions `kept` leave,
    by the numerical rank of their rows."""
    kept = list(kept)
    if not kept:
        return unknowns
    stacked = np.vstack([rows[k] for k in kept])
    singular = np.linalg.svd(stacked, compute_uv=False)
    return unknowns - int(np.sum(singular > 1e-7 * singular[0]))


def _thinned(sketch, rng, free_share):
    """Drops intent constraints in random order until at least `free_share`
    of the freedom that the joins alone leave is free again."""
    rows, unknowns = equation_rows(sketch)
    joins = [k for k in range(len(sketch.constraints)) if k not in sketch.intent]
    loose = freedom(rows, joins, unknowns)
    kept = list(range(len(sketch.constraints)))
    for k in rng.permutation(sketch.intent):
        if freedom(rows, kept, unknowns) >= free_share * loose:
            break
        kept.remove(int(k))
    sketch.constraints = [sketch.constraints[k] for k in kept]
    sketch.intent = [i for i, k in enumerate(kept) if k in set(sketch.intent)]
    return sketch


REALISTIC_SHAPES = (l_bracket, t_bracket, slotted_plate, keyhole_plate, d_profile,
                    wave_plate, lever)


def realistic_part(rng, shape=None):
    """A part as people draw one: a profile from REALISTIC_SHAPES (or the one
    named), anchored at one point or floating free, with 30-80 % of its
    freedom left free."""
    make = shape or REALISTIC_SHAPES[int(rng.integers(0, len(REALISTIC_SHAPES)))]
    sketch, anchor = make(rng)
    if rng.random() < 0.6:
        _anchor(sketch, anchor)
    return _thinned(sketch, rng, rng.uniform(0.3, 0.8))


FAMILIES = {
    "filleted plate": filleted_plate,
    "chamfered rectangle": chamfered_rectangle,
    "filleted polygon": filleted_polygon,
    "under-constrained": under_constrained,
    "counterbored plate": counterbored_plate,
    "realistic part": realistic_part,
}
JITTERS = (0.01, 0.05, 0.10)
