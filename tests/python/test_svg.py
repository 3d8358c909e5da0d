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


# ---- drafting conventions: dimensions, glyphs, anchors, and the marks a page can find ----

SVG = "{http://www.w3.org/2000/svg}"


def marks_of(svg, constraint):
    """The group of a constraint's marks."""
    root = ET.fromstring(svg)
    return next(g for g in root.iter(SVG + "g") if g.get("data-constraint") == str(constraint))


def mapping(svg):
    """The picture's own sketch-to-pixel mapping, from its data attributes."""
    root = ET.fromstring(svg)
    scale = float(root.get("data-scale"))
    ox, oy = map(float, root.get("data-origin").split())
    return lambda x, y: (ox + scale * x, oy - scale * y)


def test_every_point_is_marked_where_the_pictures_mapping_puts_it():
    s = sketch()
    svg = s.to_svg()
    to_pixel = mapping(svg)
    marks = {int(e.get("data-point")): e for e in ET.fromstring(svg).iter() if e.get("data-point")}
    assert sorted(marks) == list(range(s.num_points()))
    for index, mark in marks.items():
        if mark.tag == SVG + "circle":
            centre = float(mark.get("cx")), float(mark.get("cy"))
        else:
            centre = float(mark.get("x")) + 4, float(mark.get("y")) + 4
        assert centre == pytest.approx(to_pixel(*s.get_point(index)), abs=1e-3)


def lines_of(group):
    return [tuple(float(line.get(k)) for k in ("x1", "y1", "x2", "y2")) for line in group.iter(SVG + "line")]


def test_a_distance_is_dimensioned_off_the_geometry_with_arrows_and_a_clear_value():
    s = ovralis.System()
    s.add_point(0, 0, fixed=True)
    s.add_point(4, 0)
    s.add_point(2, 3)
    s.add_distance_constraint(0, 1, 4.0)
    svg = s.to_svg()
    to_pixel = mapping(svg)
    (ax, ay), (bx, by) = to_pixel(0, 0), to_pixel(4, 0)
    group = marks_of(svg, 0)
    extension_a, extension_b, dimension = lines_of(group)
    # The dimension line runs parallel to the measured points, 22 pixels below them:
    # away from the drawing's middle, which lies above.
    assert dimension == pytest.approx((ax, ay + 22, bx, by + 22), abs=1e-3)
    assert extension_a[0] == pytest.approx(ax) and extension_b[0] == pytest.approx(bx)
    arrows = [p for p in group.iter(SVG + "path") if p.get("stroke") == "none"]
    assert len(arrows) == 2
    tips = sorted(float(number) for p in arrows for number in p.get("d").split()[1:3])
    assert tips == pytest.approx(sorted([ax, ay + 22, bx, by + 22]), abs=1e-3)
    # The value sits on a white ground beyond the dimension line, clear of it.
    ground = next(r for r in group.iter(SVG + "rect") if r.get("fill") == "white")
    top = float(ground.get("y"))
    assert top > ay + 22
    assert group.find(SVG + "text").text == "4"


def test_radius_and_angle_dimensions_have_arrows():
    s = ovralis.System()
    centre = s.add_point(0, 0, fixed=True)
    s.add_circle(centre, 2.0)
    s.add_circle_radius_constraint(0, 2.0)
    a, b = s.add_point(3, 0), s.add_point(3, 3)
    s.add_angle_between_points_constraint(a, centre, b, 45.0)
    svg = s.to_svg()
    to_pixel = mapping(svg)
    radius = marks_of(svg, 0)
    (leader,) = lines_of(radius)
    assert leader[:2] == pytest.approx(to_pixel(0, 0), abs=1e-3)
    assert math.dist(leader[:2], leader[2:]) == pytest.approx(2.0 * float(ET.fromstring(svg).get("data-scale")),
                                                              abs=1e-2)
    assert radius.find(SVG + "text").text == "R2"
    angle = marks_of(svg, 1)
    arc, *arrows = list(angle.iter(SVG + "path"))
    assert " A 32 32 " in arc.get("d") and len(arrows) == 2
    assert angle.find(SVG + "text").text == "45°"


