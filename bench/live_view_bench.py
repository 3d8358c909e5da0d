"""Live view benchmark: one drag round trip in the real browser on a 1,000-entity sketch.

A plate of 125 rectangular pockets (500 points, 500 lines; each pocket has
its sides horizontal and vertical, a fixed corner and a fixed height, so its
width is free) is opened with `ovralis serve` in Debian's Chromium. In the
page, a pointer event moves one pocket's corner; the round trip is timed from
the event to the next animation frame after the new picture is in place
(request, drag solve, to_svg, reply, redraw). Prints the median, the 95th
percentile and the worst of the round trips, and, for comparison, the
Python side alone in this process: a whole drag request, the drag, the picture.

    PYTHONPATH=build-dev/python .venv/bin/python bench/live_view_bench.py
"""

import os
import re
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

from playwright.sync_api import sync_playwright

import ovralis
from ovralis._sketch_session import SketchSession

POCKETS = 125
STEPS = 120
CHROMIUM = "/usr/lib/chromium/chromium"


def plate():
    s = ovralis.System()
    columns = 25
    for k in range(POCKETS):
        x, y = 10.0 * (k % columns), 10.0 * (k // columns)
        p = [s.add_point(x, y, fixed=True), s.add_point(x + 6, y), s.add_point(x + 6, y + 4),
             s.add_point(x, y + 4)]
        for i in range(4):
            s.add_line(p[i], p[(i + 1) % 4])
        s.add_horizontal_constraint(p[0], p[1])
        s.add_vertical_constraint(p[1], p[2])
        s.add_horizontal_constraint(p[2], p[3])
        s.add_vertical_constraint(p[0], p[3])
        s.add_distance_constraint(p[0], p[3], 4.0)
    s.solve()
    return s


# Moves the corner by pointer events and times each round trip to the redrawn frame.
ROUND_TRIPS = """
async ([corner, steps]) => {
  const sketch = window.ovralisSketch;
  const canvas = document.querySelector(".ovralis-canvas");
  const frame = () => new Promise((resolve) => requestAnimationFrame(resolve));
  const settled = async () => { while (!sketch.idle()) await new Promise((r) => setTimeout(r, 0)); };
  const event = (type, x, y) => canvas.dispatchEvent(new PointerEvent(type, {
    clientX: x, clientY: y, button: 0, buttons: 1, pointerId: 1, bubbles: true }));
  const start = sketch.toScreen(corner[0], corner[1]);
  canvas.setPointerCapture = () => {};
  event("pointerdown", start.x, start.y);
  await settled();
  const times = [];
  for (let i = 1; i <= steps; i += 1) {
    const begin = performance.now();
    event("pointermove", start.x + 0.5 * i, start.y);
    await settled();
    await frame();
    times.push(performance.now() - begin);
  }
  event("pointerup", start.x + 0.5 * steps, start.y);
  await settled();
  return times;
}
"""


def python_side(system, corner):
    """Per drag step: the whole request, the drag alone, the picture alone (ms)."""
    session = SketchSession(system)
    view = {"cx": 120.0, "cy": 22.0, "scale": 4.0, "width": 1100, "height": 260}
    session.handle({"type": "begin_drag", "point": corner})
    requests, drags, pictures = [], [], []
    x, y = system.get_point(corner)
    for i in range(1, STEPS + 1):
        begin = time.perf_counter()
        session.handle({"type": "drag", "point": corner, "x": x + 0.02 * i, "y": y, "view": view})
        middle = time.perf_counter()
        system.drag(corner, x + 0.02 * i + 0.01, y)
        dragged = time.perf_counter()
        session.picture(view)
        end = time.perf_counter()
        requests.append(1000 * (middle - begin))
        drags.append(1000 * (dragged - middle))
        pictures.append(1000 * (end - dragged))
    return requests, drags, pictures


def summary(name, times):
    times = sorted(times)
    p95 = times[int(0.95 * (len(times) - 1))]
    print(f"{name:<34} median {statistics.median(times):7.2f} ms   p95 {p95:7.2f} ms   worst {times[-1]:7.2f} ms")


def main():
    system = plate()
    corner = 4 * (POCKETS // 2) + 2  # the top right corner of the middle pocket
    entities = system.num_points() + system.num_lines()
    print(f"{entities} entities ({system.num_points()} points, {system.num_lines()} lines), "
          f"{system.num_constraints()} constraints; {STEPS} drag steps")
    with tempfile.TemporaryDirectory() as folder:
        path = Path(folder) / "plate.json"
        path.write_text(system.to_json())
        server = subprocess.Popen([sys.executable, "-m", "ovralis", "serve", str(path), "--port", "0"],
                                  stdout=subprocess.PIPE, text=True, env=dict(os.environ, PYTHONUNBUFFERED="1"))
        try:
            url = re.search(r"http://\S+/", server.stdout.readline()).group(0)
            with sync_playwright() as p:
                browser = p.chromium.launch(executable_path=CHROMIUM, args=["--no-sandbox", "--disable-dev-shm-usage"])
                page = browser.new_page(viewport={"width": 1200, "height": 400})
                page.goto(url)
                page.wait_for_function("() => window.ovralisSketch && window.ovralisSketch.idle()")
                times = page.evaluate(ROUND_TRIPS, [list(system.get_point(corner)), STEPS])
                browser.close()
        finally:
            server.terminate()
            server.wait()
            server.stdout.close()
    summary("browser round trip (event to frame)", times)
    requests, drags, pictures = python_side(plate(), corner)
    summary("Python side: one drag request", requests)
    summary("  of which the drag", drags)
    summary("  of which the picture (to_svg)", pictures)


if __name__ == "__main__":
    main()
