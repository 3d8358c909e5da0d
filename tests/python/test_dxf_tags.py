"""The DXF reader's two paths, the ENTITIES section's tags read directly and
the whole ezdxf document, give the same sketch on every kind of drawing."""

import io
import math
import warnings

import pytest

import ovralis
from ovralis import _dxf_tags

from drawn_parts import random_parts

ezdxf = pytest.importorskip("ezdxf")

MIRRORED = {"extrusion": (0, 0, -1)}


def every_kind(msp):
    msp.add_line((0, 0), (10, 0))
    msp.add_line((10, 0, 2), (10, 5, -1))
    msp.add_circle((5, 5), 2)
    msp.add_arc((10, 5), 5, -90, 90)
    msp.add_point((20, 20))
    msp.add_lwpolyline([(0, 10, 0.5), (10, 10, 0), (12, 14, -0.3), (0, 12, 0)], format="xyb", close=True,
                       dxfattribs={"elevation": 3.0})
    msp.add_lwpolyline([(1, 1), (2, 1), (2, 2)])
    msp.add_polyline2d([(0, 0, 0.0, 0.0, 0.7), (0, 10), (5, 12)], format="xyseb").close(True)
    msp.add_polyline3d([(0, 0, 0), (3, 4, 5), (6, 0, 1)])
    msp.add_polyface().append_face([(0, 0, 0), (1, 0, 0), (1, 1, 0)])
    msp.add_ellipse((30, 0), major_axis=(4, 1), ratio=0.5)
    msp.add_ellipse((40, 0), major_axis=(0, 4), ratio=0.5, start_param=0.2, end_param=2.0)
    msp.add_spline([(0, 0), (1, 1), (2, 0), (3, 1)])
    msp.add_text("label")


def r12_kinds(msp):
    msp.add_line((0, 0), (10, 0))
    msp.add_circle((5, 5), 2)
    msp.add_arc((10, 5), 5, -90, 90)
    msp.add_arc((3, 4), 2, 10, 120, dxfattribs=MIRRORED)
    msp.add_point((20, 20))
    msp.add_polyline2d([(0, 0, 0.0, 0.0, 0.7), (0, 10), (5, 12)], format="xyseb").close(True)
    msp.add_polyline2d([(1, 1, 0.0, 0.0, 0.5), (5, 1)], format="xyseb", dxfattribs=MIRRORED)
    msp.add_polyline3d([(0, 0, 0), (3, 4, 5), (6, 0, 1)])
    msp.add_text("label")


def r12_blocks(msp):
    square = msp.doc.blocks.new("SQUARE")
    square.add_line((0, 0), (1, 0))
    square.add_arc((0.5, 0.5), 0.3, 0, 180)
    msp.add_blockref("SQUARE", (10, 10), dxfattribs={"rotation": 30, "xscale": 2, "yscale": 2})


def mirrored(msp):
    msp.add_arc((3, 4), 2, 10, 120, dxfattribs=MIRRORED)
    msp.add_circle((-3, 1), 1.5, dxfattribs=MIRRORED)
    msp.add_lwpolyline([(0, 0, 0.4), (4, 0, 0), (4, 3, -1.0)], format="xyb", dxfattribs=MIRRORED)
    msp.add_polyline2d([(1, 1, 0.0, 0.0, 0.5), (5, 1)], format="xyseb", dxfattribs=MIRRORED)
    msp.add_ellipse((8, 8), major_axis=(3, 0), ratio=0.4, start_param=0.5, end_param=3.0,
                    dxfattribs=MIRRORED)
    msp.add_line((0, 0), (4, 0))


def tilted(msp):
    msp.add_arc((3, 4), 2, 10, 120, dxfattribs={"extrusion": (0.3, 0.2, 0.9)})
    msp.add_circle((1, 1), 1, dxfattribs={"extrusion": (0, 0, 1.0)})


def with_extra_data(msp):
    line = msp.add_line((0, 0), (4, 0))
    line.set_xdata("OVRALIS", [(1000, "tagged"), (1010, (1, 2, 3)), (1040, 2.5)])
    arc = msp.add_arc((0, 0), 4, 0, 90)
    arc.set_reactors(["ABC"])
    msp.add_circle((2, 2), 1).set_app_data("OVRALIS", [(1, "note")])
    msp.add_text("grouped").set_reactors(["ABC"])
    msp.add_polyline2d([(0, 0), (3, 1)]).set_reactors(["ABC"])


def layered(msp):
    msp.add_line((0, 0), (1, 0), dxfattribs={"layer": "Outline"})
    msp.add_circle((0, 0), 3, dxfattribs={"layer": "Holes"})
    msp.add_text("hole", dxfattribs={"layer": "Holes"})


def with_blocks(msp):
    blocks = msp.doc.blocks
    square = blocks.new("SQUARE")
    square.add_lwpolyline([(0, 0), (1, 0), (1, 1), (0, 1)], close=True)
    square.add_arc((0.5, 0.5), 0.3, 0, 180, dxfattribs=MIRRORED)
    pair = blocks.new("PAIR")
    pair.add_blockref("SQUARE", (0, 0))
    pair.add_blockref("SQUARE", (5, 0), dxfattribs={"rotation": 90, "xscale": -1})
    msp.add_blockref("PAIR", (10, 10), dxfattribs={"xscale": 2, "yscale": 2})
    msp.add_line((0, 0), (10, 10))


def with_paper_space(msp):
    msp.add_line((0, 0), (10, 10))
    msp.doc.paperspace().add_line((0, 0), (1, 1))


