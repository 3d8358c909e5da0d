"""Ends of a drawing that meet within a distance become one point.

Points that are equal are one at once; the distinct positions are then visited
in coordinate order, so the merge does not depend on the order of the
entities: each joins the first kept point within the distance of it, found
through a grid of cells that size. Most positions of a drawing have no other
one in the nine cells around theirs; numpy finds those, which are kept as they
are, and only the rest take the visit point by point.
"""

from __future__ import annotations

import math
from typing import Any, Sequence

# Cell keys are combined into one integer when the grid is no wider than this.
_MAX_CELL_SPAN = 2 ** 30


def merged_points(points: Sequence[Sequence[float]], distance: float) -> tuple[list[Sequence[float]], list[int]]:
    """The kept points as [x, y], numbered in order of first use, and for each
    of `points` the index of the kept point it becomes."""
    import numpy as np

    if not points:
        return [], []
    xy = np.array(points, dtype=float)
    # Equal positions (0.0 and -0.0 alike) are one, written as the first of them.
    order = np.lexsort((xy[:, 1], xy[:, 0]))
    ordered = xy[order]
    starts = np.ones(len(order), dtype=bool)
    starts[1:] = np.any(ordered[1:] != ordered[:-1], axis=1)
    position_of = np.empty(len(order), dtype=np.int64)
    position_of[order] = np.cumsum(starts) - 1
    positions = ordered[starts]

    kept_of = _kept_of_positions(positions, distance)
    target = kept_of[position_of]
    # Number the kept points in order of first use by the drawing.
    kept, first_use = np.unique(target, return_index=True)
    numbering = np.empty(int(kept.max()) + 1, dtype=np.int64)
    numbering[kept[np.argsort(first_use)]] = np.arange(len(kept))
    used = kept[np.argsort(first_use)]
    return positions[used].tolist(), numbering[target].tolist()


def _kept_of_positions(positions: Any, distance: float) -> Any:
    """For each distinct position (in coordinate order), the position it joins."""
    import numpy as np

    kept_of = np.arange(len(positions))
    if distance == 0.0:  # distinct positions are never within no distance
        return kept_of
    crowded = _crowded(positions, distance)
    if crowded is None:
        crowded = np.arange(len(positions))
    if len(crowded):
        joined = _visit(positions[crowded].tolist(), distance)
        kept_of[crowded] = crowded[joined]
    return kept_of


def _crowded(positions: Any, cell: float) -> Any:
    """The indices of positions with another in one of the nine cells around
    theirs, or None when the grid is too wide to key cells by one integer."""
    import numpy as np

    with np.errstate(all="ignore"):
        cx, cy = np.floor(positions[:, 0] / cell), np.floor(positions[:, 1] / cell)
    if not (np.all(np.isfinite(cx)) and np.all(np.isfinite(cy))):
        return None
    x0, y0 = cx.min() - 1, cy.min() - 1
    width, height = cx.max() - x0 + 2, cy.max() - y0 + 2
    if width > _MAX_CELL_SPAN or height > _MAX_CELL_SPAN:
        return None
    column, row = (cx - x0).astype(np.int64), (cy - y0).astype(np.int64)
    keys, counts = np.unique(column * int(height) + row, return_counts=True)
    around = np.zeros(len(positions), dtype=np.int64)
    for dx in (-1, 0, 1):
        for dy in (-1, 0, 1):
            wanted = (column + dx) * int(height) + row + dy
            at = np.minimum(np.searchsorted(keys, wanted), len(keys) - 1)
            around += np.where(keys[at] == wanted, counts[at], 0)
    return np.nonzero(around > 1)[0]


def _visit(positions: list[list[float]], distance: float) -> list[int]:
    """For positions in coordinate order, the index of the position each joins:
    the first one kept within `distance` of it, or itself."""
    cell = distance
    grid: dict[tuple[int, int], list[int]] = {}
    joined: list[int] = []
    for i, (x, y) in enumerate(positions):
        cx, cy = math.floor(x / cell), math.floor(y / cell)
        found = -1
        for gx in (cx - 1, cx, cx + 1):
            for gy in (cy - 1, cy, cy + 1):
                for j in grid.get((gx, gy), ()):
                    kx, ky = positions[j]
                    if math.hypot(kx - x, ky - y) <= distance and (found < 0 or j < found):
                        found = j
        if found < 0:
            found = i
            grid.setdefault((cx, cy), []).append(i)
        joined.append(found)
    return joined
