"""System.solve, analyze_dof and diagnostics through the public API.

Solved sketches are checked with geometry computed here (distances, angles,
tangency by centre distance, focal sums), not with the module's residuals.
"""

import json
import math
import struct

import pytest

import ovralis

GEOMETRY_TOL = 1e-6


def bits(value):
    return struct.pack("<d", value)


def dist(p, q):
    return math.hypot(p[0] - q[0], p[1] - q[1])


def sub(p, q):
    return (p[0] - q[0], p[1] - q[1])


def dot(u, v):
    return u[0] * v[0] + u[1] * v[1]


def cross(u, v):
    return u[0] * v[1] - u[1] * v[0]


def line_points(system, line):
    p1, p2 = system.get_line(line)
    return system.get_point(p1), system.get_point(p2)


def direction(system, line):
    a, b = line_points(system, line)
    return sub(b, a)


def distance_to_line(point, a, b):
    d = sub(b, a)
    return abs(cross(sub(point, a), d)) / math.hypot(*d)


def angle_between(u, v):
    return math.degrees(math.acos(max(-1.0, min(1.0, dot(u, v) / (math.hypot(*u) * math.hypot(*v))))))


def ccw_sweep(centre, start, end):
    """Counter-clockwise angle in degrees from centre->start to centre->end, in [0, 360)."""
    u, v = sub(start, centre), sub(end, centre)
    return math.degrees(math.atan2(cross(u, v), dot(u, v))) % 360.0


def solve_ok(system, **kwargs):
    result = system.solve(**kwargs)
    assert result.converged, result
    return result


# --- Points and lines ---------------------------------------------------------


def test_rectangle_has_its_sides_and_right_angles():
    s = ovralis.System()
    p = [s.add_point(0, 0, True), s.add_point(5.4, 0.3), s.add_point(5.8, 4.4), s.add_point(-0.2, 3.7)]
    lines = [s.add_line(p[i], p[(i + 1) % 4]) for i in range(4)]
    s.add_horizontal_constraint(p[0], p[1])
    s.add_vertical_constraint(p[1], p[2])
    s.add_horizontal_constraint(p[3], p[2])
    s.add_vertical_constraint(p[0], p[3])
    s.add_distance_constraint(p[0], p[1], 6)
    s.add_distance_constraint(p[1], p[2], 4)
    solve_ok(s, tol=1e-10)
    pts = s.get_points()
    assert pts[0] == (0.0, 0.0)
    assert dist(pts[0], pts[1]) == pytest.approx(6, abs=GEOMETRY_TOL)
    assert dist(pts[1], pts[2]) == pytest.approx(4, abs=GEOMETRY_TOL)
    assert dist(pts[2], pts[3]) == pytest.approx(6, abs=GEOMETRY_TOL)
    for i in range(4):
        u, v = direction(s, lines[i]), direction(s, lines[(i + 1) % 4])
        assert angle_between(u, v) == pytest.approx(90, abs=1e-6)


def test_parallel_perpendicular_angle_and_equal_length():
    s = ovralis.System()
    a0, a1 = s.add_point(0, 0, True), s.add_point(4, 0.5)
    b0, b1 = s.add_point(0.5, 2), s.add_point(4.2, 2.9)
    c0, c1 = s.add_point(-1, -1), s.add_point(-0.5, 3)
    d0, d1 = s.add_point(6, 0), s.add_point(8, 1.5)
    la, lb, lc, ld = s.add_line(a0, a1), s.add_line(b0, b1), s.add_line(c0, c1), s.add_line(d0, d1)
    s.add_fixed_point_constraint(a1, 4, 0)
    s.add_parallel_constraint(la, lb)
    s.add_perpendicular_constraint(la, lc)
    s.add_angle_constraint(la, ld, 30)
    s.add_equal_length_constraint(la, ld)
    s.add_distance_constraint(b0, b1, 3)
    solve_ok(s, tol=1e-10)
    u, v, w, z = (direction(s, line) for line in (la, lb, lc, ld))
    assert s.get_point(a1) == pytest.approx((4, 0), abs=GEOMETRY_TOL)
    assert abs(cross(u, v)) / (math.hypot(*u) * math.hypot(*v)) < 1e-8
    assert angle_between(u, w) == pytest.approx(90, abs=1e-6)
    assert angle_between(u, z) == pytest.approx(30, abs=1e-6)
    assert math.hypot(*z) == pytest.approx(math.hypot(*u), abs=GEOMETRY_TOL)
    assert math.hypot(*v) == pytest.approx(3, abs=GEOMETRY_TOL)


