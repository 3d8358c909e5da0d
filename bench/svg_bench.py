"""Picture benchmark: System.to_svg alone, and the changes the live view sends, on 1,000 and 10,000 entities.

The plate of rectangular pockets of live_view_bench.py (125 pockets: 500
points and 500 lines; 1,250 pockets: 5,000 of each), drawn two ways: as the
live view draws it (a fixed view box of 1100 x 260 pixels, as after a pan or
zoom) and as a fitted picture with its dimensions and glyphs (the default).
Then one corner is dragged a little and the changes between the picture
before and the one after are found, as the live view does on every drag frame.
Prints the median and the fastest of the repeats: the machine is shared, and
the fastest is the cost without other people's work in between.

    PYTHONPATH=build-dev/python .venv/bin/python bench/svg_bench.py
"""

import statistics
import time

from live_view_bench import plate

from ovralis._picture_changes import Picture

SIZES = (125, 1250)  # pockets: 1,000 and 10,000 entities
REPEATS = 60
VIEW = {"width": 1100.0, "height": 260.0, "margin": 0.0, "bounds": (-17.5, -10.5, 257.5, 54.5)}


def timed(work, repeats=REPEATS):
    """Milliseconds per call of `work`: (median, fastest)."""
    times = []
    for _ in range(repeats):
        begin = time.perf_counter()
        work()
        times.append(1000 * (time.perf_counter() - begin))
    return statistics.median(times), min(times)


def report(name, figures):
    median, fastest = figures
    print(f"{name:<44} median {median:7.2f} ms   fastest {fastest:7.2f} ms")


def main():
    for pockets in SIZES:
        system = plate(pockets)
        corner = 4 * (pockets // 2) + 2
        entities = system.num_points() + system.num_lines()
        print(f"\n{entities} entities, {system.num_constraints()} constraints; {REPEATS} repeats")
        report("to_svg, the live view's picture", timed(lambda: system.to_svg(**VIEW)))
        report("to_svg, fitted with dimensions and glyphs", timed(lambda: system.to_svg()))
        x, y = system.get_point(corner)
        before = system.to_svg(**VIEW)
        system.drag(corner, x + 0.5, y)
        after = system.to_svg(**VIEW)
        shown = Picture(before, None)
        # Each call turns the picture shown into the other one: a real frame each time.
        frames = [after, before] * (REPEATS // 2)
        report("changes of one drag frame", timed(lambda: shown.changes_to(frames.pop())))


if __name__ == "__main__":
    main()
