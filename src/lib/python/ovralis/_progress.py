"""A one-line progress bar on standard error for long batches of files."""

from __future__ import annotations

import sys
import time
from typing import TextIO

# Fewer files than this finish before a bar would be worth reading.
MANY_FILES = 10
_WIDTH = 30
# Redrawing more often than this only costs time: the eye cannot follow it.
_REDRAW_SECONDS = 0.1
_CLEAR_LINE = "\r\x1b[K"


class Progress:
    """Counts finished files and draws `verb [####----] done/total name` on a terminal.

    The bar appears only when the error stream is a terminal and the batch is
    long; otherwise every method except `print` does nothing. `print` writes a
    result line to standard output, lifting the bar out of its way first so the
    two never share a line.
    """

    def __init__(self, verb: str, total: int, stream: TextIO | None = None) -> None:
        self._stream = stream if stream is not None else sys.stderr
        self._verb = verb
        self._total = total
        self._done = 0
        self._label = ""
        self._drawn_at = 0.0
        self._shown = total >= MANY_FILES and self._stream.isatty()

    def __enter__(self) -> Progress:
        return self

    def __exit__(self, *exc_info: object) -> None:
        if self._shown:
            self._stream.write(_CLEAR_LINE)
            self._stream.flush()

    def advance(self, label: str) -> None:
        """Records one more finished file, named `label`."""
        self._done += 1
        self._label = label
        now = time.monotonic()
        if self._shown and (now - self._drawn_at >= _REDRAW_SECONDS or self._done == self._total):
            self._drawn_at = now
            self._draw()

    def print(self, line: str) -> None:
        if self._shown:
            self._stream.write(_CLEAR_LINE)
            self._stream.flush()
        print(line, flush=self._shown)
        if self._shown:
            self._draw()

    def _draw(self) -> None:
        filled = _WIDTH * self._done // max(self._total, 1)
        bar = "#" * filled + "-" * (_WIDTH - filled)
        self._stream.write(f"{_CLEAR_LINE}{self._verb} [{bar}] {self._done}/{self._total} {self._label}")
        self._stream.flush()
