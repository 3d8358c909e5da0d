"""DXF drawings in and out, through ezdxf (pip install ovralis[dxf]).

from_dxf reads the geometry of a drawing's model space into a System: lines,
arcs, circles, polylines (a bulged segment becomes an arc), ellipses and arcs
of ellipse, and points, with inserted blocks exploded. Ends that meet within
the tolerance become one point. write_dxf (System.to_dxf) writes a sketch back,
its dimensional constraints as DIMENSION entities.
"""

from __future__ import annotations

import gc
import io
import json
import math
import os
import warnings
from collections import Counter
from contextlib import contextmanager
from typing import IO, Any, Iterable, Iterator, Sequence, Union

import ovralis
from ovralis._dxf_merge import merged_points

Source = Union[str, "os.PathLike[str]", IO[str]]

# Entities read as geometry; everything else is skipped and counted.
_SUPPORTED = {"LINE", "ARC", "CIRCLE", "LWPOLYLINE", "POLYLINE", "ELLIPSE", "POINT"}


def _ezdxf() -> Any:
    try:
        import ezdxf
    except ImportError:
        raise ImportError("DXF support needs ezdxf: pip install ovralis[dxf]") from None
    return ezdxf


def _name_of(source: Any) -> str:
    if isinstance(source, (str, os.PathLike)):
        return os.fspath(source)
    return str(getattr(source, "name", "<stream>"))


# ---- reading ----


class _Drawing:
    """The shapes of a drawing, with every defining point as an (x, y) pair."""

    def __init__(self) -> None:
        self.points: list[Sequence[float]] = []
        self.lines: list[tuple[int, int]] = []
        self.circles: list[tuple[int, float]] = []
        self.arcs: list[tuple[int, int, int, float]] = []  # centre, start, end, radius
        self.ellipses: list[tuple[int, int, float]] = []  # centre, focus, minor radius
        self.arcs_of_ellipse: list[tuple[int, int, float, int, int]] = []
        self.lone_points: list[int] = []
        self.extent: list[tuple[float, float]] = []  # corners of round shapes' boxes

    def point(self, x: float, y: float) -> int:
        self.points.append((float(x), float(y)))
        return len(self.points) - 1

    def line(self, a: Any, b: Any) -> None:
        self.lines.append((self.point(a[0], a[1]), self.point(b[0], b[1])))

    def arc(self, centre: Any, radius: float, start: Any, end: Any) -> None:
        self.arcs.append((self.point(centre[0], centre[1]), self.point(start[0], start[1]),
                          self.point(end[0], end[1]), float(radius)))
        self._round_extent(centre, radius)

    def circle(self, centre: Any, radius: float) -> None:
        self.circles.append((self.point(centre[0], centre[1]), float(radius)))
        self._round_extent(centre, radius)

    def _round_extent(self, centre: Any, radius: float) -> None:
        self.extent.append((centre[0] - radius, centre[1] - radius))
        self.extent.append((centre[0] + radius, centre[1] + radius))


def _arc_ends(centre: Any, radius: float, start_deg: float, end_deg: float) -> tuple[Any, Any]:
    def at(deg: float) -> tuple[float, float]:
        angle = math.radians(deg)
        return (centre[0] + radius * math.cos(angle), centre[1] + radius * math.sin(angle))
    return at(start_deg), at(end_deg)


def _add_arc_entity(drawing: _Drawing, entity: Any) -> None:
    ocs = entity.ocs()
    centre_ocs = entity.dxf.center
    radius = entity.dxf.radius
    start, end = _arc_ends(centre_ocs, radius, entity.dxf.start_angle, entity.dxf.end_angle)
    centre = ocs.to_wcs(centre_ocs)
    start = ocs.to_wcs((start[0], start[1], centre_ocs[2]))
    end = ocs.to_wcs((end[0], end[1], centre_ocs[2]))
    if entity.dxf.extrusion[2] < 0:  # seen from +z the arc runs clockwise
        start, end = end, start
    drawing.arc(centre, radius, start, end)


