"""Parts drawn with known intent, for the DXF and inference tests.

Each part is a sketch whose geometry is computed exactly here, with the
relations a designer would state (`relations`) and the dimensions that make it
rigid (`dimensions`, including a fixed datum). Parts come in any size, at any
rotation and position, so inference is tested on more than one family of
coordinates.
"""

from __future__ import annotations

import math
import random
from dataclasses import dataclass, field

import ovralis


@dataclass
class Part:
    name: str
    sketch: ovralis.System = field(default_factory=ovralis.System)
    relations: list = field(default_factory=list)
    dimensions: list = field(default_factory=list)

    def point(self, x, y):
        return self.sketch.add_point(x, y)


class Placement:
    """Rotation by `angle` then translation by (dx, dy), applied to local coordinates."""

    def __init__(self, angle=0.0, dx=0.0, dy=0.0):
        self.c, self.s, self.dx, self.dy = math.cos(angle), math.sin(angle), dx, dy
        self.axis_aligned = angle == 0.0

    def __call__(self, x, y):
        return (self.c * x - self.s * y + self.dx, self.s * x + self.c * y + self.dy)


def _fix_edge(part, a, b, direction_known):
    """Fixes a datum edge: a where it is, and b where it is too, or only its
    distance from a when a relation already gives the edge's direction."""
    x, y = part.sketch.get_point(a)
    part.dimensions.append(ovralis.fixed_point_constraint(a, x, y))
    x, y = part.sketch.get_point(b)
    if direction_known:
        part.dimensions.append(ovralis.distance_constraint(a, b, math.dist(part.sketch.get_point(a), (x, y))))
    else:
        part.dimensions.append(ovralis.fixed_point_constraint(b, x, y))


def _lines_relations(part, lines, place, horizontal, vertical):
    """H/V when the part is axis-aligned, parallel and perpendicular otherwise."""
    s = part.sketch
    if place.axis_aligned:
        for line in horizontal:
            part.relations.append(ovralis.horizontal_constraint(*s.get_line(line)))
        for line in vertical:
            part.relations.append(ovralis.vertical_constraint(*s.get_line(line)))
    else:
        for group in (horizontal, vertical):
            for line in group[1:]:
                part.relations.append(ovralis.parallel_constraint(group[0], line))
        if horizontal and vertical:
            part.relations.append(ovralis.perpendicular_constraint(horizontal[0], vertical[0]))


def filleted_plate(width, height, radius, place):
    """A rectangle whose four corners are rounded by tangent arcs of one radius."""
    part = Part("filleted plate")
    w, h, r = width, height, radius
    corners = [(r, r, 180, 270), (w - r, r, 270, 360), (w - r, h - r, 0, 90), (r, h - r, 90, 180)]
    centres, starts, ends = [], [], []
    for cx, cy, a0, a1 in corners:
        centres.append(part.point(*place(cx, cy)))
        starts.append(part.point(*place(cx + r * math.cos(math.radians(a0)), cy + r * math.sin(math.radians(a0)))))
        ends.append(part.point(*place(cx + r * math.cos(math.radians(a1)), cy + r * math.sin(math.radians(a1)))))
    s = part.sketch
    arcs = [s.add_arc(centres[k], starts[k], ends[k], r) for k in range(4)]
    # Side k runs from the end of arc k to the start of arc k + 1.
    lines = [s.add_line(ends[k], starts[(k + 1) % 4]) for k in range(4)]
    for k in range(4):
        part.relations += [ovralis.point_on_arc_constraint(starts[k], arcs[k]),
                           ovralis.point_on_arc_constraint(ends[k], arcs[k]),
                           ovralis.line_arc_end_tangent_constraint(lines[k], arcs[k]),
                           ovralis.line_arc_start_tangent_constraint(lines[k - 1], arcs[k])]
    _lines_relations(part, lines, place, [lines[0], lines[2]], [lines[1], lines[3]])
    _fix_edge(part, ends[0], starts[1], place.axis_aligned)
    part.dimensions += [ovralis.arc_radius_constraint(a, r) for a in arcs]
    part.dimensions.append(ovralis.distance_constraint(ends[1], starts[2], h - 2 * r))
    return part


def slot(length, radius, place):
    """Two parallel lines joined by two half circles tangent to both."""
    part = Part("slot")
    c1, c2 = part.point(*place(0, 0)), part.point(*place(length, 0))
    a = part.point(*place(0, -radius))
    b = part.point(*place(length, -radius))
    c = part.point(*place(length, radius))
    d = part.point(*place(0, radius))
    s = part.sketch
    bottom, top = s.add_line(a, b), s.add_line(c, d)
    right = s.add_arc(c2, b, c, radius)
    left = s.add_arc(c1, d, a, radius)
    part.relations += [ovralis.point_on_arc_constraint(b, right), ovralis.point_on_arc_constraint(c, right),
                       ovralis.point_on_arc_constraint(d, left), ovralis.point_on_arc_constraint(a, left),
                       ovralis.line_arc_start_tangent_constraint(bottom, right),
                       ovralis.line_arc_end_tangent_constraint(top, right),
                       ovralis.line_arc_start_tangent_constraint(top, left),
                       ovralis.line_arc_end_tangent_constraint(bottom, left)]
    _lines_relations(part, [bottom], place, [bottom], [])
    _fix_edge(part, a, b, place.axis_aligned)
    part.dimensions.append(ovralis.arc_radius_constraint(right, radius))
    part.dimensions.append(ovralis.arc_radius_constraint(left, radius))
    return part


