"""DXF import and constraint inference on large drawings.

A drawing is a sheet of parts laid out on a grid, each a plate with filleted
corners, a slot and a bolt circle of holes (22 entities a part), at a
seeded random size; from 1,000 to 100,000 entities. For each size the
benchmark writes the drawing to DXF text with ezdxf, then times the reading
(from_dxf without inference), the inference, and the whole import
(from_dxf with inference), and prints the growth exponent between sizes
(1 is linear). The import's processor time is printed beside its wall time:
on a shared machine it is the steadier figure.

    python bench/dxf_bench.py [--sizes 1000 10000 100000]
"""

import argparse
import io
import math
import random
import time

import ezdxf

import ovralis


def add_part(msp, x, y, rng):
    w, h = rng.uniform(6, 8), rng.uniform(4, 5)
    r = rng.uniform(0.4, 0.8)
    # The outline: four sides joined by quarter-circle fillets.
    corners = [(x + r, y + r, 180), (x + w - r, y + r, 270), (x + w - r, y + h - r, 0), (x + r, y + h - r, 90)]
    for k, (cx, cy, start) in enumerate(corners):
        msp.add_arc((cx, cy), r, start, start + 90)
        nx, ny, nstart = corners[(k + 1) % 4]
        end = math.radians(start + 90)
        begin = math.radians(nstart)
        msp.add_line((cx + r * math.cos(end), cy + r * math.sin(end)),
                     (nx + r * math.cos(begin), ny + r * math.sin(begin)))
    # A slot along the bottom.
    sx, sy, length, sr = x + 1.5, y + 1.2, w - 3.0, 0.35
    msp.add_line((sx, sy - sr), (sx + length, sy - sr))
    msp.add_line((sx + length, sy + sr), (sx, sy + sr))
    msp.add_arc((sx + length, sy), sr, -90, 90)
    msp.add_arc((sx, sy), sr, 90, 270)
    # A bolt circle: a rim and eight holes.
    cx, cy, pitch = x + w / 2, y + h * 0.65, 1.0
    msp.add_circle((cx, cy), pitch + 0.4)
    for k in range(8):
        angle = 2 * math.pi * k / 8
        msp.add_circle((cx + pitch * math.cos(angle), cy + pitch * math.sin(angle)), 0.15)
    msp.add_circle((cx, cy), 0.3)


ENTITIES_PER_PART = 22


def drawing_text(entities, seed=1):
    rng = random.Random(seed)
    document = ezdxf.new("R2010")
    msp = document.modelspace()
    parts = max(1, entities // ENTITIES_PER_PART)
    columns = math.ceil(math.sqrt(parts))
    for k in range(parts):
        add_part(msp, 10 * (k % columns), 7 * (k // columns), rng)
    stream = io.StringIO()
    document.write(stream)
    return stream.getvalue(), parts * ENTITIES_PER_PART


def timed(operation):
    start = time.perf_counter()
    value = operation()
    return time.perf_counter() - start, value


def processor_timed(operation):
    start = time.process_time()
    value = operation()
    return time.process_time() - start, value


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--sizes", type=int, nargs="+", default=[1000, 3000, 10000, 30000, 100000])
    args = parser.parse_args()
    print(f"{'entities':>9} {'read s':>8} {'infer s':>8} {'import s':>9} {'cpu s':>7} {'added':>7} {'dof':>7}  growth")
    previous = None
    for size in args.sizes:
        text, count = drawing_text(size)
        read_time, bare = timed(lambda: ovralis.from_dxf(io.StringIO(text), infer=False))
        infer_time, added = timed(lambda: bare.infer_constraints())
        import_time, _ = timed(lambda: ovralis.from_dxf(io.StringIO(text)))
        import_cpu, _ = processor_timed(lambda: ovralis.from_dxf(io.StringIO(text)))
        dof = bare.analyze_dof().degrees_of_freedom
        growth = ""
        if previous is not None:
            growth = f"{math.log(import_time / previous[1]) / math.log(count / previous[0]):.2f}"
        print(f"{count:>9} {read_time:>8.3f} {infer_time:>8.3f} {import_time:>9.3f} {import_cpu:>7.3f} {len(added):>7} "
              f"{dof:>7}  {growth}",
              flush=True)
        previous = (count, import_time)


if __name__ == "__main__":
    main()
