"""`ovralis.SketchWidget(system)`: the live sketch view in a notebook.

An anywidget (pip install ovralis[widget]) that works wherever anywidget does:
JupyterLab, Notebook 7, VS Code, marimo. Its front end is static/sketch.js,
the same as the page of `ovralis serve`, with static/widget.js appended as the
notebook host; the two talk through the protocol of _sketch_session.py,
carried as custom messages {id, request} and {id, reply}. The System shown is
the caller's own, edited in place.
"""

from __future__ import annotations

import asyncio
import threading
from importlib import resources, util
from typing import Any

if util.find_spec("anywidget") is None:
    raise ImportError("ovralis.SketchWidget needs anywidget: pip install ovralis[widget]")

import anywidget
import traitlets

import ovralis
from ovralis._sketch_session import SketchSession


def front_end() -> str:
    """The widget's module: the shared view, then its notebook host."""
    static = resources.files("ovralis").joinpath("static")
    return static.joinpath("sketch.js").read_text(encoding="utf-8") + static.joinpath(
        "widget.js").read_text(encoding="utf-8")


def running_loop() -> asyncio.AbstractEventLoop | None:
    """The event loop running this thread's code (a kernel's, while it runs a cell), if any."""
    try:
        return asyncio.get_running_loop()
    except RuntimeError:
        return None


class SketchWidget(anywidget.AnyWidget):
    """Drag points, type dimensions, undo and redo, on the caller's System, in place.

    `status` mirrors the status line (degrees of freedom and whether the sketch
    is well, under or over constrained); `height` is the view's height in pixels.
    """

    _esm = front_end()
    _css = (resources.files("ovralis").joinpath("static").joinpath("sketch.css")
            .read_text(encoding="utf-8"))
    status = traitlets.Unicode("").tag(sync=True)
    height = traitlets.Int(420).tag(sync=True)

    def __init__(self, system: ovralis.System, **kwargs: Any) -> None:
        if not isinstance(system, ovralis.System):
            raise TypeError(f"SketchWidget() needs an ovralis.System, not {type(system).__name__}")
        super().__init__(**kwargs)
        self._session = SketchSession(system)
        self.status = self._session.status()
        # A System answers only on the thread that made it, but a kernel may deliver
        # the front end's messages on another: JupyterLab sends a widget's messages
        # to a subshell, which ipykernel runs on a thread of its own. Those are
        # handed to the event loop of this thread, which a kernel keeps running.
        self._home_thread = threading.get_ident()
        self._home_loop = running_loop()
        self.on_msg(self._receive)

    @property
    def system(self) -> ovralis.System:
        """The System shown and edited: the one given, not a copy."""
        return self._session.system

    def _receive(self, widget: Any, content: Any, buffers: Any) -> None:
        if threading.get_ident() == self._home_thread or self._home_loop is None:
            self._answer(widget, content, buffers)
        else:
            self._home_loop.call_soon_threadsafe(self._answer, widget, content, buffers)

    def _answer(self, widget: Any, content: Any, buffers: Any) -> None:
        if not isinstance(content, dict) or not isinstance(content.get("request"), dict):
            return
        reply = self._session.handle(content["request"])
        self.status = reply["status"]
        self.send({"id": content.get("id"), "reply": reply})
