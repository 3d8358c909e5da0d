"""Answers that hold only by collapsing are never reported converged, and
the recovery after Levenberg–Marquardt gives up finds the intersection of
nearly parallel lines far away. Geometry is measured here."""

import math

import pytest

import ovralis


def concurrent_tangents(start_radius):
    """A free circle tangent to three lines through one point: only a circle
    of radius zero at that point touches all three."""
    s = ovralis.System()
    lines = []
    for angle in (0.0, 60.0, 120.0):
        t = math.radians(angle)
        a = s.add_point(-5 * math.cos(t), -5 * math.sin(t), fixed=True)
        b = s.add_point(5 * math.cos(t), 5 * math.sin(t), fixed=True)
        lines.append(s.add_line(a, b))
    centre = s.add_point(1.5, 2.5)
    circle = s.add_circle(centre, start_radius)
    for line in lines:
        s.add_line_circle_tangent_constraint(line, circle)
    return s, circle


def squeezed_arc():
    """An arc whose two ends sit on it and on a fixed line through its free
    centre, with tangents at both ends along that same line: only a radius
    of zero satisfies the tangencies."""
    s = ovralis.System()
    a = s.add_point(0.0, 0.0, fixed=True)
    b = s.add_point(10.0, 0.0, fixed=True)
    base = s.add_line(a, b)
    centre = s.add_point(5.0, 0.3)
    start, end = s.add_point(6.0, 0.2), s.add_point(4.0, 0.4)
    arc = s.add_arc(centre, start, end, 1.0)
    for p in (start, end):
        s.add_constraint(ovralis.point_on_arc_constraint(p, arc))
        s.add_point_on_line_constraint(p, base)
    s.add_point_on_line_constraint(centre, base)
    s.add_constraint(ovralis.line_arc_start_tangent_constraint(base, arc))
    return s


@pytest.mark.parametrize("start_radius", [0.3, 1.0, 2.5])
def test_a_circle_collapsed_onto_concurrent_lines_is_not_converged(start_radius):
    system, circle = concurrent_tangents(start_radius)
    result = system.solve()
    radius = abs(system.get_circle(circle)[1])
    assert not (result.converged and radius < 1e-6)
    assert not result.converged


def test_an_arc_squeezed_to_its_centre_is_not_converged():
    system = squeezed_arc()
    result = system.solve()
    assert not result.converged


def test_a_failed_solve_prefers_an_ending_that_collapses_nothing():
    system, circle = concurrent_tangents(1.0)
    system.solve()
    assert abs(system.get_circle(circle)[1]) > 1e-6


def test_a_collapse_the_constraints_ask_for_converges():
    s = ovralis.System()
    a = s.add_point(0.0, 0.0, fixed=True)
    b = s.add_point(1.0, 0.5)
    s.add_line(a, b)
    s.add_coincident_constraint(a, b)
    assert s.solve().converged
    assert s.get_point(b) == (0.0, 0.0)


def far_intersection(degrees, drawn_off):
    """A unit-sized part: a horizontal base and a side meeting it at a tiny
    angle; a construction point on both lines lies far away. The point is
    drawn `drawn_off` (a share of its distance) from where it belongs."""
    s = ovralis.System()
    theta = math.radians(degrees)
    a = s.add_point(0.0, 0.0, fixed=True)
    b = s.add_point(10.3, 0.4)
    c = s.add_point(0.2, 5.1)
    d = s.add_point(10.0 * math.cos(theta) + 0.3, 5.0 - 10.0 * math.sin(theta) - 0.2)
    base, slant = s.add_line(a, b), s.add_line(c, d)
    s.add_horizontal_constraint(a, b)
    s.add_distance_constraint(a, b, 10.0)
    s.add_vertical_constraint(a, c)
    s.add_distance_constraint(a, c, 5.0)
    s.add_distance_constraint(c, d, 10.0)
    s.add_angle_constraint(base, slant, degrees)
    meet = 5.0 / math.tan(theta)
    far = s.add_point(meet * (1 + drawn_off), meet * drawn_off)
    s.add_point_on_line_constraint(far, base)
    s.add_point_on_line_constraint(far, slant)
    return s, far, meet


@pytest.mark.parametrize("degrees", [0.12, 0.25, 0.4])
@pytest.mark.parametrize("drawn_off", [0.02, 0.08])
def test_the_far_intersection_is_found(degrees, drawn_off):
    system, far, meet = far_intersection(degrees, drawn_off)
    assert system.solve().converged
    x, y = system.get_point(far)
    assert x == pytest.approx(meet, rel=1e-8)
    assert y == pytest.approx(0.0, abs=1e-8 * meet)
