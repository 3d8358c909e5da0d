"""Sketches for the live view's tests, with the geometry the tests check against."""

import math

import ovralis

PIVOT, ELBOW, TIP = 0, 1, 2
BAR = 1.0        # pivot-elbow and elbow-tip
SPAN = 1.5       # pivot-tip: the triangle can only turn about the pivot


def triangle():
    """A triangle hinged at a fixed pivot: one degree of freedom, a turn about the pivot.
    Constraint 0 is pivot-elbow, 1 elbow-tip, 2 pivot-tip."""
    s = ovralis.System()
    s.add_point(0.0, 0.0, fixed=True)
    height = math.sqrt(BAR**2 - (SPAN / 2) ** 2)
    s.add_point(SPAN / 2, height)
    s.add_point(SPAN, 0.0)
    s.add_line(PIVOT, ELBOW)
    s.add_line(ELBOW, TIP)
    s.add_line(PIVOT, TIP)
    s.add_distance_constraint(PIVOT, ELBOW, BAR)
    s.add_distance_constraint(ELBOW, TIP, BAR)
    s.add_distance_constraint(PIVOT, TIP, SPAN)
    return s


def linkage():
    """Two bars hanging from a fixed pivot, the tip free within their reach (constraints 0, 1)."""
    s = ovralis.System()
    s.add_point(0.0, 0.0, fixed=True)
    s.add_point(0.6, 0.8)
    s.add_point(1.6, 0.8)
    s.add_line(PIVOT, ELBOW)
    s.add_line(ELBOW, TIP)
    s.add_distance_constraint(PIVOT, ELBOW, BAR)
    s.add_distance_constraint(ELBOW, TIP, BAR)
    return s


def elbow_for(tip, side):
    """Where the elbow must be when the tip is at `tip`: a bar's length from both the pivot
    and the tip, on the given side (+1 left, -1 right) of the pivot-tip line."""
    reach = math.hypot(*tip)
    rise = math.sqrt(BAR**2 - (reach / 2) ** 2)
    return (tip[0] / 2 - side * rise * tip[1] / reach, tip[1] / 2 + side * rise * tip[0] / reach)


def side_of_elbow(s):
    (tx, ty), (ex, ey) = s.get_point(TIP), s.get_point(ELBOW)
    return 1 if tx * ey - ty * ex > 0 else -1


def conflicting_triangle():
    """The triangle with a second, different pivot-tip distance (constraint 3) after a solve."""
    s = triangle()
    s.add_distance_constraint(PIVOT, TIP, SPAN + 0.2)
    s.solve()
    return s


def constraints_hold(s, tol=1e-7):
    """Every distance constraint holds in the sketch."""
    for k in range(s.num_constraints()):
        c = s.get_constraint(k)
        if abs(math.dist(s.get_point(c.p1), s.get_point(c.p2)) - c.d) > tol:
            return False
    return True


def bracket():
    """An L-shaped bracket dimensioned all round, with a hole whose centre is still free:
    two degrees of freedom. Constraint k's marks must all be in view."""
    s = ovralis.System()
    corners = [(0, 0), (8, 0), (8, 2), (3, 2), (3, 6), (0, 6)]
    p = [s.add_point(x, y, fixed=(i == 0)) for i, (x, y) in enumerate(corners)]
    for i in range(6):
        s.add_line(p[i], p[(i + 1) % 6])
    for i in range(6):
        (s.add_horizontal_constraint if i % 2 == 0 else s.add_vertical_constraint)(p[i], p[(i + 1) % 6])
    s.add_distance_constraint(p[0], p[1], 8.0)
    s.add_distance_constraint(p[1], p[2], 2.0)
    s.add_distance_constraint(p[4], p[5], 3.0)
    s.add_distance_constraint(p[5], p[0], 6.0)
    s.add_circle(s.add_point(1.5, 4.2), 0.8)
    s.add_circle_radius_constraint(0, 0.8)
    return s


HOLE = 6       # the bracket's hole centre: free in x and y
ARC_START = 9  # the mechanism's arc start: free to turn about the arm's tip


def mechanism():
    """The bracket with a hinged arm at its right end: an angle and a length on the arm,
    a point held off it square to it and an arc at its tip, so the picture has every
    kind of mark (dimensions, angle arcs, radius leaders, glyphs, anchors)."""
    s = bracket()
    tip = s.add_point(9.7, 3.3)
    arm = s.add_line(2, tip)
    s.add_angle_constraint(0, arm, 50.0)
    s.add_distance_constraint(2, tip, 2.0)
    off = s.add_point(10.5, 2.0)
    s.add_point_line_distance_constraint(off, arm, 0.6)
    s.add_perpendicular_constraint(arm, s.add_line(tip, off))
    s.add_arc(tip, s.add_point(10.4, 3.3), s.add_point(9.7, 4.0), radius=0.7)
    s.solve()
    return s
