"""The Python end of the live sketch view: one message in, one reply out.

The browser page (`ovralis serve`) and the notebook widget (`SketchWidget`)
share the front end in static/sketch.js and this protocol. Every request is a
dict with a "type" and every reply a dict with "ok", "message", the picture
(drawn by System.to_svg for the front end's view), the status line and the
depth of the undo and redo histories.

The picture comes whole ("svg") or as the changes to the one the front end
shows ("changes", see _picture_changes.py). Every reply numbers its picture
("picture"); a request that names the picture shown ("have") with the same
view as that picture's gets only the changes, unless the structure changed.
Render replies also carry the drawing's "bounds", so the front end can fit it.

Requests:
    render         {"view"}                         draw again (after a pan or zoom)
    begin_drag     {"point"}                        a drag gesture starts: snapshot for undo
    drag           {"point", "x", "y", "view"}      move the point towards (x, y)
    end_drag       {}                               the gesture ends: analyse again
    set_dimension  {"constraint", "value", "view"}  give a dimension a new value
    undo, redo     {"view"}
    highlight      {"free", "conflicts", "view"}    what the picture colours
    save           {}                               write the document (where the host can)

A view is {"cx", "cy", "scale", "width", "height"}: the sketch point at the
middle of the picture, pixels per sketch unit, and the picture's size.
"""

from __future__ import annotations

import math
from collections.abc import Callable
from types import SimpleNamespace
from typing import Any, cast

import ovralis
from ovralis._picture_changes import Picture

STATUS_WORDS = {
    "well_constrained": "well constrained",
    "under_constrained": "under constrained",
    "redundant": "over constrained (redundant constraints)",
    "conflicting": "over constrained (conflicting constraints)",
}


class Refused(Exception):
    """A request the sketch cannot honour; the sketch is left as it was."""

    def __init__(self, message: str, **details: Any) -> None:
        super().__init__(message)
        self.details = details


def dimension_field(constraint: ovralis.Constraint) -> str:
    """The name of the constraint's one real field (d, deg, r, len, t)."""
    reals = [name for name, value in constraint.fields().items() if isinstance(value, float)]
    if len(reals) != 1:
        raise Refused(f"a {constraint.kind()} constraint has no single value to edit")
    return reals[0]


def json_range(low: float, high: float) -> list[float | None]:
    """A range as JSON can carry it: an unbounded end is null."""
    return [end if math.isfinite(end) else None for end in (low, high)]


def with_value(constraint: ovralis.Constraint, value: float) -> ovralis.Constraint:
    """The same constraint with its dimension set to `value`."""
    field = dimension_field(constraint)
    # A constraint's pickling state is its kind and its fields, in field order.
    rebuild, (kind, *values) = cast("tuple[Any, tuple[Any, ...]]", constraint.__reduce__())
    position = list(constraint.fields()).index(field)
    values[position] = value
    return rebuild(kind, *values)


def restore(system: ovralis.System, snapshot: ovralis.System) -> None:
    """Puts the snapshot's geometry and constraint values back into `system`, in place.

    The live view changes only positions, radii and dimension values, never
    the structure, so every index of the snapshot names the same entity."""
    for index, (x, y) in enumerate(snapshot.get_points()):
        system.set_point(index, x, y)
    for index, (_, radius) in enumerate(snapshot.get_circles()):
        system.set_circle(index, radius=radius)
    for index, (*_, radius) in enumerate(snapshot.get_arcs()):
        system.set_arc(index, radius=radius)
    for index in range(snapshot.num_constraints()):
        system.set_constraint(index, snapshot.get_constraint(index))


def drawing_bounds(system: ovralis.System) -> list[float]:
    """The box (min x, min y, max x, max y) around points, circles and arcs."""
    xs, ys = [], []
    for x, y in system.get_points():
        xs.append(x)
        ys.append(y)
    rounds = [(center, radius) for center, radius in system.get_circles()]
    rounds += [(center, radius) for center, _, _, radius in system.get_arcs()]
    for center, radius in rounds:
        x, y = system.get_point(center)
        xs += [x - abs(radius), x + abs(radius)]
        ys += [y - abs(radius), y + abs(radius)]
    finite = [(x, y) for x, y in zip(xs, ys) if math.isfinite(x) and math.isfinite(y)]
    if not finite:
        return [-1.0, -1.0, 1.0, 1.0]
    return [min(x for x, _ in finite), min(y for _, y in finite),
            max(x for x, _ in finite), max(y for _, y in finite)]


