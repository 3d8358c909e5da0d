"""Point, Line, Circle, Arc and Constraint objects and the constructor functions."""

import math

import pytest

import ovralis


@pytest.mark.parametrize("value, expected", [
    (ovralis.Point(), "Point(x=0.000000, y=0.000000, fixed=false)"),
    (ovralis.Point(3, 0), "Point(x=3.000000, y=0.000000, fixed=false)"),
    (ovralis.Point(2.5, -1.25, True), "Point(x=2.500000, y=-1.250000, fixed=true)"),
    # exact ties at the sixth digit round to even: 1/128 and 3/128
    (ovralis.Point(0.0078125, 0.0234375), "Point(x=0.007812, y=0.023438, fixed=false)"),
    (ovralis.Point(-0.0, 1e-7), "Point(x=-0.000000, y=0.000000, fixed=false)"),
    (ovralis.Point(math.nan, -math.inf), "Point(x=NaN, y=-inf, fixed=false)"),
    (ovralis.Point(1e20, 0), "Point(x=100000000000000000000.000000, y=0.000000, fixed=false)"),
    (ovralis.Line(0, 7), "Line(p1=0, p2=7)"),
    (ovralis.Line(2**64 - 1, 0), "Line(p1=18446744073709551615, p2=0)"),
    (ovralis.Circle(4), "Circle(center=4, radius=0.000000, fixed=false)"),
    (ovralis.Circle(1, 2.0000004, True), "Circle(center=1, radius=2.000000, fixed=true)"),
    (ovralis.Arc(0, 1, 2), "Arc(center=0, start=1, end=2, radius=0.000000, fixed=false)"),
    (ovralis.Arc(0, 1, 2, 1.5, fixed=True), "Arc(center=0, start=1, end=2, radius=1.500000, fixed=true)"),
    (ovralis.horizontal_constraint(0, 1), "Constraint(kind='Horizontal')"),
])
def test_reprs(value, expected):
    assert repr(value) == expected


def test_point_defaults_and_types():
    p = ovralis.Point()
    assert (p.x, p.y, p.fixed) == (0.0, 0.0, False)
    q = ovralis.Point(1, 2, fixed=True)
    assert type(q.x) is float and type(q.fixed) is bool
    assert (q.x, q.y, q.fixed) == (1.0, 2.0, True)


def test_point_attributes_are_writable_with_constructor_conversion():
    p = ovralis.Point()
    p.x, p.y, p.fixed = 2, 3.5, True
    assert repr(p) == "Point(x=2.000000, y=3.500000, fixed=true)"
    with pytest.raises(TypeError, match="Point.fixed must be bool, not int"):
        p.fixed = 1
    with pytest.raises(TypeError, match="Point.x must be real number, not str"):
        p.x = "1"
    assert repr(p) == "Point(x=2.000000, y=3.500000, fixed=true)"


@pytest.mark.parametrize("obj, attribute", [
    (ovralis.Point(), "x"), (ovralis.Point(), "y"), (ovralis.Point(), "fixed"),
    (ovralis.Circle(0), "radius"), (ovralis.Arc(0, 1, 2), "radius"),
])
def test_deleting_a_writable_attribute(obj, attribute):
    with pytest.raises(AttributeError, match="^can't delete attribute$"):
        delattr(obj, attribute)


@pytest.mark.parametrize("obj, attribute", [
    (ovralis.Line(0, 1), "p1"), (ovralis.Line(0, 1), "p2"),
    (ovralis.Circle(0), "center"), (ovralis.Circle(0), "fixed"),
    (ovralis.Arc(0, 1, 2), "center"), (ovralis.Arc(0, 1, 2), "start"),
    (ovralis.Arc(0, 1, 2), "end"), (ovralis.Arc(0, 1, 2), "fixed"),
])
def test_read_only_attributes(obj, attribute):
    before = getattr(obj, attribute)
    with pytest.raises(AttributeError, match="not writable"):
        setattr(obj, attribute, before)
    with pytest.raises(AttributeError, match="not writable"):
        delattr(obj, attribute)


def test_circle_radius_write():
    c = ovralis.Circle(0)
    assert c.radius == 0.0
    c.radius = 2
    assert repr(c) == "Circle(center=0, radius=2.000000, fixed=false)"


def test_arc_attributes():
    a = ovralis.Arc(3, 4, 5, radius=2.0, fixed=True)
    assert (a.center, a.start, a.end, a.radius, a.fixed) == (3, 4, 5, 2.0, True)


def test_point_distance():
    assert ovralis.Point(0, 0).distance(ovralis.Point(3, 4)) == 5.0
    assert ovralis.Point(1, 1, fixed=True).distance(other=ovralis.Point(1, 1)) == 0.0
    with pytest.raises(TypeError, match="distance\\(\\) argument 'other' must be Point, not ovralis.Line$"):
        ovralis.Point(0, 0).distance(ovralis.Line(0, 1))


@pytest.mark.parametrize("call, message", [
    (lambda: ovralis.Line(0), r"Line\(\) missing required argument 'p2' \(pos 2\)"),
    (lambda: ovralis.Circle(), r"Circle\(\) missing required argument 'center' \(pos 1\)"),
    (lambda: ovralis.Point(fixed=1), r"Point\(\) argument 'fixed' must be bool, not int"),
    (lambda: ovralis.Point(z=1), r"Point\(\) got an unexpected keyword argument 'z'"),
    (lambda: ovralis.Point(1, x=1), r"Point\(\) got multiple values for argument 'x'"),
    (lambda: ovralis.Arc(0, 1, 2, 3.0, False, 6), r"Arc\(\) takes at most 5 positional arguments \(6 given\)"),
    (lambda: ovralis.Line(0.5, 1), r"Line\(\) argument 'p1' must be int, not float"),
])
def test_value_class_argument_errors(call, message):
    with pytest.raises(TypeError, match=message):
        call()


