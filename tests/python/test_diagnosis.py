"""Diagnosis of a sketch that does not solve: the conflict before and after a
failed solve, the repairs, and the measured dimensions, against geometry and
solves worked out in the test."""
import copy
import math
import json
import pickle
import subprocess
import sys

import pytest
import ovralis

from sketches import rectangle


def without(s, dropped):
    copy = s.copy()
    for k in sorted(dropped, reverse=True):
        copy.remove_constraint(k)
    return copy


def solves(s):
    return s.copy().solve(max_iter=500).converged


# ---- the conflict is the same before and after the failed solve -----------

@pytest.mark.parametrize("solved_first", [False, True])
def test_wrong_diagonal_conflicts_with_the_sides_and_their_corner(solved_first):
    s = rectangle(6.0)
    if solved_first:
        assert not s.solve().converged
    a = s.analyze_constraints()
    # The fourth perpendicular follows from the other three and holds on every
    # rectangle: redundant, never conflicting.
    assert a.redundant == (6, 7) and a.conflicting == (7,) and a.status == "conflicting"
    # The diagonal's group: the independent constraints whose removal lets it hold.
    independent = range(6)
    fighting = tuple(i for i in independent if solves(without(s, {6, i})))
    assert fighting == (1, 2, 3)
    assert a.groups[7] == fighting


def test_consistent_diagonal_is_redundant_before_and_after_solving():
    s = rectangle(5.0)
    for _ in range(2):
        a = s.analyze_constraints()
        assert a.redundant == (6, 7) and a.conflicting == ()
        assert s.solve().converged


def test_a_rough_drawing_shows_the_conflict_it_will_meet():
    """Drawn 4 x 3 with the sides dimensioned 4.4 x 3: the diagonal of 5 holds
    in the drawing but not once the sides hold."""
    s = rectangle(5.0)
    s.set_constraint(1, ovralis.distance_constraint(0, 1, 4.4))
    a = s.analyze_constraints()
    assert a.conflicting == (7,)
    assert 1 in a.groups[7]


def test_triangle_whose_sides_cannot_meet_is_diagnosed_after_the_solve():
    s = ovralis.System()
    a, b, c = s.add_point(0, 0, fixed=True), s.add_point(1, 0.2), s.add_point(0.5, 0.8)
    s.add_horizontal_constraint(a, b)
    s.add_distance_constraint(a, b, 1.0)
    s.add_distance_constraint(b, c, 1.0)
    s.add_distance_constraint(c, a, 3.0)
    assert not s.solve().converged
    found = s.repairs(limit=10)
    assert found
    for repair in found:
        assert solves(applied(s, repair))


# ---- repairs ------------------------------------------------------------

def applied(s, repair):
    t = s.copy()
    if repair.action == "remove":
        t.remove_constraint(repair.constraint)
    else:
        fields = t.get_constraint(repair.constraint).fields()
        fields["d"] = repair.value
        t.set_constraint(repair.constraint, ovralis.distance_constraint(*fields.values()))
    return t


@pytest.mark.parametrize("solved_first", [False, True])
def test_repairs_of_the_wrong_diagonal(solved_first):
    s = rectangle(6.0)
    if solved_first:
        s.solve()
    before = s.to_json()
    found = s.repairs()
    assert s.to_json() == before
    assert len(found) == 3
    # Every repair makes the sketch solve, and they come by least movement.
    for repair in found:
        assert solves(applied(s, repair)), repair
    movements = [r.movement for r in found]
    assert movements == sorted(movements)
    # The dimensions change to what a right-angled 4 x 3 (or x 6) triangle asks.
    # Removing the first perpendicular is no repair: the other three still make
    # a rectangle.
    assert all(r.action == "change" for r in found)
    values = {r.constraint: r.value for r in found}
    assert values == pytest.approx({7: 5.0, 1: math.sqrt(36 - 9), 2: math.sqrt(36 - 16)})


def pinned():
    """A horizontal and a vertical put B on A, against a distance of 1."""
    s = ovralis.System()
    a, b = s.add_point(0, 0, fixed=True), s.add_point(1, 1)
    s.add_horizontal_constraint(a, b)
    s.add_vertical_constraint(a, b)
    s.add_distance_constraint(a, b, 1.0)
    return s


