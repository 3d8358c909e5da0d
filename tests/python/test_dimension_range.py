"""System.dimension_range: how far a dimension goes before the path turns."""

import math

import pytest

import ovralis
from follow_sketches import set_dimension, triangle, two_circles


@pytest.mark.parametrize("index, low, high", [(1, 2.0, 8.0), (2, 1.0, 9.0)])
def test_a_triangle_side_ranges_between_the_difference_and_the_sum(index, low, high):
    s = triangle()
    before = s.to_json()
    assert s.dimension_range(index) == pytest.approx((low, high), rel=1e-7)
    assert s.to_json() == before


def test_follow_succeeds_inside_the_range_and_fails_outside():
    low, high = triangle().dimension_range(2)
    for value, ok in [(low * 1.001, True), (high * 0.999, True), (high * 1.001, False)]:
        s = triangle()
        set_dimension(s, 2, value)
        assert s.follow().converged is ok


def test_an_unbounded_distance():
    s = ovralis.System()
    s.add_point(0.0, 0.0, fixed=True)
    s.add_point(1.0, 0.5)
    s.add_distance_constraint(0, 1, math.hypot(1.0, 0.5))
    low, high = s.dimension_range(0)
    assert low == pytest.approx(0.0, abs=1e-6)
    assert high == math.inf


def test_a_radius_of_two_intersecting_circles():
    s = two_circles()
    # Centres 3 apart, the other radius 2: they meet for r2 between 1 and 5.
    assert s.dimension_range(3) == pytest.approx((1.0, 5.0), rel=1e-7)


@pytest.mark.parametrize("index, message", [(0, "no dimension"), (7, "out of range")])
def test_refused_for_a_kind_without_dimension_or_a_bad_index(index, message):
    s = ovralis.System()
    s.add_point(0.0, 0.0, fixed=True)
    s.add_point(1.0, 0.0)
    s.add_horizontal_constraint(0, 1)
    before = s.to_json()
    with pytest.raises(ValueError, match=message):
        s.dimension_range(index)
    assert s.to_json() == before
