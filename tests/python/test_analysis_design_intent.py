"""The constraint analysis of sketches with variables, bindings and equations:
counts worked out by hand for small sketches, conflicts confirmed by solving."""
import math

import pytest

import ovralis

from sketches import rectangle


def segment(end=(4.0, 1.0)):
    """Point 0 fixed at the origin, point 1 free at `end`, line 0 between them."""
    s = ovralis.System()
    s.add_point(0, 0, fixed=True)
    s.add_point(*end)
    s.add_line(0, 1)
    return s


def solves_without_equation(s, e):
    copy = ovralis.System.from_json(s.to_json())
    copy.remove_equation(e)
    return copy.solve().converged


# The distance makes the segment 5 long; the equation asks for 2*w. Two free
# coordinates, one independent equation (the distance): rank 1, dof 1; the
# equation restates the distance, so it is redundant, and it conflicts
# exactly when 2*w is not 5.
@pytest.mark.parametrize("w, conflicting, status", [
    (2.5, (), "redundant"),
    (5.0, (0,), "conflicting"),
])
def test_an_equation_that_restates_a_constraint_is_named(w, conflicting, status):
    s = segment()
    s.add_distance_constraint(0, 1, 5.0)
    s.add_variable("w", w)
    s.add_equation("length(0) = 2*w")
    a = s.analyze_constraints()
    free_coordinates = 2
    assert (a.free_variables, a.rank, a.dof) == (free_coordinates, 1, free_coordinates - 1)
    assert (a.redundant, a.conflicting) == ((), ())
    assert a.redundant_equations == (0,) and a.conflicting_equations == conflicting
    assert a.equation_groups == {0: ((0,), ())}
    assert a.groups == {} and a.status == status
    assert s.solve().converged == (not conflicting)
    assert solves_without_equation(s, 0)


def test_a_conflicting_equation_is_named_with_earlier_equations():
    # Two equations on one free variable: the second contradicts the first.
    s = segment()
    s.add_horizontal_constraint(0, 1)
    s.add_variable("w", 1.0, fixed=False)
    s.add_distance_constraint(0, 1, 1.0)
    s.bind(1, "d", "w")
    s.add_equation("w = 3")
    s.add_equation("2*w = 8")
    a = s.analyze_constraints()
    # x, y of point 1 and w; the horizontal, the distance and the first
    # equation are independent.
    assert (a.free_variables, a.rank, a.dof) == (3, 3, 0)
    assert a.redundant_equations == (1,) and a.conflicting_equations == (1,)
    assert a.equation_groups == {1: ((), (0,))}
    assert a.status == "conflicting"
    assert not s.solve().converged
    assert solves_without_equation(s, 1)


# A conflict that no rank shows: sides of 3 and 4 cannot reach a third side
# of `far` > 7. The rows are independent where the sketch is drawn, so the
# equation, the first item that cannot hold with those before it, is named;
# removing either distance lets it hold.
@pytest.mark.parametrize("far", [7.5, 10.0])
def test_an_equation_that_no_triangle_can_meet_is_named(far):
    s = segment((3.0, 0.1))
    s.add_point(3.0, 4.0)
    s.add_distance_constraint(0, 1, 3.0)
    s.add_horizontal_constraint(0, 1)
    s.add_distance_constraint(1, 2, 4.0)
    s.add_variable("far", far)
    s.add_equation("distance(0, 2) = far")
    assert far > 3.0 + 4.0
    a = s.analyze_constraints()
    assert (a.free_variables, a.dof) == (4, 0)
    assert a.conflicting == () and a.conflicting_equations == (0,)
    assert a.equation_groups == {0: ((0, 2), ())}
    assert solves_without_equation(s, 0)


# Point 1 lies on a horizontal through the fixed origin at a distance bound
# to w: x, y and every free variable are unknowns, the horizontal and the
# distance two independent equations. Unused free variables are free too.
@pytest.mark.parametrize("w_fixed, unused", [(True, 0), (False, 0), (False, 2), (True, 3)])
def test_free_variables_count_as_unknowns(w_fixed, unused):
    s = segment()
    s.add_horizontal_constraint(0, 1)
    s.add_distance_constraint(0, 1, 1.0)
    s.add_variable("w", 4.0, fixed=w_fixed)
    s.bind(1, "d", "w")
    for k in range(unused):
        s.add_variable(f"spare{k}", 1.0, fixed=False)
    a = s.analyze_constraints()
    unknowns = 2 + (0 if w_fixed else 1) + unused
    assert (a.free_variables, a.rank, a.dof) == (unknowns, 2, unknowns - 2)
    assert a.status == ("well_constrained" if unknowns == 2 else "under_constrained")
    assert a.free_points == (() if w_fixed else (1,))
    assert s.analyze_dof().free_variables == unknowns


