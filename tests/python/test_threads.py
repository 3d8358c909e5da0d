"""Long calls release the interpreter lock: other threads keep running."""

import threading
import time

import pytest

import ovralis


def grid(n, seed=1):
    """An n x n grid of unit distances started from a perturbed layout."""
    import random

    rnd = random.Random(seed)
    s = ovralis.System()
    for i in range(n):
        for j in range(n):
            s.add_point(i + rnd.uniform(-0.3, 0.3), j + rnd.uniform(-0.3, 0.3), fixed=(i == j == 0))
    for i in range(n):
        for j in range(n):
            if i + 1 < n:
                s.add_distance_constraint(i * n + j, (i + 1) * n + j, 1.0)
            if j + 1 < n:
                s.add_distance_constraint(i * n + j, i * n + j + 1, 1.0)
    return s


def run_while_counting(call):
    """Runs `call()` in a new thread while this thread ticks a clock.

    Returns the call's duration and the longest stretch of it without a tick:
    a call that held the interpreter lock leaves one gap as long as itself.
    """
    window = {}

    def worker():
        window["start"] = time.perf_counter()
        call()
        window["end"] = time.perf_counter()

    thread = threading.Thread(target=worker)
    ticks = []
    thread.start()
    while thread.is_alive():
        ticks.append(time.perf_counter())
    thread.join()
    inside = [window["start"]] + [t for t in ticks if window["start"] < t < window["end"]] + [window["end"]]
    longest_gap = max(b - a for a, b in zip(inside, inside[1:]))
    return window["end"] - window["start"], longest_gap


def contradictory_grid(n=24):
    s = grid(n)
    s.add_distance_constraint(0, n * n - 1, 1.0)  # opposite corners one apart: cannot hold
    return s


CALLS = {
    "solve": lambda s: s.solve(max_iter=60),
    "solve_and_verify": lambda s: s.solve_and_verify(max_iter=60),
    "to_json": lambda s: [s.to_json() for _ in range(1000)],
}


@pytest.mark.parametrize("name", CALLS)
def test_a_thread_keeps_counting_while_another_works(name):
    def call():
        s = contradictory_grid()  # a System belongs to the thread that made it
        CALLS[name](s)

    duration, longest_gap = run_while_counting(call)
    assert duration > 0.05, "the workload is too small to tell anything"
    assert longest_gap < duration / 2


def contradictory_chain(n=300):
    """A chain whose closing distance cannot hold: the solve never converges."""
    s = ovralis.System()
    for i in range(n):
        s.add_point(float(i), 0.1 * (i % 2), fixed=(i == 0))
    for i in range(n - 1):
        s.add_distance_constraint(i, i + 1, 1.0)
    s.add_distance_constraint(0, n - 1, 3.0 * n)
    return s


@pytest.mark.parametrize("call", ["solve", "solve_and_verify"])
def test_ctrl_c_stops_a_long_solve_and_leaves_the_store_consistent(call):
    import os
    import signal

    s = contradictory_chain()
    timer = threading.Timer(0.3, os.kill, (os.getpid(), signal.SIGINT))
    start = time.perf_counter()
    timer.start()
    with pytest.raises(KeyboardInterrupt):
        getattr(s, call)(max_iter=10**12, tol=1e-15)
    stopped = time.perf_counter() - start
    timer.join()
    assert stopped < 0.3 + 1.0
    assert s.get_point(0) == (0.0, 0.0)  # the fixed point is the caller's, bit for bit
    assert all(abs(x) < 1e6 and abs(y) < 1e6 for x, y in s.get_points())
    # The constraint values are the caller's too, and the store still round-trips.
    assert s.get_constraint(s.num_constraints() - 1).d == 900.0
    assert ovralis.System.from_json(s.to_json()).to_json() == s.to_json()
