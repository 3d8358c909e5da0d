"""The JSON document: System.to_json and System.from_json."""

import math

import pytest

import ovralis

# Every constraint kind in tag order with its fields in writer order; "r" marks
# a real field, anything else an index.
KINDS = [
    ("Distance", ["p1", "p2", "d:r"]),
    ("Horizontal", ["p1", "p2"]),
    ("Vertical", ["p1", "p2"]),
    ("Coincident", ["p1", "p2"]),
    ("PointOnLine", ["point", "line"]),
    ("Parallel", ["l1", "l2"]),
    ("Perpendicular", ["l1", "l2"]),
    ("Angle", ["l1", "l2", "deg:r"]),
    ("EqualLength", ["l1", "l2"]),
    ("FixedPoint", ["point", "x:r", "y:r"]),
    ("PointOnCircle", ["point", "circle"]),
    ("LineCircleTangent", ["line", "circle"]),
    ("CircleCircleTangent", ["c1", "c2"]),
    ("CircleCircleTangentInternal", ["c1", "c2"]),
    ("AngleBetweenPoints", ["a", "b", "c", "deg:r"]),
    ("Midpoint", ["m", "p1", "p2"]),
    ("EqualRadius", ["c1", "c2"]),
    ("Concentric", ["c1", "c2"]),
    ("Symmetry", ["p_out", "p_in", "line"]),
    ("PointLineDistance", ["point", "line", "d:r"]),
    ("LineLineIntersection", ["point", "l1", "l2"]),
    ("CircleRadius", ["circle", "r:r"]),
    ("PointOnLineAt", ["point", "line", "t:r"]),
    ("PointOnArc", ["point", "arc"]),
    ("LineArcTangent", ["line", "arc"]),
    ("ArcArcTangent", ["a1", "a2"]),
    ("ArcArcTangentInternal", ["a1", "a2"]),
    ("ArcCircleTangent", ["arc", "circle"]),
    ("ArcCircleTangentInternal", ["arc", "circle"]),
    ("ArcRadius", ["arc", "r:r"]),
    ("ArcSweepAngle", ["arc", "deg:r"]),
    ("LineArcStartTangent", ["line", "arc"]),
    ("LineArcEndTangent", ["line", "arc"]),
    ("PointOnEllipse", ["point", "ellipse"]),
    ("EllipseTangentLine", ["line", "ellipse"]),
    ("EqualMajorAxes", ["e1", "e2"]),
    ("EqualMinorAxes", ["e1", "e2"]),
    ("PointOnArcOfEllipse", ["point", "arc_of_ellipse"]),
    ("EllipseRadmin", ["ellipse", "r:r"]),
    ("C2CDistance", ["c1", "c2", "d:r"]),
    ("P2CDistance", ["point", "circle", "d:r"]),
    ("ArcLength", ["arc", "len:r"]),
    ("EqualLineLength", ["l1", "l2"]),
    ("EllipseFocusDistance", ["ellipse", "d:r"]),
]

SETTINGS = '"clamp_radii":true,"min_radius":1e-10,"track_convergence":false'
EMPTY_LISTS = '"circles":[],"arcs":[],"ellipses":[],"arcs_of_ellipse":[]'


def document(points="", lines="", constraints="", settings=SETTINGS):
    return (
        f'{{"points":[{points}],"lines":[{lines}],{EMPTY_LISTS},'
        f'"constraints":[{constraints}],{settings}}}'
    )


def constraint_text(number, kind, fields):
    """One constraint in writer form, with values derived from its position."""
    members = []
    for position, field in enumerate(fields):
        name, _, real = field.partition(":")
        value = f"{number}.{position + 5}" if real else str(number * 10 + position)
        members.append(f'"{name}":{value}')
    return f'{{"{kind}":{{{",".join(members)}}}}}'


def parse_error(text):
    with pytest.raises(ValueError) as caught:
        ovralis.System.from_json(text)
    return str(caught.value)


def drain_kinds(system):
    return [system.remove_constraint(0).kind() for _ in range(system.num_constraints())]


# ---- writing ------------------------------------------------------------------


def test_writes_the_two_point_example_byte_for_byte():
    system = ovralis.System()
    system.add_point(0.0, 0.0, True)
    system.add_point(5.0, 0.0)
    system.add_line(0, 1)
    system.add_distance_constraint(0, 1, 5.0)
    system.add_horizontal_constraint(0, 1)
    assert system.to_json() == (
        '{"points":[{"x":0.0,"y":0.0,"fixed":true},{"x":5.0,"y":0.0,"fixed":false}],'
        '"lines":[{"p1":0,"p2":1}],"circles":[],"arcs":[],"ellipses":[],"arcs_of_ellipse":[],'
        '"constraints":[{"Distance":{"p1":0,"p2":1,"d":5.0}},{"Horizontal":{"p1":0,"p2":1}}],'
        '"clamp_radii":true,"min_radius":1e-10,"track_convergence":false}'
    )


