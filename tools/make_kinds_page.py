"""Writes docs/kinds.md and its pictures docs/kinds/<Kind>.svg, one small solved sketch per
constraint kind, and docs/readme_example.svg, the README's example after its solve.

Run with the module importable:  PYTHONPATH=build-dev/python python tools/make_kinds_page.py
"""

import json
import pathlib

import ovralis

DOCS = pathlib.Path(__file__).resolve().parent.parent / "docs"
SIZE = dict(width=200, height=160, margin=22)

# Shared starting geometry: points 0..5, two lines, two circles, two arcs, an ellipse and an
# arc of ellipse. Each kind names the entities it needs by index.
POINTS = [(0, 0), (4, 0.6), (1, 3), (4.5, 3.4), (2, 1.2), (6, 1.5), (0, 2), (2, 2),
          (8, 0), (9, 1), (7.5, 2.5), (10, 2)]
BASE = {
    "lines": [{"p1": 0, "p2": 1}, {"p1": 2, "p2": 3}],
    "circles": [{"center": 4, "radius": 1.0, "fixed": False}, {"center": 5, "radius": 0.8, "fixed": False}],
    "arcs": [{"center": 6, "start": 7, "end": 2, "radius": 2.0, "fixed": False},
             {"center": 8, "start": 9, "end": 10, "radius": 1.4, "fixed": False}],
    "ellipses": [{"center": 5, "focus1": 11, "radmin": 1.0, "fixed": False}],
    "arcs_of_ellipse": [{"center": 5, "focus1": 11, "radmin": 1.0, "start": 9, "end": 10, "fixed": False}],
}

# Kind, fields, what it asks for, which entity lists the picture shows.
KINDS = [
    ("Distance", {"p1": 0, "p2": 1, "d": 4.0}, "two points lie a given distance apart", "lines"),
    ("Horizontal", {"p1": 0, "p2": 1}, "two points share their y coordinate", "lines"),
    ("Vertical", {"p1": 0, "p2": 2}, "two points share their x coordinate", "lines"),
    ("Coincident", {"p1": 1, "p2": 3}, "two points are one", "lines"),
    ("PointOnLine", {"point": 4, "line": 0}, "a point lies on the infinite line through a line's ends", "lines"),
    ("Parallel", {"l1": 0, "l2": 1}, "two lines run in the same direction", "lines"),
    ("Perpendicular", {"l1": 0, "l2": 1}, "two lines meet at a right angle", "lines"),
    ("Angle", {"l1": 0, "l2": 1, "deg": 30.0}, "the angle from one line to another, in degrees", "lines"),
    ("EqualLength", {"l1": 0, "l2": 1}, "two lines are equally long", "lines"),
    ("FixedPoint", {"point": 1, "x": 4.0, "y": 0.0}, "a point sits at given coordinates", "lines"),
    ("PointOnCircle", {"point": 1, "circle": 0}, "a point lies on a circle", "lines circles"),
    ("LineCircleTangent", {"line": 0, "circle": 0}, "a line touches a circle", "lines circles"),
    ("CircleCircleTangent", {"c1": 0, "c2": 1}, "two circles touch from outside", "circles"),
    ("CircleCircleTangentInternal", {"c1": 0, "c2": 1}, "one circle touches another from inside", "circles"),
    ("AngleBetweenPoints", {"a": 1, "b": 0, "c": 2, "deg": 60.0},
     "the angle at the middle point between the rays to the other two", "lines"),
    ("Midpoint", {"m": 4, "p1": 0, "p2": 1}, "a point is halfway between two others", "lines"),
    ("EqualRadius", {"c1": 0, "c2": 1}, "two circles have the same radius", "circles"),
    ("Concentric", {"c1": 0, "c2": 1}, "two circles share their centre", "circles"),
    ("Symmetry", {"p_out": 4, "p_in": 5, "line": 0}, "two points mirror each other in a line", "lines"),
    ("PointLineDistance", {"point": 2, "line": 0, "d": 2.0}, "a point lies a given distance from a line", "lines"),
    ("LineLineIntersection", {"point": 4, "l1": 0, "l2": 1}, "a point lies on both lines", "lines"),
    ("CircleRadius", {"circle": 0, "r": 1.5}, "a circle has a given radius", "circles"),
    ("PointOnLineAt", {"point": 4, "line": 0, "t": 0.25},
     "a point sits at a given fraction along a line", "lines"),
    ("PointOnArc", {"point": 0, "arc": 0}, "a point lies on an arc's circle", "arcs"),
    ("LineArcTangent", {"line": 0, "arc": 0}, "a line touches an arc's circle", "lines arcs"),
    ("ArcArcTangent", {"a1": 0, "a2": 1}, "two arcs' circles touch from outside", "arcs"),
    ("ArcArcTangentInternal", {"a1": 0, "a2": 1}, "one arc's circle touches another's from inside", "arcs"),
    ("ArcCircleTangent", {"arc": 0, "circle": 1}, "an arc's circle and a circle touch from outside", "arcs circles"),
    ("ArcCircleTangentInternal", {"arc": 0, "circle": 1},
     "an arc's circle and a circle touch from inside", "arcs circles"),
    ("ArcRadius", {"arc": 0, "r": 1.0}, "an arc has a given radius", "arcs"),
    ("ArcSweepAngle", {"arc": 0, "deg": 90.0}, "an arc turns a given angle from start to end", "arcs"),
    ("LineArcStartTangent", {"line": 1, "arc": 0}, "a line runs along the arc's tangent at its start", "lines arcs"),
    ("LineArcEndTangent", {"line": 1, "arc": 0}, "a line runs along the arc's tangent at its end", "lines arcs"),
    ("PointOnEllipse", {"point": 3, "ellipse": 0}, "a point lies on an ellipse", "ellipses"),
    ("EllipseTangentLine", {"line": 1, "ellipse": 0}, "a line touches an ellipse", "lines ellipses"),
    ("EqualMajorAxes", {"e1": 0, "e2": 1}, "two ellipses have the same major axis", "ellipses"),
    ("EqualMinorAxes", {"e1": 0, "e2": 1}, "two ellipses have the same minor axis", "ellipses"),
    ("PointOnArcOfEllipse", {"point": 3, "arc_of_ellipse": 0}, "a point lies on an arc of ellipse's ellipse",
     "arcs_of_ellipse"),
    ("EllipseRadmin", {"ellipse": 0, "r": 0.6}, "an ellipse has a given minor radius", "ellipses"),
    ("C2CDistance", {"c1": 0, "c2": 1, "d": 5.0}, "two circles' centres lie a given distance apart", "circles"),
    ("P2CDistance", {"point": 0, "circle": 0, "d": 1.0}, "a point lies a given distance outside a circle",
     "circles"),
    ("ArcLength", {"arc": 0, "len": 3.0}, "an arc is a given length along its circle", "arcs"),
    ("EqualLineLength", {"l1": 0, "l2": 1}, "two lines are equally long", "lines"),
    ("EllipseFocusDistance", {"ellipse": 0, "d": 2.0}, "an ellipse's foci lie a given distance apart", "ellipses"),
]


