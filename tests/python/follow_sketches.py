"""Mirror-prone sketches for the continuation tests and the benchmark: each has
a dimension to edit and a solution on one of several branches."""

import math
import re

import ovralis


def triangle(ac=3.0, ab=5.0, bc=4.0, below=False):
    """A fixed, B on the x axis at ab, apex C above (or below) AB; constraint 2 is AC."""
    s = ovralis.System()
    s.add_point(0.0, 0.0, fixed=True)
    s.add_point(ab, 0.0, fixed=True)
    apex = triangle_apex(ab, ac, bc, below)
    s.add_point(apex[0] + 0.01, apex[1] - 0.02)
    s.add_distance_constraint(0, 1, ab)
    s.add_distance_constraint(1, 2, bc)
    s.add_distance_constraint(0, 2, ac)
    assert s.solve().converged
    return s


def triangle_apex(ab, ac, bc, below=False):
    """Where C lies given its distances to A = (0, 0) and B = (ab, 0)."""
    x = (ab * ab + ac * ac - bc * bc) / (2.0 * ab)
    y = math.sqrt(max(ac * ac - x * x, 0.0))
    return (x, -y if below else y)


def four_bar(crank_deg=40.0):
    """Ground pivots A (0, 0) and D (4, 0), crank AB of 1.2 at an angle to AD
    (constraint 1), coupler BC of 3.5 and rocker CD of 2.5, C above the ground."""
    s = ovralis.System()
    s.add_point(0.0, 0.0, fixed=True)
    s.add_point(4.0, 0.0, fixed=True)
    a = math.radians(crank_deg)
    s.add_point(1.2 * math.cos(a), 1.2 * math.sin(a))
    s.add_point(3.2, 2.3)
    ground = s.add_line(0, 1)
    crank = s.add_line(0, 2)
    s.add_distance_constraint(0, 2, 1.2)
    s.add_angle_constraint(ground, crank, crank_deg)
    s.add_distance_constraint(2, 3, 3.5)
    s.add_distance_constraint(3, 1, 2.5)
    assert s.solve().converged
    return s


def wedge_circle(radius=1.0):
    """Two fixed lines from the origin at 0 and 50 degrees and a circle tangent to
    both inside the wedge; constraint 2 is the radius."""
    s = ovralis.System()
    s.add_point(0.0, 0.0, fixed=True)
    s.add_point(10.0, 0.0, fixed=True)
    s.add_point(10.0 * math.cos(math.radians(50)), 10.0 * math.sin(math.radians(50)), fixed=True)
    centre = s.add_point(2.0, 0.9)
    l1 = s.add_line(0, 1)
    l2 = s.add_line(0, 2)
    c = s.add_circle(centre, radius * 1.1)
    s.add_line_circle_tangent_constraint(l1, c)
    s.add_line_circle_tangent_constraint(l2, c)
    s.add_circle_radius_constraint(c, radius)
    assert s.solve().converged
    return s


def fillet(angle_deg=60.0):
    """A corner O (fixed) with one fixed leg OA along x and a free leg OB of length 6
    at an angle to it (constraint 1), and a fillet circle of radius 1 tangent to
    both legs inside the corner."""
    s = ovralis.System()
    s.add_point(0.0, 0.0, fixed=True)
    s.add_point(8.0, 0.0, fixed=True)
    a = math.radians(angle_deg)
    s.add_point(6.0 * math.cos(a), 6.0 * math.sin(a))
    centre = s.add_point(1.7, 0.9)
    l1 = s.add_line(0, 1)
    l2 = s.add_line(0, 2)
    s.add_distance_constraint(0, 2, 6.0)
    s.add_angle_constraint(l1, l2, angle_deg)
    c = s.add_circle(centre, 1.0, fixed=True)
    s.add_line_circle_tangent_constraint(l1, c)
    s.add_line_circle_tangent_constraint(l2, c)
    assert s.solve().converged
    return s


def two_circles(r2=2.0):
    """A point on two circles, centred at (0, 0) with radius 2 and at (3, 0) with
    radius r2 (constraint 3), at their upper intersection."""
    s = ovralis.System()
    s.add_point(0.0, 0.0, fixed=True)
    s.add_point(3.0, 0.0, fixed=True)
    s.add_point(1.4, 1.3)
    c1 = s.add_circle(0, 2.0)
    c2 = s.add_circle(1, r2)
    s.add_point_on_circle_constraint(2, c1)
    s.add_point_on_circle_constraint(2, c2)
    s.add_circle_radius_constraint(c1, 2.0)
    s.add_circle_radius_constraint(c2, r2)
    assert s.solve().converged
    return s


def set_dimension(system, index, value):
    """Change the dimension of constraint `index` to `value`, whatever its kind."""
    c = system.get_constraint(index)
    fields = c.fields()
    name = next(n for n in ("d", "deg", "r", "len") if n in fields)
    snake = re.sub(r"(?<!^)(?=[A-Z])", "_", c.kind()).lower()
    constructor = getattr(ovralis, snake + "_constraint")
    system.set_constraint(index, constructor(**{**fields, name: value}))


def reference_continuation(system, index, start, end, steps=1000):
    """The edit made in many tiny steps, each solved from the last: the branch's truth."""
    for k in range(1, steps + 1):
        set_dimension(system, index, start + (end - start) * k / steps)
        assert system.solve().converged
    return system