def test_incidence_kinds():
    s = ovralis.System()
    a, b = s.add_point(0, 0, True), s.add_point(10, 0, True)
    c, d = s.add_point(2, -3, True), s.add_point(3, 5)
    base, slant = s.add_line(a, b), s.add_line(c, d)
    on_base = s.add_point(4, 0.7)
    crossing = s.add_point(2.5, 0.4)
    mid = s.add_point(5.5, 1.0)
    mirror_in, mirror_out = s.add_point(7, 2), s.add_point(6.5, -2.5)
    above = s.add_point(1, 2.6)
    twin = s.add_point(1.2, 2.4)
    s.add_point_on_line_constraint(on_base, base)
    s.add_distance_constraint(a, on_base, 3)
    s.add_line_line_intersection_constraint(crossing, base, slant)
    s.add_angle_between_points_constraint(b, c, d, 70)
    s.add_distance_constraint(c, d, 8)
    s.add_midpoint_constraint(mid, on_base, d)
    s.add_symmetry_constraint(mirror_out, mirror_in, base)
    s.add_fixed_point_constraint(mirror_in, 7, 2)
    s.add_point_line_distance_constraint(above, base, 2.5)
    s.add_vertical_constraint(a, above)
    s.add_coincident_constraint(above, twin)
    solve_ok(s, tol=1e-10)
    P = s.get_points()
    A, B = P[a], P[b]
    assert distance_to_line(P[on_base], A, B) < GEOMETRY_TOL
    assert dist(P[a], P[on_base]) == pytest.approx(3, abs=GEOMETRY_TOL)
    assert distance_to_line(P[crossing], A, B) < GEOMETRY_TOL
    assert distance_to_line(P[crossing], P[c], P[d]) < GEOMETRY_TOL
    assert angle_between(sub(P[b], P[c]), sub(P[d], P[c])) == pytest.approx(70, abs=1e-6)
    assert dist(P[c], P[d]) == pytest.approx(8, abs=GEOMETRY_TOL)
    assert P[mid] == pytest.approx(((P[on_base][0] + P[d][0]) / 2, (P[on_base][1] + P[d][1]) / 2), abs=GEOMETRY_TOL)
    assert P[mirror_in] == pytest.approx((7, 2), abs=GEOMETRY_TOL)
    assert P[mirror_out] == pytest.approx((7, -2), abs=GEOMETRY_TOL)
    assert distance_to_line(P[above], A, B) == pytest.approx(2.5, abs=GEOMETRY_TOL)
    assert P[above][0] == 0.0
    assert P[twin] == P[above]


def test_plate_with_tangent_fillet():
    """A 100 x 60 plate whose top-right corner is a fillet arc of radius 10."""
    s = ovralis.System()
    origin = s.add_point(0, 0, True)
    bottom_right = s.add_point(97, 2)
    fillet_start = s.add_point(99, 48)
    fillet_end = s.add_point(88, 61)
    top_left = s.add_point(1, 58)
    centre = s.add_point(91, 47)
    right = s.add_line(bottom_right, fillet_start)
    top = s.add_line(fillet_end, top_left)
    fillet = s.add_arc(centre, fillet_start, fillet_end, 8)
    s.add_horizontal_constraint(origin, bottom_right)
    s.add_vertical_constraint(bottom_right, fillet_start)
    s.add_horizontal_constraint(fillet_end, top_left)
    s.add_vertical_constraint(origin, top_left)
    s.add_distance_constraint(origin, bottom_right, 100)
    s.add_distance_constraint(origin, top_left, 60)
    s.add_constraint(ovralis.arc_radius_constraint(fillet, 10))
    s.add_constraint(ovralis.point_on_arc_constraint(fillet_start, fillet))
    s.add_constraint(ovralis.point_on_arc_constraint(fillet_end, fillet))
    s.add_constraint(ovralis.line_arc_start_tangent_constraint(right, fillet))
    s.add_constraint(ovralis.line_arc_end_tangent_constraint(top, fillet))
    solve_ok(s, tol=1e-12)
    P = s.get_points()
    radius = s.get_arc(fillet)[3]
    assert radius == pytest.approx(10, abs=GEOMETRY_TOL)
    assert P[bottom_right] == pytest.approx((100, 0), abs=GEOMETRY_TOL)
    assert P[top_left] == pytest.approx((0, 60), abs=GEOMETRY_TOL)
    # Tangency: the centre lies one radius from each side, at the contact point.
    assert distance_to_line(P[centre], P[bottom_right], P[fillet_start]) == pytest.approx(10, abs=GEOMETRY_TOL)
    assert distance_to_line(P[centre], P[fillet_end], P[top_left]) == pytest.approx(10, abs=GEOMETRY_TOL)
    assert dist(P[centre], P[fillet_start]) == pytest.approx(10, abs=GEOMETRY_TOL)
    assert dist(P[centre], P[fillet_end]) == pytest.approx(10, abs=GEOMETRY_TOL)
    assert P[centre] == pytest.approx((90, 50), abs=GEOMETRY_TOL)
    assert ccw_sweep(P[centre], P[fillet_start], P[fillet_end]) == pytest.approx(90, abs=1e-6)


