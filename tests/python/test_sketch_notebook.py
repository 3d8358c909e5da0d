"""SketchWidget in a real notebook kernel: the cell's output is a widget view."""

import pytest

nbclient = pytest.importorskip("nbclient")
nbformat = pytest.importorskip("nbformat")
pytest.importorskip("anywidget")

CELLS = [
    "import ovralis\n"
    "s = ovralis.System()\n"
    "pivot = s.add_point(0, 0, fixed=True)\n"
    "tip = s.add_point(1, 0)\n"
    "s.add_distance_constraint(pivot, tip, 1.0)\n"
    "w = ovralis.SketchWidget(s)\n"
    "w",
    "w._answer(w, {'id': 1, 'request': {'type': 'set_dimension', 'constraint': 0, 'value': 2.0}}, [])\n"
    "print(s.get_point(tip), w.system is s, w.status)",
]


def test_a_notebook_cell_shows_the_widget_and_edits_the_system():
    notebook = nbformat.v4.new_notebook(cells=[nbformat.v4.new_code_cell(c) for c in CELLS])
    nbclient.NotebookClient(notebook, timeout=120, kernel_name="python3").execute()
    shown, printed = (cell.outputs for cell in notebook.cells)
    (view,) = [o for o in shown if o.output_type == "execute_result"]
    assert "application/vnd.jupyter.widget-view+json" in view.data
    text = "".join(o.text for o in printed if o.output_type == "stream")
    assert text == "(2.0, 0.0) True 1 degree of freedom · under constrained\n"
