"""SketchWidget in real notebook front ends: JupyterLab and Notebook 7 in Debian's Chromium.

Each test starts a Jupyter server on a free port, with a token and its own
directories so nothing reaches the home directory, writes a notebook that shows
a SketchWidget, runs its cell in the browser as a person would, drags a free
point with the mouse and reads back, from a second cell's printed output, the
System the kernel holds.
"""

import json
import os
import secrets
import signal
import subprocess
import sys
import time

import pytest

import ovralis
from browser_pages import browser, drag_view  # noqa: F401 (browser is a fixture)
from sketch_views import ELBOW, PIVOT, TIP, constraints_hold, elbow_for, linkage, side_of_elbow

playwright = pytest.importorskip("playwright.sync_api")
nbformat = pytest.importorskip("nbformat")
pytest.importorskip("anywidget")

SERVER_START_SECONDS = 60
SERVER_STOP_SECONDS = 15
# Room for starting a kernel and loading a front end on a machine busy with other work.
WAIT_MS = 60_000
RUN_ATTEMPTS, RUN_TAKEN_MS = 5, 3_000
# Where the widget's own code runs: anywidget imports its module from a blob: URL.
WIDGET_MARKS = ("blob:", "anywidget", "@jupyter-widgets", "ovralis")


def write_notebook(path, system):
    """Cell 0 shows a SketchWidget on the sketch; cell 1 prints the sketch the kernel holds."""
    cells = [f"import ovralis\ns = ovralis.System.from_json({system.to_json()!r})\novralis.SketchWidget(s)",
             "print(s.to_json())"]
    kernel = {"name": "python3", "display_name": "Python 3", "language": "python"}
    notebook = nbformat.v4.new_notebook(cells=[nbformat.v4.new_code_cell(c) for c in cells],
                                        metadata={"kernelspec": kernel})
    nbformat.write(notebook, str(path))


def jupyter_environment(home):
    """Every directory the server, the front end and the kernel write to, under `home`."""
    env = dict(os.environ, HOME=str(home), JUPYTER_CONFIG_DIR=str(home / "config"),
               JUPYTER_RUNTIME_DIR=str(home / "runtime"), JUPYTER_DATA_DIR=str(home / "data"),
               JUPYTERLAB_SETTINGS_DIR=str(home / "lab-settings"),
               JUPYTERLAB_WORKSPACES_DIR=str(home / "lab-workspaces"), IPYTHONDIR=str(home / "ipython"))
    # The kernel imports the module under test from where this process found it.
    env["PYTHONPATH"] = os.pathsep.join(filter(None, [os.path.dirname(os.path.dirname(ovralis.__file__)),
                                                      os.environ.get("PYTHONPATH")]))
    return env


def server_port(runtime, process):
    """The port the server chose, from the description it writes once it listens."""
    deadline = time.monotonic() + SERVER_START_SECONDS
    while time.monotonic() < deadline:
        assert process.poll() is None, f"the Jupyter server stopped with status {process.returncode}"
        for description in runtime.glob("jpserver-*.json"):
            text = description.read_text()
            if text:
                return json.loads(text)["port"]
        time.sleep(0.1)
    pytest.fail("the Jupyter server did not start")


@pytest.fixture(params=["lab", "notebook"], ids=["JupyterLab", "Notebook 7"])
def served_notebook(request, tmp_path):
    """Starts a Jupyter server of the front end on an empty root; yields (url, path) of a
    notebook there, which the test writes before opening the url."""
    application = request.param
    pytest.importorskip("jupyterlab" if application == "lab" else "notebook")
    root = tmp_path / "notebooks"
    root.mkdir()
    home = tmp_path / "home"
    token = secrets.token_hex(16)
    # --allow-root: CI runs as root, and the server refuses root without it.
    command = [sys.executable, "-m", "jupyter", application, "--no-browser", "--allow-root", "--ip=127.0.0.1",
               "--port=0", f"--IdentityProvider.token={token}", f"--ServerApp.root_dir={root}"]
    with (tmp_path / "server.log").open("w") as log:
        process = subprocess.Popen(command, env=jupyter_environment(home), stdout=log, stderr=subprocess.STDOUT,
                                   cwd=root, start_new_session=True)
        try:
            port = server_port(home / "runtime", process)
            tree = "lab/tree" if application == "lab" else "notebooks"
            yield f"http://127.0.0.1:{port}/{tree}/sketch.ipynb?token={token}", root / "sketch.ipynb"
        finally:
            stop(process)


def stop(server):
    """Stops the server, which shuts its kernel down; if it lingers, ends it and its kernel."""
    server.terminate()
    try:
        server.wait(timeout=SERVER_STOP_SECONDS)
    except subprocess.TimeoutExpired:
        os.killpg(server.pid, signal.SIGKILL)
        server.wait()