def test_writes_circles_and_arcs_with_their_members_in_order():
    system = ovralis.System()
    system.add_circle(3, 2.5, True)
    system.add_arc(0, 1, 2)
    text = system.to_json()
    assert '"circles":[{"center":3,"radius":2.5,"fixed":true}]' in text
    assert '"arcs":[{"center":0,"start":1,"end":2,"radius":0.0,"fixed":false}]' in text


@pytest.mark.parametrize(
    "value, text",
    [
        (5.0, "5.0"),
        (1e15, "1000000000000000.0"),
        (1e16, "1e16"),
        (0.00001, "0.00001"),
        (1e-6, "1e-6"),
        (1.5e300, "1.5e300"),
        (-0.0, "-0.0"),
        (123.5, "123.5"),
        (1e-10, "1e-10"),
        (0.25, "0.25"),
        (0.1 + 0.2, "0.30000000000000004"),
        (5e-324, "5e-324"),
    ],
)
def test_lays_out_numbers_and_reads_them_back_exactly(value, text):
    system = ovralis.System()
    system.add_point(value, 1.0)
    assert system.to_json() == document(points=f'{{"x":{text},"y":1.0,"fixed":false}}')
    x, _ = ovralis.System.from_json(system.to_json()).get_point(0)
    assert x == value and math.copysign(1.0, x) == math.copysign(1.0, value)


# ---- round trips ----------------------------------------------------------------


def every_kind_document():
    # Reverse tag order, so that the list order is not the kind order.
    constraints = ",".join(
        constraint_text(number, kind, fields)
        for number, (kind, fields) in reversed(list(enumerate(KINDS)))
    )
    return (
        '{"points":[{"x":1.25,"y":-3.5,"fixed":true},{"x":1e-7,"y":2e20,"fixed":false}],'
        '"lines":[{"p1":0,"p2":1}],"circles":[{"center":1,"radius":0.75,"fixed":true}],'
        '"arcs":[{"center":0,"start":1,"end":0,"radius":3.0,"fixed":false}],'
        '"ellipses":[{"center":0,"focus1":1,"radmin":0.5,"fixed":true}],'
        '"arcs_of_ellipse":[{"center":0,"focus1":1,"radmin":0.5,"start":0,"end":1,"fixed":false}],'
        f'"constraints":[{constraints}],'
        '"clamp_radii":false,"min_radius":0.001,"track_convergence":true}'
    )


def test_every_entity_and_all_44_kinds_survive_a_round_trip():
    text = every_kind_document()
    system = ovralis.System.from_json(text)
    assert system.to_json() == text
    assert system.get_points() == [(1.25, -3.5), (1e-7, 2e20)]
    assert system.get_lines() == [(0, 1)]
    assert system.get_circles() == [(1, 0.75)]
    assert system.get_arcs() == [(0, 1, 0, 3.0)]
    assert system.num_constraints() == 44

    removed = [system.remove_constraint(0) for _ in range(44)]
    expected = [kind for kind, _ in reversed(KINDS)]
    assert [c.kind() for c in removed] == expected
    assert [repr(c) for c in removed] == [f"Constraint(kind='{kind}')" for kind in expected]

    # Document-only kinds come back as Constraint objects that add_constraint takes again.
    for constraint in removed:
        system.add_constraint(constraint)
    assert system.to_json() == text


def test_constraint_order_survives_a_round_trip():
    system = ovralis.System()
    for _ in range(3):
        system.add_point(0.0, 0.0)
    system.add_line(0, 1)
    system.add_line(1, 2)
    system.add_circle(0, 1.0)
    system.add_perpendicular_constraint(0, 1)
    system.add_distance_constraint(0, 1, 2.0)
    system.add_coincident_constraint(2, 0)
    system.add_circle_radius_constraint(0, 1.0)
    system.add_constraint(ovralis.midpoint_constraint(2, 0, 1))
    system.add_constraint(ovralis.arc_radius_constraint(0, 2.0))
    system.add_horizontal_constraint(1, 2)
    loaded = ovralis.System.from_json(system.to_json())
    assert loaded.to_json() == system.to_json()
    assert drain_kinds(loaded) == drain_kinds(system)


def test_null_reals_read_back_as_nan():
    system = ovralis.System()
    system.add_point(float("nan"), float("inf"))
    system.add_circle(0, float("-inf"))
    system.add_distance_constraint(0, 0, float("nan"))
    text = system.to_json()
    assert '{"x":null,"y":1.0e309,"fixed":false}' in text
    assert '{"Distance":{"p1":0,"p2":0,"d":null}}' in text
    loaded = ovralis.System.from_json(text)
    x, y = loaded.get_point(0)
    assert math.isnan(x) and y == math.inf
    assert loaded.get_circle(0)[1] == -math.inf
    assert loaded.to_json() == text


# ---- accepted input -----------------------------------------------------------------


