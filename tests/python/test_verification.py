"""Verification through System.verify_solution and System.solve_and_verify.

Every sketch here is built in a state known exactly in the test, so the
expected measurements and texts follow from the coordinates alone.
"""

import json
import math

import pytest

import ovralis

KEYS = [
    "verdict",
    "is_correct",
    "max_residual",
    "tolerance",
    "summary",
    "num_checks",
    "failed_checks",
    "geometry_warnings",
]

# Large enough that the residual check never fails: isolates the other checks.
LOOSE = 1e9


def sketch(points, lines=()):
    """A system with the given points ((x, y) or (x, y, fixed)) and lines."""
    s = ovralis.System()
    for p in points:
        s.add_point(p[0], p[1], fixed=len(p) > 2 and p[2])
    for p1, p2 in lines:
        s.add_line(p1, p2)
    return s


def document(points, lines=(), arcs=(), ellipses=(), constraints=()):
    """A system read from a document, for kinds without a Python constructor."""
    return ovralis.System.from_json(
        json.dumps(
            {
                "points": [{"x": x, "y": y, "fixed": False} for x, y in points],
                "lines": [{"p1": a, "p2": b} for a, b in lines],
                "circles": [],
                "arcs": list(arcs),
                "ellipses": list(ellipses),
                "arcs_of_ellipse": [],
                "constraints": list(constraints),
            }
        )
    )


def at_angle(degrees):
    radians = degrees * math.pi / 180.0
    return (math.cos(radians), math.sin(radians))


def angle_on_wrong_branch():
    """Line 1 at -30 degrees against a target of +30: the cosines agree, the angle does not."""
    s = sketch([(0, 0), (1, 0), at_angle(-30)], [(0, 1), (0, 2)])
    s.add_angle_constraint(0, 1, 30.0)
    return s


# --- the dictionary ---------------------------------------------------------------------------


def test_keys_come_in_order_with_their_types():
    result = ovralis.System().verify_solution()
    assert list(result.keys()) == KEYS
    assert isinstance(result["verdict"], str)
    assert isinstance(result["is_correct"], bool)
    assert isinstance(result["max_residual"], float)
    assert isinstance(result["tolerance"], float)
    assert isinstance(result["summary"], str)
    assert isinstance(result["num_checks"], int)
    assert isinstance(result["failed_checks"], list)
    assert isinstance(result["geometry_warnings"], list)


def test_empty_system_is_correct_with_three_checks():
    result = ovralis.System().verify_solution()
    assert result == {
        "verdict": "Correct",
        "is_correct": True,
        "max_residual": 0.0,
        "tolerance": 1e-6,
        "summary": "[Correct] max_residual=0.00e0 tol=1.00e-6 checks=3/3 passed",
        "num_checks": 3,
        "failed_checks": [],
        "geometry_warnings": [],
    }


def test_zero_tolerance_rejects_a_zero_residual():
    result = ovralis.System().verify_solution(0.0)
    assert result["verdict"] == "ResidualTooHigh"
    assert result["is_correct"] is False
    assert result["failed_checks"] == [
        "residual_check: max_residual = 0.00e0 >= tol = 0.00e0 — residual too high!"
    ]
    assert result["summary"] == (
        "[ResidualTooHigh] max_residual=0.00e0 tol=0.00e0 checks=2/3 passed"
    )


# --- verdicts in their order of precedence ----------------------------------------------------


def test_residual_too_high_keeps_the_geometry_warnings():
    s = sketch([(0, 0), (3, 4)])
    s.add_circle(0, 0.0)
    s.add_distance_constraint(0, 1, 5.5)
    result = s.verify_solution()
    assert result["verdict"] == "ResidualTooHigh"
    assert result["max_residual"] == 0.5
    assert result["geometry_warnings"] == ["Circle 0 has non-positive radius (0.000000)"]
    assert result["failed_checks"] == [
        "residual_check: max_residual = 5.00e-1 >= tol = 1.00e-6 — residual too high!",
        "geometry_check: 1 geometry warning(s) detected",
        "distance_check[0]: |P0-P1| = 5.000000 ≠ d = 5.500000 (err = 5.00e-1)",
    ]
    assert result["summary"] == (
        "[ResidualTooHigh] max_residual=5.00e-1 tol=1.00e-6 checks=1/4 passed"
    )


