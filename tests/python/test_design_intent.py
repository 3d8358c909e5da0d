"""Variables, bindings and equations: solved sketches against geometry computed
here, the expression language's errors, counts, documents and snapshots."""

import copy
import json
import math
import pickle

import pytest

import ovralis


def rectangle(width, height, start_width=None, start_height=None):
    """p0 fixed at the origin, p1 right, p2 above p1, p3 above p0. Constraints:
    0 width (p0-p1), 1 height (p1-p2), then horizontals and verticals."""
    s = ovralis.System()
    w0 = start_width if start_width is not None else width * 1.1
    h0 = start_height if start_height is not None else height * 0.9
    p = [s.add_point(0, 0, fixed=True), s.add_point(w0, 0.2), s.add_point(w0 + 0.1, h0),
         s.add_point(-0.1, h0)]
    for a, b in [(0, 1), (1, 2), (2, 3), (3, 0)]:
        s.add_line(p[a], p[b])
    s.add_distance_constraint(p[0], p[1], width)
    s.add_distance_constraint(p[1], p[2], height)
    s.add_horizontal_constraint(p[0], p[1])
    s.add_horizontal_constraint(p[3], p[2])
    s.add_vertical_constraint(p[0], p[3])
    s.add_vertical_constraint(p[1], p[2])
    return s


def snapshot(s):
    return pickle.dumps(s), s.to_json(), s.variables(), s.bindings(), s.equations()


# ---- solved sketches against geometry computed in the test -----------------


def test_width_follows_an_equation_of_the_height():
    s = rectangle(10, 4)
    s.add_variable("h", 4.0)
    s.add_variable("w", 1.0, fixed=False)
    s.bind(0, "d", "w")
    s.bind(1, "d", "h")
    s.add_equation("w = 2*h + 3")
    assert s.solve().converged
    assert s.get_variable("w") == (pytest.approx(11.0, abs=1e-9), False)
    assert s.get_point(2) == pytest.approx((11.0, 4.0), abs=1e-9)
    s.set_variable("h", 6.5)
    assert s.solve().converged
    assert s.get_point(2) == pytest.approx((16.0, 6.5), abs=1e-9)
    assert s.get_constraint(0).d == pytest.approx(16.0, abs=1e-9)


def test_a_ratio_of_lengths_holds_by_geometry():
    s = ovralis.System()
    a = s.add_point(0, 0, fixed=True)
    b = s.add_point(3, 0.4)
    c = s.add_point(0, 1, fixed=True)
    d = s.add_point(1.7, 1.2)
    s.add_line(a, b)
    s.add_line(c, d)
    s.add_horizontal_constraint(a, b)
    s.add_horizontal_constraint(c, d)
    s.add_distance_constraint(c, d, 2.0)
    s.add_equation("length(0) = 2.5 * length(1)")
    assert s.solve().converged
    ax, ay = s.get_point(a)
    bx, by = s.get_point(b)
    cx, cy = s.get_point(c)
    dx, dy = s.get_point(d)
    assert math.hypot(bx - ax, by - ay) == pytest.approx(2.5 * math.hypot(dx - cx, dy - cy), rel=1e-12)
    assert math.hypot(dx - cx, dy - cy) == pytest.approx(2.0, rel=1e-12)


def parametric_plate(holes, width, height, pitch):
    """A plate whose width and height are variables, with a row of holes whose
    spacing, distance from the left edge and radius follow the pitch."""
    s = rectangle(width, height)
    s.add_variable("width", width)
    s.add_variable("height", height)
    s.add_variable("pitch", pitch)
    s.bind(0, "d", "width")
    s.bind(1, "d", "height")
    left_edge = 3  # the line p3-p0
    bottom_edge = 0
    centres = [s.add_point(pitch * (i + 0.4) + 0.3, height * 0.45) for i in range(holes)]
    for i, centre in enumerate(centres):
        circle = s.add_circle(centre, pitch / 5)
        s.add_circle_radius_constraint(circle, 1.0)
        s.bind(s.num_constraints() - 1, "r", "pitch / 4")
        s.add_point_line_distance_constraint(centre, bottom_edge, 1.0)
        s.bind(s.num_constraints() - 1, "d", "height / 2")
        if i == 0:
            s.add_point_line_distance_constraint(centre, left_edge, 1.0)
            s.bind(s.num_constraints() - 1, "d", "pitch / 2")
        else:
            s.add_distance_constraint(centres[i - 1], centre, 1.0)
            s.bind(s.num_constraints() - 1, "d", "pitch")
    return s, centres


