"""DIMENSION entities for a sketch's dimensional constraints, placed as a CAD
program places them: beside the geometry, on the side away from the
drawing's centre, with text and arrows sized to the drawing.

Distances and point-to-line distances become linear dimensions (along the
axis when the measured points line up with one, aligned otherwise), radii of
circles and arcs radius dimensions, angles between lines angular dimensions.
"""

from __future__ import annotations

import math
from typing import Any

# Offsets and text heights as fractions of the drawing's size.
_OFFSET = 0.06
_TEXT = 0.015


class _Placement:
    def __init__(self, sketch: dict[str, Any]) -> None:
        self.xy = [(p["x"], p["y"]) for p in sketch["points"]]
        xs = [p[0] for p in self.xy] or [0.0]
        ys = [p[1] for p in self.xy] or [0.0]
        self.centre = (0.5 * (min(xs) + max(xs)), 0.5 * (min(ys) + max(ys)))
        self.size = math.hypot(max(xs) - min(xs), max(ys) - min(ys)) or 1.0
        height = _TEXT * self.size
        self.style = {"dimtxt": height, "dimasz": height, "dimexe": 0.5 * height, "dimexo": 0.5 * height,
                      "dimgap": 0.3 * height}

    def outward(self, x: float, y: float, nx: float, ny: float) -> tuple[float, float]:
        """The unit normal (nx, ny) or its opposite, whichever points away from the centre."""
        if (x - self.centre[0]) * nx + (y - self.centre[1]) * ny < 0.0:
            return -nx, -ny
        return nx, ny


def _linear(msp: Any, place: _Placement, a: tuple[float, float], b: tuple[float, float]) -> None:
    dx, dy = b[0] - a[0], b[1] - a[1]
    length = math.hypot(dx, dy)
    if length == 0.0:
        return
    tiny = 1e-9 * place.size
    angle = 0.0 if abs(dy) <= tiny else 90.0 if abs(dx) <= tiny else math.degrees(math.atan2(dy, dx))
    ux, uy = math.cos(math.radians(angle)), math.sin(math.radians(angle))
    mx, my = 0.5 * (a[0] + b[0]), 0.5 * (a[1] + b[1])
    nx, ny = place.outward(mx, my, -uy, ux)
    offset = _OFFSET * place.size
    base = (mx + offset * nx, my + offset * ny)
    msp.add_linear_dim(base=base, p1=a, p2=b, angle=angle, override=place.style).render()


def _radius(msp: Any, place: _Placement, centre: tuple[float, float], radius: float, angle: float) -> None:
    if radius > 0.0:
        msp.add_radius_dim(center=centre, radius=radius, angle=angle, override=place.style).render()


def _arc_middle(place: _Placement, arc: dict[str, Any]) -> float:
    cx, cy = place.xy[arc["center"]]
    start = math.atan2(place.xy[arc["start"]][1] - cy, place.xy[arc["start"]][0] - cx)
    end = math.atan2(place.xy[arc["end"]][1] - cy, place.xy[arc["end"]][0] - cx)
    return math.degrees(start + 0.5 * ((end - start) % math.tau))


def _angular(msp: Any, place: _Placement, first: tuple[Any, Any], second: tuple[Any, Any]) -> None:
    (a, b), (c, d) = first, second
    r = (b[0] - a[0], b[1] - a[1])
    s = (d[0] - c[0], d[1] - c[1])
    denominator = r[0] * s[1] - r[1] * s[0]
    if abs(denominator) <= 1e-12 * math.hypot(*r) * math.hypot(*s):
        return  # parallel lines have no angle to draw
    t = ((c[0] - a[0]) * s[1] - (c[1] - a[1]) * s[0]) / denominator
    corner = (a[0] + t * r[0], a[1] + t * r[1])
    # The arc sits between the two lines' far ends, on the bisector.
    far1 = b if math.dist(b, corner) >= math.dist(a, corner) else a
    far2 = d if math.dist(d, corner) >= math.dist(c, corner) else c
    u1 = _unit(far1[0] - corner[0], far1[1] - corner[1])
    u2 = _unit(far2[0] - corner[0], far2[1] - corner[1])
    bisector = _unit(u1[0] + u2[0], u1[1] + u2[1])
    reach = min(math.dist(far1, corner), math.dist(far2, corner), _OFFSET * 4 * place.size)
    base = (corner[0] + 0.6 * reach * bisector[0], corner[1] + 0.6 * reach * bisector[1])
    msp.add_angular_dim_2l(base=base, line1=(a, b), line2=(c, d), override=place.style).render()


def _unit(x: float, y: float) -> tuple[float, float]:
    n = math.hypot(x, y)
    return (x / n, y / n) if n > 0.0 else (1.0, 0.0)


def _foot(point: tuple[float, float], a: tuple[float, float], b: tuple[float, float]) -> tuple[float, float]:
    dx, dy = b[0] - a[0], b[1] - a[1]
    n = dx * dx + dy * dy
    t = ((point[0] - a[0]) * dx + (point[1] - a[1]) * dy) / n if n > 0.0 else 0.0
    return (a[0] + t * dx, a[1] + t * dy)


def write_dimensions(msp: Any, sketch: dict[str, Any]) -> None:
    place = _Placement(sketch)
    xy = place.xy
    ends = [(xy[line["p1"]], xy[line["p2"]]) for line in sketch["lines"]]
    for constraint in sketch["constraints"]:
        ((kind, fields),) = constraint.items()
        if kind == "Distance":
            _linear(msp, place, xy[fields["p1"]], xy[fields["p2"]])
        elif kind == "PointLineDistance":
            point = xy[fields["point"]]
            _linear(msp, place, point, _foot(point, *ends[fields["line"]]))
        elif kind == "CircleRadius":
            circle = sketch["circles"][fields["circle"]]
            _radius(msp, place, xy[circle["center"]], abs(circle["radius"]), 45.0)
        elif kind == "ArcRadius":
            arc = sketch["arcs"][fields["arc"]]
            _radius(msp, place, xy[arc["center"]], abs(arc["radius"]), _arc_middle(place, arc))
        elif kind == "Angle":
            _angular(msp, place, ends[fields["l1"]], ends[fields["l2"]])