def test_lists_only_load_with_the_default_settings():
    loaded = ovralis.System.from_json(
        '{"points":[],"lines":[],"circles":[],"arcs":[],"ellipses":[],"arcs_of_ellipse":[],'
        '"constraints":[]}'
    )
    assert loaded.to_json() == document()


def test_members_in_any_order_with_unknown_members_and_whitespace():
    loaded = ovralis.System.from_json(
        """
        {"comment": {"nested": [1, {"x": null}, "text"]}, "track_convergence": true,
         "constraints": [{"Distance": {"d": 5, "note": [], "p2": 1, "p1": 0}}],
         "arcs_of_ellipse": [], "ellipses": [], "arcs": [], "circles": [],
         "lines": [{"p2": 7, "p1": 0}],
         "points": [{"fixed": true, "comment": "...", "y": 2, "x": -1.5e1}]}
        """
    )
    assert loaded.to_json() == document(
        points='{"x":-15.0,"y":2.0,"fixed":true}',
        lines='{"p1":0,"p2":7}',
        constraints='{"Distance":{"p1":0,"p2":1,"d":5.0}}',
        settings='"clamp_radii":true,"min_radius":1e-10,"track_convergence":true',
    )


def test_array_forms_read_like_object_forms():
    as_arrays = ovralis.System.from_json(
        '[[[0.0, 0.0, true], [5.0, 0.0, false]], [[0, 1]], [], [], [], [],'
        ' [{"Distance": [0, 1, 5.0]}]]'
    )
    as_objects = ovralis.System.from_json(
        document(
            points='{"x":0.0,"y":0.0,"fixed":true},{"x":5.0,"y":0.0,"fixed":false}',
            lines='{"p1":0,"p2":1}',
            constraints='{"Distance":{"p1":0,"p2":1,"d":5.0}}',
        )
    )
    assert as_arrays.to_json() == as_objects.to_json()


def test_dangling_indices_load():
    loaded = ovralis.System.from_json(document(points='{"x":0,"y":0,"fixed":false}', lines='{"p1":0,"p2":7}'))
    assert loaded.get_line(0) == (0, 7)


# ---- rejected input ----------------------------------------------------------------

UNKNOWN_VARIANT_LIST = ", ".join(f"`{kind}`" for kind, _ in KINDS)


@pytest.mark.parametrize(
    "text, message",
    [
        ("{}", "missing field `points` at line 1 column 2"),
        ('{"points":[{"x":1.0,"y":2.0}]}', "missing field `fixed` at line 1 column 28"),
        ('{"points":[],"points":[]}', "duplicate field `points` at line 1 column 21"),
        ('{"points":[[1.0,2.0]]}', "invalid length 2, expected struct Point with 3 elements at line 1 column 20"),
        ("[[],[],[],[],[],[]]", "invalid length 6, expected struct System with 10 elements at line 1 column 19"),
        (
            document(constraints='{"Distance":[0,1]}'),
            "invalid length 2, expected struct variant Constraint::Distance with 3 elements at line 1 column 114",
        ),
        (
            document(constraints='{"Nope":{}}'),
            f"unknown variant `Nope`, expected one of {UNKNOWN_VARIANT_LIST} at line 1 column 104",
        ),
        (
            document(constraints='"Distance"'),
            'invalid type: string "Distance", expected struct variant Constraint::Distance with 3 elements'
            " at line 1 column 107",
        ),
        ('{"lines":[{"p1":-1,"p2":0}]}', "invalid value: integer `-1`, expected u64 at line 1 column 18"),
        ('{"lines":[{"p1":1.5,"p2":0}]}', "invalid type: floating point `1.5`, expected u64 at line 1 column 19"),
        ('{"lines":[{"p1":"0","p2":0}]}', 'invalid type: string "0", expected u64 at line 1 column 19'),
        ('{"points":[{"x":0,"y":0,"fixed":null}]}', "invalid type: null, expected a boolean at line 1 column 36"),
        (
            document() + "\n x",
            "the document root must not be followed by other values at line 2 column 2",
        ),
        ("", "the document is empty at line 1 column 0"),
        ('{"points":[{"x":NaN}]}', "invalid value at line 1 column 17"),
    ],
)
def test_rejects_malformed_documents_with_positioned_messages(text, message):
    assert parse_error(text) == "JSON parse error: " + message


def test_rejects_nesting_beyond_128_levels_without_crashing():
    assert parse_error('{"junk":' + "[" * 127 + "]" * 127 + "}").startswith(
        "JSON parse error: missing field `points`"
    )
    assert parse_error('{"junk":' + "[" * 128 + "]" * 128 + "}") == (
        "JSON parse error: recursion limit exceeded at line 1 column 136"
    )
    assert parse_error('{"junk":' + "[" * 1_000_000).startswith("JSON parse error: recursion limit exceeded")


def test_rejects_an_argument_that_is_not_a_str():
    with pytest.raises(TypeError):
        ovralis.System.from_json(b"{}")
