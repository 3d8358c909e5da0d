"""Benchmark sketch families: each is built first at a known solution, then
started from a seeded perturbation of it, at any size in unknowns (2 per free
point, 1 per free radius); the checker judges an answer by geometry computed
here, never by the solver's residuals.

    python bench/families.py DIR [unknowns ...]

writes DIR/<family>-<unknowns>.json (the perturbed start, an ovralis document)
and DIR/<family>-<unknowns>.known.json (the known solution) for every family
at the given sizes (default 10 100 1000).
"""

import argparse
import json
import math
import random
from dataclasses import dataclass, field
from pathlib import Path

# An answer is right when every constraint holds to this fraction of the
# sketch's extent (angles: radians) and no fixed entity moved.
TOLERANCE = 1e-9
# The start moves every free point by up to this much in x and y; every
# feature of every family is a few times larger, so the start picks one
# branch of each two-way choice (a triangle and its mirror image).
NOISE = 0.5
RADIUS_NOISE = 0.05  # relative

# Document field names, in document order, of the kinds the families use.
FIELDS = {
    "Distance": ("p1", "p2", "d"),
    "Horizontal": ("p1", "p2"),
    "Vertical": ("p1", "p2"),
    "Angle": ("l1", "l2", "deg"),
    "CircleCircleTangent": ("c1", "c2"),
    "CircleRadius": ("circle", "r"),
    "PointLineDistance": ("point", "line", "d"),
    "PointOnArc": ("point", "arc"),
    "ArcRadius": ("arc", "r"),
    "LineArcStartTangent": ("line", "arc"),
    "LineArcEndTangent": ("line", "arc"),
}


@dataclass
class Sketch:
    """Entities at the known solution, the constraints, and the perturbed start."""

    family: str
    unique: bool = True  # False: any configuration meeting the constraints is an answer
    points: list = field(default_factory=list)  # [x, y]
    fixed: list = field(default_factory=list)
    lines: list = field(default_factory=list)  # (p1, p2)
    circles: list = field(default_factory=list)  # [center, radius, fixed]
    arcs: list = field(default_factory=list)  # [center, start, end, radius]
    constraints: list = field(default_factory=list)  # (kind, values in FIELDS order)
    start_points: list = field(default_factory=list)
    start_circle_radii: list = field(default_factory=list)
    start_arc_radii: list = field(default_factory=list)

    def point(self, x, y, fixed=False):
        self.points.append([x, y])
        self.fixed.append(fixed)
        return len(self.points) - 1

    def line(self, p1, p2):
        self.lines.append((p1, p2))
        return len(self.lines) - 1

    def circle(self, center, radius, fixed=False):
        self.circles.append([center, radius, fixed])
        return len(self.circles) - 1

    def arc(self, center, start, end, radius):
        self.arcs.append([center, start, end, radius])
        return len(self.arcs) - 1

    def add(self, kind, *values):
        assert len(values) == len(FIELDS[kind]), kind
        self.constraints.append((kind, values))

    def distance(self, p1, p2):
        """A Distance constraint at the pair's known distance."""
        self.add("Distance", p1, p2, math.dist(self.points[p1], self.points[p2]))

    @property
    def unknowns(self):
        return (2 * self.fixed.count(False) + sum(not fixed for _, _, fixed in self.circles)
                + len(self.arcs))

    @property
    def extent(self):
        xs = [x for x, _ in self.points]
        ys = [y for _, y in self.points]
        return max(math.hypot(max(xs) - min(xs), max(ys) - min(ys)), 1.0)

    def known(self):
        return (self.points, [r for _, r, _ in self.circles], [a[3] for a in self.arcs])

    def start(self):
        return self.start_points, self.start_circle_radii, self.start_arc_radii

    def perturb(self, rng, moved=None):
        """Sets the start: free points and free radii nudged; `moved` shifts chosen points further."""
        moved = moved or {}
        self.start_points = []
        for i, ((x, y), fixed) in enumerate(zip(self.points, self.fixed)):
            dx, dy = (0.0, 0.0) if fixed else (rng.uniform(-NOISE, NOISE), rng.uniform(-NOISE, NOISE))
            mx, my = moved.get(i, (0.0, 0.0))
            self.start_points.append([x + dx + mx, y + dy + my])
        self.start_circle_radii = [r if fixed else r * (1 + rng.uniform(-RADIUS_NOISE, RADIUS_NOISE))
                                   for _, r, fixed in self.circles]
        self.start_arc_radii = [a[3] * (1 + rng.uniform(-RADIUS_NOISE, RADIUS_NOISE)) for a in self.arcs]
        return self


