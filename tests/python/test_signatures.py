"""Docstrings and text signatures, as inspect and help() see them."""

import inspect

import pytest

import ovralis

# (method, signature as inspect prints it, first line of the docstring text)
SYSTEM_METHODS = [
    ("add_point", "(self, /, x, y, fixed=False)", "Add a point. Returns its index."),
    ("add_line", "(self, /, p1, p2)", "Add a line connecting two points. Returns its index."),
    ("add_circle", "(self, /, center, radius=0.0, fixed=False)", "Add a circle. Returns its index."),
    ("add_arc", "(self, /, center, start, end, radius=0.0, fixed=False)", "Add an arc. Returns its index."),
    ("add_distance_constraint", "(self, /, p1, p2, d)", "Add a distance constraint between two points."),
    ("add_horizontal_constraint", "(self, /, p1, p2)", "Add a horizontal constraint between two points."),
    ("add_vertical_constraint", "(self, /, p1, p2)", "Add a vertical constraint between two points."),
    ("add_coincident_constraint", "(self, /, p1, p2)", "Add a coincident constraint (two points share position)."),
    ("add_point_on_line_constraint", "(self, /, point, line)", "Add a point-on-line constraint."),
    ("add_point_line_distance_constraint", "(self, /, point, line, d)", "Add a point-line-distance constraint."),
    ("add_parallel_constraint", "(self, /, l1, l2)", "Add a parallel constraint between two lines."),
    ("add_perpendicular_constraint", "(self, /, l1, l2)", "Add a perpendicular constraint between two lines."),
    ("add_angle_constraint", "(self, /, l1, l2, deg)", "Add an angle constraint between two lines (degrees)."),
    ("add_equal_length_constraint", "(self, /, l1, l2)", "Add an equal-length constraint between two lines."),
    ("add_line_line_intersection_constraint", "(self, /, point, l1, l2)", "Add a line-line intersection constraint."),
    ("add_fixed_point_constraint", "(self, /, point, x, y)", "Add a fixed-point constraint."),
    ("add_point_on_circle_constraint", "(self, /, point, circle)", "Add a point-on-circle constraint."),
    ("add_line_circle_tangent_constraint", "(self, /, line, circle)", "Add a line-circle tangent constraint."),
    ("add_circle_circle_tangent_constraint", "(self, /, c1, c2)", "Add a circle-circle external tangent constraint."),
    ("add_circle_circle_tangent_internal_constraint", "(self, /, c1, c2)",
     "Add a circle-circle internal tangent constraint."),
    ("add_equal_radius_constraint", "(self, /, c1, c2)", "Add an equal-radius constraint between two circles."),
    ("add_concentric_constraint", "(self, /, c1, c2)", "Add a concentric constraint between two circles."),
    ("add_circle_radius_constraint", "(self, /, circle, r)", "Add a circle-radius constraint."),
    ("add_angle_between_points_constraint", "(self, /, a, b, c, deg)",
     "Add an angle-between-points constraint (degrees)."),
    ("add_midpoint_constraint", "(self, /, m, p1, p2)", "Add a midpoint constraint."),
    ("add_symmetry_constraint", "(self, /, p_out, p_in, line)", "Add a symmetry constraint."),
    ("add_constraint", "(self, /, c)", "Add a generic constraint object."),
    ("get_point", "(self, /, idx)", "Get point coordinates as (x, y) tuple."),
    ("get_points", "(self, /)", "Get all point coordinates as list of (x, y) tuples."),
    ("get_circle", "(self, /, idx)", "Get circle info as (center_idx, radius) tuple."),
    ("get_circles", "(self, /)", "Get all circle info as list of (center_idx, radius) tuples."),
    ("get_arc", "(self, /, idx)", "Get arc info as (center_idx, start_idx, end_idx, radius) tuple."),
    ("get_arcs", "(self, /)", "Get all arc info."),
    ("get_line", "(self, /, idx)", "Get line info as (p1_idx, p2_idx) tuple."),
    ("get_lines", "(self, /)", "Get all line info."),
    ("num_points", "(self, /)", "Number of points."),
    ("num_lines", "(self, /)", "Number of lines."),
    ("num_circles", "(self, /)", "Number of circles."),
    ("num_arcs", "(self, /)", "Number of arcs."),
    ("num_constraints", "(self, /)", "Number of constraints."),
    ("remove_point", "(self, /, idx)", "Remove a point and all constraints referencing it."),
    ("remove_line", "(self, /, idx)", "Remove a line and all constraints referencing it."),
    ("remove_circle", "(self, /, idx)", "Remove a circle and all constraints referencing it."),
    ("remove_arc", "(self, /, idx)", "Remove an arc and all constraints referencing it."),
    ("remove_constraint", "(self, /, idx)", "Remove constraint at index. Returns the removed constraint."),
    ("clear_constraints", "(self, /)", "Clear all constraints."),
    ("solve", "(self, /, max_iter=200, tol=1e-08)", "Solve the constraint system using Levenberg-Marquardt."),
    ("analyze_dof", "(self, /)", "Analyze degrees of freedom."),
    ("diagnostics", "(self, /, include_residuals=True)", "Get full diagnostics."),
    ("verify_solution", "(self, /, tolerance=1e-06)", "Verify the solution after solving (P5.2)."),
    ("solve_and_verify", "(self, /, max_iter=200, tol=1e-08)",
     "Solve and then verify the solution in one call (P5.2)."),
    ("to_json", "(self, /)", "Serialize the system to JSON."),
    ("from_json", "(json)", "Deserialize a system from JSON."),
    ("set_point", "(self, /, idx, x, y, fixed=None)", "Move a point; fixed=None keeps its fixed flag."),
    ("set_circle", "(self, /, idx, radius=None, fixed=None)",
     "Change a circle's radius or fixed flag; None keeps a value."),
    ("set_arc", "(self, /, idx, radius=None, fixed=None)",
     "Change an arc's radius or fixed flag; None keeps a value."),
    ("get_constraint", "(self, /, idx)", "A copy of the constraint at index."),
    ("set_constraint", "(self, /, idx, c)", "Replace the constraint at index by c, keeping every index."),
    ("copy", "(self, /)", "An independent System equal to this one in every value and setting."),
    ("to_svg", "(self, /, *, width=400.0, height=None, margin=24.0, labels=True, analysis=None, bounds=None)",
     "Draw the sketch as an SVG document (str), y axis up, fitted inside the margin."),
    ("drag", "(self, /, point, x, y, max_iter=200, tol=1e-08)",
     "Move a point as close to (x, y) as the constraints allow."),
    ("analyze_constraints", "(self, /, tol=1e-08)",
     "Find redundant and conflicting constraints and what can still move."),
    ("follow", "(self, /, max_iter=200, tol=1e-08)",
     "Reach the current constraint values along a continuous path."),
    ("dimension_range", "(self, /, index)",
     "The values of constraint index's dimension that follow() reaches from here."),
    ("alternatives", "(self, /, limit=8)",
     "Other solutions of the same constraints near this one, nearest first."),
    ("measure", "(self, /, c)", "The value the dimension of constraint c has in the current geometry."),
    ("repairs", "(self, /, limit=5)",
     "Ways to make a sketch that does not solve solvable, the least movement first."),
    ("add_variable", "(self, /, name, value, fixed=True)",
     "Add a named variable for expressions and equations."),
    ("get_variable", "(self, /, name)", "The variable's (value, fixed)."),
    ("set_variable", "(self, /, name, value=None, fixed=None)",
     "Change a variable's value or fixed flag; None keeps a value."),
    ("remove_variable", "(self, /, name)", "Remove a variable that no binding or equation uses."),
    ("variables", "(self, /)", "Every variable as {name: (value, fixed)}, in creation order."),
    ("bind", "(self, /, constraint, field, expression)",
     "Make a real field of a constraint (d, r, deg, x, y, len, t) follow an"),
    ("unbind", "(self, /, constraint, field)",
     "Make a bound field a literal again, keeping its current value."),
    ("bindings", "(self, /)", "Every binding as (constraint, field, expression), ordered by"),
    ("add_equation", "(self, /, text)",
     "Add an equation 'left = right' solved together with the geometry, e.g."),
    ("remove_equation", "(self, /, idx)", "Remove the equation at index; returns its text."),
    ("equations", "(self, /)", "Every equation's text, in order."),
    ("infer_constraints", "(self, /, tol=1e-06, kinds=None)",
     "Add the relations that hold in the drawing; returns the added indices."),
    ("autodimension", "(self, /, datum=None)",
     "Add dimensions until nothing is left free; returns the added indices."),
    ("to_dxf", "(self, /, target, *, dimensions=True)",
     "Write the sketch as a DXF drawing (needs ezdxf: pip install ovralis[dxf])."),
]