class SketchSession:
    """Answers the front end's requests on one System, edited in place."""

    def __init__(self, system: ovralis.System, save: Callable[[str], str] | None = None) -> None:
        self.system = system
        self._save = save
        self._undo: list[ovralis.System] = []
        self._redo: list[ovralis.System] = []
        self._gesture_start: str | None = None
        self.show_free = False
        self.show_conflicts = False
        self.analysis = system.analyze_constraints()
        self._shown: Picture | None = None  # the last picture sent, as the front end holds it
        self._pictures = 0  # the number of the last picture sent

    # ---- the protocol ----

    def handle(self, request: dict[str, Any]) -> dict[str, Any]:
        kind = request.get("type")
        handler = getattr(self, f"_on_{kind}", None) if isinstance(kind, str) else None
        if handler is None:
            return self._reply(request, ok=False, message=f"unknown request {kind!r}")
        try:
            message = handler(request) or ""
        except Refused as refusal:
            return self._reply(request, ok=False, message=str(refusal), **refusal.details)
        except (KeyError, TypeError, ValueError) as error:
            return self._reply(request, ok=False, message=f"bad {kind} request: {error}")
        return self._reply(request, ok=True, message=message)

    def _on_render(self, request: dict[str, Any]) -> None:
        return None

    def _on_begin_drag(self, request: dict[str, Any]) -> None:
        self._gesture_start = self.system.to_json()
        self._push_undo()

    def _on_drag(self, request: dict[str, Any]) -> str:
        result = self.system.drag(int(request["point"]), float(request["x"]), float(request["y"]))
        return "" if result.converged else "the point cannot go there"

    def _on_end_drag(self, request: dict[str, Any]) -> None:
        # A press that moved nothing leaves no step to undo.
        if self._gesture_start is not None and self._gesture_start == self.system.to_json():
            self._undo.pop()
        self._gesture_start = None
        self._analyse()

    def _on_set_dimension(self, request: dict[str, Any]) -> str:
        index = int(request["constraint"])
        value = float(request["value"])
        if not math.isfinite(value):
            raise Refused("the value must be a finite number")
        current = self.system.get_constraint(index)
        edited = with_value(current, value)
        low, high = self.system.dimension_range(index)
        reach = f"this dimension can take values from {low:g} to {high:g}"
        if not low <= value <= high:
            raise Refused(f"{value:g} is out of reach: {reach}", range=json_range(low, high))
        before = self.system.copy()
        self.system.set_constraint(index, edited)
        # follow() moves the sketch continuously to the new value, never onto another branch.
        if not self.system.follow().converged:
            restore(self.system, before)
            raise Refused(f"the sketch cannot follow to {value:g}: {reach}",
                          range=json_range(low, high))
        self._undo.append(before)
        self._redo.clear()
        self._analyse()
        return f"{dimension_field(current)} = {value:g}"

    def _on_undo(self, request: dict[str, Any]) -> str:
        return self._step(self._undo, self._redo, "undone", "nothing to undo")

    def _on_redo(self, request: dict[str, Any]) -> str:
        return self._step(self._redo, self._undo, "redone", "nothing to redo")

    def _on_highlight(self, request: dict[str, Any]) -> None:
        self.show_free = bool(request.get("free", self.show_free))
        self.show_conflicts = bool(request.get("conflicts", self.show_conflicts))

    def _on_save(self, request: dict[str, Any]) -> str:
        if self._save is None:
            raise Refused("this view edits the notebook's System in place; save it from Python")
        return self._save(self.system.to_json())

    # ---- history and analysis ----

    def _push_undo(self) -> None:
        self._undo.append(self.system.copy())
        self._redo.clear()

    def _step(self, source: list[ovralis.System], target: list[ovralis.System], done: str,
              empty: str) -> str:
        if not source:
            raise Refused(empty)
        target.append(self.system.copy())
        restore(self.system, source.pop())
        self._analyse()
        return done

    def _analyse(self) -> None:
        self.analysis = self.system.analyze_constraints()

    def status(self) -> str:
        a = self.analysis
        freedom = "1 degree of freedom" if a.dof == 1 else f"{a.dof} degrees of freedom"
        return f"{freedom} · {STATUS_WORDS.get(a.status, a.status)}"

    # ---- the reply ----

    def highlights(self) -> SimpleNamespace | None:
        """What to_svg colours: the analysis, less what the user switched off."""
        if not (self.show_free or self.show_conflicts):
            return None
        a = self.analysis
        nothing: tuple[int, ...] = ()
        return SimpleNamespace(
            free_points=a.free_points if self.show_free else nothing,
            free_circles=a.free_circles if self.show_free else nothing,
            free_arcs=a.free_arcs if self.show_free else nothing,
            conflicting=a.conflicting if self.show_conflicts else nothing,
            groups=a.groups)

    def picture(self, view: dict[str, Any] | None) -> str:
        if not view:
            return self.system.to_svg(analysis=self.highlights())
        width, height = float(view["width"]), float(view["height"])
        scale, cx, cy = float(view["scale"]), float(view["cx"]), float(view["cy"])
        half_x, half_y = width / 2 / scale, height / 2 / scale
        return self.system.to_svg(width=width, height=height, margin=0,
                                  bounds=(cx - half_x, cy - half_y, cx + half_x, cy + half_y),
                                  analysis=self.highlights())

    def _reply(self, request: dict[str, Any], ok: bool, message: str, **details: Any) -> dict[str, Any]:
        reply: dict[str, Any] = {
            "ok": ok,
            "message": message,
            "status": self.status(),
            "dof": self.analysis.dof,
            "condition": self.analysis.status,
            "undo": len(self._undo),
            "redo": len(self._redo),
            "free": self.show_free,
            "conflicts": self.show_conflicts,
            **details,
        }
        if request.get("type") == "render":
            reply["bounds"] = drawing_bounds(self.system)
        view = request.get("view")
        try:
            svg = self.picture(view)
        except (KeyError, TypeError, ValueError, ZeroDivisionError) as error:
            reply.update(ok=False, message=f"bad view: {error}")
            return reply
        reply.update(self._picture_update(request, svg, view))
        return reply

    def _picture_update(self, request: dict[str, Any], svg: str, view: Any) -> dict[str, Any]:
        """The new picture as changes to the one the front end shows, or whole."""
        shown = self._shown
        changes = None
        if (shown is not None and view and shown.view == view
                and request.get("have") == self._pictures):
            changes = shown.changes_to(svg)
        self._pictures += 1
        if changes is not None:
            return {"picture": self._pictures, "changes": changes}
        self._shown = Picture(svg, view if isinstance(view, dict) else None)
        return {"picture": self._pictures, "svg": svg}