@pytest.mark.parametrize("pitch", [3.0, 4.5, 2.2])
def test_a_parametric_plate_moves_every_hole_to_its_pitch(pitch):
    s, centres = parametric_plate(4, 20.0, 8.0, 3.0)
    assert s.solve().converged
    s.set_variable("pitch", pitch)
    s.set_variable("height", 9.0)
    assert s.solve().converged
    for i, centre in enumerate(centres):
        assert s.get_point(centre) == pytest.approx((pitch / 2 + i * pitch, 4.5), abs=1e-9)
        assert s.get_circle(i)[1] == pytest.approx(pitch / 4, abs=1e-12)
    assert s.get_point(2) == pytest.approx((20.0, 9.0), abs=1e-9)


def test_a_free_variable_is_solved_for():
    s = rectangle(7, 6)
    s.add_variable("w", 7.0, fixed=False)
    s.bind(0, "d", "w")
    s.add_distance_constraint(0, 2, 10.0)  # the diagonal
    assert s.analyze_dof().degrees_of_freedom == 0
    assert s.solve().converged
    assert s.get_variable("w")[0] == pytest.approx(8.0, abs=1e-9)
    assert s.get_point(2) == pytest.approx((8.0, 6.0), abs=1e-9)


def test_an_unsatisfiable_expression_does_not_converge_and_does_not_raise():
    s = rectangle(10, 4)
    s.add_variable("h", 4.0)
    s.bind(1, "d", "sqrt(h - 5)")
    result = s.solve()
    assert not result.converged


def test_measures_in_a_bound_field_solve_with_the_geometry():
    # The height is half the width; both move in the solve.
    s = rectangle(10, 4)
    s.bind(1, "d", "distance(0, 1) / 2")
    assert s.solve().converged
    assert s.get_point(2) == pytest.approx((10.0, 5.0), abs=1e-9)


# ---- counts ------------------------------------------------------------------


def test_free_variables_and_equations_count_in_the_degrees_of_freedom():
    s = rectangle(10, 4)
    before = s.analyze_dof()
    s.add_variable("a", 1.0)
    s.add_variable("b", 2.0, fixed=False)
    s.add_variable("c", 3.0, fixed=False)
    s.add_equation("b = 2 * a")
    after = s.analyze_dof()
    assert after.free_variables == before.free_variables + 2
    assert after.constraint_equations == before.constraint_equations + 1
    assert after.degrees_of_freedom == before.degrees_of_freedom + 1
    s.set_variable("c", fixed=True)
    assert s.analyze_dof().degrees_of_freedom == before.degrees_of_freedom


# ---- the language's errors ---------------------------------------------------


@pytest.mark.parametrize(
    "text, message",
    [
        ("2 * (w + 3", "expected ')', found end of text at position 11"),
        ("2 $ 3", "unexpected character '$' at position 3"),
        ("w·2 + ؄", "unexpected character '·' at position 2"),
        ("π + ؄", "unexpected character 'π' at position 1"),
        ("2·π", "unexpected character '·' at position 2"),
        ("w +", "expected a number, a name or '(', found end of text at position 4"),
        ("foo + 1", "unknown variable 'foo' at position 1"),
        ("sqrt(1, 2)", "sqrt takes 1 argument at position 7"),
        ("atan2(1)", "atan2 takes 2 arguments at position 8"),
        ("distance(0.5, 1)", "distance takes entity indices (whole numbers) at position 10"),
        ("1e+", "malformed exponent in number at position 2"),
        ("2 3", "unexpected '3' at position 3"),
        ("sin 30", "expected '(' after sin, found '30' at position 5"),
        ("", "expected a number, a name or '(', found end of text at position 1"),
        ("1e999", "number out of range at position 1"),
    ],
)
def test_parse_errors_name_the_position(text, message):
    s = rectangle(10, 4)
    s.add_variable("w", 1.0)
    before = snapshot(s)
    with pytest.raises(ValueError) as error:
        s.bind(0, "d", text)
    assert str(error.value).split("\n")[0] == message
    assert snapshot(s) == before


