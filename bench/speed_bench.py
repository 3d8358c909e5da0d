"""Speed benchmark: every sketch family at 10 to 100,000 unknowns, ovralis
beside libslvs where libslvs takes the sketch, each answer checked by geometry.

Up to PEER_LIMIT unknowns each sketch goes to the peer program slvs_peer
(built with -DOVRALIS_BUILD_BENCH=ON when libslvs is installed), which times
the two solvers interleaved in one process; above it (libslvs refuses about
2,048 unknowns) ovralis runs alone, in this process through the module. The
table gives the median solve time of each, their ratio, whether each claimed
convergence, the worst geometric error of each answer (families.py's
checker, relative to the sketch's extent), and how far apart the two answers
are. Then per family the growth exponent log(t2/t1)/log(n2/n1) from 2,000
unknowns up, the largest sketch's time against the strip's, and the cost of
the all-pairs mean point spacing alone at 100,000 unknowns.

    PYTHONPATH=build-dev/python python bench/speed_bench.py [--peer build-dev/slvs_peer]
        [--family strip --family polygons] [--sizes 10,1000] [--too-slow 120]
"""

import argparse
import math
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import families

SIZES = [10, 100, 1_000, 2_000, 10_000, 100_000]
PEER_LIMIT = 2_048
GROWTH_FROM = 2_000
SPACING_SIZE = 100_000
ROUND_BUDGET_S = 3.0  # rounds of one sketch stop once ovralis has spent this long


def default_peer():
    path = Path(__file__).resolve().parent.parent / "build-dev" / "slvs_peer"
    return path if path.exists() else None


def run_peer(peer, sketch, workdir):
    """Runs slvs_peer on the sketch; its key=value line, plus both answers checked here."""
    stem = workdir / families.file_stem(sketch.family, sketch.unknowns)
    start, solved, peer_solved = (stem.with_suffix(s) for s in (".json", ".ovralis.json", ".slvs.json"))
    start.write_text(families.to_document(sketch))
    command = [str(peer), str(start), "--solved", str(solved), "--peer-solved", str(peer_solved),
               "--rounds", "7", "--budget-ms", str(ROUND_BUDGET_S * 1e3)]
    line = subprocess.run(command, check=True, capture_output=True, text=True).stdout.strip().splitlines()[-1]
    figures = dict(item.split("=", 1) for item in line.split()[1:])
    row = {
        "ovralis_ms": float(figures["ovralis_ms"]),
        "ovralis_converged": figures["ovralis_converged"] == "1",
        "ovralis_checked": families.check_document(sketch, solved.read_text()),
        # A time, or why there is none: "refused" (too many unknowns) or "unsupported:<kind>".
        "slvs_ms": float(figures["libslvs_ms"]) if figures["libslvs_ms"][0].isdigit() else None,
        "slvs_text": figures["libslvs_ms"],
        "slvs_converged": figures["libslvs_converged"] == "1",
        "apart": float(figures["apart"]) / sketch.extent,
    }
    if row["slvs_ms"] is not None:
        row["slvs_checked"] = families.check_document(sketch, peer_solved.read_text())
    return row


def run_in_process(sketch):
    """Median time of System.solve on fresh copies of the sketch, built through the module."""
    times, system = [], None
    while not times or (len(times) < 3 and sum(times) < ROUND_BUDGET_S * 1e3):
        system = families.to_system(sketch)
        began = time.perf_counter()
        result = system.solve()
        times.append((time.perf_counter() - began) * 1e3)
    return {"ovralis_ms": statistics.median(times), "ovralis_converged": result.converged,
            "ovralis_checked": families.check_system(sketch, system), "slvs_ms": None}


def growth(t1, n1, t2, n2):
    return math.log(t2 / t1) / math.log(n2 / n1)


def predicted_ms(measured, unknowns):
    """A time at `unknowns` extrapolated from the last two measured sizes (linear from one);
    0 while the last took under a second, too short to extrapolate from."""
    if not measured or measured[-1][1] < 1e3:
        return 0.0
    n2, t2 = measured[-1][:2]
    exponent = growth(measured[-2][1], measured[-2][0], t2, n2) if len(measured) > 1 else 1.0
    return t2 * (unknowns / n2) ** max(exponent, 1.0)


def verdict(converged, checked):
    """The convergence claim, the worst geometric error, and whether the answer is the known one."""
    if checked is None:
        return "-"
    error, offset = checked
    text = f"{'yes' if converged else 'NO'} {error:.0e}"
    if error > families.TOLERANCE:
        return text + (" WRONG" if converged else "")  # WRONG: a claim the geometry refutes
    if offset is not None and offset > 1e-6:
        return text + " other branch"
    return text


def format_row(family, unknowns, row):
    slvs_ms = row.get("slvs_ms")
    ratio = f"{row['ovralis_ms'] / slvs_ms:9.3f}" if slvs_ms else f"{'-':>9s}"
    slvs = f"{slvs_ms:11.3f}" if slvs_ms is not None else f"{row.get('slvs_text', '-'):>11s}"
    apart = f"{row['apart']:.0e}" if math.isfinite(row.get("apart", math.nan)) else "-"
    return (f"{family:26s} {unknowns:>7d} {row['ovralis_ms']:11.3f} {slvs} {ratio}  "
            f"{verdict(row['ovralis_converged'], row['ovralis_checked']):24s} "
            f"{verdict(row.get('slvs_converged'), row.get('slvs_checked')):24s} {apart:>7s}")