def _add_polyline_segments(drawing: _Drawing, vertices: Sequence[Sequence[Any]], closed: bool) -> None:
    """Vertices as (WCS location, bulge); a bulge turns its segment into an arc."""
    from ezdxf.math import Vec2, bulge_to_arc

    count = len(vertices) if closed else len(vertices) - 1
    for k in range(max(count, 0)):
        (a, bulge), (b, _) = vertices[k], vertices[(k + 1) % len(vertices)]
        if bulge == 0.0 or Vec2(a).isclose(Vec2(b)):
            drawing.line(a, b)
            continue
        centre, _, _, radius = bulge_to_arc(Vec2(a), Vec2(b), bulge)
        # A positive bulge runs counter-clockwise from a to b.
        start, end = (a, b) if bulge > 0 else (b, a)
        drawing.arc(centre, radius, start, end)


def _add_lwpolyline(drawing: _Drawing, entity: Any) -> None:
    ocs = entity.ocs()
    elevation = entity.dxf.elevation
    flip = entity.dxf.extrusion[2] < 0
    vertices = [(ocs.to_wcs((x, y, elevation)), -b if flip else b) for x, y, b in entity.get_points("xyb")]
    _add_polyline_segments(drawing, vertices, entity.closed)


def _add_polyline(drawing: _Drawing, entity: Any) -> bool:
    if entity.is_polygon_mesh or entity.is_poly_face_mesh:
        return False
    if entity.is_2d_polyline:
        ocs = entity.ocs()
        flip = entity.dxf.extrusion[2] < 0
        vertices = [(ocs.to_wcs(v.dxf.location), -v.dxf.bulge if flip else v.dxf.bulge) for v in entity.vertices]
    else:
        vertices = [(v.dxf.location, 0.0) for v in entity.vertices]
    _add_polyline_segments(drawing, vertices, entity.is_closed)
    return True


def _add_ellipse(drawing: _Drawing, entity: Any) -> None:
    shape = entity.construction_tool()
    centre, major = shape.center, shape.major_axis
    a = major.magnitude
    b = a * shape.ratio
    focus_distance = math.sqrt(max(a * a - b * b, 0.0))
    unit = major / a
    focus = (centre[0] + focus_distance * unit[0], centre[1] + focus_distance * unit[1])
    drawing.extent.append((centre[0] - a, centre[1] - a))
    drawing.extent.append((centre[0] + a, centre[1] + a))
    centre_index = drawing.point(centre[0], centre[1])
    focus_index = drawing.point(*focus)
    sweep = (shape.end_param - shape.start_param) % math.tau
    if math.isclose(sweep, 0.0, abs_tol=1e-12) or math.isclose(sweep, math.tau, rel_tol=1e-12):
        drawing.ellipses.append((centre_index, focus_index, b))
        return
    start, end = shape.start_point, shape.end_point
    if shape.extrusion[2] < 0:
        start, end = end, start
    drawing.arcs_of_ellipse.append((centre_index, focus_index, b, drawing.point(start[0], start[1]),
                                    drawing.point(end[0], end[1])))


def _read_entity(drawing: _Drawing, entity: Any) -> bool:
    """Adds one entity's geometry; False when it cannot be represented."""
    kind = entity.dxftype()
    if kind == "LINE":
        drawing.line(entity.dxf.start, entity.dxf.end)
    elif kind == "ARC":
        _add_arc_entity(drawing, entity)
    elif kind == "CIRCLE":
        drawing.circle(entity.ocs().to_wcs(entity.dxf.center), entity.dxf.radius)
    elif kind == "LWPOLYLINE":
        _add_lwpolyline(drawing, entity)
    elif kind == "POLYLINE":
        return _add_polyline(drawing, entity)
    elif kind == "ELLIPSE":
        _add_ellipse(drawing, entity)
    elif kind == "POINT":
        location = entity.dxf.location
        drawing.lone_points.append(drawing.point(location[0], location[1]))
    else:
        return False
    return True