def test_geometric_constraints_are_removed():
    s = pinned()
    found = s.repairs()
    assert sorted((r.action, r.constraint, r.value) for r in found) == [
        ("change", 2, 0.0), ("remove", 0, None), ("remove", 1, None)]
    for repair in found:
        assert solves(applied(s, repair))


def test_movement_is_how_far_the_drawing_moves():
    s = rectangle(6.0)
    for repair in s.repairs():
        t = applied(s, repair)
        t.solve()
        moved = math.hypot(*(math.dist(s.get_point(i), t.get_point(i)) for i in range(4)))
        assert repair.movement == pytest.approx(moved, abs=1e-6)


def test_a_repair_that_moves_one_point_ranks_ahead_of_one_that_moves_two():
    """A horizontal chain 0-1-2 dimensioned 1 + 1 with an overall 2.5, drawn
    at 2. Setting the overall to 2 moves nothing; the second step to 1.5 moves
    the end by 0.5; the first step to 1.5 moves the middle and the end by 0.5
    each, as far as the second does at its farthest but the drawing twice."""
    s = ovralis.System()
    for x in (0, 1, 2):
        s.add_point(x, 0, fixed=x == 0)
    s.add_horizontal_constraint(0, 1)
    s.add_horizontal_constraint(1, 2)
    s.add_distance_constraint(0, 1, 1.0)
    s.add_distance_constraint(1, 2, 1.0)
    s.add_distance_constraint(0, 2, 2.5)
    found = s.repairs()
    assert [(r.constraint, r.value) for r in found] == [
        (4, pytest.approx(2.0)), (3, pytest.approx(1.5)), (2, pytest.approx(1.5))]
    assert [r.movement for r in found] == pytest.approx([0.0, 0.5, math.hypot(0.5, 0.5)], abs=1e-9)


def test_a_sketch_that_solves_needs_no_repair():
    s = rectangle(5.0)
    assert s.repairs() == []


@pytest.mark.parametrize("limit, count", [(0, 0), (1, 1), (2, 2), (10, 3)])
def test_limit(limit, count):
    def fields(repairs):
        return [(r.action, r.constraint, r.value, r.movement) for r in repairs]
    found = rectangle(6.0).repairs(limit=limit)
    assert len(found) == count
    assert fields(found) == fields(rectangle(6.0).repairs(limit=10)[:count])


def test_repair_pickles_copies_and_shows_itself():
    repair = rectangle(6.0).repairs(limit=1)[0]
    assert repr(repair) == (f"Repair(action='change', constraint={repair.constraint}, "
                            f"value={repair.value!r}, movement={repair.movement!r})")
    for twin in (pickle.loads(pickle.dumps(repair)), copy.copy(repair), copy.deepcopy(repair)):
        assert type(twin) is ovralis.Repair
        assert (twin.action, twin.constraint, twin.value, twin.movement) == (
            repair.action, repair.constraint, repair.value, repair.movement)
    with pytest.raises(TypeError):
        ovralis.Repair()


@pytest.mark.parametrize("limit, error", [(-1, OverflowError), ("2", TypeError)])
def test_bad_limit(limit, error):
    with pytest.raises(error):
        rectangle(6.0).repairs(limit=limit)


# ---- measure ------------------------------------------------------------

O, P, Q, R = (0.5, -0.25), (3.5, 1.75), (-1.0, 2.0), (2.0, -1.5)
CENTER, START, END, RADIUS = (1.0, 1.0), (3.0, 1.0), (1.0 + 2 * math.cos(2.2), 1.0 + 2 * math.sin(2.2)), 1.7


def measured_sketch():
    """Points O P Q R, lines OP (0) and QR (1), a circle about O of radius 1.3
    and one about P of radius 0.6, and an arc about CENTER from START to END."""
    s = ovralis.System()
    for x, y in (O, P, Q, R, CENTER, START, END):
        s.add_point(x, y)
    s.add_line(0, 1)
    s.add_line(2, 3)
    s.add_circle(0, 1.3)
    s.add_circle(1, 0.6)
    s.add_arc(4, 5, 6, RADIUS)
    return s


def vector(a, b):
    return (b[0] - a[0], b[1] - a[1])


