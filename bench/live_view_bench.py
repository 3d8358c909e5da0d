"""Live view benchmark: one drag round trip in the real browser, on 100 and 1,000 entities.

A plate of rectangular pockets (13 pockets: 104 entities; 125 pockets: 500
points and 500 lines; each pocket has its sides horizontal and vertical, a
fixed corner and a fixed height, so its width is free) is opened with
`ovralis serve` in Debian's Chromium. In the page, a pointer event moves one
pocket's corner; each round trip (request, drag solve, picture, reply, update
of the page) is timed from the event to the moment the page's picture has
changed (elements moved in place, or a new picture put in), and to the next
animation frame after that, when the page shows it. Prints the median, the 95th percentile and the
worst of the round trips, and, for comparison, the Python side alone in this
process: a whole drag request, the drag, the picture.

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

SIZES = (13, 125)  # pockets: 104 and 1,000 entities
STEPS = 120
CHROMIUM = "/usr/lib/chromium/chromium"


def plate(pockets):
    s = ovralis.System()
    columns = 25
    for k in range(pockets):
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


# Moves the corner by pointer events and times each round trip: to the moment the
# picture has changed in the page, and to the next animation frame after it.
ROUND_TRIPS = """
async ([corner, steps]) => {
  const sketch = window.ovralisSketch;
  const canvas = document.querySelector(".ovralis-canvas");
  const frame = () => new Promise((resolve) => requestAnimationFrame(resolve));
  const tick = () => new Promise((resolve) => setTimeout(resolve, 0));
  const settled = async () => { while (!sketch.idle()) await tick(); };
  // Resolves once the picture has changed: moved elements or a new picture. A mutation
  // observer runs right after the script that changed the page, timers are coarser.
  const pictureChanged = () => new Promise((resolve) => {
    const observer = new MutationObserver(() => { observer.disconnect(); resolve(); });
    observer.observe(canvas, { attributes: true, childList: true, subtree: true });
  });
  const event = (type, x, y) => canvas.dispatchEvent(new PointerEvent(type, {
    clientX: x, clientY: y, button: 0, buttons: 1, pointerId: 1, bubbles: true }));
  const start = sketch.toScreen(corner[0], corner[1]);
  canvas.setPointerCapture = () => {};
  event("pointerdown", start.x, start.y);
  await settled();
  const shown = [], framed = [];
  for (let i = 1; i <= steps; i += 1) {
    const changed = pictureChanged();
    const begin = performance.now();
    event("pointermove", start.x + 0.5 * i, start.y);
    await changed;
    shown.push(performance.now() - begin);
    await frame();
    framed.push(performance.now() - begin);
    await settled();
  }
  event("pointerup", start.x + 0.5 * steps, start.y);
  await settled();
  return [shown, framed];
}
"""


def python_side(system, corner):
    """Per drag step: the whole request, the drag alone, the picture alone (ms)."""
    session = SketchSession(system)
    view = {"cx": 120.0, "cy": 22.0, "scale": 4.0, "width": 1100, "height": 260}
    shown = session.handle({"type": "render", "view": view}).get("picture")
    session.handle({"type": "begin_drag", "point": corner, "view": view, "have": shown})
    requests, drags, pictures = [], [], []
    x, y = system.get_point(corner)
    for i in range(1, STEPS + 1):
        begin = time.perf_counter()
        reply = session.handle({"type": "drag", "point": corner, "x": x + 0.02 * i, "y": y, "view": view,
                                "have": shown})
        shown = reply.get("picture")
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
    print(f"{name:<38} median {statistics.median(times):7.2f} ms   p95 {p95:7.2f} ms   worst {times[-1]:7.2f} ms")


def browser_round_trips(system, corner):
    """(event to the changed picture, event to the next frame) per drag step, in ms."""
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
    return times


def main():
    for pockets in SIZES:
        system = plate(pockets)
        corner = 4 * (pockets // 2) + 2  # the top right corner of the middle pocket
        entities = system.num_points() + system.num_lines()
        print(f"\n{entities} entities ({system.num_points()} points, {system.num_lines()} lines), "
              f"{system.num_constraints()} constraints; {STEPS} drag steps")
        shown, framed = browser_round_trips(system, corner)
        summary("browser: event to the picture changed", shown)
        summary("browser: event to the next frame", framed)
        requests, drags, pictures = python_side(plate(pockets), corner)
        summary("Python side: one drag request", requests)
        summary("  of which the drag", drags)
        summary("  of which the picture (to_svg)", pictures)


if __name__ == "__main__":
    main()
