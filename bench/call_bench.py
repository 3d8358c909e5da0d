"""Call-cost benchmark: nanoseconds per System.get_point and System.add_point call.

These two calls are the thinnest path through the module (one argument
conversion, one store access, one small result), so they show what the
module's use of the C API costs on its own, for example when comparing a
build against the stable ABI with one against the full API. Each figure is
the best of many short repeats, less the cost of an empty loop: short, so
that on a busy machine the best repeat is one that nothing interrupted.

    python bench/call_bench.py [--calls 5000] [--repeats 200]
"""

import argparse
import timeit

import ovralis


def best_ns_per_call(statement, setup_namespace, calls, repeats):
    timer = timeit.Timer(statement, globals=setup_namespace)
    empty = timeit.Timer("pass")
    loop = min(empty.repeat(repeats, calls)) / calls
    return (min(timer.repeat(repeats, calls)) / calls - loop) * 1e9


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--calls", type=int, default=5_000)
    parser.add_argument("--repeats", type=int, default=200)
    options = parser.parse_args()

    reading = ovralis.System()
    for i in range(1000):
        reading.add_point(float(i), 0.5 * i)
    get_point = best_ns_per_call("get_point(500)", {"get_point": reading.get_point},
                                 options.calls, options.repeats)

    # A fresh system per repeat would time the allocator; growing one keeps
    # the figure to the call itself (vector growth is amortised).
    writing = ovralis.System()
    add_point = best_ns_per_call("add_point(1.5, 2.5)", {"add_point": writing.add_point},
                                 options.calls, options.repeats)

    print(f"ovralis {ovralis.__version__}")
    print(f"get_point(i)       {get_point:6.1f} ns per call")
    print(f"add_point(x, y)    {add_point:6.1f} ns per call")


if __name__ == "__main__":
    main()
