"""The live view's message protocol in Python: the session, the widget's messages, the server's files."""

import json
import math
import xml.etree.ElementTree as ET

import pytest

import ovralis
from ovralis._cli import main
from ovralis._serve import SketchServer, write_atomically
from ovralis._sketch_session import SketchSession, with_value
from sketch_views import (ELBOW, PIVOT, SPAN, TIP, conflicting_triangle, constraints_hold, elbow_for, linkage,
                          side_of_elbow, triangle)

VIEW = {"cx": 0.75, "cy": 0.3, "scale": 200.0, "width": 640, "height": 400}


def points_of(svg):
    """data-point index -> element of the picture."""
    root = ET.fromstring(svg)
    return {int(e.get("data-point")): e for e in root.iter() if e.get("data-point") is not None}


def test_a_render_reply_carries_the_picture_status_and_bounds():
    s = triangle()
    reply = SketchSession(s).handle({"type": "render", "view": VIEW})
    assert reply["ok"] and reply["message"] == ""
    assert reply["status"] == "1 degree of freedom · under constrained"
    assert reply["bounds"] == pytest.approx([0.0, 0.0, SPAN, math.sqrt(1 - 0.75**2)])
    root = ET.fromstring(reply["svg"])
    assert (root.get("width"), root.get("height")) == ("640", "400")
    # The view's centre lands in the picture's middle, at the view's scale.
    assert float(root.get("data-scale")) == pytest.approx(200.0)
    ox, oy = map(float, root.get("data-origin").split())
    assert (ox + 200.0 * 0.75, oy - 200.0 * 0.3) == pytest.approx((320.0, 200.0))
    assert sorted(points_of(reply["svg"])) == [PIVOT, ELBOW, TIP]


@pytest.mark.parametrize("target", [(0.5, 1.5), (1.2, -0.4), (-0.3, 1.1)])
def test_a_drag_gesture_moves_along_the_constraints_and_undoes_as_one_step(target):
    s = linkage()
    before = s.to_json()
    side = side_of_elbow(s)
    session = SketchSession(s)
    session.handle({"type": "begin_drag", "point": TIP})
    # Small steps, as a mouse gives them, so the elbow stays on its side.
    (x0, y0), steps = s.get_point(TIP), 10
    for i in range(1, steps + 1):
        x, y = x0 + i / steps * (target[0] - x0), y0 + i / steps * (target[1] - y0)
        assert session.handle({"type": "drag", "point": TIP, "x": x, "y": y, "view": VIEW})["ok"]
    reply = session.handle({"type": "end_drag", "view": VIEW})
    assert s.get_point(TIP) == pytest.approx(target, abs=1e-9)
    assert s.get_point(ELBOW) == pytest.approx(elbow_for(target, side), abs=1e-7)
    assert constraints_hold(s)
    assert (reply["undo"], reply["redo"]) == (1, 0)
    assert session.handle({"type": "undo"})["redo"] == 1
    assert s.to_json() == before
    session.handle({"type": "redo"})
    assert s.get_point(TIP) == pytest.approx(target, abs=1e-9)


def test_a_drag_out_of_reach_is_reported_and_the_tip_stays_on_its_bars():
    s = linkage()
    reply = SketchSession(s).handle({"type": "drag", "point": TIP, "x": 5.0, "y": 0.0})
    assert reply["ok"]
    assert math.hypot(*s.get_point(TIP)) <= 2 * 1.0 + 1e-9
    assert constraints_hold(s)


def test_a_press_that_moves_nothing_leaves_nothing_to_undo():
    session = SketchSession(triangle())
    session.handle({"type": "begin_drag", "point": TIP})
    assert session.handle({"type": "end_drag"})["undo"] == 0


def test_a_typed_dimension_holds_and_can_be_undone():
    s = triangle()
    before = s.to_json()
    session = SketchSession(s)
    reply = session.handle({"type": "set_dimension", "constraint": 2, "value": 1.2, "view": VIEW})
    assert reply["ok"], reply["message"]
    assert s.get_constraint(2).d == 1.2
    assert math.dist(s.get_point(PIVOT), s.get_point(TIP)) == pytest.approx(1.2, abs=1e-8)
    assert constraints_hold(s)
    session.handle({"type": "undo"})
    assert s.to_json() == before


@pytest.mark.parametrize("value", [2.5, -1.0, 2.01])
def test_an_impossible_dimension_is_refused_with_its_range_and_the_store_unchanged(value):
    s = triangle()
    before = s.to_json()
    low, high = s.dimension_range(2)
    reply = SketchSession(s).handle({"type": "set_dimension", "constraint": 2, "value": value})
    assert not reply["ok"]
    assert f"{value:g} is out of reach" in reply["message"]
    assert f"from {low:g} to {high:g}" in reply["message"] and reply["range"] == [low, high]
    assert s.to_json() == before
    assert reply["undo"] == 0


def test_the_range_of_a_triangle_side_is_the_triangle_inequality():
    # Independent truth: with the other sides 1 and 1 the third lies in [0, 2].
    low, high = triangle().dimension_range(2)
    assert (low, high) == pytest.approx((0.0, 2.0), abs=1e-6)


def test_an_unbounded_range_travels_as_null():
    s = ovralis.System()
    s.add_point(0.0, 0.0, fixed=True)
    s.add_point(1.0, 0.0)
    s.add_distance_constraint(0, 1, 1.0)
    reply = SketchSession(s).handle({"type": "set_dimension", "constraint": 0, "value": -3.0})
    assert not reply["ok"] and reply["range"][1] is None
    json.loads(json.dumps(reply, allow_nan=False))


