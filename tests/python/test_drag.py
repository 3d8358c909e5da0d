"""Dragging a point: it follows the cursor, the rest of the sketch moves least."""

import math

import numpy as np
import pytest
from scipy.optimize import minimize

import ovralis


def linkage():
    """Two unit bars from a fixed pivot: pivot 0, elbow 1, tip 2."""
    s = ovralis.System()
    s.add_point(0.0, 0.0, fixed=True)
    s.add_point(0.6, 0.8)
    s.add_point(1.6, 0.8)
    s.add_distance_constraint(0, 1, 1.0)
    s.add_distance_constraint(1, 2, 1.0)
    return s


def least_movement_elbow(start, tip):
    """The elbow nearest its start that keeps both bars at unit length with the tip at `tip`."""
    bars = [
        {"type": "eq", "fun": lambda e: e @ e - 1.0},
        {"type": "eq", "fun": lambda e: (tip - e) @ (tip - e) - 1.0},
    ]
    found = minimize(lambda e: (e - start) @ (e - start), start, constraints=bars, method="SLSQP",
                     options={"ftol": 1e-14, "maxiter": 200})
    return found.x


@pytest.mark.parametrize("target", [(1.5, 0.5), (1.2, 1.1), (0.9, -0.3)])
def test_the_tip_follows_and_the_elbow_moves_least(target):
    s = linkage()
    elbow_start = np.array(s.get_point(1))
    result = s.drag(2, *target)
    assert result.converged
    assert s.get_point(2) == pytest.approx(target, abs=1e-9)
    expected = least_movement_elbow(elbow_start, np.array(target))
    assert np.array(s.get_point(1)) == pytest.approx(expected, abs=1e-6)
    assert s.get_point(0) == (0.0, 0.0)


def test_an_unreachable_target_stretches_the_linkage_towards_it():
    s = linkage()
    assert s.drag(2, 5.0, 0.0).converged
    # As close as the bars allow: the arm lies nearly straight towards the target.
    assert math.dist(s.get_point(2), (5.0, 0.0)) == pytest.approx(3.0, abs=1e-3)
    assert math.dist(s.get_point(0), s.get_point(1)) == pytest.approx(1.0, abs=1e-9)
    assert math.dist(s.get_point(1), s.get_point(2)) == pytest.approx(1.0, abs=1e-9)


def test_a_drag_that_cannot_succeed_leaves_the_store_byte_identical():
    s = linkage()
    s.add_distance_constraint(0, 2, 5.0)  # longer than the two bars together
    before = s.to_json()
    result = s.drag(2, 1.0, 1.0)
    assert not result.converged
    assert s.to_json() == before


@pytest.mark.parametrize("point", [3, 100])
def test_a_bad_point_index_raises_and_changes_nothing(point):
    s = linkage()
    before = s.to_json()
    with pytest.raises(ValueError, match="out of range"):
        s.drag(point, 0.0, 0.0)
    assert s.to_json() == before


def test_a_drag_loop_keeps_every_constraint():
    s = linkage()
    for step in range(20):
        angle = 0.05 * step
        assert s.drag(2, 1.5 * math.cos(angle), 1.5 * math.sin(angle)).converged
        assert math.dist(s.get_point(0), s.get_point(1)) == pytest.approx(1.0, abs=1e-9)
        assert math.dist(s.get_point(1), s.get_point(2)) == pytest.approx(1.0, abs=1e-9)


@pytest.mark.parametrize("fixed", [True, False])
@pytest.mark.parametrize("target", [(5.0, 6.0), (1e21, -0.0)])
def test_a_sketch_without_constraints_drags_without_harm(fixed, target):
    s = ovralis.System()
    s.add_point(0.0, 0.0, fixed=fixed)
    s.add_point(7.0, math.nan, fixed=True)
    before = s.to_json()
    result = s.drag(0, *target)
    if fixed or not result.converged:
        assert s.to_json() == before
    else:
        assert s.get_point(0) == target
