"""Constraint inference and automatic dimensions, tested against known intent:
parts drawn with known relations and dimensions go out to DXF without their
constraints and come back; inference must find the relations, never one that
does not hold or is redundant, and the dimensions must bring the drawing back."""

import json
import math
import random

import pytest

import ovralis
from drawing_matches import EntityMatch, implied, size_of, through_dxf
from drawn_parts import random_parts

pytest.importorskip("ezdxf")

SEEDS = range(4)
PARTS = range(5)


def with_intent(part):
    for c in part.relations + part.dimensions:
        part.sketch.add_constraint(c)
    return part


def imported(part, **options):
    sketch = through_dxf(part.sketch, infer=False)
    added = sketch.infer_constraints(**options)
    return sketch, added


def perturbed(sketch, rng, amount):
    out = sketch.copy()
    for i, (x, y) in enumerate(out.get_points()):
        out.set_point(i, x + rng.uniform(-amount, amount), y + rng.uniform(-amount, amount))
    return out


def assert_same_points(a, b, tol):
    for p, q in zip(a.get_points(), b.get_points()):
        assert math.dist(p, q) <= tol, (p, q)


@pytest.mark.parametrize("seed", SEEDS)
@pytest.mark.parametrize("which", PARTS)
def test_inference_finds_the_known_relations_and_nothing_else(seed, which):
    part = with_intent(random_parts(seed)[which])
    original = part.sketch.analyze_constraints()
    assert original.dof == 0 and not original.redundant  # the generator's own intent is sound
    sketch, added = imported(part)
    assert added == list(range(sketch.num_constraints()))

    # Precision: nothing redundant, and everything added holds (a solve moves nothing).
    analysis = sketch.analyze_constraints()
    assert not analysis.redundant and not analysis.conflicting
    solved = sketch.copy()
    assert solved.solve().converged
    assert_same_points(solved, sketch, 1e-9 * size_of(sketch))

    # Recall: every known relation is added or implied by what was added.
    match = EntityMatch(part.sketch, sketch)
    missed = [c.kind() for c in part.relations if not implied(sketch, match.constraint(c))]
    assert missed == []


@pytest.mark.parametrize("seed", SEEDS)
@pytest.mark.parametrize("which", PARTS)
def test_inferred_relations_with_the_original_dimensions_bring_the_drawing_back(seed, which):
    part = with_intent(random_parts(seed)[which])
    sketch, _ = imported(part)
    match = EntityMatch(part.sketch, sketch)
    for c in part.dimensions:
        sketch.add_constraint(match.constraint(c))
    assert sketch.analyze_constraints().dof == 0
    size = size_of(sketch)
    moved = perturbed(sketch, random.Random(seed), 2e-3 * size)
    assert moved.solve().converged
    assert_same_points(moved, sketch, 1e-7 * size)


@pytest.mark.parametrize("seed", SEEDS)
@pytest.mark.parametrize("which", PARTS)
def test_autodimension_leaves_no_freedom_and_solves_back(seed, which):
    part = with_intent(random_parts(seed)[which])
    sketch, _ = imported(part)
    before = sketch.num_constraints()
    added = sketch.autodimension()
    assert added == list(range(before, sketch.num_constraints()))
    analysis = sketch.analyze_constraints()
    assert analysis.dof == 0 and not analysis.redundant
    kinds = {sketch.get_constraint(i).kind() for i in added}
    assert kinds <= {"FixedPoint", "Distance", "Angle", "CircleRadius", "ArcRadius"}
    size = size_of(sketch)
    moved = perturbed(sketch, random.Random(seed + 100), 2e-3 * size)
    assert moved.solve().converged
    assert_same_points(moved, sketch, 1e-7 * size)


def relation_descriptions(sketch, added):
    """Each added constraint as its kind and the coordinates of what it names."""
    document = json.loads(sketch.to_json())
    points = document["points"]

    def place(name, value):
        if name in ("l1", "l2", "line"):
            line = document["lines"][value]
            return tuple(sorted((points[line["p1"]]["x"], points[line["p1"]]["y"],
                                 points[line["p2"]]["x"], points[line["p2"]]["y"])))
        if name in ("circle", "c1", "c2"):
            circle = document["circles"][value]
            return (points[circle["center"]]["x"], points[circle["center"]]["y"], circle["radius"])
        if name in ("arc", "a1", "a2"):
            arc = document["arcs"][value]
            return tuple(points[arc[k]][c] for k in ("center", "start", "end") for c in "xy")
        return (points[value]["x"], points[value]["y"])

    out = set()
    for i in added:
        ((kind, fields),) = document["constraints"][i].items()
        out.add((kind, frozenset(place(name, value) for name, value in fields.items())))
    return out