# With w free, an equation that fixes w completes the sketch; one that
# restates the binding (w = length(0)) adds nothing.
@pytest.mark.parametrize("equation, rank, redundant, status", [
    ("w = 7", 3, (), "well_constrained"),
    ("w / 2 + 1 = 4.5", 3, (), "well_constrained"),
    ("w = length(0)", 2, (0,), "redundant"),
])
def test_a_free_variable_with_an_equation(equation, rank, redundant, status):
    s = segment()
    s.add_horizontal_constraint(0, 1)
    s.add_distance_constraint(0, 1, 1.0)
    s.add_variable("w", 4.0, fixed=False)
    s.bind(1, "d", "w")
    s.add_equation(equation)
    a = s.analyze_constraints()
    assert (a.free_variables, a.rank, a.dof) == (3, rank, 3 - rank)
    assert a.redundant_equations == redundant and a.conflicting_equations == ()
    assert a.redundant == () and a.status == status


def angle_sketch(kind, side):
    """Vertex 0 and point 1 fixed on the x axis, point 2 free, 2 from the
    vertex at 30 degrees on `side` (+1 above, -1 below); lines 0 (vertex to
    point 1) and 1 (vertex to point 2). The angle is bound to the free
    variable a, drawn at the angle it has."""
    s = ovralis.System()
    s.add_point(0, 0, fixed=True)
    s.add_point(2, 0, fixed=True)
    turn = math.radians(30.0) * side
    s.add_point(2 * math.cos(turn), 2 * math.sin(turn))
    s.add_line(0, 1)
    s.add_line(0, 2)
    beta = math.degrees(math.atan2(math.sin(turn), math.cos(turn)))
    if kind == "Angle":
        s.add_angle_constraint(0, 1, 1.0)
        s.add_variable("a", beta, fixed=False)
    else:
        s.add_angle_between_points_constraint(1, 0, 2, 1.0)
        s.add_variable("a", abs(beta), fixed=False)
    s.bind(0, "deg", "a")
    s.add_distance_constraint(0, 2, 2.0)
    return s


# The equation restates the bound angle through the measure of the lines, on
# either side of the x axis: x, y of point 2 and a are unknowns, the angle and
# the distance two independent equations, and the equation is the angle's.
# Had the bound angle's row the wrong sign for its side, the three rows would
# be independent.
@pytest.mark.parametrize("kind, equation", [
    ("Angle", "a = angle(0, 1)"),
    ("AngleBetweenPoints", "a = abs(angle(0, 1))"),
])
@pytest.mark.parametrize("side", [1, -1])
def test_a_bound_angle_and_its_measure_are_one_equation(kind, equation, side):
    s = angle_sketch(kind, side)
    s.add_equation(equation)
    a = s.analyze_constraints()
    assert (a.free_variables, a.rank, a.dof) == (3, 2, 1)
    assert a.redundant_equations == (0,) and a.conflicting_equations == ()
    assert a.equation_groups == {0: ((0,), ())}


# Point 1 is fixed at (3, 4) by a FixedPoint and at a distance 2*w from the
# origin. With w fixed, the binding is a dimension: 2*w = 5 agrees and 2*w =
# 6 conflicts, named through its constraint.
@pytest.mark.parametrize("w, conflicting", [(2.5, ()), (3.0, (1,))])
def test_a_binding_to_fixed_variables_is_named_through_its_constraint(w, conflicting):
    s = segment()
    s.add_fixed_point_constraint(1, 3.0, 4.0)
    s.add_distance_constraint(0, 1, 1.0)
    s.add_variable("w", w)
    s.bind(1, "d", "2*w")
    a = s.analyze_constraints()
    assert (a.free_variables, a.rank, a.dof) == (2, 2, 0)
    assert a.redundant == (1,) and a.conflicting == conflicting and a.groups == {1: (0,)}
    assert a.status == ("conflicting" if conflicting else "redundant")
    assert s.solve().converged == (not conflicting)
    assert "redundant_equations" not in repr(a)


def bound_to_a_free_variable():
    """A point pinned at distance 5, the distance bound to 2*w with w free, and w = 3."""
    s = segment()
    s.add_fixed_point_constraint(1, 3.0, 4.0)
    s.add_distance_constraint(0, 1, 1.0)
    s.add_variable("w", 1.0, fixed=False)
    s.bind(1, "d", "2*w")
    s.add_equation("w = 3")
    return s


