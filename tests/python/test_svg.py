"""Pictures of sketches: rasterised SVG checked at pixels computed here from the geometry."""

import io
import math
import xml.etree.ElementTree as ET

import pytest

import ovralis

cairosvg = pytest.importorskip("cairosvg")
PIL = pytest.importorskip("PIL.Image")

WIDTH, MARGIN = 400.0, 24.0
FREE, CONFLICT, GROUP = (0xF5, 0x7C, 0x00), (0xD3, 0x2F, 0x2F), (0x8E, 0x24, 0xAA)


def raster(svg):
    png = cairosvg.svg2png(bytestring=svg.encode())
    return PIL.open(io.BytesIO(png)).convert("RGB")


def to_pixel(x, y, box):
    """Where the world point (x, y) must land when the box (x0, y0, x1, y1) fills the width."""
    x0, y0, x1, y1 = box
    scale = (WIDTH - 2 * MARGIN) / (x1 - x0)
    return round(MARGIN + (x - x0) * scale), round(MARGIN + (y1 - y) * scale)


def is_dark(rgb):
    return min(rgb) < 128


def is_white(rgb):
    return min(rgb) > 245


def near(image, pixel, test, reach=2):
    """Whether some pixel within `reach` of `pixel` passes `test` (antialiasing blurs edges)."""
    px, py = pixel
    return any(test(image.getpixel((px + dx, py + dy)))
               for dx in range(-reach, reach + 1) for dy in range(-reach, reach + 1))


def sketch():
    """A fixed origin, a line to (10, 0), a circle of radius 2 at (6, 6) and a quarter arc
    about (0, 0) from (4, 0) to (0, 4). The box is x 0..10, y 0..8."""
    s = ovralis.System()
    origin = s.add_point(0, 0, fixed=True)
    right = s.add_point(10, 0)
    s.add_line(origin, right)
    s.add_circle(s.add_point(6, 6), 2.0)
    s.add_arc(origin, s.add_point(4, 0), s.add_point(0, 4), 4.0)
    s.add_distance_constraint(origin, right, 10.0)
    s.add_circle_radius_constraint(0, 2.0)
    return s


BOX = (0.0, 0.0, 10.0, 8.0)


@pytest.mark.parametrize("where, world, test", [
    ("line midpoint", (5, 0), is_dark),
    ("circle top", (6, 8), is_dark),
    ("circle left", (4, 6), is_dark),
    ("arc middle, counter-clockwise", (4 * math.cos(math.pi / 4), 4 * math.sin(math.pi / 4)), is_dark),
    ("clockwise side of the arc is empty", (4 * math.cos(-math.pi / 4) + 0.0, 0.5), is_white),
    ("circle centre inside is empty apart from its point", (6, 4.8), is_white),
    ("empty region", (9, 4), is_white),
])
def test_geometry_drawn_where_it_lies(where, world, test):
    image = raster(sketch().to_svg(labels=False))
    assert image.size == (400, round(8 * (WIDTH - 2 * MARGIN) / 10 + 2 * MARGIN))
    assert near(image, to_pixel(*world, BOX), test, reach=1 if test is is_white else 2), where


def test_fixed_point_is_a_square_and_free_point_a_dot():
    image = raster(sketch().to_svg(labels=False))
    fx, fy = to_pixel(0, 0, BOX)
    gx, gy = to_pixel(6, 6, BOX)
    # A square's corner is inked where a dot of the same size leaves white.
    assert not is_white(image.getpixel((fx - 3, fy - 3)))
    assert is_white(image.getpixel((gx - 3, gy - 3)))
    assert not is_white(image.getpixel((gx, gy)))


