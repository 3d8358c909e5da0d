"""Generated sketches with one conflicting dimension, as a CAD user makes them.

Each family draws a consistent, over-dimensioned part the way people
dimension parts (rectangles with a diagonal or both widths dimensioned, grids
of cells with every row dimensioned, plates with holes placed from several
edges, stepped profiles with their overall sizes as well as every step), adds
its constraints in a seeded random order, then multiplies one dimension that
takes part in a redundancy by 0.8-0.95 or 1.05-1.2, as a user edits a value.
The sketch starts from the consistent drawing, with every free point jittered
by `jitter` of the part's size, as a rough drawing is.

    conflict_case(family, seed) -> Case(system, changed, factor)

`system` does not solve; `changed` is the position of the changed constraint.

The family "part" (not in FAMILIES, which the tests run) takes the realistic
parts of rough_sketches.py (filleted plates with slots and bolt circles,
chamfered rectangles, filleted polygons), adds one more distance between two
of their points, as a user over-dimensions a part, and changes one of their
dimensions; its starts are those parts' own rough drawings.
"""

from __future__ import annotations

import math
import random
import re
from dataclasses import dataclass

import numpy as np

import ovralis
import rough_sketches

FAMILIES = ("rectangle", "grid", "mixed", "profile")
PARTS = ("filleted plate", "chamfered rectangle", "filleted polygon")

# The real field that sizes each dimensioned kind.
DIMENSION_FIELDS = ("d", "deg", "r", "len")


@dataclass
class Case:
    system: ovralis.System
    changed: int
    factor: float


class Drawing:
    """Points, lines and circles at their true places, and constraints kept
    aside (with whether they are dimensions) until the order is shuffled."""

    def __init__(self, rng: random.Random):
        self.rng = rng
        self.system = ovralis.System()
        self.points: list[tuple[float, float]] = []
        self.fixed: set[int] = set()
        self.constraints: list[ovralis.Constraint] = []

    def point(self, x: float, y: float, fixed: bool = False) -> int:
        self.points.append((x, y))
        if fixed:
            self.fixed.add(len(self.points) - 1)
        return self.system.add_point(x, y, fixed=fixed)

    def line(self, p: int, q: int) -> int:
        return self.system.add_line(p, q)

    def circle(self, center: int, radius: float) -> int:
        return self.system.add_circle(center, radius)

    def add(self, constraint: ovralis.Constraint) -> None:
        self.constraints.append(constraint)

    def distance(self, p: int, q: int) -> None:
        self.add(ovralis.distance_constraint(p, q, math.dist(self.points[p], self.points[q])))

    def finish(self, jitter: float) -> ovralis.System:
        """Adds the constraints in a shuffled order and jitters the free points."""
        self.rng.shuffle(self.constraints)
        for c in self.constraints:
            self.system.add_constraint(c)
        xs = [x for x, _ in self.points]
        ys = [y for _, y in self.points]
        size = max(max(xs) - min(xs), max(ys) - min(ys))
        for i, (x, y) in enumerate(self.points):
            if i not in self.fixed:
                self.system.set_point(i, x + self.rng.uniform(-1, 1) * jitter * size,
                                      y + self.rng.uniform(-1, 1) * jitter * size)
        return self.system


def box(d: Drawing, x0: float, y0: float, w: float, h: float, fixed: bool) -> list[int]:
    """A rectangle held by horizontals and verticals: its corners, counter-clockwise."""
    p = [d.point(x0, y0, fixed), d.point(x0 + w, y0), d.point(x0 + w, y0 + h), d.point(x0, y0 + h)]
    lines = [d.line(p[i], p[(i + 1) % 4]) for i in range(4)]
    d.add(ovralis.horizontal_constraint(p[0], p[1]))
    d.add(ovralis.vertical_constraint(p[1], p[2]))
    d.add(ovralis.horizontal_constraint(p[2], p[3]))
    d.add(ovralis.vertical_constraint(p[3], p[0]))
    return p + lines


def rectangle(d: Drawing) -> None:
    rng = d.rng
    w, h = rng.uniform(2, 10), rng.uniform(1, 6)
    p0, p1, p2, p3, base, right, top, left = box(d, rng.uniform(-5, 5), rng.uniform(-5, 5), w, h, True)
    d.distance(p0, p1)
    d.distance(p1, p2)
    extras = [lambda: d.distance(p0, p2), lambda: d.distance(p3, p2), lambda: d.distance(p3, p0),
              lambda: d.add(ovralis.perpendicular_constraint(base, right)),
              lambda: d.add(ovralis.equal_length_constraint(base, top)),
              lambda: d.distance(p1, p3)]
    for extra in rng.sample(extras, rng.randint(1, 3)):
        extra()


def grid(d: Drawing) -> None:
    """Cells in rows and columns; the widths are dimensioned in some rows beyond
    the first and the heights in some columns beyond the first."""
    rng = d.rng
    columns, rows = rng.randint(2, 5), rng.randint(2, 5)
    widths = [rng.uniform(1, 3) for _ in range(columns)]
    heights = [rng.uniform(1, 3) for _ in range(rows)]
    xs = [sum(widths[:i]) for i in range(columns + 1)]
    ys = [sum(heights[:j]) for j in range(rows + 1)]
    at = {(i, j): d.point(xs[i], ys[j], fixed=(i, j) == (0, 0))
          for j in range(rows + 1) for i in range(columns + 1)}
    for j in range(rows + 1):
        for i in range(columns + 1):
            if i < columns:
                d.line(at[i, j], at[i + 1, j])
                d.add(ovralis.horizontal_constraint(at[i, j], at[i + 1, j]))
            if j < rows:
                d.line(at[i, j], at[i, j + 1])
                d.add(ovralis.vertical_constraint(at[i, j], at[i, j + 1]))
    for j in [0] + [j for j in range(1, rows + 1) if rng.random() < 0.4]:
        for i in range(columns):
            d.distance(at[i, j], at[i + 1, j])
    for i in [0] + [i for i in range(1, columns + 1) if rng.random() < 0.4]:
        for j in range(rows):
            d.distance(at[i, j], at[i, j + 1])


