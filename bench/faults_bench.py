"""Interrupt latency of the long calls, and what every call does when memory runs out.

    PYTHONPATH=build-dev/python .venv/bin/python bench/faults_bench.py \
        [latency[=N,N...]] [calls=solve,to_svg,...] [memory] [batch]

latency: each long call on sketches of 200,000 to 1,000,000 points is
interrupted 0.1, 0.3, 0.6, 1.0, 1.5 and 2.5 s after it starts (SIGALRM, whose
handler raises KeyboardInterrupt as Ctrl-C's does), so that the signal lands
in each of its phases in turn; the table gives the longest time from the
signal to the KeyboardInterrupt (or the call's whole time, marked "done", if
it ended before the first signal). "solved" sketches are the strip with every
distance already holding, where the constraint analysis goes straight to its
sparse QR factorisations.

memory: each public call runs in a fresh process on a sketch of 100,000 points
under a ladder of address-space limits (RLIMIT_AS, above what the process has
once the sketch is built); the table gives the outcome: ok, MemoryError,
another exception, or a crash (a signal or an exit such as 127, "cannot
allocate memory for thread-local data").

batch: solve_documents on four slow documents, Ctrl-C after 0.5 s: the time
until the call has returned, and the same for the command line's exit.
"""

import functools
import json
import os
import pickle
import signal
import subprocess
import sys
import tempfile
import textwrap
import threading
import time

import ovralis

HERE = os.path.dirname(os.path.abspath(__file__))


