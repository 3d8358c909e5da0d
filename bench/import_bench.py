"""Import-time benchmark: how much `import ovralis` adds to the interpreter's start.

Runs `python -c "pass"` and `python -c "import ovralis"` alternately, each in a
fresh process, and prints the median wall time of each and their difference,
which should stay under 50 ms. The interpreter is this one, or --python's
(for example a wheel's own virtual environment).

    python bench/import_bench.py [--python PATH] [--runs 30]
"""

import argparse
import statistics
import subprocess
import sys
import time

BUDGET_MS = 50.0


def start_time_ms(python, code):
    start = time.perf_counter()
    subprocess.run([python, "-c", code], check=True)
    return (time.perf_counter() - start) * 1e3


def measure(python, runs):
    """Median start times (ms) of the bare interpreter and of one importing ovralis."""
    bare, importing = [], []
    start_time_ms(python, "import ovralis")  # warm the file cache before timing
    for _ in range(runs):
        bare.append(start_time_ms(python, "pass"))
        importing.append(start_time_ms(python, "import ovralis"))
    return statistics.median(bare), statistics.median(importing)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--python", default=sys.executable)
    parser.add_argument("--runs", type=int, default=30)
    options = parser.parse_args()
    bare, importing = measure(options.python, options.runs)
    added = importing - bare
    print(f"bare interpreter      {bare:7.1f} ms (median of {options.runs})")
    print(f"with import ovralis   {importing:7.1f} ms")
    print(f"import ovralis adds   {added:7.1f} ms (budget {BUDGET_MS:.0f} ms): "
          f"{'within' if added <= BUDGET_MS else 'OVER'}")


if __name__ == "__main__":
    main()