def mixed(d: Drawing) -> None:
    """A plate with a hole placed from two edges and a slanted brace; the hole
    is also placed from a third edge, the brace by its angle as well as its length."""
    rng = d.rng
    w, h = rng.uniform(4, 10), rng.uniform(3, 8)
    p0, p1, p2, p3, base, right, top, left = box(d, 0.0, 0.0, w, h, True)
    d.distance(p0, p1)
    d.distance(p1, p2)
    cx, cy, r = rng.uniform(0.3, 0.7) * w, rng.uniform(0.3, 0.7) * h, rng.uniform(0.05, 0.2) * min(w, h)
    center = d.point(cx, cy)
    hole = d.circle(center, r)
    d.add(ovralis.point_line_distance_constraint(center, left, cx))
    d.add(ovralis.point_line_distance_constraint(center, base, cy))
    d.add(ovralis.circle_radius_constraint(hole, r))
    brace = d.line(p0, p2)
    extras = [lambda: d.add(ovralis.point_line_distance_constraint(center, right, w - cx)),
              lambda: d.add(ovralis.point_line_distance_constraint(center, top, h - cy)),
              lambda: d.add(ovralis.angle_constraint(base, brace, math.degrees(math.atan2(h, w)))),
              lambda: d.distance(p0, p2)]
    for extra in rng.sample(extras, rng.randint(1, 3)):
        extra()


def profile(d: Drawing) -> None:
    """A stepped profile (a staircase of `steps` treads on a base): every tread
    and riser dimensioned, and the overall length and height too."""
    rng = d.rng
    steps = rng.randint(2, 5)
    treads = [rng.uniform(1, 4) for _ in range(steps)]
    risers = [rng.uniform(0.5, 2) for _ in range(steps)]
    outline = [(0.0, 0.0)]
    x = y = 0.0
    for tread, riser in zip(treads, risers):
        y += riser
        outline.append((x, y))
        x += tread
        outline.append((x, y))
    outline.append((x, 0.0))
    p = [d.point(px, py, fixed=k == 0) for k, (px, py) in enumerate(outline)]
    for k in range(len(p)):
        a, b = p[k], p[(k + 1) % len(p)]
        d.line(a, b)
        vertical = outline[k][0] == outline[(k + 1) % len(p)][0]
        d.add(ovralis.vertical_constraint(a, b) if vertical else ovralis.horizontal_constraint(a, b))
        if k < len(p) - 2:
            d.distance(a, b)
    d.distance(p[0], p[-1])
    d.distance(p[-2], p[-1])


BUILDERS = {"rectangle": rectangle, "grid": grid, "mixed": mixed, "profile": profile}


def constructor_name(kind: str) -> str:
    return re.sub(r"(?<!^)(?=[A-Z])", "_", kind).lower() + "_constraint"


def with_dimension(c: ovralis.Constraint, factor: float) -> ovralis.Constraint:
    fields = c.fields()
    name = next(f for f in DIMENSION_FIELDS if f in fields)
    fields[name] *= factor
    return getattr(ovralis, constructor_name(c.kind()))(*fields.values())


def dimensions(s: ovralis.System) -> list[int]:
    return [k for k in range(s.num_constraints())
            if any(f in s.get_constraint(k).fields() for f in DIMENSION_FIELDS)]


def over_dimensioned_part(rng: random.Random, jitter: float) -> ovralis.System | None:
    """A realistic part, roughly drawn, with a distance between two of its
    points that its own dimensions already fix; None when they coincide."""
    generator = np.random.default_rng(rng.randrange(2**32))
    design = rough_sketches.FAMILIES[rng.choice(PARTS)](generator)
    p, q = rng.sample(range(len(design.points)), 2)
    length = math.dist(design.points[p], design.points[q])
    if length < 1e-3:
        return None
    s = rough_sketches.jittered(design, generator, jitter).to_system()
    s.add_distance_constraint(p, q, length)
    return s


def conflict_case(family: str, seed: int, jitter: float = 0.02) -> Case | None:
    """The sketch of `family` and `seed` with one dimension changed, or None when
    the changed dimension takes part in no redundancy (the sketch still solves)."""
    rng = random.Random(f"{family} {seed}")
    if family == "part":
        s = over_dimensioned_part(rng, jitter)
        if s is None or not s.copy().solve(max_iter=500).converged:
            return None
    else:
        d = Drawing(rng)
        BUILDERS[family](d)
        s = d.finish(jitter)
    changed = rng.choice(dimensions(s))
    factor = 1.0 + rng.choice((-1, 1)) * rng.uniform(0.05, 0.2)
    s.set_constraint(changed, with_dimension(s.get_constraint(changed), factor))
    if s.copy().solve(max_iter=500).converged:
        return None
    return Case(s, changed, factor)


def conflict_cases(family: str, count: int, jitter: float = 0.02) -> list[Case]:
    """The first `count` cases of a family that do not solve."""
    cases = []
    seed = 0
    while len(cases) < count:
        case = conflict_case(family, seed, jitter)
        seed += 1
        if case is not None:
            cases.append(case)
    return cases
