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
import re
from typing import Any

# One line of to_svg: a start tag with its attributes, and the text and end tag
# of an element that has text.
ELEMENT_LINE = re.compile(r'<([a-zA-Z]+)((?:\s+[\w:-]+="[^"]*")*)\s*(?:/>|>(?:([^<]*)</\1>)?)')
ATTRIBUTE = re.compile(r'([\w:-]+)="([^"]*)"')
TEXT = "#text"  # the name under which a change carries an element's new text


class Picture:
    """A picture the front end shows: its lines, in blocks, and the element number of each line.

    A drag changes a few of thousands of lines. Each block of lines is kept as
    one text too, so that an unchanged block is recognised in the new picture
    by one comparison at C speed, and only the blocks that changed are split
    into lines and compared line by line."""

    BLOCK = 64  # lines

    def __init__(self, svg: str, view: dict[str, Any] | None) -> None:
        self.view = view
        lines = svg.split("\n")
        starts = (line.startswith("<") and not line.startswith("</") for line in lines)
        self.element_numbers = [n - 1 for n in itertools.accumulate(starts)]
        # Each block's lines and its text with every line's end ("\n"), the
        # last line of the picture having none.
        self.blocks = [lines[i:i + self.BLOCK] for i in range(0, len(lines), self.BLOCK)]
        self.texts = ["\n".join(block) + "\n" for block in self.blocks]
        self.texts[-1] = self.texts[-1][:-1]

    def changes_to(self, svg: str) -> list[list[str | int]] | None:
        """The changes that turn this picture into `svg`: per changed element
        [number, name, value, name, value, ...] with TEXT naming its text; or None
        when the two differ in structure (other elements, attributes or order)
        and only the whole new picture will do. On success this picture becomes `svg`."""
        changes: list[list[str | int]] = []
        changed_blocks: list[tuple[int, list[str], str]] = []
        position = 0
        for number, (old_lines, old_text) in enumerate(zip(self.blocks, self.texts)):
            if svg.startswith(old_text, position):
                position += len(old_text)
                continue
            end = block_end(svg, position, len(old_lines), last=number == len(self.blocks) - 1)
            if end is None:
                return None
            text = svg[position:end]
            lines = (text if number == len(self.blocks) - 1 else text[:-1]).split("\n")
            first = number * self.BLOCK
            for index, (old, new) in enumerate(zip(old_lines, lines)):
                if old == new:
                    continue
                change = element_change(old, new)
                if change is None:
                    return None
                changes.append([self.element_numbers[first + index], *change])
            changed_blocks.append((number, lines, text))
            position = end
        if position != len(svg):
            return None
        for number, lines, text in changed_blocks:
            self.blocks[number], self.texts[number] = lines, text
        return changes


def block_end(svg: str, start: int, count: int, last: bool) -> int | None:
    """Where the block of `count` lines from `start` ends: past its last line's
    end, or at the end of the picture for the last block; None when the
    picture has fewer lines."""
    end = start
    for _ in range(count - 1 if last else count):
        end = svg.find("\n", end) + 1
        if end == 0:
            return None
    if last:
        return len(svg) if svg.find("\n", end) == -1 else None
    return end


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
