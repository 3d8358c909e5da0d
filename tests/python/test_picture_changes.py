"""The live view's picture updates: the changes a reply carries rebuild exactly the
picture to_svg draws, and a whole picture comes whenever changes cannot say it."""

import xml.etree.ElementTree as ET

import pytest

import ovralis
from ovralis._picture_changes import TEXT, Picture
from ovralis._sketch_session import SketchSession
from sketch_views import ARC_START, HOLE, mechanism

VIEW = {"cx": 5.0, "cy": 3.5, "scale": 50.0, "width": 720, "height": 480}


def elements(svg):
    return list(ET.fromstring(svg).iter())


def applied(svg, changes):
    """The picture `svg` after the changes, as the front end applies them."""
    root = ET.fromstring(svg)
    numbered = list(root.iter())
    for number, *values in changes:
        for name, value in zip(values[::2], values[1::2]):
            if name == TEXT:
                numbered[number].text = value
            else:
                numbered[number].set(name, value)
    return root


def same_picture(root, svg):
    """Every element of `root` has the tag, attributes and text of its twin in `svg`."""
    mine, theirs = list(root.iter()), elements(svg)
    assert len(mine) == len(theirs)
    for a, b in zip(mine, theirs):
        assert (a.tag, a.attrib, (a.text or "").strip()) == (b.tag, b.attrib, (b.text or "").strip())


# Each step is a request of the front end (its view and "have" added by the test).
def drag_steps(point, start, end, steps=6):
    yield {"type": "begin_drag", "point": point}
    for i in range(1, steps + 1):
        t = i / steps
        yield {"type": "drag", "point": point, "x": start[0] + t * (end[0] - start[0]),
               "y": start[1] + t * (end[1] - start[1])}
    yield {"type": "end_drag"}


EDITS = {
    "drag the hole": lambda s: drag_steps(HOLE, s.get_point(HOLE), (2.0, 4.8)),
    "drag the arc's start": lambda s: drag_steps(ARC_START, s.get_point(ARC_START), (10.6, 2.9)),
    "type a dimension, undo, redo": lambda s: iter([
        {"type": "set_dimension", "constraint": 7, "value": 2.4}, {"type": "undo"}, {"type": "redo"}]),
    "colour free entities and conflicts": lambda s: iter([
        {"type": "highlight", "free": True}, {"type": "highlight", "conflicts": True},
        {"type": "highlight", "free": False}]),
}


@pytest.mark.parametrize("edit", EDITS)
def test_changes_rebuild_the_picture_to_svg_draws(edit):
    s = mechanism()
    session = SketchSession(s)
    reply = session.handle({"type": "render", "view": VIEW})
    shown = reply["svg"]
    changed = 0
    for request in EDITS[edit](s):
        reply = session.handle({**request, "view": VIEW, "have": reply["picture"]})
        assert reply["ok"], reply["message"]
        assert "svg" not in reply
        picture = applied(shown, reply["changes"])
        same_picture(picture, session.picture(VIEW))
        shown = ET.tostring(picture, encoding="unicode")
        changed += len(reply["changes"])
    assert changed > 0


def test_a_drag_changes_few_elements_of_a_large_sketch():
    s = ovralis.System()
    for k in range(40):
        a, b = s.add_point(3.0 * k, 0.0, fixed=True), s.add_point(3.0 * k + 2, 1.0)
        s.add_line(a, b)
        s.add_distance_constraint(a, b, 2.0)
    s.solve()
    session = SketchSession(s)
    view = {"cx": 60.0, "cy": 0.5, "scale": 8.0, "width": 1000, "height": 200}
    reply = session.handle({"type": "render", "view": view})
    total = len(elements(reply["svg"]))
    reply = session.handle({"type": "drag", "point": 41, "x": 62.5, "y": 1.5, "view": view,
                            "have": reply["picture"]})
    # The bar and its dimension move; the other 39 bars stay as drawn.
    assert 0 < len(reply["changes"]) < total / 20


def structural_edit(s):
    s.add_line(0, HOLE)


@pytest.mark.parametrize("case, request_fields, edit", [
    ("no picture named", {"have": None}, None),
    ("an older picture", {"have": 0}, None),
    ("another view", {"view": {**VIEW, "scale": 60.0}}, None),
    ("no view", {"view": None}, None),
    ("an entity added between requests", {}, structural_edit),
    ("a constraint added between requests", {}, lambda s: s.add_vertical_constraint(HOLE, 3)),
])
def test_a_whole_picture_comes_when_changes_cannot_say_it(case, request_fields, edit):
    s = mechanism()
    session = SketchSession(s)
    first = session.handle({"type": "render", "view": VIEW})
    if edit:
        edit(s)
    request = {"type": "drag", "point": HOLE, "x": 1.2, "y": 4.1, "view": VIEW, "have": first["picture"],
               **request_fields}
    reply = session.handle(request)
    assert "changes" not in reply
    assert reply["svg"] == session.picture(request["view"])
    assert reply["picture"] > first["picture"]
    # The next request on the new picture gets changes again, when it has a view.
    again = session.handle({**request, "x": 1.3, "have": reply["picture"]})
    assert ("changes" in again) == (request["view"] is not None)


@pytest.mark.parametrize("old, new, expected", [
    ('<line x1="1" y1="2"/>', '<line x1="1" y1="3"/>', [5, "y1", "3"]),
    ('<text x="1">2.5</text>', '<text x="1">R&lt;3</text>', [5, TEXT, "R<3"]),
    ('<g transform="translate(1 2)">', '<g transform="translate(1 3)">', [5, "transform", "translate(1 3)"]),
    ('<line x1="1" y1="2"/>', '<circle x1="1" y1="2"/>', None),
    ('<line x1="1" y1="2"/>', '<line x1="1" y1="2" stroke="red"/>', None),
    ('<line x1="1" y1="2"/>', '<line y1="2" x1="1"/>', None),
    ('<text x="1">2.5</text>', '<text x="1"/>', None),
    ("</g>", '<g fill="none">', None),
])
def test_changes_of_one_element(old, new, expected):
    head = '<svg width="1">\n<g>\n<rect x="0"/>\n</g>\n<g>\n<circle r="3"/>\n'
    picture = Picture(head + old + "\n</g>\n</svg>\n", VIEW)
    changes = picture.changes_to(head + new + "\n</g>\n</svg>\n")
    assert changes == (None if expected is None else [expected])