# --- Circles and arcs -----------------------------------------------------------


def test_circle_tangencies_and_equalities():
    s = ovralis.System()
    c0 = s.add_point(0, 0, True)
    c1, c2, c3, c4 = s.add_point(3.4, 0.5), s.add_point(0.3, 0.4), s.add_point(5.4, 0.6), s.add_point(5.1, 0.3)
    rim = s.add_point(1.5, 1.6)
    g0, g1 = s.add_point(-5, 2.5), s.add_point(5, 2.4)
    ground = s.add_line(g0, g1)
    big = s.add_circle(c0, 2.2)
    side = s.add_circle(c1, 1.2)
    inner = s.add_circle(c2, 0.8)
    twin = s.add_circle(c3, 1.5)
    ring = s.add_circle(c4, 2.5)
    s.add_circle_radius_constraint(big, 2)
    s.add_circle_circle_tangent_constraint(big, side)
    s.add_circle_radius_constraint(side, 1)
    s.add_horizontal_constraint(c0, c1)
    s.add_circle_circle_tangent_internal_constraint(big, inner)
    s.add_circle_radius_constraint(inner, 0.5)
    s.add_vertical_constraint(c0, c2)
    s.add_point_on_circle_constraint(rim, big)
    s.add_vertical_constraint(c0, rim)
    s.add_line_circle_tangent_constraint(ground, big)
    s.add_horizontal_constraint(g0, g1)
    s.add_equal_radius_constraint(side, twin)
    s.add_concentric_constraint(twin, ring)
    s.add_circle_circle_tangent_constraint(side, twin)
    s.add_horizontal_constraint(c1, c3)
    s.add_circle_radius_constraint(ring, 3)
    solve_ok(s, tol=1e-12)
    P = s.get_points()
    R = [r for _, r in s.get_circles()]
    centre = [P[idx] for idx, _ in s.get_circles()]
    assert R[big] == pytest.approx(2, abs=GEOMETRY_TOL)
    assert dist(centre[big], centre[side]) == pytest.approx(R[big] + R[side], abs=GEOMETRY_TOL)
    assert dist(centre[big], centre[inner]) == pytest.approx(abs(R[big] - R[inner]), abs=GEOMETRY_TOL)
    assert dist(P[rim], centre[big]) == pytest.approx(R[big], abs=GEOMETRY_TOL)
    assert distance_to_line(centre[big], P[g0], P[g1]) == pytest.approx(R[big], abs=GEOMETRY_TOL)
    assert R[twin] == pytest.approx(R[side], abs=GEOMETRY_TOL)
    assert centre[twin] == centre[ring]
    assert dist(centre[side], centre[twin]) == pytest.approx(R[side] + R[twin], abs=GEOMETRY_TOL)
    assert R[ring] == pytest.approx(3, abs=GEOMETRY_TOL)


