"""A drag with the real mouse in a browser page, shared by the page and notebook tests."""

# Records, in the page, where the last pointer move over the view's canvas was.
RECORD_LAST_POINTER = """(root) => root.querySelector(".ovralis-canvas").addEventListener(
    "pointermove", (e) => { window.lastPointer = [e.clientX, e.clientY]; })"""
LAST_POINTER_IN_SKETCH = "(root) => root.ovralis.toSketch(...window.lastPointer)"


def drag_view(page, view, screen, settle, start, end, steps):
    """Presses at sketch point `start` of the view (a handle on its root element), moves
    towards `end` in `steps` pointer moves and releases; returns where the mouse last was,
    in sketch coordinates, as the view saw it."""
    view.evaluate(RECORD_LAST_POINTER)
    page.mouse.move(*screen(*start))
    page.mouse.down()
    page.mouse.move(*screen(*end), steps=steps)
    settle()
    page.mouse.up()
    settle()
    at = view.evaluate(LAST_POINTER_IN_SKETCH)
    return at["x"], at["y"]