class NotebookPage:
    """A notebook open in the browser, with the errors of the widget's code collected as it goes
    (the front end's own, such as a settings schema it misses, are not the widget's)."""

    def __init__(self, browser, url):
        self.page = browser.new_page(viewport={"width": 1200, "height": 900})
        self.page.set_default_timeout(WAIT_MS)
        self.widget_errors = []
        self.page.on("console", self._on_console)
        self.page.on("pageerror", lambda e: self._note(e.stack or str(e)))
        self.page.goto(url)
        # A cell run before the kernel is ready would not run.
        self.page.locator('.jp-Notebook-ExecutionIndicator[data-status="idle"]').wait_for(state="attached")
        self.view = self.page.locator(".ovralis-sketch")

    def _on_console(self, message):
        # The view reports a request that failed as a warning.
        if message.type == "error" or message.text.startswith("ovralis"):
            self._note(f"{message.location.get('url')}: {message.text}")

    def _note(self, error):
        if any(mark in error for mark in WIDGET_MARKS):
            self.widget_errors.append(error)

    def run_cell(self, index):
        """Runs a cell as a person would, clicking into it and pressing Shift+Enter, and waits
        until its prompt shows the new execution count. A front end still connecting to its
        new kernel drops the run without a word, so the person presses again."""
        cell = self.page.locator(".jp-Notebook .jp-Cell").nth(index)
        prompt = f"document.querySelectorAll('.jp-Notebook .jp-Cell')[{index}].querySelector('.jp-InputPrompt').innerText"
        cell.locator(".jp-InputPrompt").wait_for()
        before = self.page.evaluate(prompt)
        for attempt in range(RUN_ATTEMPTS):
            cell.locator(".cm-content").click()
            self.page.keyboard.press("Shift+Enter")
            try:  # the prompt shows [*] at once when the run is taken
                self.page.wait_for_function(f"(before) => /\\[(\\*|\\d+)\\]/.test({prompt}) && {prompt} !== before",
                                            arg=before, timeout=RUN_TAKEN_MS)
                break
            except playwright.TimeoutError:
                if attempt == RUN_ATTEMPTS - 1:
                    raise
        self.page.wait_for_function(f"() => /\\[\\d+\\]/.test({prompt})")
        return cell

    def printed(self, index):
        """What a cell printed when run."""
        return self.run_cell(index).locator(".jp-OutputArea-output").inner_text()

    def settle(self):
        """Waits until the view has had every request answered and drawn."""
        self.view.element_handle().wait_for_element_state("visible")
        self.page.wait_for_function("(root) => root.ovralis.idle()", arg=self.view.element_handle())

    def screen(self, x, y):
        at = self.view.evaluate("(root, [x, y]) => root.ovralis.toScreen(x, y)", [x, y])
        return at["x"], at["y"]

    def drag(self, start, end, steps=12):
        """Drags from one sketch point towards another; returns where the mouse last was,
        in sketch coordinates, as the view saw it."""
        return drag_view(self.page, self.view, self.screen, self.settle, start, end, steps)


@pytest.fixture
def open_notebook(browser, served_notebook):
    """Writes the notebook of a sketch on the server and opens it in the browser."""
    url, path = served_notebook
    pages = []

    def open_on(system):
        write_notebook(path, system)
        pages.append(NotebookPage(browser, url))
        return pages[-1]

    yield open_on
    for notebook in pages:
        for dialog in notebook.page.locator(".jp-Dialog").all_inner_texts():
            print("the front end showed a dialog:", dialog)  # shown with a failure, to say what was in the way
        notebook.page.close()


def test_dragging_a_point_in_a_notebook_moves_the_callers_system_and_ctrl_z_undoes_it(open_notebook):
    original = linkage()
    side = side_of_elbow(original)
    notebook = open_notebook(original)
    notebook.run_cell(0)
    notebook.view.locator("[data-point]").first.wait_for()
    notebook.view.scroll_into_view_if_needed()
    notebook.settle()

    tip = notebook.drag(original.get_point(TIP), (-0.4, 1.2))
    assert tip == pytest.approx((-0.4, 1.2), abs=0.02)
    moved = ovralis.System.from_json(notebook.printed(1))
    assert moved.get_point(TIP) == pytest.approx(tip, abs=1e-9)
    assert moved.get_point(ELBOW) == pytest.approx(elbow_for(tip, side), abs=1e-7)
    assert moved.get_point(PIVOT) == (0.0, 0.0)
    assert constraints_hold(moved)

    # The keys reach the view, not the notebook's own shortcuts.
    notebook.view.locator(".ovralis-canvas").click(position={"x": 5, "y": 5})  # a pan that goes nowhere
    notebook.page.keyboard.press("Control+z")
    notebook.settle()
    assert notebook.printed(1).strip() == original.to_json()
    assert notebook.widget_errors == []