# ---- geometry: the checker -------------------------------------------------

def _direction(points, line):
    (ax, ay), (bx, by) = points[line[0]], points[line[1]]
    return bx - ax, by - ay


def _line_distance(points, p, line):
    """Distance of point p from the infinite line through the line's two points."""
    ux, uy = _direction(points, line)
    ax, ay = points[line[0]]
    px, py = points[p]
    return abs(ux * (py - ay) - uy * (px - ax)) / math.hypot(ux, uy)


def _cos_between(u, v):
    return (u[0] * v[0] + u[1] * v[1]) / (math.hypot(*u) * math.hypot(*v))


def constraint_error(sketch, kind, values, points, circle_radii, arc_radii, size):
    """How far one constraint is from holding: lengths over `size`, angles in radians."""
    if kind == "Distance":
        p1, p2, d = values
        return abs(math.dist(points[p1], points[p2]) - d) / size
    if kind in ("Horizontal", "Vertical"):
        axis = 1 if kind == "Horizontal" else 0
        return abs(points[values[0]][axis] - points[values[1]][axis]) / size
    if kind == "Angle":
        l1, l2, deg = values
        u, v = _direction(points, sketch.lines[l1]), _direction(points, sketch.lines[l2])
        between = math.atan2(abs(u[0] * v[1] - u[1] * v[0]), u[0] * v[0] + u[1] * v[1])
        return abs(between - math.radians(deg))
    if kind == "CircleCircleTangent":
        (c1, _, _), (c2, _, _) = sketch.circles[values[0]], sketch.circles[values[1]]
        gap = math.dist(points[c1], points[c2]) - circle_radii[values[0]] - circle_radii[values[1]]
        return abs(gap) / size
    if kind == "CircleRadius":
        return abs(circle_radii[values[0]] - values[1]) / size
    if kind == "ArcRadius":
        return abs(arc_radii[values[0]] - values[1]) / size
    if kind == "PointLineDistance":
        p, line, d = values
        return abs(_line_distance(points, p, sketch.lines[line]) - abs(d)) / size
    if kind == "PointOnArc":
        p, arc = values
        return abs(math.dist(points[p], points[sketch.arcs[arc][0]]) - arc_radii[arc]) / size
    if kind in ("LineArcStartTangent", "LineArcEndTangent"):
        line, arc = values
        center, start, end, _ = sketch.arcs[arc]
        touch = start if kind == "LineArcStartTangent" else end
        radius = (points[touch][0] - points[center][0], points[touch][1] - points[center][1])
        # The line meets the radius at a right angle: its cosine is the angle's error.
        return abs(_cos_between(_direction(points, sketch.lines[line]), radius))
    raise ValueError(f"no geometry for {kind}")


def geometric_error(sketch, points, circle_radii, arc_radii):
    """The worst constraint error of an answer; infinite if a fixed entity moved or a value is not finite."""
    values = [c for p in points for c in p] + list(circle_radii) + list(arc_radii)
    if not all(isinstance(v, float) and math.isfinite(v) for v in values):
        return math.inf
    start_points, start_circle_radii, _ = sketch.start()
    if any(fixed and points[i] != start_points[i] for i, fixed in enumerate(sketch.fixed)):
        return math.inf
    if any(c[2] and circle_radii[i] != start_circle_radii[i] for i, c in enumerate(sketch.circles)):
        return math.inf
    size = sketch.extent
    return max((constraint_error(sketch, kind, v, points, circle_radii, arc_radii, size)
                for kind, v in sketch.constraints), default=0.0)


def distance_from_known(sketch, points):
    """The largest distance of a point from its known place, over the extent (None if not unique)."""
    if not sketch.unique:
        return None
    return max(math.dist(p, q) for p, q in zip(points, sketch.points)) / sketch.extent


def check_system(sketch, system):
    """Geometric error and distance from the known solution of an ovralis System's entities."""
    points = [list(p) for p in system.get_points()]
    error = geometric_error(sketch, points, [r for _, r in system.get_circles()],
                            [a[3] for a in system.get_arcs()])
    return error, distance_from_known(sketch, points)


def check_document(sketch, text):
    """Geometric error and distance from the known solution of a solved document,
    read with the json module, not the solver."""
    document = json.loads(text)
    points = [[p["x"], p["y"]] for p in document["points"]]
    error = geometric_error(sketch, points, [c["radius"] for c in document["circles"]],
                            [a["radius"] for a in document["arcs"]])
    return error, distance_from_known(sketch, points)


# ---- documents and Systems -------------------------------------------------

