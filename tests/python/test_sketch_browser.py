"""The live view in a real browser: Debian's Chromium driven by Playwright.

`ovralis serve` runs as a subprocess on a free port; the tests press and drag
where the page's own transform says a sketch point is, type dimensions, undo,
save, and check what the saved document holds. The notebook widget's front end
is tested the same way, hosted by a page that carries its messages to a
SketchWidget in this process.
"""

import json
import math
import os
import re
import subprocess
import sys
from pathlib import Path

import pytest

import ovralis
from browser_pages import browser, drag_view  # noqa: F401 (browser is a fixture)
from sketch_views import (ARC_START, ELBOW, HOLE, PIVOT, TIP, bracket, conflicting_triangle, constraints_hold, elbow_for,
                          linkage, mechanism, side_of_elbow, triangle)

pytest.importorskip("playwright.sync_api")

FREE_INK, CONFLICT_INK = "#f57c00", "#d32f2f"
# Set to a directory to keep the screenshots the README shows.
SCREENSHOTS = os.environ.get("OVRALIS_SCREENSHOTS")


class Page:
    """A browser page on the live view, collecting JavaScript errors as it goes."""

    def __init__(self, browser, url=None):
        self.page = browser.new_page(viewport={"width": 900, "height": 640})
        self.errors = []
        self.page.on("console", lambda m: self.errors.append(m.text) if m.type == "error" else None)
        self.page.on("pageerror", lambda e: self.errors.append(str(e)))
        if url:
            self.page.goto(url)

    def settle(self):
        """Waits until every request has been answered and drawn."""
        self.page.wait_for_function("() => window.ovralisSketch && window.ovralisSketch.idle()")

    def screen(self, x, y):
        at = self.page.evaluate("([x, y]) => window.ovralisSketch.toScreen(x, y)", [x, y])
        return at["x"], at["y"]

    def drag(self, start, end, steps=12):
        """Drags from one sketch point towards another; returns where the mouse last was,
        in sketch coordinates, as the page saw it."""
        x, y = drag_view(self.page, self.page.locator(".ovralis-sketch"), self.screen, self.settle, start, end, steps)
        return {"x": x, "y": y}

    def type_dimension(self, constraint, value):
        self.page.dblclick(f'[data-constraint="{constraint}"] text')
        editor = self.page.locator(".ovralis-editor")
        editor.fill(str(value))
        editor.press("Enter")
        self.settle()

    def message(self):
        return self.page.inner_text("[data-message]")

    def ink(self, selector):
        return self.page.get_attribute(selector, "fill") or self.page.get_attribute(selector, "stroke")

    def close(self):
        self.page.close()
        assert self.errors == []


# `ovralis serve` as a machine without the websockets package runs it.
WITHOUT_WEBSOCKETS = ("import sys; sys.modules['websockets'] = None; from ovralis._cli import main; "
                      "sys.exit(main(sys.argv[1:]))")


@pytest.fixture
def served(tmp_path):
    """Starts `ovralis serve` on a document; yields (path, start) where start(system) serves it
    (start(system, websockets=False) as if the websockets package were not installed)."""
    servers = []

    def start(system, websockets=True):
        path = tmp_path / "sketch.json"
        path.write_text(system.to_json())
        command = ["-m", "ovralis"] if websockets else ["-c", WITHOUT_WEBSOCKETS]
        process = subprocess.Popen([sys.executable, *command, "serve", str(path), "--port", "0"],
                                   stdout=subprocess.PIPE, text=True, env=dict(os.environ, PYTHONUNBUFFERED="1"))
        servers.append(process)
        line = process.stdout.readline()
        url = re.search(r"http://127\.0\.0\.1:\d+/", line)
        assert url, line
        return path, url.group(0)

    yield start
    for process in servers:
        process.terminate()
        process.wait(timeout=10)
        process.stdout.close()


@pytest.fixture
def page_on(browser, served):
    pages = []

    def open_page(system, websockets=True):
        path, url = served(system, websockets)
        page = Page(browser, url)
        page.settle()
        pages.append(page)
        return path, page

    yield open_page
    for page in pages:
        page.close()


def saved(page, path):
    page.page.keyboard.press("Control+s")
    page.settle()
    assert page.message() == "saved sketch.json"
    return ovralis.System.from_json(path.read_text())


POSTS_TO_API = "() => performance.getEntriesByType('resource').filter((e) => e.name.endsWith('/api')).length"


# Requests travel over a WebSocket where the server offers one, else as posts to /api.
@pytest.mark.parametrize("websockets", [True, False], ids=["over a websocket", "as posts"])
def test_dragging_a_point_moves_it_along_its_constraints(page_on, websockets):
    path, page = page_on(linkage(), websockets)
    side = side_of_elbow(linkage())
    target = page.drag(linkage().get_point(TIP), (0.5, 1.5))
    assert (page.page.evaluate(POSTS_TO_API) == 0) == websockets
    tip = (target["x"], target["y"])
    moved = saved(page, path)
    assert moved.get_point(TIP) == pytest.approx(tip, abs=1e-9)
    assert tip == pytest.approx((0.5, 1.5), abs=0.02)
    assert moved.get_point(ELBOW) == pytest.approx(elbow_for(tip, side), abs=1e-7)
    assert moved.get_point(PIVOT) == (0.0, 0.0)
    assert constraints_hold(moved)