def test_degenerate_geometry_outranks_a_failed_check():
    s = angle_on_wrong_branch()
    s.add_circle(0, -1.0)
    result = s.verify_solution()
    assert result["verdict"] == "DegenerateGeometry"
    assert result["is_correct"] is False
    assert result["geometry_warnings"] == ["Circle 0 has non-positive radius (-1.000000)"]
    assert "geometry_check: 1 geometry warning(s) detected" in result["failed_checks"]
    assert any(f.startswith("angle_check[0]: ") for f in result["failed_checks"])


def test_degenerate_geometry_summary():
    s = sketch([(0, 0), (1e-11, 0)], [(0, 1)])
    result = s.verify_solution()
    assert result["verdict"] == "DegenerateGeometry"
    assert result["geometry_warnings"] == ["Line 0 has zero length (points 0 and 1 coincide)"]
    assert result["summary"] == (
        "[DegenerateGeometry] max_residual=0.00e0 tol=1.00e-6 checks=2/3 passed"
    )


def test_wrong_branch_when_only_a_sanity_check_fails():
    result = angle_on_wrong_branch().verify_solution()
    assert result["verdict"] == "WrongBranch"
    assert result["max_residual"] < 1e-12
    assert result["geometry_warnings"] == []
    assert result["failed_checks"] == [
        "angle_check[0]: actual angle = 330.00° ≠ target = 30.00° (err = 60.00°)"
    ]


def test_wrong_branch_from_a_fixed_point_that_moved_a_little():
    # 5e-10 off: inside the tolerance and the 1e-4 check, beyond the 1e-10 integrity limit.
    s = sketch([(1, 2, True)])
    s.add_fixed_point_constraint(0, 1.0, 2.0 + 5e-10)
    result = s.verify_solution()
    assert result["verdict"] == "WrongBranch"
    assert result["failed_checks"] == [
        "fixed_point_integrity: Fixed points moved: "
        "P0 moved from (1.000000, 2.000000) to (1.000000, 2.000000)"
    ]
    assert result["summary"] == (
        "[WrongBranch] max_residual=5.00e-10 tol=1.00e-6 checks=3/4 passed"
    )


def test_correct_sketch_with_constraints():
    s = sketch([(0, 0, True), (3, 4)], [(0, 1)])
    s.add_fixed_point_constraint(0, 0.0, 0.0)
    s.add_distance_constraint(0, 1, 5.0)
    result = s.verify_solution()
    assert result["verdict"] == "Correct"
    assert result["is_correct"] is True
    assert result["num_checks"] == 5
    assert result["summary"] == "[Correct] max_residual=0.00e0 tol=1.00e-6 checks=5/5 passed"


# --- each constraint-specific check, passing and failing --------------------------------------


def distance(target):
    s = sketch([(0, 0), (3, 4)])
    s.add_distance_constraint(0, 1, target)
    return s


def two_points(kind, second):
    s = sketch([(1, 2), second])
    getattr(s, f"add_{kind}_constraint")(0, 1)
    return s


def point_on_line(point):
    s = sketch([(0, 0), (4, 0), point], [(0, 1)])
    s.add_point_on_line_constraint(2, 0)
    return s


def two_lines(kind, direction, *args):
    s = sketch([(0, 0), (1, 0), direction], [(0, 1), (0, 2)])
    getattr(s, f"add_{kind}_constraint")(0, 1, *args)
    return s


def equal_length(second_end):
    s = sketch([(0, 0), (3, 4), (1, 0), second_end], [(0, 1), (2, 3)])
    s.add_equal_length_constraint(0, 1)
    return s


def fixed_point(x, y):
    s = sketch([(9, 9), (1, 2)])
    s.add_fixed_point_constraint(1, x, y)
    return s


def point_on_circle(point):
    s = sketch([(0, 0), point])
    s.add_circle(0, 2.0)
    s.add_point_on_circle_constraint(1, 0)
    return s


def angle_between_points(target):
    s = sketch([(1, 0), (0, 0), (0, 1)])
    s.add_angle_between_points_constraint(0, 1, 2, target)
    return s


def midpoint(m):
    s = sketch([m, (0, 0), (2, 2)])
    s.add_midpoint_constraint(0, 1, 2)
    return s


def two_circles(kind, second_center, r1, r2):
    s = sketch([(0, 0), second_center])
    s.add_circle(0, r1)
    s.add_circle(1, r2)
    getattr(s, f"add_{kind}_constraint")(0, 1)
    return s