@pytest.mark.parametrize("request_, words", [
    ({"type": "set_dimension", "constraint": 9, "value": 1.0}, "out of range"),
    ({"type": "set_dimension", "constraint": 0, "value": "wide"}, "bad set_dimension"),
    ({"type": "set_dimension", "constraint": 0, "value": float("nan")}, "finite"),
    ({"type": "drag", "point": TIP}, "bad drag"),
    ({"type": "explode"}, "unknown request"),
    ({"type": "undo"}, "nothing to undo"),
    ({"type": "save"}, "in place"),
])
def test_bad_requests_are_refused_in_words(request_, words):
    s = triangle()
    before = s.to_json()
    reply = SketchSession(s).handle(request_)
    assert not reply["ok"] and words in reply["message"]
    assert s.to_json() == before


def test_a_fixed_point_dimension_is_not_a_single_value():
    s = triangle()
    s.add_fixed_point_constraint(TIP, SPAN, 0.0)
    reply = SketchSession(s).handle({"type": "set_dimension", "constraint": 3, "value": 1.0})
    assert not reply["ok"] and "no single value" in reply["message"]


def test_with_value_keeps_every_other_field():
    c = ovralis.angle_between_points_constraint(3, 4, 5, 30.0)
    assert with_value(c, 45.0).fields() == {"a": 3, "b": 4, "c": 5, "deg": 45.0}


@pytest.mark.parametrize("free, conflicts, point_ink, constraint_ink", [
    (False, False, "#222222", "#1565c0"),
    (True, False, "#f57c00", "#1565c0"),
    (False, True, "#d32f2f", "#d32f2f"),
])
def test_highlighting_colours_what_the_analysis_finds(free, conflicts, point_ink, constraint_ink):
    session = SketchSession(conflicting_triangle())
    reply = session.handle({"type": "highlight", "free": free, "conflicts": conflicts, "view": VIEW})
    assert "over constrained" in reply["status"]
    root = ET.fromstring(reply["svg"])
    tip = next(e for e in root.iter() if e.get("data-point") == str(TIP))
    conflict = next(e for e in root.iter() if e.get("data-constraint") == "3")
    assert tip.get("fill") == point_ink
    assert conflict.get("stroke") == constraint_ink


# ---- the widget ----

anywidget = pytest.importorskip("anywidget")


class Recorder:
    """Stands in for the kernel's comm: collects what the widget sends."""

    def __init__(self):
        self.sent = []

    def __call__(self, content, buffers=None):
        self.sent.append(content)


def widget_with_recorder(system):
    widget = ovralis.SketchWidget(system)
    widget.send = Recorder()
    return widget


def test_the_widget_answers_each_request_with_its_id_and_edits_the_callers_system():
    s = triangle()
    widget = widget_with_recorder(s)
    assert widget.status == "1 degree of freedom · under constrained"
    widget._answer(widget, {"id": 7, "request": {"type": "set_dimension", "constraint": 2, "value": 1.2}}, [])
    (answer,) = widget.send.sent
    assert answer["id"] == 7 and answer["reply"]["ok"]
    assert widget.system is s and s.get_constraint(2).d == 1.2
    json.dumps(answer)  # the reply travels as JSON


def test_the_widget_ignores_messages_that_are_not_requests():
    widget = widget_with_recorder(triangle())
    widget._answer(widget, "hello", [])
    widget._answer(widget, {"id": 1}, [])
    assert widget.send.sent == []


def test_the_widget_front_end_is_the_shared_view_with_its_notebook_host():
    esm = ovralis.SketchWidget._esm
    assert "export function mountSketch" in esm and "export default" in esm
    assert ".ovralis-toolbar" in ovralis.SketchWidget._css
    state = widget_with_recorder(triangle()).get_state()
    assert state["height"] == 420 and "1 degree of freedom" in state["status"]


def test_the_widget_is_loaded_on_first_use_and_not_star_exported():
    assert "SketchWidget" not in ovralis.__all__
    from ovralis import SketchWidget
    assert SketchWidget is ovralis.SketchWidget


def test_the_widget_needs_a_system():
    with pytest.raises(TypeError, match="ovralis.System"):
        ovralis.SketchWidget("sketch.json")


# ---- the server's files ----


def test_saving_writes_the_document_atomically(tmp_path):
    path = tmp_path / "sketch.json"
    path.write_text("old")
    write_atomically(path, "new")
    assert path.read_text() == "new"
    assert [p.name for p in tmp_path.iterdir()] == ["sketch.json"]


def test_a_failed_save_leaves_the_old_document_and_no_temporary(tmp_path):
    path = tmp_path / "sketch.json"
    path.write_text("old")
    with pytest.raises(TypeError):
        write_atomically(path, None)
    assert path.read_text() == "old"
    assert [p.name for p in tmp_path.iterdir()] == ["sketch.json"]


def test_the_server_saves_the_systems_document(tmp_path):
    path = tmp_path / "sketch.json"
    s = triangle()
    path.write_text(s.to_json())
    server = SketchServer(path, s, "127.0.0.1", 0)
    try:
        server.session.handle({"type": "set_dimension", "constraint": 2, "value": 1.2})
        reply = server.session.handle({"type": "save"})
    finally:
        server.server_close()
    assert reply["ok"] and reply["message"] == "saved sketch.json"
    assert path.read_text() == s.to_json()
    assert server.server_address[0] == "127.0.0.1"


@pytest.mark.parametrize("content, words", [
    (None, "cannot read"),
    ("{not json", "JSON parse error"),
])
def test_serve_refuses_a_bad_or_missing_file_with_status_2(tmp_path, capsys, content, words):
    path = tmp_path / "sketch.json"
    if content is not None:
        path.write_text(content)
    assert main(["serve", str(path), "--port", "0"]) == 2
    error = capsys.readouterr().err
    assert error.count("\n") == 1 and words in error and "sketch.json" in error
