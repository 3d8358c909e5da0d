"""Ends that meet within a distance become one point: the merge against a
brute-force reference that compares every pair."""

import math
import random

import pytest

pytest.importorskip("numpy")

from ovralis._dxf_merge import merged_points  # noqa: E402


def reference(points, distance):
    """Distinct positions in coordinate order, each joining the first kept one
    within `distance`, then numbered by first use."""
    distinct = sorted(set(points))
    kept, joined = [], {}
    for p in distinct:
        found = next((k for k in kept if math.dist(k, p) <= distance), None)
        if found is None:
            kept.append(p)
            found = p
        joined[p] = found
    numbering = {}
    for p in points:
        numbering.setdefault(joined[p], len(numbering))
    ordered = sorted(numbering, key=numbering.__getitem__)
    return [list(p) for p in ordered], [numbering[joined[p]] for p in points]


def clustered(seed, count, distance, spread):
    """Clusters of ends a little nearer or farther apart than `distance`,
    repeated ends, and chains where a meets b and b meets c but not a and c."""
    rng = random.Random(seed)
    points = []
    for _ in range(count):
        x, y = rng.uniform(-spread, spread), rng.uniform(-spread, spread)
        points.append((x, y))
        for _ in range(rng.randint(0, 3)):
            angle, r = rng.uniform(0, math.tau), distance * rng.choice([0.3, 0.9, 1.1, 1.9, 0.0])
            points.append((x + r * math.cos(angle), y + r * math.sin(angle)))
        points.append(rng.choice(points))
    rng.shuffle(points)
    return points


@pytest.mark.parametrize("seed", range(3))
@pytest.mark.parametrize("distance, spread", [(1e-3, 1.0), (0.5, 3.0), (1e-9, 1e9), (0.0, 10.0)])
def test_merge_matches_the_pairwise_reference(seed, distance, spread):
    points = clustered(seed, 120, distance, spread)
    assert merged_points(points, distance) == reference(points, distance)


def test_signed_zeros_are_one_point_written_as_the_first():
    points = [(-0.0, 1.0), (0.0, 1.0), (2.0, 0.0)]
    kept, at = merged_points(points, 1e-6)
    assert at == [0, 0, 1]
    assert math.copysign(1.0, kept[0][0]) == -1.0


def test_no_points():
    assert merged_points([], 1.0) == ([], [])