@pytest.mark.parametrize("seed", SEEDS)
def test_the_result_does_not_depend_on_the_order_of_entities(seed):
    parts = random_parts(seed)
    sheet = ovralis.System()
    # All parts on one sheet: many candidates, one rank check.
    document = {"points": [], "lines": [], "circles": [], "arcs": []}
    for part in parts:
        d = json.loads(part.sketch.to_json())
        offset = len(document["points"])
        document["points"] += d["points"]
        document["lines"] += [{"p1": l["p1"] + offset, "p2": l["p2"] + offset} for l in d["lines"]]
        document["circles"] += [dict(c, center=c["center"] + offset) for c in d["circles"]]
        document["arcs"] += [dict(a, center=a["center"] + offset, start=a["start"] + offset, end=a["end"] + offset)
                             for a in d["arcs"]]
    for p in document["points"]:
        sheet.add_point(p["x"], p["y"])
    for l in document["lines"]:
        sheet.add_line(l["p1"], l["p2"])
    for c in document["circles"]:
        sheet.add_circle(c["center"], c["radius"])
    for a in document["arcs"]:
        sheet.add_arc(a["center"], a["start"], a["end"], a["radius"])

    def shuffled(entities):
        entities = list(entities)
        random.Random(seed).shuffle(entities)
        return entities

    first = through_dxf(sheet, infer=False)
    second = through_dxf(sheet, entity_order=shuffled, infer=False)
    assert first.get_points() != second.get_points()  # numbered differently
    a = relation_descriptions(first, first.infer_constraints())
    b = relation_descriptions(second, second.infer_constraints())
    assert a == b and len(a) > 30


def test_relations_the_sketch_already_has_are_not_added_again():
    s = ovralis.System()
    p = [s.add_point(x, y) for x, y in [(0, 0), (4, 0), (4, 3), (0, 3)]]
    lines = [s.add_line(p[k], p[(k + 1) % 4]) for k in range(4)]
    s.add_parallel_constraint(lines[0], lines[2])
    s.add_perpendicular_constraint(lines[0], lines[1])
    s.add_horizontal_constraint(p[0], p[1])
    added = s.infer_constraints()
    # Only the fourth side's direction was left to find; the rest follows.
    assert [(s.get_constraint(i).kind(), s.get_constraint(i).fields()) for i in added] == [
        ("Vertical", {"p1": p[0], "p2": p[3]})]
    assert not s.analyze_constraints().redundant


def test_relations_just_outside_the_tolerance_are_not_added():
    s = ovralis.System()
    a, b = s.add_point(0, 0), s.add_point(10, 1e-4)
    c, d = s.add_point(0, 5), s.add_point(10, 5 + 1e-9)
    s.add_line(a, b)
    s.add_line(c, d)
    added = s.infer_constraints(tol=1e-6)
    assert [(s.get_constraint(i).kind(), s.get_constraint(i).fields()) for i in added] == [
        ("Horizontal", {"p1": c, "p2": d})]
    assert s.infer_constraints(tol=1e-3) != []


def test_kinds_select_the_relations():
    s = ovralis.System()
    p = [s.add_point(x, y) for x, y in [(0, 0), (4, 0), (4, 3)]]
    s.add_line(p[0], p[1])
    s.add_line(p[1], p[2])
    added = s.infer_constraints(kinds=["vertical"])
    assert [s.get_constraint(i).kind() for i in added] == ["Vertical"]
    with pytest.raises(ValueError, match="unknown kind 'sideways'.*known kinds: concentric"):
        s.infer_constraints(kinds=["sideways"])
    with pytest.raises(ValueError, match="tol"):
        s.infer_constraints(tol=-1.0)
    assert s.num_constraints() == 1


def test_tangencies_away_from_shared_ends_are_found():
    s = ovralis.System()
    centre = s.add_point(0, 0)
    circle = s.add_circle(centre, 1.0)
    s.add_line(s.add_point(-3, 1), s.add_point(3, 1))  # touches the top of the circle
    other = s.add_circle(s.add_point(3, 0), 2.0)  # touches the circle from outside
    s.add_line(s.add_point(-3, -1.5), s.add_point(3, -1.5))  # misses it
    added = s.infer_constraints(kinds=["tangent"])
    found = sorted((s.get_constraint(i).kind(), tuple(s.get_constraint(i).fields().values())) for i in added)
    assert found == [("CircleCircleTangent", (circle, other)), ("LineCircleTangent", (0, circle))]


def test_autodimension_takes_a_datum_and_rejects_a_missing_one():
    s = ovralis.System()
    p = [s.add_point(x, y) for x, y in [(1, 1), (5, 1), (5, 4)]]
    s.add_line(p[0], p[1])
    s.add_line(p[1], p[2])
    s.add_circle(p[2], 0.5)
    with pytest.raises(ValueError, match="Point index 7 out of range"):
        s.autodimension(7)
    assert s.num_constraints() == 0
    added = s.autodimension(datum=p[1])
    first = s.get_constraint(added[0])
    assert first.kind() == "FixedPoint" and first.fields() == {"point": p[1], "x": 5.0, "y": 1.0}
    assert "CircleRadius" in [s.get_constraint(i).kind() for i in added]
    assert s.analyze_constraints().dof == 0
    assert ovralis.System().autodimension() == []