def test_arc_tangencies_and_sweep():
    s = ovralis.System()
    ca = s.add_point(0, 0, True)
    sa, ea = s.add_point(2.1, 0.2), s.add_point(0.3, 1.9)
    cb = s.add_point(4.8, 0.4)
    sb, eb = s.add_point(6.5, 0.3), s.add_point(4.9, 1.8)
    cc = s.add_point(0.6, 0.3)
    sc, ec = s.add_point(1.2, 0.2), s.add_point(0.5, 1.1)
    cd = s.add_point(-3.2, 0.2)
    ci = s.add_point(1.1, 0.6)
    lt0, lt1 = s.add_point(-4, -2.3), s.add_point(4, -2.1)
    tangent_line = s.add_line(lt0, lt1)
    a = s.add_arc(ca, sa, ea, 2.2)
    b = s.add_arc(cb, sb, eb, 1.7)
    c = s.add_arc(cc, sc, ec, 0.9)
    circle = s.add_circle(cd, 1.1)
    circle_in = s.add_circle(ci, 0.3)
    for constraint in (
        ovralis.arc_radius_constraint(a, 2),
        ovralis.point_on_arc_constraint(sa, a),
        ovralis.point_on_arc_constraint(ea, a),
        ovralis.arc_sweep_angle_constraint(a, 80),
        ovralis.arc_arc_tangent_constraint(a, b),
        ovralis.arc_radius_constraint(b, 1.5),
        ovralis.arc_arc_tangent_internal_constraint(a, c),
        ovralis.arc_radius_constraint(c, 1),
        ovralis.arc_circle_tangent_constraint(a, circle),
        ovralis.circle_radius_constraint(circle, 1),
        ovralis.arc_circle_tangent_internal_constraint(c, circle_in),
        ovralis.circle_radius_constraint(circle_in, 0.4),
        ovralis.line_arc_tangent_constraint(tangent_line, a),
        ovralis.horizontal_constraint(lt0, lt1),
        ovralis.horizontal_constraint(ca, cb),
        ovralis.horizontal_constraint(ca, cd),
        ovralis.horizontal_constraint(ca, sa),
    ):
        s.add_constraint(constraint)
    solve_ok(s, tol=1e-12)
    P = s.get_points()
    arcs = s.get_arcs()
    r = {i: arcs[i][3] for i in (a, b, c)}
    circles = s.get_circles()
    assert r[a] == pytest.approx(2, abs=GEOMETRY_TOL)
    assert dist(P[sa], P[ca]) == pytest.approx(2, abs=GEOMETRY_TOL)
    assert dist(P[ea], P[ca]) == pytest.approx(2, abs=GEOMETRY_TOL)
    assert ccw_sweep(P[ca], P[sa], P[ea]) == pytest.approx(80, abs=1e-6)
    assert dist(P[ca], P[cb]) == pytest.approx(r[a] + r[b], abs=GEOMETRY_TOL)
    assert dist(P[ca], P[cc]) == pytest.approx(abs(r[a] - r[c]), abs=GEOMETRY_TOL)
    assert dist(P[ca], P[cd]) == pytest.approx(r[a] + circles[circle][1], abs=GEOMETRY_TOL)
    assert dist(P[cc], P[ci]) == pytest.approx(abs(r[c] - circles[circle_in][1]), abs=GEOMETRY_TOL)
    assert r[c] == pytest.approx(1, abs=GEOMETRY_TOL)
    assert distance_to_line(P[ca], P[lt0], P[lt1]) == pytest.approx(r[a], abs=GEOMETRY_TOL)


# --- Documents with ellipse kinds -------------------------------------------------


def document(points, constraints, lines=(), circles=(), arcs=(), ellipses=(), arcs_of_ellipse=()):
    return json.dumps(
        {
            "points": [{"x": x, "y": y, "fixed": fixed} for x, y, fixed in points],
            "lines": [{"p1": p1, "p2": p2} for p1, p2 in lines],
            "circles": [{"center": c, "radius": r, "fixed": f} for c, r, f in circles],
            "arcs": [{"center": c, "start": a, "end": b, "radius": r, "fixed": f} for c, a, b, r, f in arcs],
            "ellipses": [{"center": c, "focus1": f1, "radmin": b, "fixed": f} for c, f1, b, f in ellipses],
            "arcs_of_ellipse": [
                {"center": c, "focus1": f1, "radmin": b, "start": a, "end": e, "fixed": f}
                for c, f1, b, a, e, f in arcs_of_ellipse
            ],
            "constraints": [{kind: fields} for kind, fields in constraints],
        }
    )


def ellipse_axes(points, ellipse):
    """Centre, unit major direction, major and minor radii of a stored ellipse."""
    centre, focus = points[ellipse["center"]], points[ellipse["focus1"]]
    c = dist(centre, focus)
    b = ellipse["radmin"]
    axis = (1.0, 0.0) if c == 0 else ((focus[0] - centre[0]) / c, (focus[1] - centre[1]) / c)
    return centre, focus, axis, math.sqrt(c * c + b * b), b