def angle_between(u, v):
    return math.degrees(math.acos((u[0] * v[0] + u[1] * v[1]) / (math.hypot(*u) * math.hypot(*v))))


def cross(u, v):
    return u[0] * v[1] - u[1] * v[0]


def constraint(kind, **fields):
    """A constraint of any kind, read from a document as `System.from_json` reads it."""
    document = json.loads(measured_sketch().to_json())
    document["constraints"] = [{kind: fields}]
    return ovralis.System.from_json(json.dumps(document)).get_constraint(0)


MEASURES = [
    (constraint("Distance", p1=0, p2=2, d=1.0), math.dist(O, Q)),
    (constraint("Angle", l1=0, l2=1, deg=10.0), angle_between(vector(O, P), vector(Q, R))),
    (constraint("AngleBetweenPoints", a=1, b=0, c=2, deg=10.0), angle_between(vector(O, P), vector(O, Q))),
    (constraint("PointLineDistance", point=2, line=0, d=1.0),
     abs(cross(vector(O, Q), vector(O, P))) / math.dist(O, P)),
    (constraint("CircleRadius", circle=1, r=2.0), 0.6),
    (constraint("ArcRadius", arc=0, r=2.0), RADIUS),
    (constraint("ArcSweepAngle", arc=0, deg=10.0), math.degrees(2.2)),
    (constraint("ArcLength", arc=0, len=1.0), RADIUS * 2.2),
    (constraint("C2CDistance", c1=0, c2=1, d=1.0), math.dist(O, P)),
    (constraint("P2CDistance", point=2, circle=1, d=1.0), math.dist(Q, P) - 0.6),
    (constraint("PointOnLineAt", point=2, line=0, t=0.5),
     ((Q[0] - O[0]) * (P[0] - O[0]) + (Q[1] - O[1]) * (P[1] - O[1])) / math.dist(O, P) ** 2),
]


@pytest.mark.parametrize("c, expected", MEASURES, ids=[c.kind() for c, _ in MEASURES])
def test_measure_against_geometry(c, expected):
    s = measured_sketch()
    before = s.to_json()
    assert s.measure(c) == pytest.approx(expected, rel=1e-12)
    assert s.to_json() == before
    s.add_constraint(c)
    assert s.measure(s.num_constraints() - 1) == pytest.approx(expected, rel=1e-12)


# A point on a line at t also puts the point on the line; Q is not on OP.
HOLDING = [(c, expected) for c, expected in MEASURES if c.kind() != "PointOnLineAt"]


@pytest.mark.parametrize("c, expected", HOLDING, ids=[c.kind() for c, _ in HOLDING])
def test_a_measured_dimension_holds(c, expected):
    """Set to its measure, the constraint holds where the entities are: with
    every point and radius fixed, the sketch still solves."""
    s = measured_sketch()
    fields = c.fields()
    name = next(f for f in ("d", "deg", "r", "len", "t") if f in fields)
    fields[name] = s.measure(c)
    s.add_constraint(constraint(c.kind(), **fields))
    for i in range(7):
        s.set_point(i, *s.get_point(i), fixed=True)
    s.set_circle(0, fixed=True)
    s.set_circle(1, fixed=True)
    s.set_arc(0, fixed=True)
    assert s.solve().converged


def test_measure_leaves_the_store_unchanged_and_refuses_what_it_cannot_measure():
    s = measured_sketch()
    s.add_constraint(ovralis.horizontal_constraint(0, 1))
    before = s.to_json()
    with pytest.raises(ValueError, match="Horizontal constraint has no dimension"):
        s.measure(0)
    with pytest.raises(ValueError, match="no dimension"):
        s.measure(ovralis.fixed_point_constraint(0, 1.0, 2.0))
    with pytest.raises(ValueError, match="out of range"):
        s.measure(1)
    with pytest.raises(ValueError, match="Point index 9 out of range"):
        s.measure(ovralis.distance_constraint(0, 9, 1.0))
    with pytest.raises(TypeError):
        s.measure("0")
    assert s.to_json() == before


def test_an_angle_at_a_line_without_length_measures_nan():
    s = ovralis.System()
    for x, y in ((0, 0), (0, 0), (1, 0), (2, 1)):
        s.add_point(x, y)
    s.add_line(0, 1)
    s.add_line(2, 3)
    assert math.isnan(s.measure(ovralis.angle_constraint(0, 1, 30.0)))


