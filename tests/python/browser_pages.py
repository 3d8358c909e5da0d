"""What the browser tests share: Debian's Chromium driven by Playwright, and a drag
with the real mouse over a sketch view."""

import os
import shutil

import pytest


def chromium_path():
    """Debian's Chromium: the browser binary itself, not the wrapper script."""
    for candidate in ("/usr/lib/chromium/chromium", shutil.which("chromium")):
        if candidate and os.access(candidate, os.X_OK):
            return candidate
    pytest.fail("Chromium is missing: tools/dev.sh installs it (apt-get install chromium)")


@pytest.fixture(scope="module")
def browser():
    sync_api = pytest.importorskip("playwright.sync_api")
    with sync_api.sync_playwright() as p:
        browser = p.chromium.launch(executable_path=chromium_path(), args=["--no-sandbox", "--disable-dev-shm-usage"])
        yield browser
        browser.close()


# Records, in the page, where the last pointer move over the view's canvas was.
RECORD_LAST_POINTER = """(root) => root.querySelector(".ovralis-canvas").addEventListener(
    "pointermove", (e) => { window.lastPointer = [e.clientX, e.clientY]; })"""
LAST_POINTER_IN_SKETCH = "(root) => root.ovralis.toSketch(...window.lastPointer)"


def drag_view(page, view, screen, settle, start, end, steps):
    """Presses at sketch point `start` of the view (a handle on its root element), moves
    towards `end` in `steps` pointer moves and releases; returns where the mouse last was,
    in sketch coordinates, as the view saw it."""
    view.evaluate(RECORD_LAST_POINTER)
    page.mouse.move(*screen(*start))
    page.mouse.down()
    page.mouse.move(*screen(*end), steps=steps)
    settle()
    page.mouse.up()
    settle()
    at = view.evaluate(LAST_POINTER_IN_SKETCH)
    return at["x"], at["y"]