def test_ellipse_document_solves():
    points = [
        (0, 0, True),  # 0 centre of e1
        (2.6, 0.0, False),  # 1 focus of e1
        (0.0, 4.4, False),  # 2 on e1
        (0.0, 4.6, False),  # 3 tangent line start
        (2.1, 4.5, False),  # 4 tangent line end
        (20, 0, True),  # 5 centre of e2
        (20, 3.5, False),  # 6 focus of e2
        (3, -10, True),  # 7 guide for x = 3
        (3, 3.5, False),  # 8 on the arc of ellipse
    ]
    constraints = [
        ("EllipseRadmin", {"ellipse": 0, "r": 4}),
        ("EllipseFocusDistance", {"ellipse": 0, "d": 6}),
        ("Horizontal", {"p1": 0, "p2": 1}),
        ("PointOnEllipse", {"point": 2, "ellipse": 0}),
        ("Vertical", {"p1": 0, "p2": 2}),
        ("EllipseTangentLine", {"line": 0, "ellipse": 0}),
        ("Vertical", {"p1": 0, "p2": 3}),
        ("Horizontal", {"p1": 3, "p2": 4}),
        ("Distance", {"p1": 3, "p2": 4, "d": 2}),
        ("EqualMajorAxes", {"e1": 0, "e2": 1}),
        ("EqualMinorAxes", {"e1": 0, "e2": 1}),
        ("Vertical", {"p1": 5, "p2": 6}),
        ("PointOnArcOfEllipse", {"point": 8, "arc_of_ellipse": 0}),
        ("Vertical", {"p1": 7, "p2": 8}),
    ]
    text = document(
        points,
        constraints,
        lines=[(3, 4)],
        ellipses=[(0, 1, 3.7, False), (5, 6, 3.0, False)],
        arcs_of_ellipse=[(0, 1, 4.0, 2, 8, True)],
    )
    s = ovralis.System.from_json(text)
    solve_ok(s, tol=1e-12)
    doc = json.loads(s.to_json())
    P = [(p["x"], p["y"]) for p in doc["points"]]
    e1, e2 = doc["ellipses"]
    centre, focus, axis, a, b = ellipse_axes(P, e1)
    second_focus = (2 * centre[0] - focus[0], 2 * centre[1] - focus[1])
    assert b == pytest.approx(4, abs=GEOMETRY_TOL)
    assert 2 * dist(centre, focus) == pytest.approx(6, abs=GEOMETRY_TOL)
    assert a == pytest.approx(5, abs=GEOMETRY_TOL)
    # On the ellipse: the focal distances sum to the major axis.
    assert dist(P[2], focus) + dist(P[2], second_focus) == pytest.approx(2 * a, abs=GEOMETRY_TOL)
    # Tangent line: its distance from the centre equals the support function.
    line_dir = sub(P[4], P[3])
    normal = (-line_dir[1] / math.hypot(*line_dir), line_dir[0] / math.hypot(*line_dir))
    along_major, along_minor = dot(normal, axis), cross(axis, normal)
    support = math.sqrt((a * along_major) ** 2 + (b * along_minor) ** 2)
    assert abs(dot(sub(P[3], centre), normal)) == pytest.approx(support, abs=GEOMETRY_TOL)
    centre2, focus2, _, a2, b2 = ellipse_axes(P, e2)
    assert a2 == pytest.approx(a, abs=GEOMETRY_TOL)
    assert b2 == b
    assert focus2[0] == centre2[0]
    arc = doc["arcs_of_ellipse"][0]
    assert arc["radmin"] == 4.0  # fixed
    _, arc_focus, _, arc_a, _ = ellipse_axes(P, arc)
    arc_second = (-arc_focus[0], -arc_focus[1])
    assert dist(P[8], arc_focus) + dist(P[8], arc_second) == pytest.approx(2 * arc_a, abs=GEOMETRY_TOL)
    assert P[8][0] == 3.0