def symmetry(p_out):
    s = sketch([(0, 0), (0, 1), (2, 3), p_out], [(0, 1)])
    s.add_symmetry_constraint(3, 2, 0)
    return s


def point_line_distance(target):
    s = sketch([(0, 0), (4, 0), (1, 3)], [(0, 1)])
    s.add_point_line_distance_constraint(2, 0, target)
    return s


def circle_radius(target):
    s = sketch([(0, 0)])
    s.add_circle(0, 2.0)
    s.add_circle_radius_constraint(0, target)
    return s


def arc_radius(target):
    s = sketch([(0, 0), (1, 0), (0, 1)])
    s.add_arc(0, 1, 2, 1.0)
    s.add_constraint(ovralis.arc_radius_constraint(0, target))
    return s


def point_on_line_at(point):
    return document(
        [(0, 0), (4, 0), point],
        lines=[(0, 1)],
        constraints=[{"PointOnLineAt": {"point": 2, "line": 0, "t": 0.25}}],
    )


def ellipse_radmin(target):
    return document(
        [(0, 0), (3, 0)],
        ellipses=[{"center": 0, "focus1": 1, "radmin": 1.0, "fixed": False}],
        constraints=[{"EllipseRadmin": {"ellipse": 0, "r": target}}],
    )


# (id, sketch, check name, detail when failing or None when passing)
CHECK_CASES = [
    ("distance-pass", lambda: distance(5.0), "distance_check[0]", None),
    ("distance-fail", lambda: distance(5.5), "distance_check[0]",
     "|P0-P1| = 5.000000 ≠ d = 5.500000 (err = 5.00e-1)"),
    ("horizontal-pass", lambda: two_points("horizontal", (6, 2.00005)), "horizontal_check[0]",
     None),
    ("horizontal-fail", lambda: two_points("horizontal", (6, 2.5)), "horizontal_check[0]",
     "dy = 5.00e-1"),
    ("vertical-pass", lambda: two_points("vertical", (1.00003, 7)), "vertical_check[0]", None),
    ("vertical-fail", lambda: two_points("vertical", (1.5, 7)), "vertical_check[0]",
     "dx = 5.00e-1"),
    ("coincident-pass", lambda: two_points("coincident", (1, 2)), "coincident_check[0]", None),
    ("coincident-fail", lambda: two_points("coincident", (1, 2.5)), "coincident_check[0]",
     "dx = 0.00e0, dy = 5.00e-1"),
    ("point-on-line-pass", lambda: point_on_line((2, 3e-5)), "point_on_line_check[0]", None),
    ("point-on-line-fail", lambda: point_on_line((2, 1)), "point_on_line_check[0]",
     "perpendicular distance = 1.00e0"),
    ("parallel-pass", lambda: two_lines("parallel", (-3, 0)), "parallel_check[0]", None),
    ("parallel-fail", lambda: two_lines("parallel", (1, 1)), "parallel_check[0]",
     "sin(angle) = 7.07e-1"),
    ("perpendicular-pass", lambda: two_lines("perpendicular", (0, 3)), "perpendicular_check[0]",
     None),
    ("perpendicular-fail", lambda: two_lines("perpendicular", (1, 1)), "perpendicular_check[0]",
     "cos(angle) = 7.07e-1"),
    ("angle-half-turn-pass", lambda: two_lines("angle", (0, 1), 270.0), "angle_check[0]", None),
    ("angle-across-zero-fail", lambda: two_lines("angle", at_angle(350), 10.0), "angle_check[0]",
     "actual angle = 350.00° ≠ target = 10.00° (err = 20.00°)"),
    ("equal-length-pass", lambda: equal_length((1, 5.0001)), "equal_length_check[0]", None),
    ("equal-length-fail", lambda: equal_length((1, 6)), "equal_length_check[0]",
     "len1 = 5.000000, len2 = 6.000000, rel_err = 1.67e-1"),
    ("fixed-point-pass", lambda: fixed_point(1.00002, 2.0), "fixed_point_check[0]", None),
    ("fixed-point-fail", lambda: fixed_point(3.0, 4.0), "fixed_point_check[0]",
     "P1 at (1.0000, 2.0000) ≠ (3.0000, 4.0000)"),
    ("point-on-circle-pass", lambda: point_on_circle((0, 2.0001)), "point_on_circle_check[0]",
     None),
    ("point-on-circle-fail", lambda: point_on_circle((3, 0)), "point_on_circle_check[0]",
     "dist = 3.000000, r = 2.000000, err = 1.00e0"),
    ("angle-between-points-pass", lambda: angle_between_points(90.5),
     "angle_between_points_check[0]", None),
    ("angle-between-points-fail", lambda: angle_between_points(-90.0),
     "angle_between_points_check[0]", "actual = 90.00°, target = -90.00°, err = 180.00°"),
    ("midpoint-pass", lambda: midpoint((1, 1)), "midpoint_check[0]", None),
    ("midpoint-fail", lambda: midpoint((1, 1.5)), "midpoint_check[0]",
     "expected (1.0000, 1.0000), got (1.0000, 1.5000)"),
    ("equal-radius-pass", lambda: two_circles("equal_radius", (5, 5), 2.0, 2.0001),
     "equal_radius_check[0]", None),
    ("equal-radius-fail", lambda: two_circles("equal_radius", (5, 5), 2.0, 3.0),
     "equal_radius_check[0]", "r1 = 2.000000, r2 = 3.000000, rel_err = 3.33e-1"),
    ("concentric-pass", lambda: two_circles("concentric", (5e-5, 0), 1.0, 2.0),
     "concentric_check[0]", None),
    ("concentric-fail", lambda: two_circles("concentric", (1, 2), 1.0, 2.0),
     "concentric_check[0]", "center distance = (1.00e0, 2.00e0)"),
    ("symmetry-pass", lambda: symmetry((-2, 3)), "symmetry_check[0]", None),
    ("symmetry-fail", lambda: symmetry((2, 3)), "symmetry_check[0]", "reflection err = 4.00e0"),
    ("point-line-distance-pass", lambda: point_line_distance(3.0), "point_line_distance_check[0]",
     None),
    ("point-line-distance-fail", lambda: point_line_distance(2.5), "point_line_distance_check[0]",
     "actual dist = 3.000000, target = 2.500000, err = 5.00e-1"),
    ("circle-radius-pass", lambda: circle_radius(2.0), "circle_radius_check[0]", None),
    ("circle-radius-fail", lambda: circle_radius(1.5), "circle_radius_check[0]",
     "actual r = 2.000000, target = 1.500000, err = 5.00e-1"),
    ("point-on-line-at-pass", lambda: point_on_line_at((1, 0)), "point_on_line_at_check[0]", None),
    ("point-on-line-at-fail", lambda: point_on_line_at((1, 3)), "point_on_line_at_check[0]",
     "position err = 3.00e0"),
    ("arc-radius-pass", lambda: arc_radius(1.0), "arc_radius_check[0]", None),
    ("arc-radius-fail", lambda: arc_radius(1.5), "arc_radius_check[0]",
     "actual r = 1.000000, target = 1.500000, err = 5.00e-1"),
    ("ellipse-radmin-pass", lambda: ellipse_radmin(1.0), "ellipse_radmin_check[0]", None),
    ("ellipse-radmin-fail", lambda: ellipse_radmin(1.5), "ellipse_radmin_check[0]",
     "actual radmin = 1.000000, target = 1.500000, err = 5.00e-1"),
]