def bolt_circle(pitch, outer, hole, count, place):
    """An outer circle and `count` equal holes on a concentric pitch circle."""
    part = Part("bolt circle")
    s = part.sketch
    centre = part.point(*place(0, 0))
    rim = s.add_circle(centre, outer)
    pitch_circle = s.add_circle(centre, pitch)
    holes, hole_centres = [], []
    for k in range(count):
        angle = 2 * math.pi * k / count
        hole_centres.append(part.point(*place(pitch * math.cos(angle), pitch * math.sin(angle))))
        holes.append(s.add_circle(hole_centres[-1], hole))
    part.relations += [ovralis.point_on_circle_constraint(p, pitch_circle) for p in hole_centres]
    part.relations += [ovralis.equal_radius_constraint(holes[0], h) for h in holes[1:]]
    _fix_edge(part, centre, hole_centres[0], False)
    part.dimensions += [ovralis.circle_radius_constraint(rim, outer), ovralis.circle_radius_constraint(holes[0], hole)]
    for k in range(1, count):
        part.dimensions.append(ovralis.distance_constraint(hole_centres[k - 1], hole_centres[k],
                                                           2 * pitch * math.sin(math.pi / count)))
    return part


def chamfered_rectangle(width, height, chamfer, place):
    """A rectangle with its four corners cut at 45 degrees by equal chamfers."""
    part = Part("chamfered rectangle")
    w, h, c = width, height, chamfer
    outline = [(c, 0), (w - c, 0), (w, c), (w, h - c), (w - c, h), (c, h), (0, h - c), (0, c)]
    points = [part.point(*place(x, y)) for x, y in outline]
    s = part.sketch
    lines = [s.add_line(points[k], points[(k + 1) % 8]) for k in range(8)]
    sides, chamfers = lines[0::2], lines[1::2]
    _lines_relations(part, sides, place, [sides[0], sides[2]], [sides[1], sides[3]])
    part.relations += [ovralis.equal_length_constraint(chamfers[0], ch) for ch in chamfers[1:]]
    part.relations += [ovralis.perpendicular_constraint(chamfers[k], chamfers[k + 1]) for k in range(3)]
    _fix_edge(part, points[0], points[1], place.axis_aligned)
    part.dimensions += [ovralis.distance_constraint(points[2], points[3], h - 2 * c),
                        ovralis.distance_constraint(points[1], points[2], c * math.sqrt(2)),
                        ovralis.angle_constraint(sides[0], chamfers[0], 45.0)]
    return part


def symmetric_bracket(base, top, height, hole, place):
    """A trapezoid symmetric about a centre line drawn through it, with a hole on the line."""
    part = Part("symmetric bracket")
    s = part.sketch
    outline = [(-base / 2, 0), (base / 2, 0), (top / 2, height), (-top / 2, height)]
    points = [part.point(*place(x, y)) for x, y in outline]
    lines = [s.add_line(points[k], points[(k + 1) % 4]) for k in range(4)]
    axis_low, axis_high = part.point(*place(0, 0)), part.point(*place(0, height))
    axis = s.add_line(axis_low, axis_high)
    hole_centre = part.point(*place(0, height / 2))
    s.add_circle(hole_centre, hole)
    part.relations += [ovralis.symmetry_constraint(points[0], points[1], axis),
                       ovralis.symmetry_constraint(points[3], points[2], axis),
                       ovralis.point_on_line_constraint(axis_low, lines[0]),
                       ovralis.point_on_line_constraint(axis_high, lines[2]),
                       ovralis.point_on_line_constraint(hole_centre, axis)]
    _lines_relations(part, [axis], place, [], [axis])
    _fix_edge(part, points[0], points[1], place.axis_aligned)
    part.dimensions += [ovralis.distance_constraint(points[2], points[3], top),
                        ovralis.point_line_distance_constraint(points[3], lines[0], height),
                        ovralis.distance_constraint(axis_low, hole_centre, height / 2),
                        ovralis.circle_radius_constraint(0, hole)]
    return part


def random_parts(seed):
    """One part of each family with sizes, rotation and position drawn from `seed`."""
    rng = random.Random(seed)
    scale = 10 ** rng.uniform(-1, 3)
    angle = 0.0 if seed % 2 == 0 else rng.uniform(0.1, 1.4)
    place = Placement(angle, rng.uniform(-5, 5) * scale, rng.uniform(-5, 5) * scale)
    u = lambda low, high: rng.uniform(low, high) * scale  # noqa: E731
    return [
        filleted_plate(u(4, 6), u(2, 3), u(0.3, 0.6), place),
        slot(u(3, 5), u(0.5, 1), place),
        bolt_circle(u(2, 3), u(3.5, 4), u(0.2, 0.4), rng.randint(3, 8), place),
        chamfered_rectangle(u(4, 6), u(2, 3), u(0.3, 0.6), place),
        symmetric_bracket(u(4, 6), u(1.5, 3), u(2, 3), u(0.2, 0.4), place),
    ]
