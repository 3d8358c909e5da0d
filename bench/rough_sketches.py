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
            return [min(theta, math.pi - theta)]
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


FAMILIES = {
    "filleted plate": filleted_plate,
    "chamfered rectangle": chamfered_rectangle,
    "filleted polygon": filleted_polygon,
    "under-constrained": under_constrained,
    "counterbored plate": counterbored_plate,
}
JITTERS = (0.01, 0.05, 0.10)