@pytest.mark.parametrize(
    "build, name, detail", [case[1:] for case in CHECK_CASES], ids=[case[0] for case in CHECK_CASES]
)
def test_constraint_specific_check(build, name, detail):
    result = build().verify_solution(LOOSE)
    # residual, geometry, this check, fixed-point integrity
    assert result["num_checks"] == 4
    failed = [f for f in result["failed_checks"] if f.startswith(name + ": ")]
    if detail is None:
        assert failed == []
    else:
        assert failed == [f"{name}: {detail}"]


def test_kinds_without_a_check_add_none():
    s = sketch([(0, 0), (1, 0), (5, 5)], [(0, 1)])
    s.add_circle(2, 1.0)
    s.add_line_circle_tangent_constraint(0, 0)
    s.add_line_line_intersection_constraint(2, 0, 0)
    assert s.verify_solution(LOOSE)["num_checks"] == 3


def test_short_line_adds_no_point_on_line_check_but_parallel_passes():
    s = sketch([(0, 0), (1e-13, 0), (0, 1), (5, 5)], [(0, 1), (0, 2)])
    s.add_point_on_line_constraint(3, 0)
    s.add_point_line_distance_constraint(3, 0, 1.0)
    s.add_parallel_constraint(0, 1)
    result = s.verify_solution(LOOSE)
    assert result["num_checks"] == 4
    assert not any(f.startswith("parallel_check[2]") for f in result["failed_checks"])