def test_ellipse_and_arc_of_ellipse_from_centre_focus_and_minor_radius():
    # Centre (0, 0), focus (3, 0), b = 4: semi-major 5. The arc runs from (0, 4) to (-5, 0).
    doc = ('{"points":[{"x":0,"y":0,"fixed":false},{"x":3,"y":0,"fixed":false},'
           '{"x":0,"y":4,"fixed":false},{"x":-5,"y":0,"fixed":false},'
           '{"x":0,"y":-1,"fixed":false},{"x":0,"y":-1,"fixed":false}],'
           '"lines":[],"circles":[],"arcs":[],'
           '"ellipses":[{"center":0,"focus1":1,"radmin":4,"fixed":false}],'
           '"arcs_of_ellipse":[{"center":4,"focus1":5,"radmin":1,"start":2,"end":3,"fixed":false}],'
           '"constraints":[]}')
    s = ovralis.System.from_json(doc)
    box = (-5.0, -4.0, 5.0, 4.0)
    image = raster(s.to_svg(labels=False))
    for world in [(5, 0), (0, -4), (-3, 4 * math.sqrt(1 - 9 / 25))]:
        assert near(image, to_pixel(*world, box), is_dark), world
    # The arc of the degenerate ellipse (a circle of radius 1 about (0, -1)) from the ray
    # towards (0, 4) counter-clockwise to the ray towards (-5, 0): its upper-left quarter.
    assert near(image, to_pixel(-math.sqrt(0.5), -1 + math.sqrt(0.5), box), is_dark)
    assert near(image, to_pixel(math.sqrt(0.5), -1 - math.sqrt(0.5), box), is_white, reach=1)


class Analysis:
    def __init__(self, **attributes):
        defaults = dict(free_points=(), free_circles=(), free_arcs=(), conflicting=(), groups={})
        self.__dict__.update(defaults | attributes)


@pytest.mark.parametrize("analysis, world, colour", [
    (Analysis(free_circles=(0,)), (6, 8), FREE),
    (Analysis(free_points=(1,)), (10, 0), FREE),
    (Analysis(conflicting=(0,), groups={0: (1,)}), (10, 0), CONFLICT),
    (Analysis(conflicting=(0,), groups={0: (1,)}), (4, 6), GROUP),
])
def test_highlighted_entities_in_their_colour(analysis, world, colour):
    image = raster(sketch().to_svg(labels=False, analysis=analysis))
    px, py = to_pixel(*world, BOX)
    strongest = min((image.getpixel((px + dx, py + dy)) for dx in range(-2, 3) for dy in range(-2, 3)),
                    key=sum)
    assert all(abs(a - b) < 60 for a, b in zip(strongest, colour)), strongest


def test_document_is_well_formed_with_labels_and_fits_requested_size():
    svg = sketch().to_svg(width=300, height=500, margin=10)
    root = ET.fromstring(svg)
    assert root.get("viewBox") == "0 0 300 500"
    texts = [t.text for t in root.iter("{http://www.w3.org/2000/svg}text")]
    assert texts == ["10", "R2"]
    assert "<text" not in sketch().to_svg(labels=False)


def test_empty_sketch_and_dangling_indices_give_valid_pictures():
    empty = ovralis.System()
    ET.fromstring(empty.to_svg())
    assert empty._repr_svg_() == empty.to_svg()
    broken = ovralis.System()
    broken.add_point(float("nan"), 0)
    broken.add_line(0, 7)
    broken.add_distance_constraint(0, 9, 1.0)
    svg = broken.to_svg()
    ET.fromstring(svg)
    assert "nan" not in svg.lower()


@pytest.mark.parametrize("kwargs, error", [
    ({"width": 40, "margin": 20}, ValueError),
    ({"width": -1}, ValueError),
    ({"height": float("inf")}, ValueError),
    ({"labels": 1}, TypeError),
    ({"analysis": object()}, AttributeError),
])
def test_bad_options_are_refused(kwargs, error):
    with pytest.raises(error):
        sketch().to_svg(**kwargs)
    with pytest.raises(TypeError):
        sketch().to_svg(400)
