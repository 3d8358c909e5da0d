"""Editing a sketch in place: setters, constraint fields, snapshots, removal cascade, imports."""

import copy
import math
import pickle
import sys

import pytest

import ovralis


def bracket():
    """A fixed origin, a free corner at distance 5 and a circle on the corner."""
    s = ovralis.System()
    s.add_point(0, 0, fixed=True)
    s.add_point(3, 1)
    s.add_line(0, 1)
    s.add_circle(1, 1.0)
    s.add_arc(0, 1, 1, 2.0)
    s.add_distance_constraint(0, 1, 5.0)
    s.add_circle_radius_constraint(0, 2.0)
    return s


BAD_INDEX = [
    ("set_point", (9, 1.0, 2.0), "Point index 9 out of range"),
    ("set_circle", (9, 1.0), "Circle index 9 out of range"),
    ("set_arc", (9, 1.0), "Arc index 9 out of range"),
    ("get_constraint", (9,), "Constraint index 9 out of range"),
    ("set_constraint", (9, ovralis.distance_constraint(0, 1, 1.0)), "Constraint index 9 out of range"),
]


@pytest.mark.parametrize("method, args, message", BAD_INDEX)
def test_bad_indices_raise_and_change_nothing(method, args, message):
    s = bracket()
    before = s.to_json()
    with pytest.raises(ValueError, match=f"^{message}$"):
        getattr(s, method)(*args)
    assert s.to_json() == before


def test_setters_change_only_what_they_are_given():
    s = bracket()
    s.set_point(1, 4.0, 0.5)
    s.set_circle(0, fixed=True)
    s.set_arc(0, radius=3.5)
    assert s.get_point(1) == (4.0, 0.5)
    assert s.get_circle(0) == (1, 1.0)
    assert s.get_arc(0) == (0, 1, 1, 3.5)
    # the fixed flags show in the document only
    assert s.diagnostics().num_fixed_points == 1
    s.set_point(1, 4.0, 0.5, fixed=True)
    assert s.diagnostics().num_fixed_points == 2


def test_a_changed_dimension_and_a_fixed_radius_are_solved_for():
    s = bracket()
    s.set_constraint(0, ovralis.distance_constraint(0, 1, 8.0))
    assert s.solve().converged
    x, y = s.get_point(1)
    assert math.hypot(x, y) == pytest.approx(8.0, abs=1e-7)
    # a fixed circle keeps its radius: the radius constraint cannot be met
    s.set_circle(0, radius=1.0, fixed=True)
    assert not s.solve().converged
    assert s.get_circle(0)[1] == 1.0


@pytest.mark.parametrize("constraint, fields", [
    (ovralis.distance_constraint(2, 5, 1.5), {"p1": 2, "p2": 5, "d": 1.5}),
    (ovralis.symmetry_constraint(1, 2, 3), {"p_out": 1, "p_in": 2, "line": 3}),
    (ovralis.angle_between_points_constraint(4, 0, 7, 30.0), {"a": 4, "b": 0, "c": 7, "deg": 30.0}),
    (ovralis.arc_sweep_angle_constraint(6, 90.0), {"arc": 6, "deg": 90.0}),
])
def test_constraint_fields_by_name_and_as_a_dict(constraint, fields):
    assert constraint.fields() == fields
    assert list(constraint.fields()) == list(fields)
    for name, value in fields.items():
        assert getattr(constraint, name) == value
    with pytest.raises(AttributeError):
        constraint.p_unknown
    s = ovralis.System()
    s.add_constraint(constraint)
    assert s.get_constraint(0).fields() == fields


VALUES = [
    ovralis.Point(1.25, -0.0, True),
    ovralis.Line(3, 4),
    ovralis.Circle(2, float("inf"), True),
    ovralis.Arc(1, 2, 3, 0.1, False),
    ovralis.arc_radius_constraint(5, 1e-300),
]