def spacing_ms(peer, sketch, workdir, prefix=()):
    """The mean point spacing of the sketch alone, timed by the peer program (None without it)."""
    if peer is None:
        return None
    document = workdir / (families.file_stem(sketch.family, sketch.unknowns) + ".spacing.json")
    document.write_text(families.to_document(sketch))
    output = subprocess.run(list(prefix) + [str(peer), str(document), "--spacing"], check=True,
                            capture_output=True, text=True).stdout.split()
    return float(dict(item.split("=", 1) for item in output[1:])["spacing_ms"])


def spacing_cost(peer, workdir):
    """The mean point spacing alone on the 100,000-unknown strip, on one core and on all."""
    if peer is None:
        return "not measured: the peer program (which times it from C++) is not built"
    sketch = families.build("strip", SPACING_SIZE)
    figures = []
    for label, prefix in (("one core", ["taskset", "-c", "0"]), (f"all {os.cpu_count()} cores", [])):
        if prefix and shutil.which("taskset") is None:
            continue
        figures.append(f"{label} {spacing_ms(peer, sketch, workdir, prefix):.1f} ms")
    return ", ".join(figures)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--peer", type=Path, default=default_peer())
    parser.add_argument("--family", action="append", choices=list(families.FAMILIES),
                        help="run only this family (repeatable); default every family")
    parser.add_argument("--sizes", default=",".join(map(str, SIZES)))
    parser.add_argument("--too-slow", type=float, default=120.0,
                        help="skip a size whose predicted solve exceeds this many seconds")
    args = parser.parse_args()
    sizes = [int(s) for s in args.sizes.split(",")]
    began = time.perf_counter()

    revision = subprocess.run(["git", "-C", str(Path(__file__).parent), "describe", "--always", "--dirty"],
                              capture_output=True, text=True).stdout.strip() or "unknown"
    print(f"revision {revision}, {time.strftime('%Y-%m-%d %H:%M UTC', time.gmtime())}, "
          f"{os.cpu_count()} cores")
    print(f"peer: {args.peer or 'not built: ovralis alone'}; libslvs up to {PEER_LIMIT} unknowns; "
          f"times are medians in ms; ratio = ovralis / libslvs; checked = converged claim and worst "
          f"geometric error (relative to extent; WRONG above {families.TOLERANCE:g}; 'other branch': "
          f"it holds but is not the known solution); apart = largest distance between the two "
          f"answers over the extent (the dragged chain has many answers)")
    print(f"{'family':26s} {'unknowns':>7s} {'ovralis ms':>11s} {'libslvs ms':>11s} {'ratio':>9s}  "
          f"{'ovralis checked':24s} {'libslvs checked':24s} {'apart':>7s}")
    summary = {}
    with tempfile.TemporaryDirectory() as scratch:
        workdir = Path(scratch)
        for family in args.family or families.FAMILIES:
            measured, peer_measured = [], []
            for size in sizes:
                sketch = families.build(family, size)
                guess = predicted_ms(measured, sketch.unknowns) / 1e3
                if guess > args.too_slow:
                    print(f"{family:26s} {sketch.unknowns:>7d}  skipped (too slow: about {guess:.0f} s predicted)")
                    continue
                peer_slow = predicted_ms(peer_measured, sketch.unknowns) > args.too_slow * 1e3
                if args.peer is not None and sketch.unknowns <= PEER_LIMIT and not peer_slow:
                    row = run_peer(args.peer, sketch, workdir)
                    if row["slvs_ms"] is not None:
                        peer_measured.append((sketch.unknowns, row["slvs_ms"]))
                else:
                    row = run_in_process(sketch)
                    row["slvs_text"] = "too slow" if peer_slow and sketch.unknowns <= PEER_LIMIT else "-"
                print(format_row(family, sketch.unknowns, row), flush=True)
                # The all-pairs spacing is quadratic by definition: growth is also
                # given without it, from the sizes where it is timed.
                spacing = spacing_ms(args.peer, sketch, workdir) if sketch.unknowns >= 0.95 * GROWTH_FROM else None
                measured.append((sketch.unknowns, row["ovralis_ms"], spacing))
            summary[family] = measured
        spacing = spacing_cost(args.peer, workdir)

    print("\nper family: growth exponent from about 2,000 unknowns to the largest measured size, "
          "with and without the all-pairs spacing; largest time against the strip's at the same size")
    strip_times = {n: t for n, t, _ in summary.get("strip", [])}
    for family, measured in summary.items():
        start = next((m for m in measured if m[0] >= 0.95 * GROWTH_FROM), None)
        end = measured[-1] if measured else None
        text = f"{family:26s} "
        if start and end and end[0] > start[0]:
            text += f"n^{growth(start[1], start[0], end[1], end[0]):.2f} ({start[0]} to {end[0]})"
            if start[2] is not None and end[2] is not None:
                text += f", n^{growth(start[1] - start[2], start[0], end[1] - end[2], end[0]):.2f} without the spacing"
        else:
            text += "growth: -"
        strip_at = next((t for n, t in strip_times.items() if end and abs(n - end[0]) <= 0.05 * n), None)
        if strip_at:
            text += f"; at {end[0]}: {end[1]:.1f} ms = {end[1] / strip_at:.2f} x strip"
        print(text)
    print(f"\nall-pairs mean point spacing alone, strip of {SPACING_SIZE} unknowns: {spacing}")
    print(f"total run time {time.perf_counter() - began:.0f} s")


if __name__ == "__main__":
    sys.exit(main())
