"""Drag benchmark: the cost of one drag step on a mid-size sketch.

A chain of 50 unit bars hangs from a fixed pivot; its free end is dragged
in small steps towards a point well inside its reach, as an editor does
while the mouse moves. Prints the median and worst time per drag step.

    python bench/drag_bench.py
"""

import statistics
import time

import ovralis

BARS = 50
STEPS = 200


def chain():
    s = ovralis.System()
    s.add_point(0.0, 0.0, fixed=True)
    for i in range(1, BARS + 1):
        s.add_point(float(i), 0.1 * (i % 2))
        s.add_distance_constraint(i - 1, i, 1.0)
    s.solve()
    return s


def main():
    s = chain()
    x0, y0 = s.get_point(BARS)
    x1, y1 = 0.6 * BARS, 0.3 * BARS
    times = []
    converged = 0
    for step in range(1, STEPS + 1):
        t = step / STEPS
        start = time.perf_counter()
        result = s.drag(BARS, x0 + t * (x1 - x0), y0 + t * (y1 - y0))
        times.append(time.perf_counter() - start)
        converged += result.converged
    print(f"chain of {BARS} bars ({BARS + 1} points), {STEPS} drag steps, {converged} converged")
    print(f"per step: median {statistics.median(times) * 1e3:.3f} ms, worst {max(times) * 1e3:.3f} ms")


if __name__ == "__main__":
    main()