def test_a_parse_error_draws_a_caret_under_the_text():
    s = ovralis.System()
    with pytest.raises(ValueError) as error:
        s.add_equation("2 * (3 + 4")
    assert str(error.value) == (
        "expected ')', found end of text at position 11\n  2 * (3 + 4\n            ^"
    )


@pytest.mark.parametrize(
    "text, message",
    [
        ("w + 1", "expected '=', found end of text at position 6"),
        ("w = 1 = 2", "unexpected '=' at position 7"),
        ("= 1", "expected a number, a name or '(', found '=' at position 1"),
    ],
)
def test_equation_errors(text, message):
    s = ovralis.System()
    s.add_variable("w", 1.0)
    with pytest.raises(ValueError) as error:
        s.add_equation(text)
    assert str(error.value).split("\n")[0] == message
    assert s.equations() == []


# ---- variables: the store unchanged on every refused call ---------------------


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda s: s.add_variable("sin", 1.0), "invalid variable name 'sin': the name is reserved"),
        (lambda s: s.add_variable("x", 1.0), "invalid variable name 'x': the name is reserved"),
        (lambda s: s.add_variable("2a", 1.0), "invalid variable name '2a': names are identifiers"),
        (lambda s: s.add_variable("a b", 1.0), "invalid variable name 'a b'"),
        (lambda s: s.add_variable("", 1.0), "invalid variable name ''"),
        (lambda s: s.add_variable("w", 1.0), "a variable named 'w' already exists"),
        (lambda s: s.add_variable("v", math.nan), "a variable's value must be finite"),
        (lambda s: s.get_variable("nope"), "unknown variable 'nope'"),
        (lambda s: s.set_variable("nope", 1.0), "unknown variable 'nope'"),
        (lambda s: s.set_variable("w", math.inf), "a variable's value must be finite"),
        (lambda s: s.remove_variable("nope"), "unknown variable 'nope'"),
        (lambda s: s.remove_variable("w"), "variable 'w' is used by the binding of field 'd' of constraint 0"),
        (lambda s: s.remove_variable("h"), "variable 'h' is used by equation 0 (w = 2*h)"),
        (lambda s: s.bind(0, "r", "w"), "Distance has no real field 'r' (its real fields: d)"),
        (lambda s: s.bind(2, "d", "w"), "Horizontal has no real field 'd' (it has none)"),
        (lambda s: s.bind(99, "d", "w"), "Constraint index 99 out of range"),
        (lambda s: s.bind(0, "d", "distance(0, 9)"), "Point index 9 out of range"),
        (lambda s: s.unbind(1, "d"), "field 'd' of constraint 1 is not bound"),
        (lambda s: s.add_equation("length(7) = 1"), "Line index 7 out of range"),
        (lambda s: s.remove_equation(5), "Equation index 5 out of range"),
    ],
)
def test_refused_calls_change_nothing(call, message):
    s = rectangle(10, 4)
    s.add_variable("w", 10.0)
    s.add_variable("h", 5.0)
    s.bind(0, "d", "w")
    s.add_equation("w = 2*h")
    before = snapshot(s)
    with pytest.raises(ValueError) as error:
        call(s)
    assert str(error.value).startswith(message)
    assert snapshot(s) == before


