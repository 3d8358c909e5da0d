"""The benchmark families, their checker and the libslvs peer give true figures.

    PYTHONPATH=build-dev/python python -m pytest bench/test_families.py
"""

import json
import math
import random
import subprocess
from pathlib import Path

import pytest

import families
import ovralis

PEER = Path(__file__).resolve().parent.parent / "build-dev" / "slvs_peer"


def hand_made_sketch(constraints):
    sketch = families.Sketch("hand made")
    for x, y in [(0, 0), (3, 4), (0, 4)]:
        sketch.point(x, y)
    sketch.lines = [(0, 2), (0, 1), (2, 1)]
    sketch.circles = [[0, 1.5, False], [1, 2.5, False]]
    sketch.arcs = [[0, 2, 1, 4.5]]
    sketch.constraints = constraints
    return sketch.perturb(random.Random(0))


# Points (0, 0), (3, 4), (0, 4), extent 5; line 0 runs up the y axis to (0, 4),
# line 1 to (3, 4), line 2 along y = 4; circles of radius 1.5 about point 0 and
# 2.5 about point 1; an arc about point 0 from (0, 4) to (3, 4), radius 4.5.
# Each row: a constraint and its error worked out by hand (lengths over 5).
@pytest.mark.parametrize("kind, values, expected", [
    ("Distance", (0, 1, 4.0), 1 / 5),
    ("Horizontal", (1, 2), 0.0),
    ("Vertical", (0, 1), 3 / 5),
    ("Angle", (0, 1, 90.0), math.pi / 2 - math.atan2(3, 4)),
    ("CircleCircleTangent", (0, 1), 1 / 5),
    ("CircleRadius", (0, 2.0), 0.5 / 5),
    ("PointLineDistance", (0, 2, -3.0), 1 / 5),  # the sign of d does not matter
    ("PointOnArc", (1, 0), 0.5 / 5),
    ("ArcRadius", (0, 4.5), 0.0),
    ("LineArcStartTangent", (2, 0), 0.0),  # along y = 4, square to the radius up to (0, 4)
    ("LineArcEndTangent", (0, 0), 0.8),  # up the y axis against the radius to (3, 4): cosine 4/5
])
def test_constraint_error_matches_hand_geometry(kind, values, expected):
    sketch = hand_made_sketch([(kind, values)])
    got = families.constraint_error(sketch, kind, values, *sketch.known(), sketch.extent)
    assert got == pytest.approx(expected, abs=1e-15)


@pytest.mark.parametrize("family", families.FAMILIES)
@pytest.mark.parametrize("unknowns", [10, 300])
def test_family_is_exact_sized_and_perturbed(family, unknowns):
    sketch = families.build(family, unknowns)  # asserts the known solution holds
    assert unknowns * 0.9 <= sketch.unknowns <= max(unknowns * 1.1, 29)
    assert families.geometric_error(sketch, *sketch.start()) > 100 * families.TOLERANCE
    # The document carries the same sketch: its known form checks as exact, read by the module too.
    assert families.check_document(sketch, families.to_document(sketch, known=True))[0] <= 1e-12
    known = ovralis.System.from_json(families.to_document(sketch, known=True))
    assert families.check_system(sketch, known)[0] <= 1e-12


@pytest.mark.parametrize("family", families.FAMILIES)
def test_solved_family_holds_by_geometry_and_lands_on_known_branch(family):
    sketch = families.build(family, 120)
    system = families.to_system(sketch)
    assert system.solve().converged
    error, offset = families.check_system(sketch, system)
    assert error <= families.TOLERANCE
    assert offset is None or offset <= 1e-9


def test_a_moved_fixed_point_fails_the_check():
    sketch = families.build("strip", 10)
    points = [list(p) for p in sketch.points]
    points[0][0] += 1e-12
    assert families.geometric_error(sketch, points, [], []) == math.inf


@pytest.mark.skipif(not PEER.exists(), reason="slvs_peer is not built (OVRALIS_BUILD_BENCH, libslvs)")
@pytest.mark.parametrize("family", families.FAMILIES)
def test_peer_solves_the_same_sketch(family, tmp_path):
    sketch = families.build(family, 40)
    start, solved, peer_solved = tmp_path / "s.json", tmp_path / "o.json", tmp_path / "p.json"
    start.write_text(families.to_document(sketch))
    line = subprocess.run([str(PEER), str(start), "--rounds", "1", "--solved", str(solved),
                           "--peer-solved", str(peer_solved)],
                          check=True, capture_output=True, text=True).stdout.split()
    figures = dict(item.split("=", 1) for item in line[1:])
    assert int(figures["unknowns"]) == sketch.unknowns
    assert figures["ovralis_converged"] == figures["libslvs_converged"] == "1"
    for answer in (solved, peer_solved):
        error, offset = families.check_document(sketch, answer.read_text())
        assert error <= families.TOLERANCE
        assert offset is None or offset <= 1e-9
    if sketch.unique:
        assert float(figures["apart"]) <= 1e-9 * sketch.extent
    assert json.loads(peer_solved.read_text())["constraints"] == json.loads(start.read_text())["constraints"]