def _exploded(entities: Iterable[Any]) -> Iterator[Any]:
    """The entities with every block reference replaced by its contents, nested ones too.

    Only INSERT is exploded: a DIMENSION's block is its picture, not geometry.
    """
    for entity in entities:
        if entity.dxftype() == "INSERT":
            yield from _exploded(entity.virtual_entities())
        else:
            yield entity


def _model_space_entities(document: Any, layers: set[str] | None) -> Iterator[Any]:
    for entity in _exploded(document.modelspace()):
        if layers is not None and entity.dxf.layer.casefold() not in layers:
            continue
        yield entity


def _drawing_size(drawing: _Drawing) -> float:
    corners = drawing.points + drawing.extent
    if not corners:
        return 1.0
    xs = [p[0] for p in corners]
    ys = [p[1] for p in corners]
    size = math.hypot(max(xs) - min(xs), max(ys) - min(ys))
    return size if size > 0.0 else 1.0


def _document(drawing: _Drawing, at: list[int]) -> dict[str, Any]:
    """The merged drawing as a sketch document; shapes that collapsed are left out."""
    lines = [(at[a], at[b]) for a, b in drawing.lines if at[a] != at[b]]
    arcs = [(at[c], at[s], at[e], r) for c, s, e, r in drawing.arcs if r > 0.0 and at[s] != at[c]]
    return {
        "points": [{"x": x, "y": y, "fixed": False} for x, y in drawing.points],
        "lines": [{"p1": a, "p2": b} for a, b in lines],
        "circles": [{"center": at[c], "radius": r, "fixed": False} for c, r in drawing.circles if r > 0.0],
        "arcs": [{"center": c, "start": s, "end": e, "radius": r, "fixed": False} for c, s, e, r in arcs],
        "ellipses": [{"center": at[c], "focus1": at[f], "radmin": b, "fixed": False}
                     for c, f, b in drawing.ellipses],
        "arcs_of_ellipse": [{"center": at[c], "focus1": at[f], "radmin": b, "start": at[s], "end": at[e],
                             "fixed": False} for c, f, b, s, e in drawing.arcs_of_ellipse],
    }


def _system_from(document: dict[str, Any]) -> ovralis.System:
    if document["ellipses"] or document["arcs_of_ellipse"]:
        # Ellipses enter a store only through a document.
        text = json.dumps({**document, "constraints": [], "clamp_radii": True, "min_radius": 1e-10,
                           "track_convergence": False})
        return ovralis.System.from_json(text)
    system = ovralis.System()
    for p in document["points"]:
        system.add_point(p["x"], p["y"])
    for line in document["lines"]:
        system.add_line(line["p1"], line["p2"])
    for c in document["circles"]:
        system.add_circle(c["center"], c["radius"])
    for a in document["arcs"]:
        system.add_arc(a["center"], a["start"], a["end"], a["radius"])
    return system


def _read_document(source: Any, name: str) -> Any:
    ezdxf = _ezdxf()
    try:
        if isinstance(source, (str, os.PathLike)):
            return ezdxf.readfile(os.fspath(source))
        return ezdxf.read(source)
    except (OSError, UnicodeError, ezdxf.DXFError) as error:
        raise ValueError(f"cannot read DXF file {name}: {error}") from None
    except Exception as error:  # ezdxf reports malformed content in many ways
        raise ValueError(f"cannot read DXF file {name}: {type(error).__name__}: {error}") from None


def _source_text(source: Any) -> Union[str, bytes, None]:
    """The whole text of a DXF file or stream, decoded as ezdxf decodes it;
    None for a file that only ezdxf's document loader can open (binary DXF,
    not a DXF file, not readable)."""
    if not isinstance(source, (str, os.PathLike)):
        return source.read() if hasattr(source, "read") else None
    from ezdxf.filemanagement import dxf_file_info
    from ezdxf.lldxf.validator import is_binary_dxf_file, is_dxf_file

    path = os.fspath(source)
    try:
        if is_binary_dxf_file(path) or not is_dxf_file(path):
            return None
        with open(path, encoding=dxf_file_info(path).encoding, errors="surrogateescape") as file:
            return file.read()
    except (OSError, UnicodeError):
        return None


