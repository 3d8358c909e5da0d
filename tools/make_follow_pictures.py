"""Writes the README's pictures of an edit made by a one-shot solve and by follow:
docs/follow_before.svg (the filleted corner as drawn), docs/follow_solve.svg (its
angle changed from 60 to 120 degrees and solved) and docs/follow_follow.svg (the same
edit followed).

Run with the module importable:  PYTHONPATH=build-dev/python python tools/make_follow_pictures.py
"""

import math
import pathlib

import ovralis

DOCS = pathlib.Path(__file__).resolve().parent.parent / "docs"
SIZE = dict(width=260, height=220, margin=24)


def filleted_corner():
    """A fixed leg OA, a free leg OB of length 6 at 60 degrees to it (constraint 1),
    and a fillet circle of radius 1 tangent to both legs inside the corner."""
    s = ovralis.System()
    s.add_point(0.0, 0.0, fixed=True)
    s.add_point(8.0, 0.0, fixed=True)
    s.add_point(6.0 * math.cos(math.radians(60)), 6.0 * math.sin(math.radians(60)))
    centre = s.add_point(1.7, 0.9)
    l1, l2 = s.add_line(0, 1), s.add_line(0, 2)
    s.add_distance_constraint(0, 2, 6.0)
    s.add_angle_constraint(l1, l2, 60.0)
    c = s.add_circle(centre, 1.0, fixed=True)
    s.add_line_circle_tangent_constraint(l1, c)
    s.add_line_circle_tangent_constraint(l2, c)
    assert s.solve().converged
    return s


def edited(s):
    t = s.copy()
    t.set_constraint(1, ovralis.angle_constraint(0, 1, 120.0))
    return t


def main():
    before = filleted_corner()
    solved, followed = edited(before), edited(before)
    assert solved.solve().converged and followed.follow().converged
    for name, sketch in [("before", before), ("solve", solved), ("follow", followed)]:
        (DOCS / f"follow_{name}.svg").write_text(sketch.to_svg(**SIZE))


if __name__ == "__main__":
    main()
