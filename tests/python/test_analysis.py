"""Constraint analysis against geometry worked out in the test."""
import math

import numpy as np
import pytest
import ovralis

from sketches import rectangle


def without(s, dropped):
    """A copy of `s` without the constraints at the positions in `dropped`."""
    copy = ovralis.System.from_json(s.to_json())
    for k in sorted(dropped, reverse=True):
        copy.remove_constraint(k)
    return copy


def fighting_constraints(s, basis, k):
    """The members of `basis` whose removal lets constraint k hold with the
    rest: the constraints it really conflicts with, found by solving."""
    others = set(range(s.num_constraints())) - set(basis) - {k}
    return tuple(i for i in basis if without(s, others | {i}).solve(max_iter=500).converged)


# A 4 x 3 rectangle, drawn exactly: six free coordinates, six independent
# equations (the fourth perpendicular follows from the other three); the
# diagonal of 5 is implied, one of 6 contradicts the sides.
@pytest.mark.parametrize("diagonal, redundant, conflicting, status", [
    (None, (6,), (), "redundant"),
    (5.0, (6, 7), (), "redundant"),
    (6.0, (6, 7), (7,), "conflicting"),
])
def test_rectangle(diagonal, redundant, conflicting, status):
    a = rectangle(diagonal).analyze_constraints()
    assert (a.rank, a.free_variables, a.dof) == (6, 6, 0)
    assert a.redundant == redundant and a.conflicting == conflicting and a.status == status
    # Three perpendiculars make the fourth: its group is the other three.
    assert a.groups[6] == (3, 4, 5)
    if diagonal is not None:
        wrong = rectangle(6.0)
        assert a.groups[7] == fighting_constraints(wrong, range(6), 7)


def bar_jacobian(points, fixed, pairs):
    """The gradient of |Pi - Pj| for each bar, over the free coordinates;
    and each free point's first column."""
    free = [k for k in range(len(points)) if k not in fixed]
    column = {k: 2 * n for n, k in enumerate(free)}
    jacobian = np.zeros((len(pairs), 2 * len(free)))
    for row, (i, j) in enumerate(pairs):
        u = np.subtract(points[i], points[j]) / math.dist(points[i], points[j])
        for k, sign in ((i, 1.0), (j, -1.0)):
            if k in column:
                jacobian[row, column[k]:column[k] + 2] = sign * u
    return jacobian, column


def dependent_rows(jacobian):
    """Rows that do not raise the rank of the rows before them."""
    rank = lambda rows: np.linalg.matrix_rank(jacobian[:rows], tol=1e-9) if rows else 0
    return tuple(k for k in range(len(jacobian)) if rank(k + 1) == rank(k))


def grid_bars(columns, rows):
    """A unit grid, each cell split by one diagonal, its two bottom-left
    points fixed (no bar between those two)."""
    points = [(i, j) for j in range(rows + 1) for i in range(columns + 1)]
    at = {p: k for k, p in enumerate(points)}
    pairs = [(at[i, j], at[i + di, j + dj]) for (i, j) in points
             for di, dj in ((1, 0), (0, 1), (1, 1))
             if (i + di, j + dj) in at and (i, j, di, dj) != (0, 0, 1, 0)]
    return points, {0, 1}, pairs, at


# The grid's own bracing is already one bar more than rigidity needs; extra
# bars are redundant too. Drawn exactly, a bar of the wrong length is the one
# that conflicts, with the bars whose removal would let it hold.
@pytest.mark.parametrize("extra, wrong", [
    ([((0, 0), (2, 1))], None),
    ([((0, 0), (2, 1))], 0),
    ([((1, 0), (2, 2)), ((0, 2), (2, 0))], 1),
])
def test_triangulated_grid_with_extra_bars(extra, wrong):
    points, fixed, pairs, at = grid_bars(2, 2)
    pairs += [(at[a], at[b]) for a, b in extra]
    s = bars(points, fixed, pairs)
    if wrong is not None:
        k = len(pairs) - len(extra) + wrong
        s.remove_constraint(k)
        s.add_distance_constraint(pairs[k][0], pairs[k][1], math.dist(*(points[i] for i in pairs[k])) + 0.05)
        pairs.append(pairs.pop(k))
    jacobian, _ = bar_jacobian(points, fixed, pairs)
    a = s.analyze_constraints()
    assert a.redundant == dependent_rows(jacobian) and a.dof == 0
    assert len(a.redundant) == 1 + len(extra)
    if wrong is None:
        assert a.conflicting == ()
    else:
        last = len(pairs) - 1
        assert a.conflicting == (last,)
        basis = [i for i in range(last) if i not in a.redundant]
        assert a.groups[last] == fighting_constraints(s, basis, last)


