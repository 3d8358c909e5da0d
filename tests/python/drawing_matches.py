"""Carrying constraints from a sketch to the same drawing read back from DXF,
where entities are numbered afresh: entities are matched by their geometry."""

from __future__ import annotations

import io
import json
import math

import ovralis


def through_dxf(sketch: ovralis.System, entity_order=None, **options) -> ovralis.System:
    """The sketch's geometry written to DXF (entities in `entity_order`, a
    permutation function, if given) and read back without its constraints."""
    bare = sketch.copy()
    bare.clear_constraints()
    stream = io.StringIO()
    bare.to_dxf(stream, dimensions=False)
    if entity_order is not None:
        stream = _reordered(stream.getvalue(), entity_order)
    stream.seek(0)
    return ovralis.from_dxf(stream, **options)


def _reordered(text, entity_order):
    import ezdxf

    document = ezdxf.read(io.StringIO(text))
    msp = document.modelspace()
    entities = list(msp)
    for e in entities:
        msp.unlink_entity(e)
    for e in entity_order(entities):
        msp.add_entity(e)
    out = io.StringIO()
    document.write(out)
    return out


def size_of(sketch):
    xs = [p[0] for p in sketch.get_points()]
    ys = [p[1] for p in sketch.get_points()]
    return math.hypot(max(xs) - min(xs), max(ys) - min(ys)) or 1.0


class EntityMatch:
    """Maps entity indices of `source` to those of `target` by position."""

    def __init__(self, source, target):
        tol = 1e-9 * size_of(source)
        self.points = {}
        targets = target.get_points()
        for i, p in enumerate(source.get_points()):
            found = [j for j, q in enumerate(targets) if math.dist(p, q) <= tol]
            self.points[i] = found[0] if found else None
        self.lines = self._match(source.get_lines(), target.get_lines(), unordered=True)
        self.circles = self._match([c for c in source.get_circles()], target.get_circles(), radius=True)
        self.arcs = self._match([a[:3] for a in source.get_arcs()], [a[:3] for a in target.get_arcs()])

    def _match(self, source_items, target_items, unordered=False, radius=False):
        index = {}
        for j, item in enumerate(target_items):
            index[self._key(item, unordered, radius, mapped=False)] = j
        out = {}
        for i, item in enumerate(source_items):
            out[i] = index.get(self._key(item, unordered, radius, mapped=True))
        return out

    def _key(self, item, unordered, radius, mapped):
        if radius:
            centre, r = item
            return (self.points[centre] if mapped else centre, round(r, 9))
        points = tuple(self.points[p] if mapped else p for p in item)
        return tuple(sorted(points, key=lambda v: (v is None, v))) if unordered else points

    def constraint(self, c: ovralis.Constraint):
        """The same constraint naming the target's entities, or None if one has no match."""
        fields = json.loads(_document_of(c))
        ((kind, values),) = fields.items()
        tables = {"p1": self.points, "p2": self.points, "point": self.points, "p_out": self.points,
                  "p_in": self.points, "m": self.points, "a": self.points, "b": self.points, "c": self.points,
                  "l1": self.lines, "l2": self.lines, "line": self.lines, "circle": self.circles,
                  "c1": self.circles, "c2": self.circles, "arc": self.arcs, "a1": self.arcs, "a2": self.arcs}
        mapped = {}
        for name, value in values.items():
            if name in tables and isinstance(value, int) and not (kind == "AngleBetweenPoints" and False):
                value = tables[name].get(value)
                if value is None:
                    return None
            mapped[name] = value
        return _constraint_from(kind, mapped)


def _document_of(c):
    s = ovralis.System()
    s.add_constraint(c)
    return json.dumps(json.loads(s.to_json())["constraints"][0])


def _constraint_from(kind, fields):
    s = ovralis.System.from_json(json.dumps({
        "points": [], "lines": [], "circles": [], "arcs": [], "ellipses": [], "arcs_of_ellipse": [],
        "constraints": [{kind: fields}], "clamp_radii": True, "min_radius": 1e-10, "track_convergence": False}))
    return s.get_constraint(0)


def implied(sketch: ovralis.System, c: ovralis.Constraint) -> bool:
    """Whether `c` adds nothing to the sketch's constraints: none of its
    equations raises the rank."""
    trial = sketch.copy()
    trial.add_constraint(c)
    return trial.analyze_constraints().rank == sketch.analyze_constraints().rank