def test_system_has_exactly_the_listed_methods_in_order():
    public = [name for name in vars(ovralis.System) if not name.startswith("_")]
    assert public == [name for name, _, _ in SYSTEM_METHODS]


@pytest.mark.parametrize("name, signature, text", SYSTEM_METHODS)
def test_system_method_signature_and_doc(name, signature, text):
    method = getattr(ovralis.System, name)
    assert str(inspect.signature(method)) == signature
    assert method.__doc__.split("\n")[0] == text


def test_multi_line_docstrings_are_complete():
    assert ovralis.System.solve.__doc__ == (
        "Solve the constraint system using Levenberg-Marquardt.\n\n"
        "Args:\n    max_iter: Maximum iterations (default 200)\n"
        "    tol: Convergence tolerance (default 1e-8)\n\n"
        "Returns: SolveResult with convergence info."
    )
    assert ovralis.System.solve.__text_signature__ == "($self, max_iter=200, tol=1e-8)"
    assert ovralis.System.verify_solution.__doc__ == (
        "Verify the solution after solving (P5.2).\n\n"
        "Checks residuals, geometry validity, constraint-specific sanity,\n"
        "and fixed-point integrity. Returns a dict with the verification result.\n\n"
        "Args:\n    tolerance: Maximum allowed residual (default 1e-6)"
    )
    assert ovralis.System.solve_and_verify.__doc__.endswith("Returns: (SolveResult, verification_dict)")