@pytest.mark.parametrize("family", families.FAMILIES)
def test_family_is_well_constrained_unless_dragged(family):
    sketch = families.build(family, 60)
    system = ovralis.System.from_json(families.to_document(sketch, known=True))
    analysis = system.analyze_constraints()
    assert analysis.redundant == () and analysis.conflicting == ()
    assert (analysis.dof == 0) == sketch.unique


def test_plate_order_changes_only_the_numbering():
    first = families.build("plate, edges", 200)
    last = families.build("plate, edges, plate last", 200)
    assert sorted(map(tuple, first.points)) == sorted(map(tuple, last.points))
    assert [kind for kind, _ in first.constraints] == [kind for kind, _ in last.constraints]
    holes = len(first.circles)
    assert last.points[holes:holes + 3] == first.points[:3]  # the first corner's points, after the holes


@pytest.mark.parametrize("family", families.FAMILIES)
def test_the_same_seed_gives_the_same_document(family):
    assert families.to_document(families.build(family, 50, seed=3)) == \
        families.to_document(families.build(family, 50, seed=3))
    assert families.to_document(families.build(family, 50, seed=3)) != \
        families.to_document(families.build(family, 50, seed=4))


def test_a_mirror_image_holds_but_is_not_the_known_solution():
    sketch = families.build("strip", 40)  # points 0 and 1 fixed, the rest free
    (ax, ay), (bx, by) = sketch.points[0], sketch.points[1]
    ux, uy = (bx - ax) / math.dist((ax, ay), (bx, by)), (by - ay) / math.dist((ax, ay), (bx, by))
    mirrored = []
    for x, y in sketch.points:
        along = (x - ax) * ux + (y - ay) * uy
        mirrored.append([2 * (ax + along * ux) - x, 2 * (ay + along * uy) - y])
    mirrored[:2] = [list(p) for p in sketch.points[:2]]  # exact, as the fixed points must be
    assert families.geometric_error(sketch, mirrored, [], []) <= 1e-12
    assert families.distance_from_known(sketch, mirrored) > 0.01


def test_the_dragged_end_starts_off_its_bars():
    sketch = families.build("dragged chain", 20)
    end = len(sketch.points) - 1
    assert math.dist(sketch.start_points[end], sketch.points[end]) > 4.0
    assert not sketch.unique


def run_peer(*arguments):
    line = subprocess.run([str(PEER), *map(str, arguments)], check=True, capture_output=True,
                          text=True).stdout.split()
    return dict(item.split("=", 1) for item in line[1:])


@pytest.mark.skipif(not PEER.exists(), reason="slvs_peer is not built")
def test_peer_times_the_exact_mean_spacing(tmp_path):
    sketch = families.build("plate, edges", 40)
    document = tmp_path / "plate.json"
    document.write_text(families.to_document(sketch))
    pairs = [math.dist(p, q) for i, p in enumerate(sketch.start_points) for q in sketch.start_points[:i]]
    assert float(run_peer(document, "--spacing")["spacing"]) == pytest.approx(sum(pairs) / len(pairs), rel=1e-5)


@pytest.mark.skipif(not PEER.exists(), reason="slvs_peer is not built")
def test_peer_names_what_libslvs_did_not_solve(tmp_path):
    # A kind the peer does not translate must not be dropped silently.
    sketch = families.build("rectangles", 12)
    document = json.loads(families.to_document(sketch))
    document["constraints"].append({"Parallel": {"l1": 0, "l2": 2}})
    unsupported = tmp_path / "parallel.json"
    unsupported.write_text(json.dumps(document))
    assert run_peer(unsupported, "--rounds", "1")["libslvs_ms"] == "unsupported:Parallel"
    # Too many unknowns: libslvs refuses, and no libslvs answer is written.
    large = tmp_path / "large.json"
    large.write_text(families.to_document(families.build("gears, tangent", 1800)))
    figures = run_peer(large, "--rounds", "1", "--peer-solved", tmp_path / "answer.json")
    assert (figures["libslvs_ms"], figures["ovralis_converged"]) == ("refused", "1")
    assert not (tmp_path / "answer.json").exists()