def test_variables_keep_creation_order_and_edits():
    s = ovralis.System()
    s.add_variable("zeta", 1.0)
    s.add_variable("alpha", 2.0, fixed=False)
    s.add_variable("_m1", -3.5)
    assert list(s.variables().items()) == [("zeta", (1.0, True)), ("alpha", (2.0, False)),
                                          ("_m1", (-3.5, True))]
    s.set_variable("alpha", fixed=True)
    s.set_variable("zeta", 4.0)
    assert s.get_variable("alpha") == (2.0, True)
    assert s.get_variable("zeta") == (4.0, True)
    s.remove_variable("zeta")
    assert list(s.variables()) == ["alpha", "_m1"]


def test_a_bound_field_shows_its_expression_value_at_once():
    s = rectangle(10, 4)
    s.add_variable("w", 10.0)
    s.bind(0, "d", "2*w + 1")
    assert s.get_constraint(0).d == 21.0
    s.set_variable("w", 3.0)
    assert s.get_constraint(0).d == 7.0
    s.bind(0, "d", "w")  # rebinding replaces
    assert s.bindings() == [(0, "d", "w")]
    s.unbind(0, "d")
    s.set_variable("w", 8.0)
    assert s.get_constraint(0).d == 3.0
    assert s.bindings() == []


# ---- removal and renumbering -------------------------------------------------


def test_removing_a_constraint_removes_its_bindings_and_renumbers_the_rest():
    s = rectangle(10, 4)
    s.add_variable("w", 10.0)
    s.add_fixed_point_constraint(1, 0.0, 0.0)  # constraint 6
    s.bind(0, "d", "w")
    s.bind(1, "d", "w / 2")
    s.bind(6, "y", "w - 10")
    s.bind(6, "x", "w")
    assert s.bindings() == [(0, "d", "w"), (1, "d", "w / 2"), (6, "x", "w"), (6, "y", "w - 10")]
    s.remove_constraint(1)
    assert s.bindings() == [(0, "d", "w"), (5, "x", "w"), (5, "y", "w - 10")]
    s.clear_constraints()
    assert s.bindings() == []


def test_removing_an_entity_removes_what_measures_it_and_renumbers_the_rest():
    s = rectangle(10, 4)
    s.add_variable("w", 10.0)
    s.add_point(5, 5)  # point 4
    s.add_equation("w = distance(2, 4)")
    s.add_equation("w = x(3) + 1")
    s.bind(0, "d", "length(3) + 2")
    s.remove_line(1)
    # Lines above 1 move down; the text is written afresh.
    assert s.bindings() == [(0, "d", "length(2) + 2")]
    s.remove_point(3)
    # Point 3's equation and the edge on it went; point 4 is point 3 now.
    assert s.equations() == ["w = distance(2, 3)"]
    assert s.bindings() == []


def test_changing_a_constraints_kind_drops_its_bindings():
    s = rectangle(10, 4)
    s.add_variable("w", 10.0)
    s.bind(0, "d", "w")
    s.set_constraint(0, s.get_constraint(1))
    assert s.bindings() == [(0, "d", "w")]
    s.set_constraint(0, s.get_constraint(2))
    assert s.bindings() == []


# ---- documents and snapshots ---------------------------------------------------


def design_sketch():
    s, _ = parametric_plate(3, 20.0, 8.0, 3.0)
    s.add_variable("spare", 0.1 + 0.2, fixed=False)
    s.add_equation("spare = pitch^2 / 3 + sin(30)")
    s.solve()
    return s


def test_a_document_round_trips_design_intent_exactly():
    s = design_sketch()
    text = s.to_json()
    document = json.loads(text)
    assert list(document)[-3:] == ["variables", "bindings", "equations"]
    assert document["variables"][2] == {"name": "pitch", "value": 3.0, "fixed": True}
    back = ovralis.System.from_json(text)
    assert back.to_json() == text
    assert back.variables() == s.variables()
    assert back.bindings() == s.bindings()
    assert back.equations() == s.equations()
    assert back.solve().converged


def test_a_document_without_design_intent_is_written_as_before():
    s = rectangle(10, 4)
    text = s.to_json()
    assert "variables" not in text and "bindings" not in text and "equations" not in text
    s.add_variable("w", 1.0)
    s.remove_variable("w")
    assert s.to_json() == text