def test_length_kinds_from_a_document():
    points = [
        (0, 0, True),  # 0
        (8, 0.3, False),  # 1
        (1.5, 0.5, False),  # 2 a quarter along line 0
        (0, 10, True),  # 3
        (7, 10.4, False),  # 4
        (20, 0, True),  # 5 centre of circle 0
        (26, 1, False),  # 6 centre of circle 1
        (23, 3, False),  # 7 near circle 0
        (30, 0, True),  # 8 arc centre
        (33, 0.2, False),  # 9 arc start
        (30.2, 2.9, False),  # 10 arc end
    ]
    constraints = [
        ("FixedPoint", {"point": 1, "x": 8, "y": 0}),
        ("PointOnLineAt", {"point": 2, "line": 0, "t": 0.25}),
        ("EqualLineLength", {"l1": 0, "l2": 1}),
        ("Horizontal", {"p1": 3, "p2": 4}),
        ("C2CDistance", {"c1": 0, "c2": 1, "d": 6}),
        ("Horizontal", {"p1": 5, "p2": 6}),
        ("CircleRadius", {"circle": 0, "r": 2}),
        ("P2CDistance", {"point": 7, "circle": 0, "d": 1.5}),
        ("Vertical", {"p1": 5, "p2": 7}),
        ("ArcRadius", {"arc": 0, "r": 3}),
        ("PointOnArc", {"point": 9, "arc": 0}),
        ("PointOnArc", {"point": 10, "arc": 0}),
        ("Horizontal", {"p1": 8, "p2": 9}),
        ("ArcLength", {"arc": 0, "len": 3 * math.pi / 2}),
    ]
    text = document(
        points,
        constraints,
        lines=[(0, 1), (3, 4)],
        circles=[(5, 2.3, False), (6, 1.0, True)],
        arcs=[(8, 9, 10, 2.8, False)],
    )
    s = ovralis.System.from_json(text)
    solve_ok(s, tol=1e-12)
    P = s.get_points()
    assert P[1] == pytest.approx((8, 0), abs=GEOMETRY_TOL)
    assert P[2] == pytest.approx((2, 0), abs=GEOMETRY_TOL)
    assert dist(P[3], P[4]) == pytest.approx(8, abs=GEOMETRY_TOL)
    assert dist(P[5], P[6]) == pytest.approx(6, abs=GEOMETRY_TOL)
    assert s.get_circle(1) == (6, 1.0)
    assert dist(P[7], P[5]) - s.get_circle(0)[1] == pytest.approx(1.5, abs=GEOMETRY_TOL)
    radius = s.get_arc(0)[3]
    assert radius == pytest.approx(3, abs=GEOMETRY_TOL)
    assert math.radians(ccw_sweep(P[8], P[9], P[10])) * radius == pytest.approx(3 * math.pi / 2, abs=GEOMETRY_TOL)


# --- Edge cases --------------------------------------------------------------------


def anchored_pair(d, fixed_second=False):
    s = ovralis.System()
    s.add_point(0, 0, True)
    s.add_point(3, 4, fixed_second)
    s.add_distance_constraint(0, 1, d)
    return s


def test_no_constraints():
    s = ovralis.System()
    s.add_point(1, 2)
    s.add_point(3, 5)
    result = s.solve()
    assert result.converged
    assert result.iterations == 0
    assert result.max_residual == 0.0
    assert math.copysign(1.0, result.residual_cost) == -1.0
    assert s.get_points() == [(1, 2), (3, 5)]


def test_already_satisfied_takes_no_iteration():
    s = anchored_pair(5)
    result = s.solve()
    assert result.converged
    assert result.iterations == 0
    assert s.get_point(1) == pytest.approx((3, 4), abs=1e-14)


@pytest.mark.parametrize("d, converged", [(5, True), (7, False)])
def test_max_iter_zero_judges_the_start(d, converged):
    s = anchored_pair(d)
    result = s.solve(max_iter=0)
    assert result.converged is converged
    assert result.iterations == 0
    assert s.get_point(1) == pytest.approx((3, 4), abs=1e-14)


@pytest.mark.parametrize("d, converged", [(5, True), (7, False)])
def test_no_free_variables(d, converged):
    s = anchored_pair(d, fixed_second=True)
    result = s.solve()
    assert result.converged is converged
    assert result.iterations == 0
    assert result.max_residual == pytest.approx(abs(d - 5))


@pytest.mark.parametrize("d", [math.inf, math.nan])
def test_non_finite_constraint_does_not_converge(d):
    s = anchored_pair(d)
    result = s.solve()
    assert not result.converged
    assert s.get_point(1) == (3, 4)  # back in the caller's units, untouched


def test_nan_coordinate_does_not_spoil_the_other_points():
    s = ovralis.System()
    s.add_point(1, 1)
    s.add_point(math.nan, 0)
    s.add_point(7, 2)
    s.add_distance_constraint(0, 1, 1)
    result = s.solve()
    assert not result.converged
    assert s.get_point(2) == (7, 2)


def test_converging_sketch_reports_the_iterations_it_took():
    def sketch():
        s = ovralis.System()
        s.add_point(0, 0, True)
        s.add_point(2.5, 0.7)
        s.add_point(0.4, 3.6)
        s.add_distance_constraint(0, 1, 3)
        s.add_distance_constraint(1, 2, 5)
        s.add_distance_constraint(0, 2, 4)
        s.add_horizontal_constraint(0, 1)
        return s

    # The count includes the refinement after convergence: a budget of that
    # many reproduces the answer; one iteration (and its recovery) is not enough.
    solved = sketch()
    taken = solved.solve(tol=1e-10).iterations
    assert 1 < taken < 200
    again = sketch()
    assert again.solve(max_iter=taken, tol=1e-10).converged
    assert again.get_points() == solved.get_points()
    short = sketch().solve(max_iter=1, tol=1e-10)
    assert not short.converged
    assert 1 <= short.iterations <= 2