# Each drawing, its DXF versions, and whether the tags alone hold all of it.
MODERN = ["R2000", "R2010"]
DRAWINGS = [(every_kind, MODERN, True), (mirrored, MODERN, True), (tilted, MODERN, True),
            (with_extra_data, MODERN, True), (layered, MODERN, True), (r12_kinds, ["R12"], True),
            (with_blocks, MODERN, False), (r12_blocks, ["R12"], False), (with_paper_space, MODERN, False)]
CASES = [(build, version, by_tags) for build, versions, by_tags in DRAWINGS for version in versions]


def text_of(build, version="R2010"):
    document = ezdxf.new(version)
    build(document.modelspace())
    stream = io.StringIO()
    document.write(stream)
    return stream.getvalue()


def both_paths(monkeypatch, source, **options):
    """The sketch and warnings from_dxf gives, by the tags and by the whole
    document, and whether the tags held the whole drawing."""
    def read(make_source):
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always")
            system = ovralis.from_dxf(make_source(), **options)
        return system.to_json(), [str(w.message) for w in caught]

    taken = []
    reader = _dxf_tags.read_model_space

    def spied(*args):
        taken.append(False)
        skipped = reader(*args)
        taken[-1] = True
        return skipped

    monkeypatch.setattr(_dxf_tags, "read_model_space", spied)
    fast = read(source)
    monkeypatch.setattr(_dxf_tags, "entities_section", lambda text: None)
    whole = read(source)
    return fast, whole, taken == [True]


@pytest.mark.parametrize("build, version, by_tags", CASES, ids=[f"{c[0].__name__}-{c[1]}" for c in CASES])
def test_tags_and_document_give_the_same_sketch(monkeypatch, build, version, by_tags):
    text = text_of(build, version)
    fast, whole, used_tags = both_paths(monkeypatch, lambda: io.StringIO(text), infer=False)
    assert fast == whole
    assert used_tags == by_tags


@pytest.mark.parametrize("layers", [["outline"], "HOLES", []])
def test_layers_select_the_same_entities(monkeypatch, layers):
    text = text_of(layered)
    fast, whole, used_tags = both_paths(monkeypatch, lambda: io.StringIO(text), layers=layers, infer=False)
    assert fast == whole and used_tags


@pytest.mark.parametrize("seed", range(2))  # axis-aligned, then turned
def test_drawn_parts_infer_the_same_constraints(monkeypatch, seed):
    for part in random_parts(seed):
        stream = io.StringIO()
        part.sketch.to_dxf(stream, dimensions=False)
        text = stream.getvalue()
        fast, whole, used_tags = both_paths(monkeypatch, lambda: io.StringIO(text))
        assert fast == whole and used_tags
        monkeypatch.undo()


@pytest.mark.parametrize("form", ["text", "text with CRLF", "binary"])
def test_files_on_disk_read_alike(monkeypatch, tmp_path, form):
    document = ezdxf.new("R2010")
    every_kind(document.modelspace())
    path = tmp_path / "drawing.dxf"
    if form == "binary":
        document.saveas(path, fmt="bin")
    else:
        document.saveas(path)
        if form == "text with CRLF":
            path.write_bytes(path.read_bytes().replace(b"\n", b"\r\n"))
    fast, whole, used_tags = both_paths(monkeypatch, lambda: path, infer=False)
    assert fast == whole
    assert used_tags == (form != "binary")


def test_a_stream_with_crlf_is_read_by_the_document(monkeypatch):
    text = text_of(every_kind).replace("\n", "\r\n")
    fast, whole, used_tags = both_paths(monkeypatch, lambda: io.StringIO(text, newline=""), infer=False)
    assert fast == whole and not used_tags


@pytest.mark.parametrize("damage", [
    lambda t: t.replace("\n 20\n", "\n 21\n", 1),  # an x without its y
    lambda t: t.replace("\n 40\n2.0\n", "\n 40\ntwo\n", 1),  # a radius that is not a number
])
def test_malformed_entities_are_reported_by_the_document_reader(damage):
    head, entities = text_of(every_kind).split("\nENTITIES\n", 1)
    text = head + "\nENTITIES\n" + damage(entities)
    with pytest.raises(ValueError, match="cannot read DXF file"):
        ovralis.from_dxf(io.StringIO(text), infer=False)


def mirrored_arc(msp):
    msp.add_arc((0, 0), 2, 0, 90, dxfattribs=MIRRORED)


def test_a_mirrored_arc_runs_counter_clockwise_seen_from_above():
    s = ovralis.from_dxf(io.StringIO(text_of(mirrored_arc)), infer=False)
    centre, start, end, radius = s.get_arc(0)
    # In the mirrored frame the arc spans the second quadrant seen from +z,
    # from (-2, 0) clockwise to (0, 2): counter-clockwise it starts at (0, 2).
    assert radius == 2.0
    for index, expected in [(centre, (0, 0)), (start, (0, 2)), (end, (-2, 0))]:
        assert all(math.isclose(a, b, abs_tol=1e-12) for a, b in zip(s.get_point(index), expected))


def test_a_stream_that_cannot_be_decoded_raises_value_error_naming_it(tmp_path):
    path = tmp_path / "latin.dxf"
    path.write_bytes(text_of(every_kind).encode().replace(b"label", b"caf\xe9"))
    with open(path, encoding="utf-8") as stream:
        with pytest.raises(ValueError, match="latin.dxf"):
            ovralis.from_dxf(stream, infer=False)