def test_what_a_person_sees_every_mark_in_view_and_the_free_hole(page_on):
    _, page = page_on(bracket())
    hole = bracket().num_points() - 1
    page.drag(bracket().get_point(hole), (1.2, 4.6))
    page.page.keyboard.press("f")
    page.page.keyboard.press("e")
    page.settle()
    assert page.page.inner_text("[data-status]") == "2 degrees of freedom · under constrained"
    assert page.ink(f'[data-point="{hole}"]') == FREE_INK
    canvas = page.page.locator(".ovralis-canvas").bounding_box()
    for k in range(bracket().num_constraints()):
        box = page.page.locator(f'[data-constraint="{k}"]').first.bounding_box()
        assert canvas["x"] <= box["x"] and box["x"] + box["width"] <= canvas["x"] + canvas["width"], k
        assert canvas["y"] <= box["y"] and box["y"] + box["height"] <= canvas["y"] + canvas["height"], k
    if SCREENSHOTS:
        page.page.screenshot(path=str(Path(SCREENSHOTS) / "live_view.png"))


# Each element of the picture shown and of a whole picture of the same view, fetched
# and parsed beside it: [tag, attributes, text].
SHOWN_AND_WHOLE = """
async () => {
  const describe = (svg) => [svg, ...svg.querySelectorAll("*")].map((e) => [e.tagName,
    Object.fromEntries(Array.from(e.attributes, (a) => [a.name, a.value])),
    e.tagName === "text" ? e.textContent : ""]);
  const request = { type: "render", view: { ...window.ovralisSketch.view } };
  const response = await fetch("/api", { method: "POST", body: JSON.stringify(request) });
  const whole = new DOMParser().parseFromString((await response.json()).svg, "image/svg+xml");
  return [describe(document.querySelector(".ovralis-canvas svg")), describe(whole.documentElement)];
}
"""


def test_drags_move_the_shown_picture_in_place_to_what_a_whole_redraw_shows(page_on):
    path, page = page_on(mechanism())
    page.page.keyboard.press("e")  # free entities coloured: their inks change in place too
    page.settle()
    page.page.evaluate("() => { window.firstPicture = document.querySelector('.ovralis-canvas svg'); }")
    page.drag(mechanism().get_point(HOLE), (2.0, 4.8))
    arc_start = page.drag(mechanism().get_point(ARC_START), (10.6, 2.9))
    assert page.page.evaluate("() => document.querySelector('.ovralis-canvas svg') === window.firstPicture")
    shown, whole = page.page.evaluate(SHOWN_AND_WHOLE)
    assert shown == whole
    moved = saved(page, path)
    assert moved.get_point(ARC_START) == pytest.approx((arc_start["x"], arc_start["y"]), abs=1e-9)
    for point in (HOLE, ARC_START):
        mark = page.page.locator(f'[data-point="{point}"]').bounding_box()
        centre = (mark["x"] + mark["width"] / 2, mark["y"] + mark["height"] / 2)
        assert centre == pytest.approx(page.screen(*moved.get_point(point)), abs=1.0)


def test_pressing_a_fixed_point_pans_the_view_instead_of_moving_it(page_on):
    path, page = page_on(triangle())
    x, y = page.screen(0.0, 0.0)
    page.page.mouse.move(x, y)
    page.page.mouse.down()
    page.page.mouse.move(x + 60, y - 40, steps=6)
    page.page.mouse.up()
    page.settle()
    assert page.screen(0.0, 0.0) == pytest.approx((x + 60, y - 40), abs=1)
    pivot = page.page.locator(f'[data-point="{PIVOT}"]').bounding_box()
    assert (pivot["x"] + 4, pivot["y"] + 4) == pytest.approx((x + 60, y - 40), abs=1.5)
    assert saved(page, path).to_json() == triangle().to_json()


def test_typing_a_dimension_and_refusing_an_impossible_one(page_on):
    path, page = page_on(triangle())
    page.type_dimension(2, 1.2)
    assert page.message() == "d = 1.2"
    edited = saved(page, path)
    assert edited.get_constraint(2).d == 1.2
    assert math.dist(edited.get_point(PIVOT), edited.get_point(TIP)) == pytest.approx(1.2, abs=1e-8)
    assert constraints_hold(edited)

    page.type_dimension(2, 2.5)
    refusal = page.message()
    assert "2.5" in refusal
    assert page.page.is_visible(".ovralis-editor.ovralis-refused")
    low, high = edited.dimension_range(2)
    assert f"from {low:g} to {high:g}" in refusal
    page.page.keyboard.press("Escape")
    assert saved(page, path).to_json() == edited.to_json()


