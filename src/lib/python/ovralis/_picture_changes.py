"""What changed between two pictures of System.to_svg, element by element.

A drag moves geometry but keeps the sketch's structure, and to_svg then writes
the same elements in the same order with new numbers in them. Sending only
the attributes that changed lets the front end move the elements it already
shows instead of parsing and laying out a whole new picture each frame, while
to_svg stays the one place that decides where every line, mark and value goes.

to_svg writes one element per line: a start tag (self-closing, or with its
text and end tag on the same line) or an end tag alone. An element's number is
its place among the start tags, which is its place in the document order the
front end's `querySelectorAll("*")` walks (the root <svg> is number 0).
"""

from __future__ import annotations

import html
import itertools
import operator
import re
from typing import Any

# One line of to_svg: a start tag with its attributes, and the text and end tag
# of an element that has text.
ELEMENT_LINE = re.compile(r'<([a-zA-Z]+)((?:\s+[\w:-]+="[^"]*")*)\s*(?:/>|>(?:([^<]*)</\1>)?)')
ATTRIBUTE = re.compile(r'([\w:-]+)="([^"]*)"')
TEXT = "#text"  # the name under which a change carries an element's new text


class Picture:
    """A picture the front end shows: its lines and the element number of each line."""

    def __init__(self, svg: str, view: dict[str, Any] | None) -> None:
        self.view = view
        self.lines = svg.split("\n")
        starts = (line.startswith("<") and not line.startswith("</") for line in self.lines)
        self.element_numbers = [n - 1 for n in itertools.accumulate(starts)]

    def changes_to(self, svg: str) -> list[list[str | int]] | None:
        """The changes that turn this picture into `svg`: per changed element
        [number, name, value, name, value, ...] with TEXT naming its text; or None
        when the two differ in structure (other elements, attributes or order)
        and only the whole new picture will do. On success this picture becomes `svg`."""
        lines = svg.split("\n")
        if len(lines) != len(self.lines):
            return None
        changes: list[list[str | int]] = []
        # A drag changes few of thousands of lines: find them at C speed.
        for index in itertools.compress(itertools.count(), map(operator.ne, self.lines, lines)):
            change = element_change(self.lines[index], lines[index])
            if change is None:
                return None
            changes.append([self.element_numbers[index], *change])
        self.lines = lines
        return changes


def element_change(old: str, new: str) -> list[str] | None:
    """[name, value, ...] of what differs between two lines of the same element,
    or None when they are not the same element with the same attributes."""
    before, after = ELEMENT_LINE.fullmatch(old), ELEMENT_LINE.fullmatch(new)
    if before is None or after is None or before[1] != after[1]:
        return None
    old_attributes = ATTRIBUTE.findall(before[2])
    new_attributes = ATTRIBUTE.findall(after[2])
    if [name for name, _ in old_attributes] != [name for name, _ in new_attributes]:
        return None
    change: list[str] = []
    for (name, old_value), (_, new_value) in zip(old_attributes, new_attributes):
        if old_value != new_value:
            change += [name, html.unescape(new_value)]
    if (before[3] is None) != (after[3] is None):
        return None
    if before[3] != after[3]:
        change += [TEXT, html.unescape(after[3])]
    return change
