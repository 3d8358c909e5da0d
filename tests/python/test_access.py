"""Shared and exclusive access to one store, and binding to the creating thread."""

import threading

import pytest

import ovralis


class CallsBack:
    """An argument whose conversion calls back into a System."""

    def __init__(self, callback, value=0):
        self.callback = callback
        self.value = value

    def __index__(self):
        self.callback()
        return self.value

    def __float__(self):
        self.callback()
        return float(self.value)


def test_shared_access_is_refused_during_an_exclusive_call(system):
    argument = CallsBack(system.num_points)
    with pytest.raises(RuntimeError, match="^Already mutably borrowed$"):
        system.add_point(argument, 0.0)
    assert system.num_points() == 0


def test_exclusive_access_is_refused_during_an_exclusive_call(system):
    argument = CallsBack(lambda: system.add_point(0, 0))
    with pytest.raises(RuntimeError, match="^Already borrowed$"):
        system.add_distance_constraint(0, 1, argument)
    assert system.num_points() == 0 and system.num_constraints() == 0


def test_exclusive_access_is_refused_during_a_shared_call(system):
    system.add_point(1, 2)
    argument = CallsBack(system.clear_constraints)
    with pytest.raises(RuntimeError, match="^Already borrowed$"):
        system.get_point(argument)


def test_shared_accesses_may_nest(system):
    system.add_point(1, 2)
    seen = []
    argument = CallsBack(lambda: seen.append(system.get_points()))
    assert system.get_point(argument) == (1.0, 2.0)
    assert seen == [[(1.0, 2.0)]]


def test_another_system_is_independent(system):
    other = ovralis.System()
    system.add_point(CallsBack(lambda: other.add_point(5, 5)), 0)
    assert other.get_point(0) == (5.0, 5.0)


def test_access_is_released_after_an_error(system):
    with pytest.raises(TypeError):
        system.add_point("x", 0)
    with pytest.raises(ValueError):
        system.get_point(3)
    assert system.add_point(0, 0) == 0


def run_in_thread(function):
    outcome = {}

    def target():
        try:
            outcome["value"] = function()
        except BaseException as error:  # the test inspects whatever was raised
            # Without its traceback the error holds no frame, so no reference
            # cycle keeps a System alive until a collection on some other thread.
            outcome["error"] = error.with_traceback(None)

    thread = threading.Thread(target=target)
    thread.start()
    thread.join()
    return outcome


@pytest.mark.parametrize("call", [
    lambda s: s.add_point(0, 0),
    lambda s: s.num_points(),
    lambda s: s.get_points(),
    lambda s: repr(s),
])
def test_use_from_another_thread_is_refused(system, call):
    outcome = run_in_thread(lambda: call(system))
    error = outcome["error"]
    assert type(error) is RuntimeError
    assert "ovralis::PySystem is unsendable, but sent to another thread" in str(error)
    assert system.num_points() == 0


def test_systems_made_in_another_thread_work_there():
    outcome = run_in_thread(lambda: (lambda s: (s.add_point(1, 1), s.get_points()))(ovralis.System()))
    assert outcome["value"] == (0, [(1.0, 1.0)])


def test_value_objects_move_between_threads():
    point = ovralis.Point(1, 2)
    constraint = ovralis.distance_constraint(0, 1, 3.0)
    outcome = run_in_thread(lambda: (point.distance(ovralis.Point()), constraint.kind()))
    assert outcome["value"] == (5 ** 0.5, "Distance")


def test_dropping_on_another_thread_is_reported_as_unraisable(monkeypatch):
    reports = []
    monkeypatch.setattr("sys.unraisablehook", reports.append)
    box = [ovralis.System()]
    box[0].add_point(0, 0)
    outcome = run_in_thread(box.clear)
    assert outcome == {"value": None}
    assert len(reports) == 1
    assert type(reports[0].exc_value) is RuntimeError
    assert str(reports[0].exc_value) == "ovralis::PySystem is unsendable, but is being dropped on another thread"
