"""Creating and dropping many objects returns their memory.

Python objects are watched with tracemalloc; the stores' own memory (C++
allocations, invisible to tracemalloc) through the resident set size.
"""

import gc
import threading
import tracemalloc

import pytest

import ovralis


def resident_bytes():
    with open("/proc/self/statm") as statm:
        pages = int(statm.read().split()[1])
    import os

    return pages * os.sysconf("SC_PAGE_SIZE")


def churn():
    """One round of every kind of object the module makes."""
    system = ovralis.System()
    for i in range(200):
        system.add_point(i, -i, fixed=i % 2 == 0)
        system.add_line(i, i + 1)
        system.add_circle(i, 1.5)
        system.add_arc(i, i + 1, i + 2, 2.0)
        system.add_distance_constraint(i, i + 1, 1.0)
        system.add_constraint(ovralis.arc_radius_constraint(i, 2.0))
    system.get_points(), system.get_lines(), system.get_circles(), system.get_arcs()
    repr(system)
    for i in range(50):
        system.remove_constraint(0)
        system.remove_point(i)
    for error_call in (lambda: system.get_point(10**6), lambda: system.add_point("x", 0),
                       lambda: ovralis.Line(-1, 0), lambda: ovralis.SolveResult()):
        try:
            error_call()
        except (ValueError, TypeError, OverflowError):
            pass
    small = ovralis.System()
    small.add_point(0, 0, fixed=True)
    small.add_point(3, 1)
    small.add_distance_constraint(0, 1, 5.0)
    small.solve_and_verify(max_iter=20)
    small.diagnostics().dof, small.analyze_dof(), small.verify_solution()
    ovralis.System.from_json(small.to_json())
    values = [ovralis.Point(1, 2), ovralis.Line(0, 1), ovralis.Circle(0, 1.0), ovralis.Arc(0, 1, 2)]
    [repr(v) for v in values]
    values[0].x = 3.0


def grows(measure, rounds):
    for _ in range(rounds):  # warm up caches and free lists
        churn()
    gc.collect()
    before = measure()
    for _ in range(rounds):
        churn()
    gc.collect()
    return measure() - before


def test_python_objects_are_released():
    tracemalloc.start()
    try:
        growth = grows(lambda: tracemalloc.get_traced_memory()[0], 20)
    finally:
        tracemalloc.stop()
    assert growth < 64 * 1024


def test_stores_are_released():
    # 200 rounds of stores holding ~800 entities would leak tens of megabytes.
    assert grows(resident_bytes, 200) < 4 * 1024 * 1024


def test_stores_dropped_on_another_thread_are_released(monkeypatch):
    monkeypatch.setattr("sys.unraisablehook", lambda report: None)

    def drop_elsewhere():
        systems = []
        for _ in range(50):
            s = ovralis.System()
            for i in range(2000):
                s.add_point(i, i)
            systems.append(s)
        thread = threading.Thread(target=systems.clear)
        thread.start()
        thread.join()

    for _ in range(3):
        drop_elsewhere()
    before = resident_bytes()
    for _ in range(10):
        drop_elsewhere()
    # each round would leak 50 stores of 2000 points (about 2.4 MB)
    assert resident_bytes() - before < 4 * 1024 * 1024
