"""System.follow: an edit reached along a continuous path, or not at all."""

import copy
import math
import os
import pickle
import signal
import threading

import pytest

import ovralis
from follow_sketches import (
    fillet,
    four_bar,
    reference_continuation,
    set_dimension,
    triangle,
    triangle_apex,
    two_circles,
    wedge_circle,
)


@pytest.mark.parametrize("below", [False, True])
@pytest.mark.parametrize("ac", [2.0, 3.5, 5.5, 8.5])
def test_the_triangle_apex_stays_on_its_side(ac, below):
    s = triangle(below=below)
    set_dimension(s, 2, ac)
    result = s.follow()
    assert result.converged and result.reached == 1.0
    assert s.get_point(2) == pytest.approx(triangle_apex(5.0, ac, 4.0, below), abs=1e-9)
    assert s.get_point(0) == (0.0, 0.0) and s.get_point(1) == (5.0, 0.0)


def test_a_side_too_long_stops_at_the_turning_point_and_changes_nothing():
    s = triangle()
    set_dimension(s, 2, 10.0)  # the other two sides reach 9 at most
    before = s.to_json()
    result = s.follow()
    assert not result.converged
    assert s.to_json() == before
    # AC = 3 + s (10 - 3) flattens the triangle at AC = 9.
    assert result.reached == pytest.approx(6.0 / 7.0, abs=1e-4)


@pytest.mark.parametrize(
    "make, index, start, end",
    [
        (four_bar, 1, 40.0, 95.0),
        (wedge_circle, 2, 1.0, 1.6),
        (fillet, 1, 60.0, 115.0),
        (two_circles, 3, 2.0, 2.9),
    ],
    ids=["linkage", "tangency", "fillet", "two-circles"],
)
def test_follow_ends_where_many_tiny_steps_end(make, index, start, end):
    reference = reference_continuation(make(), index, start, end)
    s = make()
    set_dimension(s, index, end)
    assert s.follow().converged
    for got, want in zip(s.get_points(), reference.get_points()):
        assert got == pytest.approx(want, abs=1e-7)
    for got, want in zip(s.get_circles(), reference.get_circles()):
        assert got[1] == pytest.approx(want[1], abs=1e-7)


def free_rectangle(s, x, y):
    """A rectangle with its sides dimensioned but free to float (three degrees of freedom)."""
    p = [s.add_point(x, y), s.add_point(x + 4, y), s.add_point(x + 4, y + 2), s.add_point(x, y + 2)]
    lines = [s.add_line(p[i], p[(i + 1) % 4]) for i in range(4)]
    s.add_horizontal_constraint(p[0], p[1])
    s.add_horizontal_constraint(p[3], p[2])
    s.add_vertical_constraint(p[1], p[2])
    s.add_vertical_constraint(p[0], p[3])
    s.add_distance_constraint(p[0], p[1], 4.0)
    s.add_distance_constraint(p[1], p[2], 2.0)
    return lines


def satisfied_sketches():
    exact = ovralis.System()
    free_rectangle(exact, -3.0, 22.0)
    loose = ovralis.System()  # a point free to move on a circle
    loose.add_point(0.0, 0.0, fixed=True)
    loose.add_point(0.6, 0.8)
    loose.add_distance_constraint(0, 1, 1.0)
    return {"rectangle": exact, "point-on-circle": loose, "triangle": triangle(),
            "linkage": four_bar(), "two-circles": two_circles(), "empty": ovralis.System()}


@pytest.mark.parametrize("name", list(satisfied_sketches()))
def test_a_sketch_that_holds_does_not_move(name):
    s = satisfied_sketches()[name]
    before = s.to_json()
    result = s.follow()
    assert result.converged and result.reached == 1.0
    assert (result.iterations, result.steps) == (0, 0)
    assert s.to_json() == before


def test_an_edit_moves_only_what_it_must():
    s = triangle()
    free_rectangle(s, -20.6, 30.0)
    rectangle_before = s.get_points()[3:]
    set_dimension(s, 2, 4.5)
    assert s.follow().converged
    assert s.get_points()[3:] == rectangle_before


def test_a_moved_point_and_a_new_constraint_are_followed_together():
    s = triangle()
    s.add_point(6.0, 3.0)
    s.add_distance_constraint(2, 3, 2.0)  # added to a drawn sketch, not holding yet
    set_dimension(s, 0, 5.5)
    s.set_point(1, 5.5, 0.0)
    result = s.follow()
    assert result.converged
    assert s.get_point(2) == pytest.approx(triangle_apex(5.5, 3.0, 4.0), abs=1e-9)
    assert math.dist(s.get_point(2), s.get_point(3)) == pytest.approx(2.0, abs=1e-9)


def test_the_result_reads_pickles_and_copies():
    s = triangle()
    set_dimension(s, 2, 3.3)
    result = s.follow()
    assert repr(result).startswith("FollowResult(converged=true, iterations=")
    assert repr(result).endswith(", reached=1.000000)")
    for twin in (pickle.loads(pickle.dumps(result)), copy.copy(result)):
        assert type(twin) is ovralis.FollowResult
        assert repr(twin) == repr(result)
    with pytest.raises(TypeError):
        ovralis.FollowResult()


@pytest.mark.parametrize("arguments", [{"max_iter": -1}, {"tol": "x"}, {"depth": 1}])
def test_bad_arguments_are_refused_before_anything_changes(arguments):
    s = triangle()
    set_dimension(s, 2, 3.3)
    before = s.to_json()
    with pytest.raises((TypeError, OverflowError)):
        s.follow(**arguments)
    assert s.to_json() == before


def long_follow():
    """Many triangles, each with an edit, and a path of many steps."""
    s = ovralis.System()
    for k in range(6000):
        a = s.add_point(10.0 * k, 0.0, fixed=True)
        b = s.add_point(10.0 * k + 5.0, 0.0, fixed=True)
        c = s.add_point(10.0 * k + 1.8, 2.4)
        s.add_distance_constraint(a, c, 3.0)
        s.add_distance_constraint(b, c, 8.9)  # from 4: a long way round
    return s


def test_ctrl_c_stops_a_follow_and_leaves_the_store_as_it_was():
    s = long_follow()
    before = s.to_json()
    timer = threading.Timer(0.1, os.kill, (os.getpid(), signal.SIGINT))
    timer.start()
    with pytest.raises(KeyboardInterrupt):
        s.follow(max_iter=10**9)
    timer.join()
    assert s.to_json() == before
