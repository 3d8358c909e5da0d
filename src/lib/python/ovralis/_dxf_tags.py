"""Reading a drawing's model space straight from ezdxf's tag stream.

Loading a whole ezdxf document builds an object for every entity, table entry
and object of the file, which costs far more than the geometry a sketch needs.
This reader runs ezdxf's tokenizer (ascii_tags_loader) over the ENTITIES
section only and builds the common entities (LINE, ARC, CIRCLE, LWPOLYLINE and
POINT in the default extrusion) from their tags with the same arithmetic as
the document path. The less common supported entities (ELLIPSE, POLYLINE with
its VERTEX entities, anything in another extrusion or with application data)
become real ezdxf entities through ezdxf's tag compiler and entity factory and
take the document path's readers. A drawing it does not cover (inserted
blocks, paper space entities in the ENTITIES section, malformed tags) is
declined, and the caller loads the whole document instead.
"""

from __future__ import annotations

import io
import re
from collections import Counter
from operator import attrgetter
from typing import Any, Callable, Optional

from ovralis import _dxf

# A section starts with (0, SECTION) (2, name) and ends with (0, ENDSEC); code
# lines hold integers, so these lines cannot be read from a value.
_ENTITIES_START = re.compile(r"^ *0\nSECTION\n *2\nENTITIES\n", re.MULTILINE)
_SECTION_END = re.compile(r"^ *0\nENDSEC\n", re.MULTILINE)

_DEFAULT_EXTRUSION = (0.0, 0.0, 1.0)
_XDATA_CODE = 1000  # extended data closes an entity, after its own tags
_APP_DATA_CODE = 102  # an application's group, whose codes mean something else


# Blocks need the document's block definitions; vertices and sequence ends only
# come after a POLYLINE; section markers mean the section was not found right.
_DECLINED_KINDS = {"INSERT", "VERTEX", "SEQEND", "SECTION", "ENDSEC", "EOF"}


class Declined(Exception):
    """The drawing needs the whole document: the caller loads it instead."""


def entities_section(text: str) -> Optional[str]:
    """The ENTITIES section's tags as text, or None when the text has no
    section written this plainly."""
    start = _ENTITIES_START.search(text)
    end = None if start is None else _SECTION_END.search(text, start.end())
    return None if start is None or end is None else text[start.end():end.start()]


Reader = Callable[[_dxf._Drawing, list[str], int], None]


class _Layout:
    """Where an entity's values sit among its tags, worked out once for every
    entity of one kind with the same sequence of group codes.

    The pairing of coordinates follows ezdxf's tag compiler: an x code is
    followed by its y code, then optionally its z code. `fields` holds the last
    location of each code, `sequence` every (code, location) in order; a
    location is the offsets of a value or of a point's coordinates from the
    entity's first tag. `reader` builds a plain entity from its values, None
    when only ezdxf's own entity reads it right.
    """

    def __init__(self, kind: str, codes: tuple[int, ...]) -> None:
        from ezdxf.lldxf.types import BINARY_DATA, POINT_CODES

        self.sequence: list[tuple[int, tuple[int, ...]]] = []
        plain = True
        i = 0
        while i < len(codes) and codes[i] < _XDATA_CODE:
            code = codes[i]
            if code == _APP_DATA_CODE or code in BINARY_DATA:
                plain = False
            if code in POINT_CODES:
                if i + 1 >= len(codes) or codes[i + 1] != code + 10:
                    raise Declined(f"group code {code} without its y coordinate")
                width = 3 if i + 2 < len(codes) and codes[i + 2] == code + 20 else 2
                self.sequence.append((code, tuple(range(i, i + width))))
                i += width
            else:
                self.sequence.append((code, (i,)))
                i += 1
        self.fields = dict(self.sequence)
        self.plain = plain
        make = _PLAIN_READERS.get(kind)
        self.reader = make(self) if make is not None and plain else None

    def integer(self, values: list[str], first: int, code: int) -> int:
        where = self.fields.get(code)
        if where is None:
            return 0
        text = values[first + where[0]]
        try:
            return int(text)
        except ValueError:  # some writers store integers as reals, as ezdxf accepts
            return int(float(text))

    def layer(self, values: list[str], first: int) -> str:
        where = self.fields.get(8)
        return "0" if where is None else values[first + where[0]]

    def default_extrusion(self, values: list[str], first: int) -> bool:
        where = self.fields.get(210)
        return where is None or tuple(float(values[first + k]) for k in where) == _DEFAULT_EXTRUSION

    def offsets(self, *codes: int) -> Optional[list[int]]:
        """The offsets of x and y of each point code, or of each value code;
        None when one is missing."""
        found: list[int] = []
        for code in codes:
            if code not in self.fields:
                return None
            found += self.fields[code][:2]
        return found