@pytest.mark.parametrize(
    "member, value, message",
    [
        ("variables", 3, '"variables" must be an array'),
        ("variables", [{"name": "sin", "value": 1.0, "fixed": True}], "variables[0]: invalid variable name 'sin'"),
        ("variables", [{"name": "a", "value": "1", "fixed": True}], 'variables[0]: "value" must be a number'),
        ("variables", [{"name": "a", "value": 1.0}], "variables[0]: expected an object of 3 members"),
        ("bindings", [{"constraint": 50, "field": "d", "expression": "1"}], "bindings[0]: Constraint index 50 out of range"),
        ("bindings", [{"constraint": 0, "field": "d", "expression": "1 +"}], "bindings[0]: expected a number"),
        ("bindings", [{"constraint": 0, "field": "q", "expression": "1"}], "bindings[0]: Distance has no real field 'q'"),
        ("equations", ["1 = "], "equations[0]: expected a number"),
        ("equations", [7], "equations[0]: expected a string"),
    ],
)
def test_the_reader_refuses_bad_design_intent_with_a_clear_error(member, value, message):
    document = json.loads(rectangle(10, 4).to_json())
    document[member] = value
    with pytest.raises(ValueError) as error:
        ovralis.System.from_json(json.dumps(document))
    assert str(error.value).startswith("JSON parse error: " + message)


def test_copies_and_pickles_are_bit_exact():
    s = design_sketch()
    for other in (s.copy(), copy.deepcopy(s), pickle.loads(pickle.dumps(s))):
        assert other.to_json() == s.to_json()
        assert other.variables() == s.variables()
        assert other.bindings() == s.bindings()
        assert other.equations() == s.equations()


# ---- pictures and the command line -----------------------------------------------


def test_a_bound_dimension_is_labelled_with_its_expression_and_value():
    s = rectangle(10, 4)
    s.add_variable("w", 6.25)
    s.bind(0, "d", "2*w")
    s.add_fixed_point_constraint(3, 0.0, 4.0)
    s.bind(6, "y", "w - 2.25")
    svg = s.to_svg()
    assert ">d = 2*w (12.5)</text>" in svg
    assert ">x = 0, y = w - 2.25 (4)</text>" in svg
    assert ">4</text>" in svg  # the unbound height keeps its plain label


def test_the_command_line_sets_variables_before_solving(tmp_path):
    import subprocess
    import sys

    s = rectangle(10, 4)
    s.add_variable("w", 10.0)
    s.add_variable("h", 4.0)
    s.bind(0, "d", "w")
    s.bind(1, "d", "h")
    (tmp_path / "plate.json").write_text(s.to_json())

    def run(*args):
        return subprocess.run([sys.executable, "-m", "ovralis", *args], cwd=tmp_path, text=True,
                              capture_output=True)

    assert run("solve", "plate.json", "--set", "w=30", "--set", "h=12").returncode == 0
    solved = ovralis.System.from_json((tmp_path / "plate.solved.json").read_text())
    assert solved.get_point(2) == pytest.approx((30.0, 12.0), abs=1e-9)
    assert solved.variables() == {"w": (30.0, True), "h": (12.0, True)}
    unknown = run("solve", "plate.json", "--set", "q=1")
    assert unknown.returncode == 2
    assert "plate.json: --set q: unknown variable 'q'" in unknown.stderr
    assert run("solve", "plate.json", "--set", "w").returncode == 2


def test_a_drag_moves_a_free_variable_with_the_geometry():
    s = rectangle(10, 4)
    s.add_variable("w", 10.0, fixed=False)
    s.add_variable("h", 4.0)
    s.bind(0, "d", "w")
    s.bind(1, "d", "h")
    s.solve()
    assert s.drag(2, 13.0, 4.0).converged
    assert s.get_variable("w")[0] == pytest.approx(13.0, abs=1e-8)
    assert s.get_point(1) == pytest.approx((13.0, 0.0), abs=1e-8)