def document(kind, fields, shown):
    doc = {"points": [{"x": x, "y": y, "fixed": i == 0} for i, (x, y) in enumerate(POINTS)]}
    for key in ("lines", "circles", "arcs", "ellipses", "arcs_of_ellipse"):
        doc[key] = list(BASE[key]) if key in shown.split() else []
    if kind in ("EqualMajorAxes", "EqualMinorAxes"):
        doc["ellipses"].append({"center": 8, "focus1": 9, "radmin": 0.5, "fixed": False})
    doc["constraints"] = [{kind: fields}]
    return json.dumps(doc)


def readme_example():
    sketch = ovralis.System()
    corner = sketch.add_point(0, 0, fixed=True)
    tip = sketch.add_point(3, 0.5)
    sketch.add_line(corner, tip)
    sketch.add_horizontal_constraint(corner, tip)
    sketch.add_distance_constraint(corner, tip, 5.0)
    sketch.solve()
    return sketch.to_svg(width=360, height=200)


def main():
    pictures = DOCS / "kinds"
    pictures.mkdir(parents=True, exist_ok=True)
    lines = ["# Constraint kinds", "",
             "Every constraint kind, drawn after solving a small sketch that uses it. "
             "Fixed points are squares on an anchor; dimensional kinds carry their dimension, "
             "geometric kinds a glyph.", "",
             "Generated by `tools/make_kinds_page.py`; do not edit by hand.", ""]
    for tag, (kind, fields, description, shown) in enumerate(KINDS):
        sketch = ovralis.System.from_json(document(kind, fields, shown))
        sketch.solve()
        (pictures / f"{kind}.svg").write_text(sketch.to_svg(**SIZE))
        lines += [f"## {tag}. `{kind}`", "", f"{description[0].upper()}{description[1:]}.", "",
                  f"![{kind}](kinds/{kind}.svg)", ""]
    (DOCS / "kinds.md").write_text("\n".join(lines))
    (DOCS / "readme_example.svg").write_text(readme_example())


if __name__ == "__main__":
    main()