def test_negative_index_is_an_overflow():
    with pytest.raises(OverflowError, match="Arc\\(\\) argument 'end'"):
        ovralis.Arc(0, 1, -2)


@pytest.mark.parametrize("cls", [ovralis.Constraint, ovralis.SolveResult, ovralis.DofAnalysis,
                                 ovralis.SolverDiagnostics])
def test_module_made_classes_have_no_constructor(cls):
    with pytest.raises(TypeError, match=f"^No constructor defined for {cls.__name__}$"):
        cls()


@pytest.mark.parametrize("cls", [ovralis.Point, ovralis.Line, ovralis.Constraint, ovralis.System])
def test_no_comparison_or_hash_of_their_own(cls):
    assert cls.__eq__ is object.__eq__
    assert cls.__hash__ is object.__hash__


# (constructor, arguments, kind name, equation count)
CONSTRUCTORS = [
    ("distance_constraint", (0, 1, 5.0), "Distance", 1),
    ("horizontal_constraint", (0, 1), "Horizontal", 1),
    ("vertical_constraint", (0, 1), "Vertical", 1),
    ("coincident_constraint", (0, 1), "Coincident", 2),
    ("point_on_line_constraint", (0, 1), "PointOnLine", 1),
    ("point_line_distance_constraint", (0, 1, 2.0), "PointLineDistance", 1),
    ("parallel_constraint", (0, 1), "Parallel", 1),
    ("perpendicular_constraint", (0, 1), "Perpendicular", 1),
    ("angle_constraint", (0, 1, 30.0), "Angle", 1),
    ("equal_length_constraint", (0, 1), "EqualLength", 1),
    ("line_line_intersection_constraint", (0, 1, 2), "LineLineIntersection", 2),
    ("fixed_point_constraint", (0, 1.0, 2.0), "FixedPoint", 2),
    ("point_on_circle_constraint", (0, 1), "PointOnCircle", 1),
    ("line_circle_tangent_constraint", (0, 1), "LineCircleTangent", 1),
    ("circle_circle_tangent_constraint", (0, 1), "CircleCircleTangent", 1),
    ("circle_circle_tangent_internal_constraint", (0, 1), "CircleCircleTangentInternal", 1),
    ("equal_radius_constraint", (0, 1), "EqualRadius", 1),
    ("concentric_constraint", (0, 1), "Concentric", 2),
    ("circle_radius_constraint", (0, 1.0), "CircleRadius", 1),
    ("angle_between_points_constraint", (0, 1, 2, 90.0), "AngleBetweenPoints", 1),
    ("midpoint_constraint", (0, 1, 2), "Midpoint", 2),
    ("symmetry_constraint", (0, 1, 2), "Symmetry", 2),
    ("point_on_arc_constraint", (0, 1), "PointOnArc", 1),
    ("line_arc_tangent_constraint", (0, 1), "LineArcTangent", 1),
    ("line_arc_start_tangent_constraint", (0, 1), "LineArcStartTangent", 1),
    ("line_arc_end_tangent_constraint", (0, 1), "LineArcEndTangent", 1),
    ("arc_arc_tangent_constraint", (0, 1), "ArcArcTangent", 1),
    ("arc_arc_tangent_internal_constraint", (0, 1), "ArcArcTangentInternal", 1),
    ("arc_circle_tangent_constraint", (0, 1), "ArcCircleTangent", 1),
    ("arc_circle_tangent_internal_constraint", (0, 1), "ArcCircleTangentInternal", 1),
    ("arc_radius_constraint", (0, 2.0), "ArcRadius", 1),
    ("arc_sweep_angle_constraint", (0, 90.0), "ArcSweepAngle", 1),
]


@pytest.mark.parametrize("name, arguments, kind, equations", CONSTRUCTORS)
def test_constructor_builds_its_kind(name, arguments, kind, equations):
    constraint = getattr(ovralis, name)(*arguments)
    assert type(constraint) is ovralis.Constraint
    assert constraint.kind() == kind
    assert constraint.equation_count() == equations
    assert repr(constraint) == f"Constraint(kind='{kind}')"


@pytest.mark.parametrize("name, arguments, kind, equations", CONSTRUCTORS)
def test_constructor_takes_its_fields_by_keyword(name, arguments, kind, equations):
    import inspect

    function = getattr(ovralis, name)
    keywords = dict(zip(inspect.signature(function).parameters, arguments))
    assert function(**keywords).kind() == kind


@pytest.mark.parametrize("name, arguments, kind, equations", CONSTRUCTORS)
def test_constructor_argument_errors_name_the_field(name, arguments, kind, equations):
    import inspect

    function = getattr(ovralis, name)
    parameters = list(inspect.signature(function).parameters)
    with pytest.raises(TypeError, match=rf"^{name}\(\) missing required argument '{parameters[-1]}'"):
        function(*arguments[:-1])
    wrong = list(arguments)
    wrong[-1] = "x"
    expected = "real number" if isinstance(arguments[-1], float) else "int"
    with pytest.raises(TypeError, match=rf"^{name}\(\) argument '{parameters[-1]}' must be {expected}, not str"):
        function(*wrong)


def test_constructors_accept_any_real_value():
    for value in (-1.0, 0.0, math.inf, math.nan):
        assert ovralis.distance_constraint(0, 1, value).kind() == "Distance"