def test_undo_and_redo_by_button_and_keyboard(page_on):
    original = triangle()
    path, page = page_on(original)
    page.type_dimension(2, 1.2)
    edited = saved(page, path).to_json()
    page.page.click('[data-action="undo"]')
    page.settle()
    assert saved(page, path).to_json() == original.to_json()
    assert page.page.is_disabled('[data-action="undo"]')
    page.page.keyboard.press("Control+Shift+z")
    page.settle()
    assert saved(page, path).to_json() == edited
    page.page.keyboard.press("Control+z")
    page.settle()
    assert saved(page, path).to_json() == original.to_json()


def test_highlighting_free_entities_and_conflicts(page_on):
    _, page = page_on(conflicting_triangle())
    assert "over constrained" in page.page.inner_text("[data-status]")
    tip = f'[data-point="{TIP}"]'
    assert page.ink(tip) != FREE_INK
    page.page.keyboard.press("e")
    page.settle()
    assert page.ink(tip) == FREE_INK
    assert page.page.get_attribute('[data-action="free"]', "aria-pressed") == "true"
    page.page.click('[data-action="conflicts"]')
    page.settle()
    assert page.page.get_attribute('[data-constraint="3"]', "stroke") == CONFLICT_INK


def test_wheel_zooms_about_the_cursor(page_on):
    _, page = page_on(triangle())
    scale = page.page.evaluate("() => window.ovralisSketch.view.scale")
    x, y = page.screen(*triangle().get_point(ELBOW))
    page.page.mouse.move(x, y)
    page.page.mouse.wheel(0, -200)
    page.settle()
    assert page.page.evaluate("() => window.ovralisSketch.view.scale") > scale * 1.2
    assert page.screen(*triangle().get_point(ELBOW)) == pytest.approx((x, y), abs=1)
    # The picture follows the view: the elbow's mark is still under the cursor.
    mark = page.page.locator(f'[data-point="{ELBOW}"]').bounding_box()
    assert (mark["x"] + mark["width"] / 2, mark["y"] + mark["height"] / 2) == pytest.approx((x, y), abs=1.5)


# ---- the notebook widget's front end, hosted by a test page ----

WIDGET_HOST = """
async ([esm, state]) => {
  const handlers = new Map();
  const model = {
    get: (name) => state[name],
    on: (event, handler) => handlers.set(event, handler),
    off: (event) => handlers.delete(event),
    send: async (content) => {
      for (const answer of await window.toKernel(content)) handlers.get("msg:custom")(answer);
    },
  };
  const url = URL.createObjectURL(new Blob([esm], { type: "text/javascript" }));
  const widget = (await import(url)).default;
  const el = document.getElementById("widget");
  widget.render({ model, el });
  window.ovralisSketch = el.ovralis;
}
"""


def test_the_widget_front_end_drags_and_edits_the_callers_system(browser):
    anywidget = pytest.importorskip("anywidget")
    s = linkage()
    side = side_of_elbow(s)
    widget = ovralis.SketchWidget(s)
    answers = []
    widget.send = answers.append

    def to_kernel(content):
        widget._answer(widget, content, [])
        sent = list(answers)
        answers.clear()
        return sent

    page = Page(browser)
    page.page.expose_function("toKernel", to_kernel)
    page.page.set_content('<div id="widget" style="width: 700px"></div>')
    page.page.evaluate(WIDGET_HOST, [widget._esm, widget.get_state()])
    page.page.add_style_tag(content=widget._css)
    page.settle()
    assert page.page.is_hidden('[data-action="save"]')
    target = page.drag(s.get_point(TIP), (-0.4, 1.2))
    tip = (target["x"], target["y"])
    assert s.get_point(TIP) == pytest.approx(tip, abs=1e-9)
    assert s.get_point(ELBOW) == pytest.approx(elbow_for(tip, side), abs=1e-7)
    assert constraints_hold(s)
    page.page.click('[data-action="fit"]')  # the elbow swung out of the first view
    page.settle()
    page.type_dimension(0, 0.9)
    assert s.get_constraint(0).d == 0.9 and constraints_hold(s)
    page.page.click(".ovralis-canvas")  # the widget takes keys only when focused
    page.page.keyboard.press("Control+z")
    page.settle()
    assert s.get_constraint(0).d == 1.0
    assert widget.status == page.page.inner_text("[data-status]")
    # A point added from Python changes the picture's structure: the next reply draws it whole.
    added = s.add_point(0.2, -0.3)
    page.page.keyboard.press("e")
    page.settle()
    assert page.page.locator(f'[data-point="{added}"]').count() == 1
    if SCREENSHOTS:
        page.page.locator("#widget").screenshot(path=str(Path(SCREENSHOTS) / "live_widget.png"))
    page.close()