def test_fixed_point_integrity_joins_every_moved_target():
    s = sketch([(1, 2, True)])
    s.add_fixed_point_constraint(0, 1.0, 2.5)
    s.add_fixed_point_constraint(0, 0.0, 2.0)
    result = s.verify_solution(LOOSE)
    assert result["failed_checks"][-1] == (
        "fixed_point_integrity: Fixed points moved: "
        "P0 moved from (1.000000, 2.500000) to (1.000000, 2.000000); "
        "P0 moved from (0.000000, 2.000000) to (1.000000, 2.000000)"
    )


def test_check_names_carry_the_constraint_position():
    s = sketch([(0, 0), (3, 4)])
    s.add_circle(0, 1.0)
    s.add_circle_radius_constraint(0, 1.0)
    s.add_distance_constraint(0, 1, 6.0)
    failed = s.verify_solution(LOOSE)["failed_checks"]
    assert failed == ["distance_check[1]: |P0-P1| = 5.000000 ≠ d = 6.000000 (err = 1.00e0)"]


# --- errors -----------------------------------------------------------------------------------


def test_dangling_reference_is_a_value_error():
    s = sketch([(0, 0), (1, 0)], [(0, 7)])
    with pytest.raises(ValueError, match=r"^Point index 7 out of range$"):
        s.verify_solution()


def test_dangling_constraint_reference_is_a_value_error():
    s = sketch([(0, 0)])
    s.add_circle_radius_constraint(3, 1.0)
    with pytest.raises(ValueError, match=r"^Circle index 3 out of range$"):
        s.verify_solution()
    with pytest.raises(ValueError, match=r"^Circle index 3 out of range$"):
        s.solve_and_verify()


def test_verification_leaves_the_store_alone():
    s = sketch([(0, 0, True), (3, 4)])
    s.add_distance_constraint(0, 1, 6.0)
    s.verify_solution()
    assert s.get_points() == [(0.0, 0.0), (3.0, 4.0)]
    assert s.num_constraints() == 1


# --- tolerances and solve_and_verify ----------------------------------------------------------


def test_verify_solution_defaults_to_1e_6():
    assert ovralis.System().verify_solution()["tolerance"] == 1e-6
    assert ovralis.System().verify_solution(tolerance=1e-3)["tolerance"] == 1e-3


def solvable():
    """A fixed origin and a free point that must sit 5 away on the x axis.

    The point starts at the right distance along x, so the solve only has to
    bring it onto the axis and lands there to rounding.
    """
    s = sketch([(0, 0, True), (5, 0.5)])
    s.add_distance_constraint(0, 1, 5.0)
    s.add_horizontal_constraint(0, 1)
    return s


def test_solve_and_verify_defaults_to_1e_8_and_verifies_the_solution():
    s = solvable()
    outcome = s.solve_and_verify()
    assert isinstance(outcome, tuple) and len(outcome) == 2
    solve_result, result = outcome
    assert isinstance(solve_result, ovralis.SolveResult)
    assert solve_result.converged
    assert result["tolerance"] == 1e-8
    assert list(result.keys()) == KEYS
    # Independent truth: the free point lies on the x axis, 5 from the origin.
    x, y = s.get_point(1)
    assert abs(y) < 1e-12
    assert abs(math.hypot(x, y) - 5.0) < 1e-12
    assert result["verdict"] == "Correct"
    assert result["num_checks"] == 5
    expected = max(abs(math.hypot(x, y) - 5.0), abs(y))
    assert result["max_residual"] == pytest.approx(expected, abs=1e-12)


def test_solve_and_verify_passes_its_tol_to_the_verification():
    _, result = solvable().solve_and_verify(max_iter=100, tol=1e-10)
    assert result["tolerance"] == 1e-10


def test_solve_and_verify_verifies_even_when_the_solve_fails():
    # Two fixed points 3 apart cannot be pulled to 5.
    s = sketch([(0, 0, True), (3, 0, True)])
    s.add_distance_constraint(0, 1, 5.0)
    solve_result, result = s.solve_and_verify()
    assert not solve_result.converged
    assert result["verdict"] == "ResidualTooHigh"
    assert result["max_residual"] == pytest.approx(2.0)
    assert result["tolerance"] == 1e-8