# A point held by its distances from two fixed points far away on one side:
# the circles meet at an angle of about 1/far**2 radians, so J is nearly
# singular and a start off along the circles has a tiny residual. The answer
# must still be their intersection, to the digits the angle leaves.
@pytest.mark.parametrize("far, offset", [(1000.0, 0.01), (1000.0, 0.1), (10000.0, 1.0)])
def test_shallow_intersection_is_found_to_rounding(far, offset):
    target = (far, 1.0)
    s = ovralis.System()
    s.add_point(0, 0, True)
    s.add_point(1, 0, True)
    along = (-target[1] / math.hypot(*target), target[0] / math.hypot(*target))
    s.add_point(target[0] + offset * along[0], target[1] + offset * along[1])
    s.add_distance_constraint(0, 2, dist((0, 0), target))
    s.add_distance_constraint(1, 2, dist((1, 0), target))
    assert s.solve().converged
    got = s.get_point(2)
    assert abs(dist(got, (0, 0)) - dist((0, 0), target)) <= 1e-14 * far
    assert abs(dist(got, (1, 0)) - dist((1, 0), target)) <= 1e-14 * far
    assert dist(got, target) <= 1e-7 * far


def test_conflicting_fixed_values_in_an_equality_do_not_converge():
    s = ovralis.System()
    s.add_point(0, 0, True)
    s.add_point(4, 0.5)
    s.add_point(10, 1, True)
    s.add_horizontal_constraint(0, 1)
    s.add_horizontal_constraint(1, 2)
    s.add_distance_constraint(0, 1, 5)
    result = s.solve()
    assert not result.converged
    assert result.max_residual == pytest.approx(1.0)
    assert s.get_point(2) == (10, 1)


def test_solving_keeps_every_user_value_bit_for_bit():
    s = ovralis.System()
    s.add_point(0.1 + 0.2, 1 / 3, True)
    s.add_point(2.9, 0.35)
    s.add_point(1.3, 2.7)
    s.add_point(2 / 7, 5 / 11, True)
    s.add_circle(3, 1 / 9 + 1, True)
    s.add_circle(1, 0.7)
    s.add_arc(2, 1, 0, math.sqrt(2), True)
    s.add_distance_constraint(0, 1, 2.6 / 0.7)
    s.add_distance_constraint(1, 2, 0.3 / 0.11)
    s.add_fixed_point_constraint(2, 1.1 / 0.9, 2.9 / 1.1)
    s.add_circle_radius_constraint(1, 0.3 / 7 + 1)
    s.add_point_line_distance_constraint(2, s.add_line(0, 1), 1 / 0.7)
    before = json.loads(s.to_json())
    s.solve(max_iter=30)
    after = json.loads(s.to_json())
    for c_before, c_after in zip(before["constraints"], after["constraints"]):
        (kind, fields_before), = c_before.items()
        for name, value in fields_before.items():
            assert bits(c_after[kind][name]) == bits(value), (kind, name)
    for i in (0, 3):
        assert bits(after["points"][i]["x"]) == bits(before["points"][i]["x"])
        assert bits(after["points"][i]["y"]) == bits(before["points"][i]["y"])
    assert bits(after["circles"][0]["radius"]) == bits(before["circles"][0]["radius"])
    assert bits(after["arcs"][0]["radius"]) == bits(before["arcs"][0]["radius"])


def test_fixed_ellipse_radmin_survives_bit_for_bit():
    text = document(
        [(0.1, 0.2, True), (1 / 3, 0.2, False), (0.7, 0.9, False)],
        [("EllipseFocusDistance", {"ellipse": 0, "d": 0.9 / 0.7}), ("PointOnEllipse", {"point": 2, "ellipse": 0})],
        ellipses=[(0, 1, 0.3 / 0.7, True)],
    )
    s = ovralis.System.from_json(text)
    s.solve()
    after = json.loads(s.to_json())
    assert bits(after["ellipses"][0]["radmin"]) == bits(0.3 / 0.7)
    assert bits(after["constraints"][0]["EllipseFocusDistance"]["d"]) == bits(0.9 / 0.7)


def test_bad_reference_raises_before_anything_changes():
    s = anchored_pair(7)
    s.add_distance_constraint(0, 9, 1)
    before = s.to_json()
    with pytest.raises(ValueError):
        s.solve()
    assert s.to_json() == before
    with pytest.raises(ValueError):
        s.diagnostics()


