"""A sketch whose constraints already hold comes out of solve() where it was.

Each sketch is built here at an exact solution; it is solved as it is (byte
for byte unchanged), and again after a rounding-level nudge of every free
value (nothing moves by more than a small multiple of the nudge). Under-,
well- and over-constrained sketches, with free parts the refinement must not
drift along.
"""

import math
import random

import pytest

import ovralis


def free_rectangle():
    """The top edge dimensioned and anchored, the height left free: the bottom
    edge may sit anywhere below or above."""
    s = ovralis.System()
    a, b = s.add_point(0.0, 22.0), s.add_point(40.0, 22.0)
    c, d = s.add_point(40.0, 60.0, fixed=True), s.add_point(0.0, 60.0)
    for p, q in ((a, b), (b, c), (c, d), (d, a)):
        s.add_line(p, q)
    s.add_horizontal_constraint(a, b)
    s.add_horizontal_constraint(c, d)
    s.add_vertical_constraint(b, c)
    s.add_vertical_constraint(d, a)
    s.add_distance_constraint(c, d, 40.0)
    return s


def dimensioned_rectangle():
    """Fully constrained: a corner fixed, two sides dimensioned."""
    s = ovralis.System()
    a, b = s.add_point(0.0, 0.0, fixed=True), s.add_point(4.0, 0.0)
    c, d = s.add_point(4.0, 3.0), s.add_point(0.0, 3.0)
    lines = [s.add_line(p, q) for p, q in ((a, b), (b, c), (c, d), (d, a))]
    s.add_horizontal_constraint(a, b)
    s.add_distance_constraint(a, b, 4.0)
    s.add_distance_constraint(b, c, 3.0)
    for k in range(3):
        s.add_perpendicular_constraint(lines[k], lines[k + 1])
    return s


def redundant_rectangle():
    """Over-constrained but consistent: the fourth perpendicular repeats the
    others, and a diagonal of 5 repeats the sides."""
    s = dimensioned_rectangle()
    s.add_perpendicular_constraint(3, 0)
    s.add_distance_constraint(0, 2, 5.0)
    return s


def filleted_corner():
    """Two sides at an angle with a tangent arc between them, the arc's radius
    free: the fillet may slide along the corner."""
    s = ovralis.System()
    theta = math.radians(70.0)
    r, trim = 1.5, 1.5 / math.tan(math.radians(55.0))
    corner = (10.0, 0.0)
    u = (math.cos(theta), math.sin(theta))
    start = (corner[0] - trim, 0.0)
    end = (corner[0] + trim * u[0], trim * u[1])
    centre = (start[0], r)
    a = s.add_point(0.0, 0.0, fixed=True)
    b = s.add_point(*start)
    c = s.add_point(*end)
    d = s.add_point(corner[0] + 6 * u[0], 6 * u[1])
    o = s.add_point(*centre)
    base, side = s.add_line(a, b), s.add_line(c, d)
    arc = s.add_arc(o, b, c, r)
    s.add_horizontal_constraint(a, b)
    s.add_constraint(ovralis.point_on_arc_constraint(b, arc))
    s.add_constraint(ovralis.point_on_arc_constraint(c, arc))
    s.add_constraint(ovralis.line_arc_start_tangent_constraint(base, arc))
    s.add_constraint(ovralis.line_arc_end_tangent_constraint(side, arc))
    s.add_angle_constraint(base, side, 70.0)
    return s


def triangle_chain():
    """A strip of triangles with every side dimensioned, and a free floating
    segment beside it that no constraint touches."""
    s = ovralis.System()
    top, bottom = [], []
    for k in range(6):
        bottom.append(s.add_point(2.0 * k, 0.0, fixed=(k == 0)))
        top.append(s.add_point(2.0 * k + 1.0, math.sqrt(3.0)))
    s.add_horizontal_constraint(bottom[0], bottom[1])
    for k in range(6):
        s.add_distance_constraint(bottom[k], top[k], 2.0)
        if k + 1 < 6:
            s.add_distance_constraint(top[k], bottom[k + 1], 2.0)
            s.add_distance_constraint(bottom[k], bottom[k + 1], 2.0)
    p, q = s.add_point(3.0, 7.0), s.add_point(8.0, 9.0)
    s.add_line(p, q)
    return s


SKETCHES = [free_rectangle, dimensioned_rectangle, redundant_rectangle, filleted_corner,
            triangle_chain]


def coordinates(system):
    return [v for point in system.get_points() for v in point] + \
        [r for _, r in system.get_circles()] + [a[3] for a in system.get_arcs()]


@pytest.mark.parametrize("make", SKETCHES)
def test_an_exact_sketch_does_not_move_at_all(make):
    system = make()
    before = system.to_json()
    result = system.solve()
    assert result.converged
    assert system.to_json() == before


@pytest.mark.parametrize("make", SKETCHES)
@pytest.mark.parametrize("seed", range(3))
def test_a_sketch_within_rounding_moves_by_rounding(make, seed):
    exact = make()
    nudge = 1e-12
    rng = random.Random(seed)
    nudged = exact.copy()
    for i, (x, y) in enumerate(exact.get_points()):
        nudged.set_point(i, x * (1 + rng.uniform(-nudge, nudge)),
                         y * (1 + rng.uniform(-nudge, nudge)))
    start = coordinates(nudged)
    largest = max(abs(v) for v in start)
    assert nudged.solve().converged
    moved = max(abs(a - b) for a, b in zip(coordinates(nudged), start))
    assert moved <= 100 * nudge * largest


def test_the_free_bottom_edge_stays_on_its_side():
    system = free_rectangle()
    system.set_point(0, 0.0, 22.0 + 3e-13)
    assert system.solve().converged
    assert system.get_point(0)[1] == pytest.approx(22.0, abs=1e-9)
    assert system.get_point(1)[1] == pytest.approx(22.0, abs=1e-9)


def test_a_solve_from_afar_leaves_the_free_segment_alone():
    system = triangle_chain()
    free = system.get_points()[-2:]
    system.set_point(5, 9.3, 1.2)
    assert system.solve().converged
    for moved, drawn in zip(system.get_points()[-2:], free):
        assert moved == pytest.approx(drawn, abs=1e-12)