def add_twice(add):
    """A right triangle (one fixed corner) and a free point on that corner;
    the constraint `add` holds and is written twice, so the second copy is
    redundant on the first."""
    s = ovralis.System()
    o = s.add_point(0, 0, fixed=True)
    b = s.add_point(3, 0)
    c = s.add_point(0, 4)
    s.add_point(0, 0)
    add(s, o, b, c)
    first = s.num_constraints() - 1
    add(s, o, b, c)
    return s, first


@pytest.mark.parametrize("add", [
    lambda s, o, b, c: s.add_distance_constraint(b, c, 5),
    lambda s, o, b, c: s.add_horizontal_constraint(o, b),
    lambda s, o, b, c: s.add_coincident_constraint(o, 3),
    lambda s, o, b, c: s.add_vertical_constraint(o, c),
], ids=["distance", "horizontal (eliminated)", "coincident (eliminated)", "vertical (eliminated)"])
def test_duplicated_constraint_depends_on_its_twin(add):
    s, first = add_twice(add)
    a = s.analyze_constraints()
    assert a.redundant == (first + 1,) and a.groups[first + 1] == (first,)
    assert a.conflicting == ()


def test_fully_constrained_sketch():
    s = ovralis.System()
    a = s.add_point(0, 0, fixed=True)
    b = s.add_point(4.3, 0.4)
    c = s.add_point(0.2, 2.7)
    s.add_horizontal_constraint(a, b)
    s.add_distance_constraint(a, b, 4)
    s.add_distance_constraint(b, c, 5)
    s.add_distance_constraint(c, a, 3)
    s.solve()
    a = s.analyze_constraints()
    assert (a.rank, a.free_variables, a.dof) == (4, 4, 0)
    assert (a.redundant, a.conflicting, a.groups, a.free_points) == ((), (), {}, ())
    assert a.status == "well_constrained"


def bars(points, fixed, pairs):
    s = ovralis.System()
    for k, (x, y) in enumerate(points):
        s.add_point(x, y, fixed=k in fixed)
    for i, j in pairs:
        s.add_distance_constraint(i, j, math.dist(points[i], points[j]))
    return s


def movable_points(points, fixed, pairs):
    """The freedom left and the points with a component in the null space of
    the bars' Jacobian."""
    jacobian, column = bar_jacobian(points, fixed, pairs)
    _, singular, vt = np.linalg.svd(jacobian)
    rank = int(np.sum(singular > 1e-9))
    null = vt[rank:]
    moving = tuple(k for k in sorted(column) if np.abs(null[:, column[k]:column[k] + 2]).max(initial=0) > 1e-8)
    return jacobian.shape[1] - rank, moving


# A four-bar linkage (one freedom) beside a braced triangle (none) and a
# point on a string (one); a chain hanging from one pivot; a lone point.
@pytest.mark.parametrize("points, fixed, pairs", [
    ([(0, 0), (0, 2), (3, 2.5), (4, 0), (6, 0), (7, 1), (5, 3), (8, 3)],
     {0, 3, 4}, [(0, 1), (1, 2), (2, 3), (4, 5), (5, 6), (3, 5), (6, 3), (7, 6)]),
    ([(0, 0), (1, 0.5), (2, 0.2), (3, 1)], {0}, [(0, 1), (1, 2), (2, 3)]),
    ([(0, 0), (1, 1), (5, 5)], {0}, [(0, 1)]),
])
def test_under_constrained_points_that_can_move(points, fixed, pairs):
    dof, moving = movable_points(points, fixed, pairs)
    a = bars(points, fixed, pairs).analyze_constraints()
    assert (a.dof, a.free_points, a.redundant, a.status) == (dof, moving, (), "under_constrained")


