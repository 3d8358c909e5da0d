"""DXF drawings in and out: hand-made drawings written with ezdxf, read back."""

import io
import math
import warnings

import pytest

import ovralis

ezdxf = pytest.importorskip("ezdxf")


def drawing():
    document = ezdxf.new("R2010")
    return document, document.modelspace()


def read(document, **options):
    stream = io.StringIO()
    document.write(stream)
    stream.seek(0)
    return ovralis.from_dxf(stream, **options)


def points_of(system):
    return sorted(system.get_points())


def close(a, b, tol=1e-12):
    return all(math.isclose(x, y, abs_tol=tol) for x, y in zip(a, b))


def test_lines_sharing_ends_become_one_point_each():
    document, msp = drawing()
    msp.add_line((0, 0), (4, 0))
    msp.add_line((4, 0), (4, 3))
    msp.add_line((4, 3 + 1e-9), (0, 0))  # meets within the tolerance
    s = read(document, infer=False)
    assert (s.num_points(), s.num_lines(), s.num_constraints()) == (3, 3, 0)
    assert points_of(s) == [(0.0, 0.0), (4.0, 0.0), (4.0, 3.0)]


def test_every_entity_kind_is_read():
    document, msp = drawing()
    msp.add_line((0, 0), (10, 0))
    msp.add_circle((5, 5), 2)
    msp.add_arc((10, 5), 5, -90, 90)  # from (10, 0) to (10, 10), counter-clockwise
    msp.add_point((20, 20))
    msp.add_lwpolyline([(0, 10), (10, 10)])
    polyline = msp.add_polyline2d([(0, 0), (0, 10)])
    polyline.close(False)
    msp.add_ellipse((30, 0), major_axis=(4, 0), ratio=0.5)
    msp.add_ellipse((40, 0), major_axis=(0, 4), ratio=0.5, start_param=0, end_param=math.pi / 2)
    s = read(document, infer=False)
    assert (s.num_lines(), s.num_circles(), s.num_arcs()) == (3, 1, 1)
    centre, start, end, radius = s.get_arc(0)
    assert radius == 5.0
    assert close(s.get_point(centre), (10, 5)) and close(s.get_point(start), (10, 0))
    assert close(s.get_point(end), (10, 10))
    assert (20.0, 20.0) in s.get_points()
    sketch = __import__("json").loads(s.to_json())
    (ellipse,) = sketch["ellipses"]
    assert ellipse["radmin"] == 2.0
    assert close(s.get_point(ellipse["focus1"]), (30 + math.sqrt(12), 0))
    (arc,) = sketch["arcs_of_ellipse"]
    assert close(s.get_point(arc["start"]), (40, 4)) and close(s.get_point(arc["end"]), (38, 0))


@pytest.mark.parametrize("bulge", [1.0, -1.0, 0.4142135623730951])
def test_bulged_polyline_segments_become_arcs(bulge):
    document, msp = drawing()
    msp.add_lwpolyline([(0, 0, bulge), (2, 0, 0), (2, 3, 0)], format="xyb")
    s = read(document, infer=False)
    assert (s.num_lines(), s.num_arcs()) == (1, 1)
    centre, start, end, radius = s.get_arc(0)
    # The arc runs counter-clockwise; a negative bulge runs clockwise from (0, 0).
    first, second = ((0, 0), (2, 0)) if bulge > 0 else ((2, 0), (0, 0))
    assert close(s.get_point(start), first) and close(s.get_point(end), second)
    sweep = 4 * math.atan(abs(bulge))
    assert math.isclose(radius, 1 / math.sin(sweep / 2), rel_tol=1e-12)
    cx, cy = s.get_point(centre)
    assert math.isclose(math.hypot(cx, cy), radius, rel_tol=1e-12)


def test_closed_polyline_and_nested_blocks_are_exploded():
    document, msp = drawing()
    square = document.blocks.new("SQUARE")
    square.add_lwpolyline([(0, 0), (1, 0), (1, 1), (0, 1)], close=True)
    pair = document.blocks.new("PAIR")
    pair.add_blockref("SQUARE", (0, 0))
    pair.add_blockref("SQUARE", (5, 0), dxfattribs={"rotation": 90})
    msp.add_blockref("PAIR", (10, 10), dxfattribs={"xscale": 2, "yscale": 2})
    s = read(document, infer=False)
    assert (s.num_points(), s.num_lines()) == (8, 8)
    # The plain square at (10, 10), the turned one at 2 * (5, 0) + (10, 10), both twice as big.
    expected = [(10, 10), (12, 10), (12, 12), (10, 12), (18, 10), (20, 10), (20, 12), (18, 12)]
    assert sorted(tuple(round(v, 9) for v in p) for p in s.get_points()) == sorted(expected)


def test_layers_select_what_is_read():
    document, msp = drawing()
    msp.add_line((0, 0), (1, 0), dxfattribs={"layer": "Outline"})
    msp.add_circle((0, 0), 3, dxfattribs={"layer": "Holes"})
    s = read(document, layers=["outline"], infer=False)
    assert (s.num_lines(), s.num_circles()) == (1, 0)
    s = read(document, layers="HOLES", infer=False)
    assert (s.num_lines(), s.num_circles()) == (0, 1)