@pytest.mark.parametrize("value", VALUES, ids=lambda v: type(v).__name__)
@pytest.mark.parametrize("clone", [copy.copy, copy.deepcopy, lambda v: pickle.loads(pickle.dumps(v))],
                         ids=["copy", "deepcopy", "pickle"])
def test_value_classes_copy_and_pickle(value, clone):
    twin = clone(value)
    assert twin is not value and type(twin) is type(value)
    assert repr(twin) == repr(value)
    if isinstance(value, ovralis.Constraint):
        assert twin.fields() == value.fields()
    else:
        assert pickle.dumps(twin) == pickle.dumps(value)


def test_result_classes_pickle():
    s = bracket()
    results = [s.solve(), s.analyze_dof(), s.diagnostics(), s.diagnostics(include_residuals=False)]
    for result in results:
        twin = pickle.loads(pickle.dumps(result))
        assert type(twin) is type(result) and repr(twin) == repr(result)
        assert pickle.dumps(twin) == pickle.dumps(result)
    assert pickle.loads(pickle.dumps(results[3])).max_residual is None


def document_with_ellipse():
    """A stored document is the only way to get ellipses and a store without the analytic Jacobian."""
    s = bracket()
    s.add_point(float("nan"), -0.0)
    doc = s.to_json().replace('"ellipses":[]', '"ellipses":[{"center":0,"focus1":1,"radmin":0.5,"fixed":false}]')
    assert doc != s.to_json()
    return ovralis.System.from_json(doc)


@pytest.mark.parametrize("make", [bracket, document_with_ellipse])
@pytest.mark.parametrize("clone", [lambda s: s.copy(), copy.copy, copy.deepcopy,
                                   lambda s: pickle.loads(pickle.dumps(s))],
                         ids=["copy", "copy.copy", "deepcopy", "pickle"])
def test_snapshots_are_independent_and_solve_like_the_original(make, clone):
    original = make()
    twin = clone(original)
    assert twin is not original and twin.to_json() == original.to_json()
    assert pickle.dumps(twin) == pickle.dumps(original)  # settings and flags too
    twin.set_point(1, 9.0, 9.0)
    assert original.get_point(1) != (9.0, 9.0)
    twin = clone(original)
    assert repr(twin.solve()) == repr(original.solve())
    assert twin.get_points() == original.get_points() or math.isnan(original.get_points()[-1][0])


def test_removing_a_point_removes_what_is_built_on_it():
    s = ovralis.System()
    for i in range(4):
        s.add_point(i, 0)
    s.add_line(0, 1)                          # on point 1: removed
    s.add_line(2, 3)                          # survives as line 0
    s.add_circle(1, 1.0)                      # on point 1: removed
    s.add_circle(3, 2.0)                      # survives as circle 0
    s.add_arc(2, 1, 3)                        # on point 1: removed
    s.add_distance_constraint(1, 2, 1.0)      # names point 1: counted
    s.add_parallel_constraint(0, 1)           # on the removed line: dropped, not counted
    s.add_equal_length_constraint(1, 1)       # on the surviving line: renumbered
    s.add_circle_radius_constraint(1, 2.0)    # on the surviving circle: renumbered
    assert s.remove_point(1) == 1
    assert (s.num_lines(), s.num_circles(), s.num_arcs()) == (1, 1, 0)
    assert s.get_line(0) == (1, 2)
    assert s.get_circle(0) == (2, 2.0)
    assert [s.get_constraint(i).fields() for i in range(s.num_constraints())] == [
        {"l1": 0, "l2": 0}, {"circle": 0, "r": 2.0}]


def test_a_second_import_returns_the_first_module():
    first = sys.modules.pop("ovralis")
    try:
        import ovralis as again
        assert again is first
    finally:
        sys.modules["ovralis"] = first


def test_a_second_interpreter_is_refused():
    interpreters = pytest.importorskip("_xxsubinterpreters")
    interpreter = interpreters.create()
    try:
        with pytest.raises(interpreters.RunFailedError, match="ImportError"):
            interpreters.run_string(interpreter, "import ovralis")
    finally:
        interpreters.destroy(interpreter)