def _line_reader(layout: _Layout) -> Optional[Reader]:
    found = layout.offsets(10, 11)
    if found is None:
        return None
    ax, ay, bx, by = found

    def read(drawing: _dxf._Drawing, v: list[str], o: int) -> None:
        drawing.line((float(v[o + ax]), float(v[o + ay])), (float(v[o + bx]), float(v[o + by])))
    return read


def _point_reader(layout: _Layout) -> Optional[Reader]:
    found = layout.offsets(10)
    if found is None:
        return None
    x, y = found

    def read(drawing: _dxf._Drawing, v: list[str], o: int) -> None:
        drawing.lone_points.append(drawing.point(float(v[o + x]), float(v[o + y])))
    return read


def _circle_reader(layout: _Layout) -> Optional[Reader]:
    found = layout.offsets(10, 40)
    if found is None:
        return None
    x, y, r = found

    def read(drawing: _dxf._Drawing, v: list[str], o: int) -> None:
        drawing.circle((float(v[o + x]), float(v[o + y])), float(v[o + r]))
    return read


def _arc_reader(layout: _Layout) -> Optional[Reader]:
    found = layout.offsets(10, 40, 50, 51)
    if found is None:
        return None
    x, y, r, a0, a1 = found

    def read(drawing: _dxf._Drawing, v: list[str], o: int) -> None:
        centre, radius = (float(v[o + x]), float(v[o + y])), float(v[o + r])
        start, end = _dxf._arc_ends(centre, radius, float(v[o + a0]), float(v[o + a1]))
        drawing.arc(centre, radius, start, end)
    return read


def _lwpolyline_reader(layout: _Layout) -> Optional[Reader]:
    # A bulge (42) belongs to the vertex (10) before it, as ezdxf reads it.
    steps = [(code, where[:2]) for code, where in layout.sequence if code in (10, 42)]
    elevation = layout.fields.get(38)

    def read(drawing: _dxf._Drawing, v: list[str], o: int) -> None:
        z = 0.0 if elevation is None else float(v[o + elevation[0]])
        vertices: list[list[Any]] = []
        for code, where in steps:
            if code == 10:
                vertices.append([(float(v[o + where[0]]), float(v[o + where[1]]), z), 0.0])
            elif vertices:
                vertices[-1][1] = float(v[o + where[0]])
        closed = bool(layout.integer(v, o, 70) & 1)
        _dxf._add_polyline_segments(drawing, vertices, closed)
    return read


_PLAIN_READERS: dict[str, Callable[[_Layout], Optional[Reader]]] = {
    "LINE": _line_reader, "POINT": _point_reader, "CIRCLE": _circle_reader, "ARC": _arc_reader,
    "LWPOLYLINE": _lwpolyline_reader,
}


