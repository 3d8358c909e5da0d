"""SolveResult, DofAnalysis and SolverDiagnostics as Python sees them."""

import math

import pytest

import ovralis


def scientific(value):
    """The module's "{:.2e}" notation, derived from Python's own: 1.50e-9, 0.00e0."""
    mantissa, exponent = f"{value:.2e}".split("e")
    return f"{mantissa}e{int(exponent)}"


def segment(length=5.0):
    """A fixed point, a free point on a horizontal line through it, and a distance."""
    s = ovralis.System()
    s.add_point(0, 0, fixed=True)
    s.add_point(3, 0.5)
    s.add_horizontal_constraint(0, 1)
    s.add_distance_constraint(0, 1, length)
    return s


def test_solve_moves_the_free_point_onto_the_geometry():
    s = segment()
    result = s.solve()
    assert type(result) is ovralis.SolveResult
    assert result.converged is True
    x, y = s.get_point(1)
    assert math.hypot(x, y) == pytest.approx(5.0, abs=1e-6)
    assert y == pytest.approx(0.0, abs=1e-9)
    assert s.get_point(0) == (0.0, 0.0)


def test_solve_result_attributes_and_repr():
    result = segment().solve(max_iter=50, tol=1e-10)
    assert type(result.converged) is bool
    assert type(result.iterations) is int and result.iterations <= 50
    assert type(result.max_residual) is float and type(result.residual_cost) is float
    assert repr(result) == (
        f"SolveResult(converged={str(result.converged).lower()}, iterations={result.iterations}, "
        f"max_residual={scientific(result.max_residual)}, cost={scientific(result.residual_cost)})"
    )


@pytest.mark.parametrize("value, text", [
    (1e-9, "1.00e-9"), (2.5, "2.50e0"), (0.0, "0.00e0"), (-0.000314, "-3.14e-4"), (123456.0, "1.23e5"),
])
def test_the_reference_notation(value, text):
    assert scientific(value) == text


def test_solve_result_is_read_only():
    result = segment().solve()
    with pytest.raises(AttributeError):
        result.converged = False


def test_fully_constrained_analysis():
    analysis = segment().analyze_dof()
    assert type(analysis) is ovralis.DofAnalysis
    assert (analysis.free_variables, analysis.constraint_equations, analysis.degrees_of_freedom) == (2, 2, 0)
    assert analysis.status == "fully_constrained"
    assert repr(analysis) == "DofAnalysis(free_vars=2, equations=2, dof=0, status='fully_constrained')"


def test_overconstrained_analysis_shows_a_negative_dof():
    s = segment()
    s.add_vertical_constraint(0, 1)
    analysis = s.analyze_dof()
    assert analysis.degrees_of_freedom == -1
    assert analysis.status == "overconstrained"
    assert repr(analysis) == "DofAnalysis(free_vars=2, equations=3, dof=-1, status='overconstrained')"


def test_underconstrained_analysis():
    s = ovralis.System()
    s.add_point(1, 1)
    assert s.analyze_dof().status == "underconstrained"


def test_diagnostics_counts_and_repr():
    s = segment()
    s.add_point(9, 9, fixed=True)
    s.add_line(0, 1)
    s.add_circle(2, 1.0)
    s.add_arc(0, 1, 2)
    d = s.diagnostics()
    assert type(d) is ovralis.SolverDiagnostics
    assert (d.num_points, d.num_fixed_points, d.num_free_points) == (3, 2, 1)
    assert (d.num_lines, d.num_circles, d.num_arcs, d.num_constraints) == (1, 1, 1, 2)
    assert repr(d) == f"Diagnostics(points=3, lines=1, circles=1, constraints=2, dof={d.dof.degrees_of_freedom})"
    # the horizontal side is off by 0.5; the distance by 5 - hypot(3, 0.5)
    distance_error = abs(math.hypot(3, 0.5) - 5.0)
    assert d.max_residual == pytest.approx(distance_error)


def test_diagnostics_without_residuals():
    d = segment().diagnostics(include_residuals=False)
    assert d.max_residual is None and d.residual_cost is None


def test_diagnostics_dof_is_a_fresh_copy_at_each_read():
    d = segment().diagnostics()
    first, second = d.dof, d.dof
    assert first is not second
    assert type(first) is ovralis.DofAnalysis
    assert repr(first) == repr(second)


def test_results_outlive_their_system():
    s = segment()
    result, d = s.solve(), s.diagnostics()
    expected = repr(result), repr(d)
    del s
    assert (repr(result), repr(d)) == expected


def test_json_round_trip_keeps_the_repr():
    s = segment()
    s.add_circle(0, 2.0)
    s.add_arc(0, 1, 0)
    copy = ovralis.System.from_json(s.to_json())
    assert type(copy) is ovralis.System
    assert repr(copy) == repr(s)
    assert copy.get_points() == s.get_points()


def test_unreadable_json_is_a_value_error():
    with pytest.raises(ValueError, match="^JSON parse error: "):
        ovralis.System.from_json("{")


def test_a_dangling_index_is_a_value_error_not_an_internal_error():
    s = ovralis.System()
    s.add_point(0, 0)
    s.add_distance_constraint(0, 3, 1.0)
    with pytest.raises(ValueError, match="^Point index 3 out of range$"):
        s.solve()
    with pytest.raises(ValueError, match="^Point index 3 out of range$"):
        s.diagnostics()