def strip_document(points, lines=True, constraints=True, solved=False):
    """A strip of `points` points, neighbours joined by lines and dimensioned, as JSON text
    written directly (a million entities as Python dicts would take a gigabyte). Solved, the
    points lie on a line at their distances."""
    def array(items):
        return "[" + ",".join(items) + "]"

    def place(i):
        if solved:
            return float(6 * (i // 3) + (0, 1, 3)[i % 3]), 0.0  # after distances 1, 2, 3, 1, ...
        return float(i), float((i * 7919) % 13)

    members = json.loads(ovralis.System().to_json())
    members["points"] = array(f'{{"x":{place(i)[0]},"y":{place(i)[1]},"fixed":{json.dumps(i == 0)}}}'
                              for i in range(points))
    members["lines"] = array(f'{{"p1":{i},"p2":{i + 1}}}' for i in range(points - 1)) if lines else "[]"
    members["constraints"] = array(f'{{"Distance":{{"p1":{i},"p2":{i + 1},"d":{1.0 + i % 3}}}}}'
                                   for i in range(points - 1)) if constraints else "[]"
    return "{" + ",".join(f'"{key}":{value if isinstance(value, str) else json.dumps(value)}'
                          for key, value in members.items()) + "}"


def interrupt(*_):
    raise KeyboardInterrupt


def latency_of(call, delay=0.3):
    """Seconds from the signal to the KeyboardInterrupt, or None and the call's time when it
    ended first. The kernel sends the signal (an interval timer), as it sends Ctrl-C's, so a
    call that holds the interpreter lock cannot delay it; Python runs the handler, which raises
    KeyboardInterrupt, at the call's next look for signals."""
    previous = signal.signal(signal.SIGALRM, interrupt)
    start = time.perf_counter()
    try:
        signal.setitimer(signal.ITIMER_REAL, delay)
        call()
        elapsed = time.perf_counter() - start
        signal.setitimer(signal.ITIMER_REAL, 0)
        return None, elapsed
    except KeyboardInterrupt:
        return time.perf_counter() - start - delay, None
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
        signal.signal(signal.SIGALRM, previous)


DELAYS = (0.1, 0.3, 0.6, 1.0, 1.5, 2.5)


def worst_latency(call):
    """The longest latency over signals at each of DELAYS, stopping at the first the call outlives."""
    worst = None
    for delay in DELAYS:
        latency, elapsed = latency_of(call, delay)
        if latency is None:
            return f"done {elapsed:6.2f} s" if worst is None else f"{worst:8.3f} s"
        worst = latency if worst is None else max(worst, latency)
    return f"{worst:8.3f} s"


def latency_table(sizes=(200_000, 500_000, 1_000_000), only=None):
    calls = {
        "solve": lambda s, _: s.solve(),
        "analyze_constraints": lambda s, _: s.analyze_constraints(),
        "analyze_constraints (solved)": lambda _, solved: solved.analyze_constraints(),
        "repairs (solved)": lambda _, solved: solved.repairs(),
        "to_svg": lambda s, _: s.to_svg(),
        "verify_solution": lambda s, _: s.verify_solution(),
        "drag": lambda s, _: s.drag(5, 3.0, 4.0),
        "follow": lambda s, _: s.follow(),
        "diagnostics": lambda s, _: s.diagnostics(),
        "to_json": lambda s, _: s.to_json(),
        "pickle": lambda s, _: pickle.dumps(s),
        "spacing (solve, no constraints)": None,
    }

    @functools.lru_cache(maxsize=None)
    def sketch(n, **kinds):
        return ovralis.System.from_json(strip_document(n, **kinds))

    print("interrupt latency (worst over SIGALRM at " + ", ".join(f"{d} s" for d in DELAYS) + " after the start)")
    print(f"{'call':34}" + "".join(f"{n:>16,}" for n in sizes))
    for name, call in calls.items():
        if only and name.split()[0] not in only:
            continue
        row = []
        for n in sizes:
            if call is None:
                row.append(worst_latency(sketch(n, lines=False, constraints=False).solve))
            else:
                row.append(worst_latency(lambda: call(sketch(n), sketch(n, solved=True))))
        print(f"{name:34}" + "".join(f"{cell:>16}" for cell in row), flush=True)


MEMORY_CHILD = textwrap.dedent("""
    import pickle, resource, sys, threading
    import ovralis
    path, call, limit = sys.argv[1], sys.argv[2], int(sys.argv[3])
    with open(path) as f:
        text = f.read()
    s = ovralis.System.from_json(text)
    calls = {
        "pickle": lambda: pickle.loads(pickle.dumps(s)),
        "copy": lambda: s.copy(),
        "to_json": lambda: s.to_json(),
        "from_json": lambda: ovralis.System.from_json(text),
        "verify_solution": lambda: s.verify_solution(),
        "analyze_dof": lambda: s.analyze_dof(),
        "analyze_constraints": lambda: s.analyze_constraints(),
        "diagnostics": lambda: s.diagnostics(),
        "solve": lambda: s.solve(max_iter=3),
        "drag": lambda: s.drag(5, 3.0, 4.0, max_iter=3),
        "to_svg": lambda: s.to_svg(),
        "get_points": lambda: s.get_points(),
        "on a new thread: from_json, verify": "thread",
    }
    resource.setrlimit(resource.RLIMIT_AS, (limit, limit))
    if calls[call] == "thread":
        errors = []
        def work():
            try:
                ovralis.System.from_json(text).verify_solution()  # a System stays on its own thread
            except BaseException as error:
                errors.append(error)
        try:
            t = threading.Thread(target=work)
            t.start()
            t.join()
        except RuntimeError:
            raise MemoryError("no thread")
        if errors:
            raise errors[0]
    else:
        calls[call]()
""")

MEMORY_CALLS = ["pickle", "copy", "to_json", "from_json", "verify_solution", "analyze_dof", "analyze_constraints",
                "diagnostics", "solve", "drag", "to_svg", "get_points", "on a new thread: from_json, verify"]


def resident_after_loading(path):
    probe = ("import sys, ovralis; ovralis.System.from_json(open(sys.argv[1]).read()); "
             "print(open('/proc/self/statm').read().split()[0])")
    out = subprocess.run([sys.executable, "-c", probe, path], capture_output=True, text=True, check=True).stdout
    return int(out) * os.sysconf("SC_PAGE_SIZE")


def outcome(run):
    if run.returncode == 0:
        return "ok"
    if run.returncode < 0:
        return f"crash {signal.Signals(-run.returncode).name}"
    last = run.stderr.strip().splitlines()[-1] if run.stderr.strip() else ""
    if run.returncode == 1 and last.startswith("MemoryError"):
        return "MemoryError"
    if run.returncode == 1 and last:
        return last.split(":")[0][:22]
    return f"crash exit {run.returncode}"


def memory_table(points=100_000, extra_megabytes=(1, 8, 32, 128, 512)):
    with tempfile.NamedTemporaryFile("w", suffix=".json", delete=False) as f:
        f.write(strip_document(points))
        path = f.name
    try:
        base = resident_after_loading(path)
        print(f"\nmemory limits: {points:,} points; address space after loading {base / 2**20:.0f} MiB, limit = that + ")
        print(f"{'call':36}" + "".join(f"{str(m) + ' MiB':>16}" for m in extra_megabytes))
        tally = {}
        for call in MEMORY_CALLS:
            row = []
            for extra in extra_megabytes:
                limit = base + extra * 2**20
                run = subprocess.run([sys.executable, "-c", MEMORY_CHILD, path, call, str(limit)],
                                     capture_output=True, text=True, timeout=600)
                if run.stdout:
                    row.append("PRINTED!")
                else:
                    row.append(outcome(run))
                tally[row[-1]] = tally.get(row[-1], 0) + 1
            print(f"{call:36}" + "".join(f"{cell:>16}" for cell in row), flush=True)
        print("outcomes:", ", ".join(f"{k}: {v}" for k, v in sorted(tally.items())))
    finally:
        os.unlink(path)


def batch_table(points=60_000, count=4):
    document = strip_document(points, lines=False)
    solved = ovralis.solve_documents([document] * count)
    print(f"\nbatch of {count} documents of {points:,} points, SIGINT after 0.5 s")
    latency, elapsed = latency_of(lambda: next(solved), delay=0.5)
    print(f"solve_documents returned {latency:.3f} s after the signal" if latency is not None
          else f"solve_documents ended first, after {elapsed:.2f} s")
    solved.close()
    with tempfile.TemporaryDirectory() as folder:
        inputs = []
        for i in range(count):
            inputs.append(os.path.join(folder, f"d{i}.json"))
            with open(inputs[-1], "w") as f:
                f.write(document)
        os.mkdir(os.path.join(folder, "out"))
        process = subprocess.Popen([sys.executable, "-m", "ovralis", "solve", "-o", os.path.join(folder, "out"),
                                    *inputs], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(1.5)
        process.send_signal(signal.SIGINT)
        start = time.perf_counter()
        status = process.wait()
        print(f"command line exited {status} {time.perf_counter() - start:.3f} s after the signal")


if __name__ == "__main__":
    parts = dict(part.partition("=")[::2] for part in sys.argv[1:] or ["latency", "memory", "batch"])
    print(f"ovralis from {os.path.dirname(ovralis.__file__)}")
    if "latency" in parts:
        sizes = parts["latency"]
        latency_table(tuple(int(n) for n in sizes.split(",")) if sizes else (200_000, 500_000, 1_000_000),
                      parts["calls"].split(",") if "calls" in parts else None)
    if "memory" in parts:
        memory_table()
    if "batch" in parts:
        batch_table()