class _Tags:
    """The ENTITIES section's tags as ezdxf's tokenizer reads them."""

    def __init__(self, section: str) -> None:
        from ezdxf.lldxf.tagger import ascii_tags_loader

        self.tags = list(ascii_tags_loader(io.StringIO(section)))
        self.codes = list(map(attrgetter("code"), self.tags))
        self.values = list(map(attrgetter("value"), self.tags))
        self.starts = [i for i, code in enumerate(self.codes) if code == 0] + [len(self.codes)]
        if self.starts[0] != 0:
            raise Declined("tags before the first entity")

    def ezdxf_entity(self, first: int, end: int, vertices: list[tuple[int, int]]) -> Any:
        """The entity of tags[first:end] as ezdxf loads it, with its VERTEX entities."""
        from ezdxf.entities import factory
        from ezdxf.lldxf.extendedtags import ExtendedTags

        entity: Any = factory.load(ExtendedTags(self._compiled(first, end)))
        for vertex in vertices:
            entity.link_entity(factory.load(ExtendedTags(self._compiled(*vertex))))
        return entity

    def _compiled(self, first: int, end: int) -> list[Any]:
        from ezdxf.lldxf.tagger import tag_compiler
        from ezdxf.lldxf.types import DXFTag

        # The tag after the entity closes its last point, as in the whole stream.
        closing = self.tags[end:end + 1] or [DXFTag(0, "ENDSEC")]
        return list(tag_compiler(iter(self.tags[first:end] + closing)))[:-1]


def _polyline_vertices(tags: _Tags, k: int) -> tuple[list[tuple[int, int]], int]:
    """The VERTEX entities after the POLYLINE that is entity k, and the index of
    the entity after them (past the SEQEND)."""
    vertices = []
    k += 1
    while k + 1 < len(tags.starts) and tags.values[tags.starts[k]].strip() == "VERTEX":
        vertices.append((tags.starts[k], tags.starts[k + 1]))
        k += 1
    if k + 1 < len(tags.starts) and tags.values[tags.starts[k]].strip() == "SEQEND":
        k += 1
    return vertices, k


def read_model_space(section: str, drawing: _dxf._Drawing, layers: Optional[set[str]]) -> Counter[str]:
    """Adds the model space entities of an ENTITIES section's text to `drawing`
    and returns the count of those skipped, by kind. Raises Declined when the
    section needs the whole document."""
    skipped: Counter[str] = Counter()
    try:
        tags = _Tags(section)
        layouts: dict[tuple[Any, ...], _Layout] = {}
        k = 0
        while k + 1 < len(tags.starts):
            first, end = tags.starts[k], tags.starts[k + 1]
            kind = tags.values[first].strip()
            vertices: list[tuple[int, int]] = []
            if kind == "POLYLINE":
                vertices, k = _polyline_vertices(tags, k)
            else:
                k += 1
            key = (kind, *tags.codes[first + 1:end])
            layout = layouts.get(key) or layouts.setdefault(key, _Layout(kind, (0, *key[1:])))
            _read_one(drawing, tags, kind, layout, (first, end), vertices, layers, skipped)
    except Declined:
        raise
    except Exception as error:  # malformed content: the document path reports it
        raise Declined(f"{type(error).__name__}: {error}") from None
    return skipped


def _read_one(drawing: _dxf._Drawing, tags: _Tags, kind: str, layout: _Layout, span: tuple[int, int],
              vertices: list[tuple[int, int]], layers: Optional[set[str]], skipped: Counter[str]) -> None:
    values, first = tags.values, span[0]
    if kind in _DECLINED_KINDS:
        raise Declined(kind)
    if layout.plain:
        if layout.integer(values, first, 67) != 0:
            raise Declined("paper space")
        if layers is not None and layout.layer(values, first).casefold() not in layers:
            return
        if kind not in _dxf._SUPPORTED:
            skipped[kind] += 1
            return
        if layout.reader is not None and not vertices and layout.default_extrusion(values, first):
            layout.reader(drawing, values, first)
            return
    entity = tags.ezdxf_entity(first, span[1], vertices)
    if entity.dxf.paperspace:
        raise Declined("paper space")
    if layers is not None and entity.dxf.layer.casefold() not in layers:
        return
    if kind not in _dxf._SUPPORTED or not _dxf._read_entity(drawing, entity):
        skipped[kind] += 1