def _read_model_space(source: Any, wanted: set[str] | None, name: str) -> tuple[_Drawing, Counter[str]]:
    """The model space's geometry and the count of entities skipped, by kind.

    The ENTITIES section's tags are read directly when they hold all of it;
    otherwise (blocks, paper space, binary DXF, anything malformed) ezdxf
    loads the whole document.
    """
    _ezdxf()
    from ovralis import _dxf_tags

    try:
        text = _source_text(source)
    except (OSError, UnicodeError) as error:  # from a stream; a file is left to ezdxf
        raise ValueError(f"cannot read DXF file {name}: {error}") from None
    if isinstance(text, str) and "\r" not in text:
        section = _dxf_tags.entities_section(text)
        if section is not None:
            drawing = _Drawing()
            try:
                return drawing, _dxf_tags.read_model_space(section, drawing, wanted)
            except _dxf_tags.Declined:
                pass
    if isinstance(text, (str, bytes)) and not isinstance(source, (str, os.PathLike)):
        source = io.StringIO(text) if isinstance(text, str) else io.BytesIO(text)  # the stream, read again
    return _read_whole_document(_read_document(source, name), wanted)


def _read_whole_document(document: Any, wanted: set[str] | None) -> tuple[_Drawing, Counter[str]]:
    drawing = _Drawing()
    skipped: Counter[str] = Counter()
    for entity in _model_space_entities(document, wanted):
        if entity.dxftype() not in _SUPPORTED or not _read_entity(drawing, entity):
            skipped[entity.dxftype()] += 1
    return drawing, skipped


@contextmanager
def _collector_paused() -> Iterator[None]:
    """Reading makes millions of small objects and no reference cycles; the
    cyclic garbage collector's passes over them, each longer as they pile up,
    would make a large drawing's reading grow faster than its size."""
    enabled = gc.isenabled()
    gc.disable()
    try:
        yield
    finally:
        if enabled:
            gc.enable()


def from_dxf(source: Source, *, layers: Iterable[str] | None = None, infer: bool = True,
             tol: float = 1e-6) -> ovralis.System:
    """from_dxf(source, *, layers=None, infer=True, tol=1e-6)
    --

    Read a DXF drawing's model space into a System.

    Reads LINE, ARC, CIRCLE, LWPOLYLINE and POLYLINE (a bulged segment becomes
    an arc), ELLIPSE (full or partial) and POINT, with inserted blocks exploded.
    Ends that meet within tol of the drawing's size (the diagonal of its
    bounding box) become one point. Entities that cannot be represented
    (splines, text, hatches, ...) are skipped and counted in one warning.

    Args:
        source: A path or a text stream
        layers: Read only these layers, by name in any case (default all)
        infer: Add the relations that hold, as System.infer_constraints(tol) does
        tol: The tolerance, relative to the drawing's size

    Returns: System. Raises ValueError naming the file when it cannot be read.
    """
    if not (isinstance(tol, (int, float)) and math.isfinite(tol) and tol >= 0.0):
        raise ValueError("from_dxf() tol must be a finite non-negative number")
    if isinstance(layers, str):
        layers = [layers]
    wanted = None if layers is None else {str(layer).casefold() for layer in layers}
    with _collector_paused():
        drawing, skipped = _read_model_space(source, wanted, _name_of(source))
        drawing.points, at = merged_points(drawing.points, tol * _drawing_size(drawing))
        system = _system_from(_document(drawing, at))
    if skipped:
        listing = ", ".join(f"{count} {kind}" for kind, count in sorted(skipped.items()))
        warnings.warn(f"{_name_of(source)}: skipped {sum(skipped.values())} entities that a sketch "
                      f"cannot hold: {listing}", UserWarning, stacklevel=2)
    if infer:
        system.infer_constraints(tol)
    return system


# ---- writing ----