def test_unsupported_entities_are_counted_in_one_warning():
    document, msp = drawing()
    msp.add_line((0, 0), (1, 0))
    msp.add_spline([(0, 0), (1, 1), (2, 0), (3, 1)])
    msp.add_text("label")
    msp.add_text("other")
    with pytest.warns(UserWarning, match=r"skipped 3 entities.*1 SPLINE, 2 TEXT"):
        s = read(document, infer=False)
    assert s.num_lines() == 1


@pytest.mark.parametrize("content", ["not a drawing", "0\nSECTION\n2\nENTITIES\n0\nLINE\n10\nfoo\n"])
def test_unreadable_files_raise_value_error_naming_them(tmp_path, content):
    path = tmp_path / "broken.dxf"
    path.write_text(content)
    with pytest.raises(ValueError, match="broken.dxf"):
        ovralis.from_dxf(path)
    with pytest.raises(ValueError, match="missing.dxf"):
        ovralis.from_dxf(tmp_path / "missing.dxf")


def sample_sketch(scale):
    """Every entity kind, with dimensional constraints of every written kind."""
    s = ovralis.System()
    p = [s.add_point(x * scale, y * scale) for x, y in [(0, 0), (4, 0), (4, 3), (1, 2), (7, 1.5), (2, 5)]]
    l0, l1 = s.add_line(p[0], p[1]), s.add_line(p[1], p[2])
    s.add_line(p[2], p[0])
    c = s.add_circle(p[3], 0.5 * scale)
    a = s.add_arc(p[4], p[1], p[2], math.hypot(3, 1.5) * scale)
    s.add_distance_constraint(p[0], p[1], 4 * scale)
    s.add_point_line_distance_constraint(p[3], l0, 2 * scale)
    s.add_circle_radius_constraint(c, 0.5 * scale)
    s.add_constraint(ovralis.arc_radius_constraint(a, math.hypot(3, 1.5) * scale))
    s.add_angle_constraint(l0, l1, 90.0)
    return s


@pytest.mark.parametrize("scale", [1e-3, 1.0, 1e4])
def test_round_trip_keeps_geometry_to_1e_12_of_the_size(tmp_path, scale):
    s = sample_sketch(scale)
    path = tmp_path / "sketch.dxf"
    s.to_dxf(path, dimensions=False)
    back = ovralis.from_dxf(path, infer=False)
    size = math.hypot(10 * scale, 8 * scale)
    assert (back.num_points(), back.num_lines(), back.num_circles(), back.num_arcs()) == (6, 3, 1, 1)
    for a, b in zip(points_of(s), points_of(back)):
        assert close(a, b, 1e-12 * size)
    assert math.isclose(back.get_arcs()[0][3], s.get_arc(0)[3], rel_tol=1e-12)


def test_dimensions_are_written_as_dimension_entities():
    s = sample_sketch(1.0)
    stream = io.StringIO()
    s.to_dxf(stream)
    stream.seek(0)
    document = ezdxf.read(stream)
    dimensions = document.modelspace().query("DIMENSION")
    kinds = sorted(d.dimtype & 7 for d in dimensions)
    # Two linear (distance, point-line distance), one 2-line angular, two radius.
    assert kinds == [0, 0, 2, 4, 4]
    measured = sorted(round(d.get_measurement(), 9) for d in dimensions if d.dimtype & 7 in (0, 4))
    assert measured == sorted(round(v, 9) for v in [4, 2, 0.5, math.hypot(3, 1.5)])
    stream.seek(0)
    with pytest.warns(UserWarning, match="5 DIMENSION"):
        back = ovralis.from_dxf(stream, infer=False)
    assert back.num_lines() == 3


def test_ellipses_round_trip(tmp_path):
    document, msp = drawing()
    msp.add_ellipse((3, 1), major_axis=(2, 2), ratio=0.25)
    msp.add_ellipse((-3, 1), major_axis=(0, 3), ratio=0.5, start_param=0.3, end_param=2.5)
    first = read(document, infer=False)
    path = tmp_path / "ellipses.dxf"
    first.to_dxf(path)
    second = ovralis.from_dxf(path, infer=False)
    for a, b in zip(points_of(first), points_of(second)):
        assert close(a, b, 1e-12 * 10)


def test_command_line_imports_and_exports(tmp_path):
    from ovralis._cli import main

    document, msp = drawing()
    msp.add_lwpolyline([(0, 0), (4, 0), (4, 3), (0, 3)], close=True)
    source = tmp_path / "plate.dxf"
    document.saveas(source)
    assert main(["import", str(source), "-o", str(tmp_path / "plate.json"), "--dimension"]) == 0
    s = ovralis.System.from_json((tmp_path / "plate.json").read_text())
    assert s.analyze_constraints().dof == 0
    assert main(["export", str(tmp_path / "plate.json"), "-o", str(tmp_path / "out.dxf")]) == 0
    assert len(ezdxf.readfile(tmp_path / "out.dxf").modelspace().query("LINE")) == 4
    assert main(["import", str(tmp_path / "missing.dxf")]) == 2


def test_from_dxf_is_a_lazy_package_name():
    assert "from_dxf" in ovralis.__all__
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        assert callable(ovralis.from_dxf)