def to_document(sketch, known=False):
    """The sketch as an ovralis JSON document, at its start or at its known solution."""
    points, circle_radii, arc_radii = sketch.known() if known else sketch.start()
    document = {
        "points": [{"x": x, "y": y, "fixed": f} for (x, y), f in zip(points, sketch.fixed)],
        "lines": [{"p1": a, "p2": b} for a, b in sketch.lines],
        "circles": [{"center": c, "radius": r, "fixed": f}
                    for (c, _, f), r in zip(sketch.circles, circle_radii)],
        "arcs": [{"center": c, "start": s, "end": e, "radius": r, "fixed": False}
                 for (c, s, e, _), r in zip(sketch.arcs, arc_radii)],
        "ellipses": [],
        "arcs_of_ellipse": [],
        "constraints": [{kind: dict(zip(FIELDS[kind], values))} for kind, values in sketch.constraints],
    }
    return json.dumps(document, separators=(",", ":"))


_CONSTRUCTORS = {
    "Distance": "distance_constraint",
    "Horizontal": "horizontal_constraint",
    "Vertical": "vertical_constraint",
    "Angle": "angle_constraint",
    "CircleCircleTangent": "circle_circle_tangent_constraint",
    "CircleRadius": "circle_radius_constraint",
    "PointLineDistance": "point_line_distance_constraint",
    "PointOnArc": "point_on_arc_constraint",
    "ArcRadius": "arc_radius_constraint",
    "LineArcStartTangent": "line_arc_start_tangent_constraint",
    "LineArcEndTangent": "line_arc_end_tangent_constraint",
}


def to_system(sketch):
    """The sketch at its start as an ovralis System built through the API (analytic Jacobian)."""
    import ovralis

    system = ovralis.System()
    points, circle_radii, arc_radii = sketch.start()
    for (x, y), fixed in zip(points, sketch.fixed):
        system.add_point(x, y, fixed)
    for a, b in sketch.lines:
        system.add_line(a, b)
    for (center, _, fixed), radius in zip(sketch.circles, circle_radii):
        system.add_circle(center, radius, fixed)
    for (center, start, end, _), radius in zip(sketch.arcs, arc_radii):
        system.add_arc(center, start, end, radius)
    for kind, values in sketch.constraints:
        system.add_constraint(getattr(ovralis, _CONSTRUCTORS[kind])(*values))
    return system


# ---- the families ----------------------------------------------------------

