"""Constraint analysis against geometry worked out in the test."""
import pytest
import ovralis


def rectangle(diagonal):
    s = ovralis.System()
    p = [s.add_point(0, 0, fixed=True), s.add_point(4, 0), s.add_point(4, 3), s.add_point(0, 3)]
    lines = [s.add_line(p[i], p[(i + 1) % 4]) for i in range(4)]
    s.add_horizontal_constraint(p[0], p[1])
    s.add_distance_constraint(p[0], p[1], 4)
    s.add_distance_constraint(p[1], p[2], 3)
    for i in range(4):
        s.add_perpendicular_constraint(lines[i], lines[(i + 1) % 4])
    if diagonal is not None:
        s.add_distance_constraint(p[0], p[2], diagonal)
    return s


# A 4 x 3 rectangle: six free coordinates, six independent equations (the
# fourth perpendicular follows from the other three); the diagonal of 5 is
# implied, one of 6 contradicts the sides.
@pytest.mark.parametrize("diagonal, redundant, conflicting, status", [
    (None, (6,), (), "redundant"),
    (5.0, (6, 7), (), "redundant"),
    (6.0, (6, 7), (7,), "conflicting"),
])
def test_rectangle(diagonal, redundant, conflicting, status):
    a = rectangle(diagonal).analyze_constraints()
    assert (a.rank, a.free_variables, a.dof) == (6, 6, 0)
    assert a.redundant == redundant and a.conflicting == conflicting and a.status == status
    if diagonal is not None:
        assert set(a.groups[7]) <= {1, 2, 3, 4, 5, 6} and 1 in a.groups[7] and 2 in a.groups[7]


def test_under_constrained_point_on_free_line_moves():
    s = ovralis.System()
    a0 = s.add_point(0, 0, fixed=True)
    b = s.add_point(3, 4)
    c = s.add_point(9, 9)
    s.add_distance_constraint(a0, b, 5.0)
    a = s.analyze_constraints()
    # b slides on a circle (one freedom), c is untouched (two).
    assert (a.rank, a.dof, a.free_points, a.status) == (1, 3, (b, c), "under_constrained")