def test_from_json_is_a_static_method():
    assert isinstance(vars(ovralis.System)["from_json"], staticmethod)


def test_system_class_doc_and_signature():
    assert str(inspect.signature(ovralis.System)) == "()"
    assert ovralis.System.__doc__ == (
        "A 2D geometry constraint system.\n\n"
        "Create points, lines, circles, arcs, add constraints, and solve.\n\n"
        "Example:\n"
        "    sys = ovralis.System()\n"
        "    p0 = sys.add_point(0, 0, fixed=True)\n"
        "    p1 = sys.add_point(3, 0)\n"
        "    sys.add_distance_constraint(p0, p1, 5.0)\n"
        "    result = sys.solve()\n"
        "    print(result.converged, sys.get_point(p1))"
    )


@pytest.mark.parametrize("cls, signature, doc", [
    (ovralis.Point, "(x=0.0, y=0.0, fixed=False)", "A 2D point with x, y coordinates and a fixed flag."),
    (ovralis.Line, "(p1, p2)", "A line defined by two point indices."),
    (ovralis.Circle, "(center, radius=0.0, fixed=False)",
     "A circle with center point index, radius, and fixed flag."),
    (ovralis.Arc, "(center, start, end, radius=0.0, fixed=False)",
     "An arc with center, start, end point indices, radius, and fixed flag."),
])
def test_value_class_signature_and_doc(cls, signature, doc):
    assert str(inspect.signature(cls)) == signature
    assert cls.__doc__ == doc


@pytest.mark.parametrize("cls, doc", [
    (ovralis.Constraint, None),
    (ovralis.SolveResult, "Result of a solve operation."),
    (ovralis.DofAnalysis, None),
    (ovralis.SolverDiagnostics, None),
])
def test_module_made_class_docs(cls, doc):
    assert cls.__doc__ == doc


@pytest.mark.parametrize("method, signature", [
    (ovralis.Point.distance, "(self, /, other)"),
    (ovralis.Constraint.kind, "(self, /)"),
    (ovralis.Constraint.equation_count, "(self, /)"),
])
def test_value_class_method_signatures(method, signature):
    assert str(inspect.signature(method)) == signature


@pytest.mark.parametrize("name, parameters", [
    ("distance_constraint", "p1, p2, d"),
    ("angle_between_points_constraint", "a, b, c, deg"),
    ("symmetry_constraint", "p_out, p_in, line"),
    ("fixed_point_constraint", "point, x, y"),
    ("arc_sweep_angle_constraint", "arc, deg"),
    ("arc_circle_tangent_internal_constraint", "arc, circle"),
])
def test_constructor_docstring_is_only_the_signature(name, parameters):
    function = getattr(ovralis, name)
    assert function.__text_signature__ == f"({parameters})"
    assert str(inspect.signature(function)) == f"({parameters})"
    assert function.__doc__ is None