def strip(unknowns, rng):
    """Equilateral triangles of side 10 along the x axis, the first two points fixed."""
    sketch = Sketch("strip")
    count = max(3, unknowns // 2 + 2)
    for i in range(count):
        sketch.point(5.0 * i, 5.0 * math.sqrt(3) * (i % 2), fixed=i < 2)
    for i in range(2, count):
        sketch.distance(i - 2, i)
        sketch.distance(i - 1, i)
    return sketch.perturb(rng)


def rectangles(unknowns, rng):
    """Separate rectangles in a grid: one fixed corner, sides Horizontal/Vertical, width and height."""
    sketch = Sketch("rectangles")
    count = max(1, round(unknowns / 6))
    columns = math.ceil(math.sqrt(count))
    for k in range(count):
        x, y = 20.0 * (k % columns), 20.0 * (k // columns)
        w, h = rng.uniform(4, 12), rng.uniform(4, 12)
        p = [sketch.point(x, y, fixed=True), sketch.point(x + w, y), sketch.point(x + w, y + h),
             sketch.point(x, y + h)]
        for i in range(4):
            sketch.line(p[i], p[(i + 1) % 4])
        sketch.add("Horizontal", p[0], p[1])
        sketch.add("Vertical", p[1], p[2])
        sketch.add("Horizontal", p[2], p[3])
        sketch.add("Vertical", p[0], p[3])
        sketch.distance(p[0], p[1])
        sketch.distance(p[1], p[2])
    return sketch.perturb(rng)


def dragged_chain(unknowns, rng):
    """A chain of Distance bars fixed at one end, its free end dragged half a bar away.

    Under-constrained: any configuration meeting every bar is an answer.
    """
    sketch = Sketch("dragged chain", unique=False)
    bars = max(1, unknowns // 2)
    x = y = heading = 0.0
    sketch.point(x, y, fixed=True)
    for i in range(1, bars + 1):
        heading += rng.uniform(-0.6, 0.6)
        length = rng.uniform(8, 12)
        x, y = x + length * math.cos(heading), y + length * math.sin(heading)
        sketch.point(x, y)
        sketch.distance(i - 1, i)
    pull = rng.uniform(0, 2 * math.pi)
    return sketch.perturb(rng, moved={bars: (5 * math.cos(pull), 5 * math.sin(pull))})


def _irregular_polygon(rng, corners):
    """Vertices about the origin at irregular angles and radii, the first side along +x,
    every turn between consecutive sides away from 0 and 180 degrees."""
    while True:
        angles = sorted(rng.uniform(0, 2 * math.pi) for _ in range(corners))
        vertices = [(r * math.cos(a), r * math.sin(a))
                    for a, r in zip(angles, (rng.uniform(8, 12) for _ in range(corners)))]
        sides = [(vertices[(i + 1) % corners][0] - vertices[i][0],
                  vertices[(i + 1) % corners][1] - vertices[i][1]) for i in range(corners)]
        turns = [math.degrees(math.acos(max(-1.0, min(1.0, _cos_between(sides[i], sides[i + 1])))))
                 for i in range(corners - 1)]
        if min(turns) > 15 and max(turns) < 165 and min(math.hypot(*s) for s in sides) > 3:
            break
    turn = -math.atan2(sides[0][1], sides[0][0])
    c, s = math.cos(turn), math.sin(turn)
    x0, y0 = vertices[0]
    return [(c * (x - x0) - s * (y - y0), s * (x - x0) + c * (y - y0)) for x, y in vertices]


def polygons(unknowns, rng, corners=8):
    """Irregular polygons: first vertex fixed, first side Horizontal, the open chain of
    sides dimensioned by length and by the Angle between consecutive sides."""
    sketch = Sketch("polygons")
    count = max(1, round(unknowns / (2 * (corners - 1))))
    columns = math.ceil(math.sqrt(count))
    for k in range(count):
        ox, oy = 40.0 * (k % columns), 40.0 * (k // columns)
        v = [sketch.point(ox + x, oy + y, fixed=i == 0)
             for i, (x, y) in enumerate(_irregular_polygon(rng, corners))]
        # Side i runs from vertex i to i + 1; the last, closing side carries no dimension.
        sides = [sketch.line(v[i], v[(i + 1) % corners]) for i in range(corners)]
        sketch.points[v[1]][1] = sketch.points[v[0]][1]  # exactly level, not to rounding
        sketch.add("Horizontal", v[0], v[1])
        for i in range(corners - 1):
            sketch.distance(v[i], v[i + 1])
        for i in range(corners - 2):
            u = _direction(sketch.points, sketch.lines[sides[i]])
            w = _direction(sketch.points, sketch.lines[sides[i + 1]])
            between = math.atan2(abs(u[0] * w[1] - u[1] * w[0]), u[0] * w[0] + u[1] * w[1])
            sketch.add("Angle", sides[i], sides[i + 1], math.degrees(between))
    return sketch.perturb(rng)


def gears(unknowns, rng, tangent=True):
    """A zig-zag train of gears (circles with dimensioned radii), the first fixed.

    Each gear meets the previous one (CircleCircleTangent, or a Distance between
    centres equal to the two radii), the second is level with the first, and
    every later centre is dimensioned from the centre two gears back.
    """
    sketch = Sketch("gears, tangent" if tangent else "gears, centre distance")
    count = max(2, unknowns // 3 + 1)
    radii = [rng.uniform(2, 6) for _ in range(count)]
    x = y = 0.0
    for i, r in enumerate(radii):
        if i > 0:
            heading = 0.0 if i == 1 else (1 if i % 2 else -1) * math.radians(rng.uniform(20, 40))
            reach = radii[i - 1] + r
            x, y = x + reach * math.cos(heading), y + reach * math.sin(heading)
        sketch.circle(sketch.point(x, y, fixed=i == 0), r, fixed=i == 0)
    for i in range(1, count):
        sketch.add("CircleRadius", i, radii[i])
        if tangent:
            sketch.add("CircleCircleTangent", i - 1, i)
        else:
            sketch.add("Distance", i - 1, i, radii[i - 1] + radii[i])
        if i == 1:
            sketch.add("Horizontal", 0, 1)
        else:
            sketch.distance(i - 2, i)
    return sketch.perturb(rng)


def plate(unknowns, rng, dimensioning="edges", plate_first=True):
    """A rectangular plate with four filleted corners and a grid of round holes.

    The corners are arcs whose ends lie on them and on the edges, the edges
    tangent to them there; the bottom-left arc's centre is fixed. Holes are
    dimensioned from the plate's bottom and left edges ("edges"), or from
    their neighbours ("hole to hole": left and lower neighbour, the edge where
    there is none). The plate's points come before or after the holes' centres.
    """
    order = "plate first" if plate_first else "plate last"
    sketch = Sketch(f"plate, {dimensioning}, {order}")
    holes = max(1, (unknowns - 26) // 3)
    columns = math.ceil(math.sqrt(holes))
    rows = math.ceil(holes / columns)
    pitch, fillet = 10.0, 4.0
    width, height = pitch * (columns + 1), pitch * (rows + 1)
    centres = [(pitch * (1 + k % columns) + rng.uniform(-2, 2), pitch * (1 + k // columns) + rng.uniform(-2, 2))
               for k in range(holes)]
    # Per corner: arc centre, arc start (on the edge before it), arc end (on the edge after it).
    corners = [((fillet, fillet), (0.0, fillet), (fillet, 0.0)),
               ((width - fillet, fillet), (width - fillet, 0.0), (width, fillet)),
               ((width - fillet, height - fillet), (width, height - fillet), (width - fillet, height)),
               ((fillet, height - fillet), (fillet, height), (0.0, height - fillet))]

    def add_plate_points():
        return [[sketch.point(*xy, fixed=(k, j) == (0, 0)) for j, xy in enumerate(corner)]
                for k, corner in enumerate(corners)]

    def add_hole_points():
        return [sketch.point(x, y) for x, y in centres]

    if plate_first:
        corner_points, hole_points = add_plate_points(), add_hole_points()
    else:
        hole_points = add_hole_points()
        corner_points = add_plate_points()
    # Edge k runs from corner k's arc end to corner k + 1's arc start: bottom, right, top, left.
    edges = [sketch.line(corner_points[k][2], corner_points[(k + 1) % 4][1]) for k in range(4)]
    bottom, right, top, left = edges
    arcs = [sketch.arc(*corner_points[k], fillet) for k in range(4)]
    for k, (center, start, end) in enumerate(corner_points):
        sketch.add("PointOnArc", start, arcs[k])
        sketch.add("PointOnArc", end, arcs[k])
        sketch.add("ArcRadius", arcs[k], fillet)
        sketch.add("LineArcEndTangent", edges[k], arcs[k])
        sketch.add("LineArcStartTangent", edges[k], arcs[(k + 1) % 4])
    for k, line in enumerate(edges):
        sketch.add("Horizontal" if k % 2 == 0 else "Vertical", *sketch.lines[line])
    sketch.add("PointLineDistance", corner_points[3][2], right, width)
    sketch.add("PointLineDistance", corner_points[0][2], top, height)

    for k, centre in enumerate(hole_points):
        sketch.add("CircleRadius", sketch.circle(centre, rng.uniform(1.5, 3)), sketch.circles[-1][1])
        column, row = k % columns, k // columns
        if dimensioning == "edges" or column == 0:
            sketch.add("PointLineDistance", centre, left, sketch.points[centre][0])
        else:
            sketch.distance(hole_points[k - 1], centre)
        if dimensioning == "edges" or row == 0:
            sketch.add("PointLineDistance", centre, bottom, sketch.points[centre][1])
        else:
            sketch.distance(hole_points[k - columns], centre)
    return sketch.perturb(rng)


FAMILIES = {
    "strip": strip,
    "rectangles": rectangles,
    "dragged chain": dragged_chain,
    "polygons": polygons,
    "gears, tangent": lambda n, rng: gears(n, rng, tangent=True),
    "gears, centre distance": lambda n, rng: gears(n, rng, tangent=False),
    "plate, hole to hole": lambda n, rng: plate(n, rng, "hole to hole"),
    "plate, edges": lambda n, rng: plate(n, rng, "edges"),
    "plate, edges, plate last": lambda n, rng: plate(n, rng, "edges", plate_first=False),
}


def build(family, unknowns, seed=1):
    """One family's sketch near `unknowns` unknowns; its known solution holds to rounding."""
    sketch = FAMILIES[family](unknowns, random.Random(seed))
    error = geometric_error(sketch, *sketch.known())
    assert error <= 1e-12, f"{family}: the known solution is off by {error:g}"
    return sketch


def file_stem(family, unknowns):
    return family.replace(", ", "-").replace(" ", "_") + f"-{unknowns}"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("directory", type=Path)
    parser.add_argument("unknowns", type=int, nargs="*", default=[10, 100, 1000])
    args = parser.parse_args()
    args.directory.mkdir(parents=True, exist_ok=True)
    for family in FAMILIES:
        for unknowns in args.unknowns:
            sketch = build(family, unknowns)
            stem = file_stem(family, sketch.unknowns)
            (args.directory / f"{stem}.json").write_text(to_document(sketch))
            (args.directory / f"{stem}.known.json").write_text(to_document(sketch, known=True))
            print(f"{stem}: {sketch.unknowns} unknowns, {len(sketch.constraints)} constraints")


if __name__ == "__main__":
    main()
