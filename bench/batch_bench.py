"""Batch benchmark: the speed-up of solve_documents on threads over one thread.

Builds a batch of mid-size sketches (triangulated grids of points held by
distances, started away from the solution), solves it once on a single
thread and once on the default thread pool, and prints both times and the
speed-up. The goal on a 2-core machine is at least 1.8x.

    python bench/batch_bench.py [sketches] [grid side]
"""

import math
import os
import random
import sys
import time
from concurrent.futures import ThreadPoolExecutor

import ovralis

SPEED_UP_GOAL = 1.8


def grid_sketch(side, rng):
    """side x side points 10 apart, every cell split by a diagonal, the first
    point fixed and the first row horizontal; points start up to 1.5 away."""
    s = ovralis.System()
    index = {}
    for row in range(side):
        for column in range(side):
            fixed = row == column == 0
            jitter = 0.0 if fixed else 1.5
            index[row, column] = s.add_point(10.0 * column + rng.uniform(-jitter, jitter),
                                             10.0 * row + rng.uniform(-jitter, jitter), fixed)
    s.add_horizontal_constraint(index[0, 0], index[0, 1])
    for (row, column), point in index.items():
        for d_row, d_column in ((0, 1), (1, 0), (1, 1)):
            other = index.get((row + d_row, column + d_column))
            if other is not None:
                s.add_distance_constraint(point, other, 10.0 * math.hypot(d_row, d_column))
    return s.to_json()


def timed(documents, executor):
    start = time.perf_counter()
    results = [result for _, result in ovralis.solve_documents(documents, executor=executor)]
    return time.perf_counter() - start, sum(result.converged for result in results)


def main():
    count = int(sys.argv[1]) if len(sys.argv) > 1 else 200
    side = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    rng = random.Random(7)
    documents = [grid_sketch(side, rng) for _ in range(count)]
    with ThreadPoolExecutor(max_workers=1) as one_thread:
        serial, converged = timed(documents, one_thread)
    threaded, _ = timed(documents, None)
    cpus = len(os.sched_getaffinity(0))
    print(f"{count} sketches of {side * side} points, {converged} converged")
    print(f"one thread:        {serial:8.3f} s")
    print(f"{cpus} threads (default): {threaded:8.3f} s")
    print(f"speed-up:          {serial / threaded:8.2f}x (goal {SPEED_UP_GOAL}x on 2 cores)")


if __name__ == "__main__":
    main()