# With w free, the binding leaves w to follow the point (w = 2.5), and an
# equation w = 3 is what cannot hold: it is named, with the constraints whose
# rows it depends on.
def test_a_binding_to_a_free_variable_conflicts_through_the_equation():
    s = bound_to_a_free_variable()
    a = s.analyze_constraints()
    assert (a.free_variables, a.rank, a.dof) == (3, 3, 0)
    assert a.conflicting == () and a.conflicting_equations == (0,)
    assert a.equation_groups == {0: ((0, 1), ())}
    assert not s.solve().converged and solves_without_equation(s, 0)


# A sketch without equations reads as it always has, also with fixed
# variables that nothing uses.
@pytest.mark.parametrize("diagonal, text", [
    (None, "ConstraintAnalysis(rank=6, free_vars=6, dof=0, redundant=(6,), conflicting=(), "
           "status='redundant')"),
    (6.0, "ConstraintAnalysis(rank=6, free_vars=6, dof=0, redundant=(6, 7), conflicting=(7,), "
          "status='conflicting')"),
])
@pytest.mark.parametrize("with_variable", [False, True])
def test_a_sketch_without_equations_is_analysed_as_before(diagonal, text, with_variable):
    s = rectangle(diagonal)
    if with_variable:
        s.add_variable("unused", 2.0)
    a = s.analyze_constraints()
    assert repr(a) == text
    assert (a.redundant_equations, a.conflicting_equations, a.equation_groups) == ((), (), {})


def test_the_repr_names_the_equations_when_the_sketch_has_some():
    s = segment()
    s.add_distance_constraint(0, 1, 5.0)
    s.add_variable("w", 5.0)
    s.add_equation("length(0) = 2*w")
    assert repr(s.analyze_constraints()) == (
        "ConstraintAnalysis(rank=1, free_vars=2, dof=1, redundant=(), conflicting=(), "
        "redundant_equations=(0,), conflicting_equations=(0,), status='conflicting')")


def test_the_analysis_leaves_the_sketch_unchanged():
    s = bound_to_a_free_variable()
    before = s.to_json()
    s.analyze_constraints()
    assert s.to_json() == before


# ---- the command line ------------------------------------------------------

def test_analyze_prints_a_conflicting_equation_and_its_repair(tmp_path):
    import subprocess
    import sys

    s = segment()
    s.add_distance_constraint(0, 1, 5.0)
    s.add_variable("w", 5.0)
    s.add_equation("length(0) = 2*w")
    (tmp_path / "ratio.json").write_text(s.to_json())
    completed = subprocess.run([sys.executable, "-m", "ovralis", "analyze", "ratio.json"],
                               cwd=tmp_path, text=True, capture_output=True, timeout=120)
    assert completed.returncode == 1 and completed.stderr == ""
    # The repair makes the distance what the equation asks, 2*w, and moves
    # point 1 out along its ray from |(4, 1)| to 10.
    assert completed.stdout.splitlines() == [
        "ratio.json: conflicting, 1 degrees of freedom, rank 1, conflicting equations 0, "
        "redundant equations 0",
        "    conflict: equation 0 (length(0) = 2*w) with constraints 0",
        f"    repair: set constraint 0 (Distance) to {2 * 5.0:g}, moves the drawing "
        f"{10 - math.hypot(4, 1):.3g}",
    ]


def test_repairs_keep_each_binding_on_its_own_constraint():
    """Two distances fight over one bar; the next bar is bound to w and a
    third closes the triangle. Only the 5-unit bar can reach: 3 + 4 < 8.5."""
    s = ovralis.System()
    s.add_point(0.0, 0.0, fixed=True)
    s.add_point(4.0, 0.0)
    s.add_point(7.0, 2.0)
    s.add_variable("w", 4.0)
    s.add_distance_constraint(0, 1, 3.0)
    s.add_distance_constraint(0, 1, 5.0)
    s.add_distance_constraint(1, 2, 1.0)
    s.bind(2, "d", "w")
    s.add_distance_constraint(0, 2, 8.5)
    found = s.repairs(limit=10)
    assert found and {r.constraint for r in found} == {0}
    for repair in found:
        t = s.copy()
        if repair.action == "remove":
            t.remove_constraint(repair.constraint)
        else:
            t.set_constraint(repair.constraint, ovralis.distance_constraint(0, 1, repair.value))
        assert t.solve().converged, repair
        assert math.dist(t.get_point(1), t.get_point(2)) == pytest.approx(4.0, abs=1e-7)
        assert math.dist(t.get_point(0), t.get_point(2)) == pytest.approx(8.5, abs=1e-7)