# ---- the command line ------------------------------------------------------

def test_analyze_prints_the_conflict_and_the_repairs(tmp_path):
    (tmp_path / "wrong.json").write_text(rectangle(6.0).to_json())
    (tmp_path / "pinned.json").write_text(pinned().to_json())
    (tmp_path / "right.json").write_text(rectangle(5.0).to_json())
    completed = subprocess.run(
        [sys.executable, "-m", "ovralis", "analyze", "wrong.json", "pinned.json", "right.json"],
        cwd=tmp_path, text=True, capture_output=True, timeout=120)
    assert completed.returncode == 1 and completed.stderr == ""
    lines = completed.stdout.splitlines()
    assert lines[:5] == [
        "wrong.json: conflicting, 0 degrees of freedom, rank 6, conflicting constraints 7, "
        "redundant constraints 6 7",
        "    conflict: constraint 7 (Distance) with constraints 1 2 3",
        "    repair: set constraint 7 (Distance) to 5, moves the drawing 0",
        "    repair: set constraint 1 (Distance) to 5.19615, moves the drawing 1.69",
        "    repair: set constraint 2 (Distance) to 4.47214, moves the drawing 2.08",
    ]
    assert lines[5].startswith("pinned.json: conflicting,")
    assert lines[6] == "    conflict: constraint 2 (Distance) with constraints 0 1"
    assert sorted(lines[7:10]) == [
        "    repair: remove constraint 0 (Horizontal), moves the drawing 1",
        "    repair: remove constraint 1 (Vertical), moves the drawing 1",
        "    repair: set constraint 2 (Distance) to 0, moves the drawing 1.41",
    ]
    assert lines[10:] == ["right.json: redundant, 0 degrees of freedom, rank 6, redundant constraints 6 7",
                          "0 of 3 sketches fully constrained"]


def strip_with_a_bystander(changed):
    """A strip of three cells (verticals, horizontals) whose overall width (0)
    comes first and whose cell widths come after a separate, fully dimensioned
    square: cell width `changed` is 10 % long. Returns the sketch, the
    constraints of the square and the constraint changed."""
    s = ovralis.System()
    bottom = [s.add_point(3.0 * i, 0.0, fixed=i == 0) for i in range(4)]
    top = [s.add_point(3.0 * i, 2.0) for i in range(4)]
    s.add_distance_constraint(bottom[0], bottom[3], 9.0)
    square = [s.add_point(20, 0, fixed=True), s.add_point(22, 0), s.add_point(22, 2), s.add_point(20, 2)]
    first = s.num_constraints()
    for i in range(4):
        a, b = square[i], square[(i + 1) % 4]
        (s.add_horizontal_constraint if i % 2 == 0 else s.add_vertical_constraint)(a, b)
    s.add_distance_constraint(square[0], square[1], 2.0)
    s.add_distance_constraint(square[1], square[2], 2.0)
    bystanders = set(range(first, s.num_constraints()))
    for i in range(4):
        s.add_vertical_constraint(bottom[i], top[i])
    for i in range(3):
        s.add_horizontal_constraint(bottom[i], bottom[i + 1])
        s.add_horizontal_constraint(top[i], top[i + 1])
    s.add_distance_constraint(bottom[0], top[0], 2.0)
    widths = []
    for i in range(3):
        widths.append(s.num_constraints())
        s.add_distance_constraint(bottom[i], bottom[i + 1], 3.3 if i == changed else 3.0)
    return s, bystanders, widths[changed]


@pytest.mark.parametrize("solved_first", [False, True])
@pytest.mark.parametrize("changed", [0, 1, 2])
def test_a_conflict_names_neither_bystanders_nor_what_holds_beside_it(changed, solved_first):
    s, bystanders, changed_constraint = strip_with_a_bystander(changed)
    if solved_first:
        assert not s.solve().converged
    a = s.analyze_constraints()
    named = set(a.conflicting).union(*(a.groups[k] for k in a.conflicting))
    assert changed_constraint in named
    assert 0 in named  # the overall width
    assert not named & bystanders
    # The vertical sides and the top's horizontals carry no width.
    assert len(named) <= 8