def test_result_is_measured_in_the_callers_units():
    s = ovralis.System()
    s.add_point(0, 0, True)
    s.add_point(300, 400)
    s.add_distance_constraint(0, 1, 600)
    result = s.solve(tol=1e-12)
    assert result.converged
    assert dist(s.get_point(0), s.get_point(1)) == pytest.approx(600, abs=1e-7)
    assert result.max_residual == pytest.approx(abs(dist(s.get_point(0), s.get_point(1)) - 600), abs=1e-12)


# --- Degrees of freedom and diagnostics -------------------------------------------


def dof_repr(s):
    return repr(s.analyze_dof())


def test_empty_system_analyses():
    s = ovralis.System()
    assert dof_repr(s) == "DofAnalysis(free_vars=0, equations=0, dof=0, status='fully_constrained')"
    d = s.diagnostics()
    assert (d.num_points, d.num_fixed_points, d.num_free_points, d.num_lines, d.num_circles, d.num_arcs) == (0,) * 6
    assert d.num_constraints == 0
    assert d.max_residual == 0.0
    assert math.copysign(1.0, d.residual_cost) == -1.0


def build(points, constraints=(), circles=()):
    s = ovralis.System()
    for fixed in points:
        s.add_point(0, 0, fixed)
    for centre, fixed in circles:
        s.add_circle(centre, 1, fixed)
    for c in constraints:
        s.add_constraint(c)
    return s


@pytest.mark.parametrize(
    "system, free, equations, dof, status",
    [
        (lambda: build([False, False], [ovralis.distance_constraint(0, 1, 1)]), 4, 1, 3, "underconstrained"),
        (lambda: build([False], [ovralis.fixed_point_constraint(0, 1, 2)]), 2, 2, 0, "fully_constrained"),
        (
            lambda: build(
                [False, False],
                [
                    ovralis.fixed_point_constraint(0, 0, 0),
                    ovralis.fixed_point_constraint(1, 5, 0),
                    ovralis.horizontal_constraint(0, 1),
                ],
            ),
            4,
            5,
            -1,
            "overconstrained",
        ),
        (lambda: build([True], [ovralis.fixed_point_constraint(0, 1, 2)]), 0, 2, -2, "overconstrained"),
        (lambda: build([False], circles=[(0, True)]), 2, 0, 2, "underconstrained"),
        (
            lambda: build([False, False], [ovralis.concentric_constraint(0, 1)], circles=[(0, False), (1, False)]),
            6,
            2,
            4,
            "underconstrained",
        ),
    ],
)
def test_dof_counts(system, free, equations, dof, status):
    analysis = system().analyze_dof()
    assert analysis.free_variables == free
    assert analysis.constraint_equations == equations
    assert analysis.degrees_of_freedom == dof
    assert analysis.status == status


def test_overconstrained_repr_prints_the_sign():
    s = build([False, False], [ovralis.fixed_point_constraint(0, 0, 0), ovralis.fixed_point_constraint(1, 5, 0),
                               ovralis.horizontal_constraint(0, 1)])
    assert dof_repr(s) == "DofAnalysis(free_vars=4, equations=5, dof=-1, status='overconstrained')"


def test_diagnostics_counts_and_residuals():
    s = ovralis.System()
    s.add_point(0, 0, True)
    s.add_point(3, 4)
    s.add_point(1, 1)
    s.add_line(0, 1)
    s.add_line(1, 2)
    s.add_circle(2, 1)
    s.add_distance_constraint(0, 1, 7)
    s.add_fixed_point_constraint(2, 1, 3)
    d = s.diagnostics()
    assert (d.num_points, d.num_fixed_points, d.num_free_points) == (3, 1, 2)
    assert (d.num_lines, d.num_circles, d.num_arcs, d.num_constraints) == (2, 1, 0, 2)
    assert d.dof.degrees_of_freedom == 4 + 1 - 3
    assert d.max_residual == 2.0
    assert d.residual_cost == 4.0 + 0.0 + 4.0
    assert repr(d) == "Diagnostics(points=3, lines=2, circles=1, constraints=2, dof=2)"


def test_diagnostics_without_residuals_evaluates_none():
    s = anchored_pair(5)
    s.add_distance_constraint(0, 9, 1)  # would fail if residuals were evaluated
    d = s.diagnostics(include_residuals=False)
    assert d.max_residual is None
    assert d.residual_cost is None