def point_on_fixed_lines():
    s = ovralis.System()
    o = s.add_point(0, 0, fixed=True)
    e = s.add_point(10, 0, fixed=True)
    return s, s.add_line(o, e), o, e


def flat_line_distance(s, line, o, e):
    p = s.add_point(4, 0)
    s.add_point_line_distance_constraint(p, line, 0.0)
    s.add_vertical_constraint(p, s.add_point(4, 7, fixed=True))


def flat_angle(deg):
    def build(s, line, o, e):
        p = s.add_point(3 * math.cos(math.radians(deg)), 0)
        s.add_angle_constraint(line, s.add_line(o, p), deg)
        s.add_distance_constraint(o, p, 3)
    return build


def flat_vertex_angle(deg):
    def build(s, line, o, e):
        c = s.add_point(10 + 2 * math.cos(math.radians(180 - deg)), 0)
        s.add_angle_between_points_constraint(o, e, c, deg)
        s.add_distance_constraint(e, c, 2)
    return build


def zero_distance(s, line, o, e):
    s.add_distance_constraint(o, s.add_point(0, 0), 0.0)


def tangent_line_circle(s, line, o, e):
    circle = s.add_circle(s.add_point(5, 2), 2.0, fixed=True)
    s.add_line_circle_tangent_constraint(line, circle)
    s.add_vertical_constraint(s.add_point(5, 9, fixed=True), s.get_circle(circle)[0])


# Kinds at a configuration where they hold and their residual (a square, a
# cosine, an arc cosine, a length) is flat: each pins its free points with
# the constraint beside it, so the rank is the free coordinates, nothing is
# redundant, and the freedom is 0.
@pytest.mark.parametrize("build", [
    flat_line_distance, flat_angle(0.0), flat_angle(180.0), flat_vertex_angle(0.0),
    flat_vertex_angle(180.0), zero_distance, tangent_line_circle,
], ids=["point-line-distance-0", "angle-0", "angle-180", "vertex-angle-0", "vertex-angle-180",
        "distance-0", "line-circle-tangent"])
def test_constraints_flat_where_they_hold_are_not_redundant(build):
    s, line, o, e = point_on_fixed_lines()
    build(s, line, o, e)
    a = s.analyze_constraints()
    assert (a.redundant, a.dof, a.rank) == ((), 0, a.free_variables)


def test_a_chain_of_redundant_rungs_names_each_cell():
    """Irregular cells in a row, each held by two sides, a diagonal and the
    angle at a corner before its rung, which is then redundant. Every rung
    depends on its own cell: the four constraints before it and the rung
    before those, all within the cell's points; not on the cells before."""
    cells = 6
    points = [(i + 0.3 * j + 0.1 * math.sin(5 * i + j), j + 0.1 * math.cos(3 * i))
              for i in range(cells + 1) for j in (0, 1)]
    s = ovralis.System()
    for k, (x, y) in enumerate(points):
        s.add_point(x, y, fixed=k < 2)
    bar = lambda p, q: s.add_distance_constraint(p, q, math.dist(points[p], points[q]))
    for i in range(cells):
        a, b, c, d = 2 * i, 2 * i + 1, 2 * i + 2, 2 * i + 3
        bar(a, c)
        bar(b, d)
        bar(a, d)
        u, v = np.subtract(points[b], points[a]), np.subtract(points[c], points[a])
        s.add_angle_between_points_constraint(
            b, a, c, math.degrees(math.acos(u @ v / np.linalg.norm(u) / np.linalg.norm(v))))
        bar(c, d)
    a = s.analyze_constraints()
    rungs = tuple(range(4, 5 * cells, 5))
    assert a.redundant == rungs and a.dof == 0 and a.conflicting == ()
    for i, rung in enumerate(rungs):
        assert a.groups[rung] == tuple(range(5 * i - 1 if i else 0, rung))
