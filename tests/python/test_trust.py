"""A converged solve means the geometry holds, to full precision.

Every sketch here has a solution worked out in the test from its construction,
and the solved points are compared with it, not with the module's residuals.
"""

import math

import pytest

import ovralis


def readme_sketch():
    s = ovralis.System()
    corner = s.add_point(0, 0, fixed=True)
    tip = s.add_point(3, 0.5)
    s.add_line(corner, tip)
    s.add_horizontal_constraint(corner, tip)
    s.add_distance_constraint(corner, tip, 5.0)
    return s, tip


def test_readme_example_is_exact():
    s, tip = readme_sketch()
    result = s.solve()
    assert result.converged
    assert s.get_point(tip) == (5.0, 0.0)
    assert result.max_residual == 0.0
    assert result.iterations >= 1  # the refinement is counted


def edge_and_ray(x, y):
    """A fixed edge from the origin along x, and a ray from the origin to a free point at (x, y)."""
    s = ovralis.System()
    o = s.add_point(0, 0, fixed=True)
    edge = s.add_line(o, s.add_point(10, 0, fixed=True))
    p = s.add_point(x, y)
    return s, o, p, edge, s.add_line(o, p)


def small_angle():
    """A ray of length 10 at 0.06 degrees to a fixed horizontal edge."""
    s, o, p, edge, ray = edge_and_ray(9.9, 0.03)
    s.add_angle_constraint(edge, ray, 0.06)
    s.add_distance_constraint(o, p, 10.0)
    theta = math.radians(0.06)
    return s, {p: (10 * math.cos(theta), 10 * math.sin(theta))}


def tiny_tangent_circle():
    """A circle of radius 1e-4 resting on a fixed line, its centre kept at x = 5."""
    s = ovralis.System()
    a = s.add_point(0, 0, fixed=True)
    b = s.add_point(10, 0, fixed=True)
    above = s.add_point(5, 5, fixed=True)
    centre = s.add_point(5.0002, 3e-4)
    line = s.add_line(a, b)
    circle = s.add_circle(centre, 2e-4)
    s.add_vertical_constraint(above, centre)
    s.add_circle_radius_constraint(circle, 1e-4)
    s.add_line_circle_tangent_constraint(line, circle)
    return s, {centre: (5.0, 1e-4)}


def tiny_fillet():
    """A corner of a 10 x 10 square rounded by an arc of radius 1e-4."""
    r = 1e-4
    s = ovralis.System()
    bottom_right = s.add_point(10, 0, fixed=True)
    top_left = s.add_point(0, 10, fixed=True)
    start = s.add_point(10, 10 - 2 * r)
    centre = s.add_point(10 - 3 * r, 10 - 2 * r)
    end = s.add_point(10 - 2 * r, 10)
    right = s.add_line(bottom_right, start)
    top = s.add_line(end, top_left)
    fillet = s.add_arc(centre, start, end, radius=2 * r)
    s.add_vertical_constraint(bottom_right, start)
    s.add_horizontal_constraint(end, top_left)
    for point in (start, end):
        s.add_constraint(ovralis.point_on_arc_constraint(point, fillet))
    s.add_constraint(ovralis.arc_radius_constraint(fillet, r))
    s.add_constraint(ovralis.line_arc_start_tangent_constraint(right, fillet))
    s.add_constraint(ovralis.line_arc_end_tangent_constraint(top, fillet))
    return s, {start: (10, 10 - r), centre: (10 - r, 10 - r), end: (10 - r, 10)}


def far_intersection():
    """Two fixed lines 1e-3 off parallel meet about a thousand units away."""
    s = ovralis.System()
    a = s.add_point(0, 0, fixed=True)
    b = s.add_point(1, 0, fixed=True)
    c = s.add_point(0, 1, fixed=True)
    d = s.add_point(1, 1 - 1e-3, fixed=True)
    p = s.add_point(990, 4)
    s.add_line_line_intersection_constraint(p, s.add_line(a, b), s.add_line(c, d))
    drop = 1.0 - (1 - 1e-3)  # the slope of line cd, exactly as stored
    return s, {p: (1.0 / drop, 0.0)}


@pytest.mark.parametrize(
    "build", [small_angle, tiny_tangent_circle, tiny_fillet, far_intersection], ids=lambda f: f.__name__
)
def test_converged_sketches_are_exact(build):
    s, exact = build()
    result = s.solve()
    assert result.converged
    size = max(math.hypot(*point) for point in exact.values())
    for index, (x, y) in exact.items():
        assert math.dist(s.get_point(index), (x, y)) <= 1e-12 * size, index


def collapsible(kinds):
    """A free segment from a fixed point asked to meet a fixed edge under two
    relations that cannot both hold; only a zero-length segment satisfies
    their equations."""
    s, _, _, edge, segment = edge_and_ray(3, 2)
    for kind in kinds:
        if kind == "parallel":
            s.add_parallel_constraint(edge, segment)
        elif kind == "perpendicular":
            s.add_perpendicular_constraint(edge, segment)
        else:
            s.add_angle_constraint(edge, segment, kind)
    return s


@pytest.mark.parametrize(
    "kinds", [("parallel", "perpendicular"), ("perpendicular", 30.0), ("parallel", 45.0)], ids=str
)
def test_collapsing_a_line_is_not_convergence(kinds):
    s = collapsible(kinds)
    assert not s.solve().converged


def test_tighter_tol_is_met_in_geometry():
    """tol bounds the geometric error: a 3-4-5 triangle meets 1e-12 of its scale."""
    s = ovralis.System()
    o = s.add_point(0, 0, fixed=True)
    a = s.add_point(3.4, 0.2)
    b = s.add_point(0.3, 3.7)
    s.add_horizontal_constraint(o, a)
    s.add_distance_constraint(o, a, 3.0)
    s.add_distance_constraint(o, b, 4.0)
    s.add_distance_constraint(a, b, 5.0)
    assert s.solve(tol=1e-12).converged
    assert s.get_point(a) == pytest.approx((3.0, 0.0), abs=1e-14)
    assert s.get_point(b) == pytest.approx((0.0, 4.0), abs=1e-14)
