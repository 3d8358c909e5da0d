"""SketchWidget's messages delivered on another thread than the System's.

JupyterLab sends a widget's messages to a kernel subshell, which ipykernel runs
on a thread of its own, while the System lives on the thread that ran the cell.
Here an event loop stands for the kernel's: the widget is made inside it, as in
a cell, and a worker thread delivers a request as a subshell would.
"""

import asyncio
import math
import threading

import pytest

import ovralis
from sketch_views import ELBOW, PIVOT, linkage

pytest.importorskip("anywidget")

SET_FIRST_BAR = {"id": 3, "request": {"type": "set_dimension", "constraint": 0, "value": 0.9}}


def test_a_request_delivered_on_another_thread_is_answered_on_the_systems_own():
    async def cell():
        s = linkage()
        widget = ovralis.SketchWidget(s)
        answered = asyncio.get_running_loop().create_future()
        widget.send = lambda message: answered.set_result((threading.get_ident(), message))
        await asyncio.to_thread(widget._receive, widget, SET_FIRST_BAR, [])
        thread, message = await asyncio.wait_for(answered, timeout=30)
        return s, thread, message

    s, thread, message = asyncio.run(cell())
    assert thread == threading.get_ident()
    assert message["id"] == 3 and message["reply"]["ok"]
    assert math.dist(s.get_point(PIVOT), s.get_point(ELBOW)) == pytest.approx(0.9, abs=1e-8)


def test_without_an_event_loop_a_request_is_answered_where_it_arrives():
    s = linkage()
    widget = ovralis.SketchWidget(s)
    sent = []
    widget.send = sent.append
    widget._receive(widget, SET_FIRST_BAR, [])
    assert [m["id"] for m in sent] == [3] and s.get_constraint(0).d == 0.9
