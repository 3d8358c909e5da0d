"""System.alternatives: the other solutions near this one, as solved copies."""

import math

import pytest

import ovralis
from follow_sketches import four_bar, triangle, triangle_apex, two_circles


def holds(s):
    return s.verify_solution(1e-8)["is_correct"]


def test_the_triangle_mirrored_over_its_base():
    s = triangle()
    before = s.to_json()
    found = s.alternatives()
    assert s.to_json() == before
    assert len(found) == 1
    assert found[0].get_point(2) == pytest.approx(triangle_apex(5.0, 3.0, 4.0, below=True), abs=1e-9)
    assert holds(found[0])


def test_the_other_intersection_of_two_circles():
    s = two_circles()
    x, y = s.get_point(2)
    found = s.alternatives()
    assert [a.get_point(2) == pytest.approx((x, -y), abs=1e-9) for a in found] == [True]


def test_the_linkage_other_assembly_mode_comes_nearest_first():
    s = four_bar()
    found = s.alternatives()
    assert found and all(holds(a) for a in found)
    moved = [max(math.dist(p, q) for p, q in zip(a.get_points(), s.get_points())) for a in found]
    assert moved == sorted(moved)
    # The joint C mirrored over the line BD is the other assembly mode.
    b, c, d = (s.get_point(i) for i in (2, 3, 1))
    assert any(a.get_point(2) == pytest.approx(b, abs=1e-9) and
               math.dist(a.get_point(3), c) > 1e-3 for a in found)


def test_every_alternative_is_distinct_and_independent():
    s = four_bar()
    found = s.alternatives(limit=8)
    for i, a in enumerate(found):
        assert a.to_json() != s.to_json()
        for b in found[i + 1:]:
            assert max(abs(u - v) for p, q in zip(a.get_points(), b.get_points())
                       for u, v in zip(p, q)) > 1e-6
    if found:
        found[0].set_point(3, 0.0, 0.0)
        assert s.get_point(3) != (0.0, 0.0)


def test_limit_cuts_the_list():
    s = four_bar()
    assert s.alternatives(limit=0) == []
    assert len(s.alternatives(limit=1)) <= 1


def test_a_point_free_on_a_circle_has_no_discrete_alternatives():
    s = ovralis.System()
    s.add_point(0.0, 0.0, fixed=True)
    s.add_point(0.6, 0.8)
    s.add_distance_constraint(0, 1, 1.0)
    assert s.alternatives() == []