def glyph_sketch():
    """One constraint of each glyph kind, numbered in the order of GLYPHS."""
    s = ovralis.System()
    p = [s.add_point(x, y) for x, y in [(0, 0), (4, 0), (4, 3), (0, 3), (8, 0), (8, 3)]]
    bottom, right, top, left = (s.add_line(p[i], p[j]) for i, j in [(0, 1), (1, 2), (2, 3), (3, 0)])
    s.add_circle(s.add_point(6, 1.5), 1.0)
    s.add_circle(s.add_point(10, 1.5), 1.0)
    s.add_horizontal_constraint(p[0], p[1])
    s.add_vertical_constraint(p[1], p[2])
    s.add_perpendicular_constraint(bottom, right)
    s.add_parallel_constraint(bottom, top)
    s.add_line_circle_tangent_constraint(right, 0)
    s.add_coincident_constraint(p[4], p[4])
    s.add_equal_length_constraint(left, right)
    s.add_equal_radius_constraint(0, 1)
    return s


GLYPHS = ["horizontal", "vertical", "perpendicular", "parallel", "tangent", "coincident", "equal length",
          "equal radius"]


@pytest.mark.parametrize("index, name", list(enumerate(GLYPHS)))
def test_geometric_constraints_get_glyphs_and_no_text(index, name):
    svg = glyph_sketch().to_svg()
    group = marks_of(svg, index)
    assert group.find(f".//{SVG}text") is None, name
    badges = [g for g in group.iter(SVG + "g") if g.get("transform", "").startswith("translate(")]
    rings = list(group.iter(SVG + "circle"))
    assert badges or rings, name


def test_glyphs_sharing_a_line_do_not_overlap():
    svg = glyph_sketch().to_svg()
    centres = []
    for group in ET.fromstring(svg).iter(SVG + "g"):
        transform = group.get("transform", "")
        if transform.startswith("translate("):
            centres.append(tuple(map(float, transform[len("translate("):-1].split())))
    assert len(centres) >= 9
    for i, a in enumerate(centres):
        for b in centres[i + 1:]:
            assert math.dist(a, b) >= 14, (a, b)


def test_a_fixed_point_stands_on_an_anchor():
    svg = sketch().to_svg(labels=False)
    to_pixel = mapping(svg)
    x, y = to_pixel(0, 0)
    anchors = [p for p in ET.fromstring(svg).iter(SVG + "path") if p.get("d", "").startswith(f"M {x:g} {y + 5:g}")]
    assert len(anchors) == 1
    image = raster(svg)
    assert near(image, (round(x), round(y + 14)), lambda rgb: not is_white(rgb), reach=1)


def test_bounds_show_the_given_box_at_the_given_size():
    s = sketch()
    svg = s.to_svg(width=500, height=300, margin=0, bounds=(-1, -2, 9, 4))
    to_pixel = mapping(svg)
    assert to_pixel(-1, 4) == pytest.approx((0, 0))
    assert to_pixel(9, -2) == pytest.approx((500, 300))


@pytest.mark.parametrize("bounds, error", [
    ((0, 0, 1), ValueError),
    ((0, 0, 0, 1), ValueError),
    ((0, 0, float("nan"), 1), ValueError),
    (5, TypeError),
    ((0, 0, "1", 1), TypeError),
])
def test_bad_bounds_are_refused(bounds, error):
    with pytest.raises(error):
        sketch().to_svg(bounds=bounds)


def dense_plate(holes_per_side):
    """A plate whose holes are each dimensioned from the left and bottom edges, with radii:
    many values competing for room."""
    s = ovralis.System()
    corners = [s.add_point(x, y, fixed=True) for x, y in [(0, 0), (20, 0), (20, 14), (0, 14)]]
    bottom, _, _, left = (s.add_line(corners[i], corners[(i + 1) % 4]) for i in range(4))
    for i in range(holes_per_side):
        for j in range(holes_per_side):
            x, y = 2 + 16 * i / holes_per_side + 0.7 * j, 2 + 10 * j / holes_per_side + 0.5 * i
            centre = s.add_point(x, y)
            circle = s.add_circle(centre, 0.8)
            s.add_point_line_distance_constraint(centre, left, x)
            s.add_point_line_distance_constraint(centre, bottom, y)
            s.add_circle_radius_constraint(circle, 0.8)
    return s


@pytest.mark.parametrize("holes_per_side", [2, 4])
def test_values_step_aside_from_each_other(holes_per_side):
    root = ET.fromstring(dense_plate(holes_per_side).to_svg(width=600))
    grounds = [tuple(float(r.get(k)) for k in ("x", "y", "width", "height"))
               for g in root.iter(SVG + "g") if g.get("data-constraint")
               for r in g.findall(SVG + "rect") if r.get("fill") == "white"]
    assert len(grounds) == 3 * holes_per_side**2
    for i, (x, y, w, h) in enumerate(grounds):
        for (x2, y2, w2, h2) in grounds[i + 1:]:
            assert not (x < x2 + w2 and x2 < x + w and y < y2 + h2 and y2 < y + h)