def _sketch_of(system: ovralis.System) -> dict[str, Any]:
    # The document is the one view of a store that includes its ellipses.
    return json.loads(system.to_json())


def _points_used_by_shapes(sketch: dict[str, Any]) -> set[int]:
    used: set[int] = set()
    for line in sketch["lines"]:
        used.update((line["p1"], line["p2"]))
    for circle in sketch["circles"]:
        used.add(circle["center"])
    for arc in sketch["arcs"]:
        used.update((arc["center"], arc["start"], arc["end"]))
    for ellipse in sketch["ellipses"] + sketch["arcs_of_ellipse"]:
        used.update((ellipse["center"], ellipse["focus1"]))
        if "start" in ellipse:
            used.update((ellipse["start"], ellipse["end"]))
    return used


def _ellipse_frame(xy: list[tuple[float, float]], shape: dict[str, Any]) -> tuple[Any, Any, float, float]:
    """Centre, major axis vector, ratio and minor radius of a stored ellipse."""
    cx, cy = xy[shape["center"]]
    fx, fy = xy[shape["focus1"]]
    b = abs(shape["radmin"])
    c = math.hypot(fx - cx, fy - cy)
    a = math.hypot(b, c)
    ux, uy = ((fx - cx) / c, (fy - cy) / c) if c > 0.0 else (1.0, 0.0)
    return (cx, cy), (a * ux, a * uy), (b / a if a > 0.0 else 1.0), b


def _ellipse_param(xy: list[tuple[float, float]], centre: Any, major: Any, ratio: float, point: int) -> float:
    a = math.hypot(*major)
    ux, uy = major[0] / a, major[1] / a
    dx, dy = xy[point][0] - centre[0], xy[point][1] - centre[1]
    return math.atan2((-uy * dx + ux * dy) / ratio, ux * dx + uy * dy)


def _write_geometry(msp: Any, sketch: dict[str, Any]) -> None:
    xy = [(p["x"], p["y"]) for p in sketch["points"]]
    for line in sketch["lines"]:
        msp.add_line(xy[line["p1"]], xy[line["p2"]])
    for circle in sketch["circles"]:
        msp.add_circle(xy[circle["center"]], abs(circle["radius"]))
    for arc in sketch["arcs"]:
        (cx, cy), (sx, sy), (ex, ey) = xy[arc["center"]], xy[arc["start"]], xy[arc["end"]]
        msp.add_arc((cx, cy), abs(arc["radius"]), math.degrees(math.atan2(sy - cy, sx - cx)),
                    math.degrees(math.atan2(ey - cy, ex - cx)))
    for ellipse in sketch["ellipses"]:
        centre, major, ratio, _ = _ellipse_frame(xy, ellipse)
        msp.add_ellipse(centre, major, ratio)
    for arc in sketch["arcs_of_ellipse"]:
        centre, major, ratio, _ = _ellipse_frame(xy, arc)
        msp.add_ellipse(centre, major, ratio, _ellipse_param(xy, centre, major, ratio, arc["start"]),
                        _ellipse_param(xy, centre, major, ratio, arc["end"]))
    used = _points_used_by_shapes(sketch)
    for i, point in enumerate(xy):
        if i not in used:
            msp.add_point(point)


def write_dxf(system: ovralis.System, target: Source, *, dimensions: bool = True) -> None:
    """System.to_dxf: the sketch's entities, and its dimensions as DIMENSION entities."""
    ezdxf = _ezdxf()
    from ovralis._dxf_dimensions import write_dimensions

    sketch = _sketch_of(system)
    document = ezdxf.new("R2010", setup=True)
    msp = document.modelspace()
    _write_geometry(msp, sketch)
    if dimensions:
        write_dimensions(msp, sketch)
    name = _name_of(target)
    try:
        if isinstance(target, (str, os.PathLike)):
            document.saveas(os.fspath(target))
        else:
            document.write(target)
    except OSError as error:
        raise ValueError(f"cannot write DXF file {name}: {error.strerror or error}") from None
