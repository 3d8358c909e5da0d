"""drag follows the point along a continuous path and ends exactly where it can."""

import math

import pytest

import ovralis
from follow_sketches import triangle, triangle_apex


def test_dragging_a_triangle_base_end_never_flips_the_apex():
    s = triangle()
    s.set_point(1, 5.0, 0.0, fixed=False)
    s.add_horizontal_constraint(0, 1)
    s.remove_constraint(0)  # AB now free in length, so B can be dragged along the axis
    for x in [6.0, 6.9, 5.5, 2.0, 1.2, 4.0]:
        assert s.drag(1, x, 0.0).converged
        assert s.get_point(2)[1] > 0.0
        assert s.get_point(2) == pytest.approx(triangle_apex(x, 3.0, 4.0), abs=1e-9)


def unit_circle_point():
    s = ovralis.System()
    s.add_point(0.0, 0.0, fixed=True)
    s.add_point(0.6, -0.8)
    s.add_distance_constraint(0, 1, 1.0)
    return s


@pytest.mark.parametrize("target", [(3.0, 4.0), (-2.0, 0.5), (1e10, 1e10), (1e100, 1e100),
                                    (-1e100, 3e99)])
def test_an_unreachable_target_ends_at_the_closest_point_exactly(target):
    s = unit_circle_point()
    result = s.drag(1, *target)
    assert result.converged
    scale = max(abs(target[0]), abs(target[1]))
    ux, uy = target[0] / scale, target[1] / scale
    norm = math.hypot(ux, uy)
    assert s.get_point(1) == pytest.approx((ux / norm, uy / norm), abs=1e-9)


def test_a_stretched_linkage_points_exactly_at_its_target():
    s = ovralis.System()
    s.add_point(0.0, 0.0, fixed=True)
    s.add_point(0.6, 0.8)
    s.add_point(1.6, 0.8)
    s.add_distance_constraint(0, 1, 1.0)
    s.add_distance_constraint(1, 2, 1.0)
    assert s.drag(2, 5.0, 1.0).converged
    direction = (5.0 / math.hypot(5.0, 1.0), 1.0 / math.hypot(5.0, 1.0))
    assert s.get_point(1) == pytest.approx(direction, abs=1e-9)
    assert s.get_point(2) == pytest.approx((2 * direction[0], 2 * direction[1]), abs=1e-9)


@pytest.mark.parametrize("x, y", [(math.nan, 0.0), (0.0, math.inf), (-math.inf, math.nan)])
def test_a_target_that_is_not_finite_is_refused(x, y):
    s = unit_circle_point()
    before = s.to_json()
    with pytest.raises(ValueError, match="finite"):
        s.drag(1, x, y)
    assert s.to_json() == before
