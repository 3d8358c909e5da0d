"""The diagnosis of generated conflicts, against what is known of each case:
which dimension the user changed, and which constraints really disagree
(found by solving the constraints in order)."""

import statistics

import pytest

import ovralis
from conflict_sketches import DIMENSION_FIELDS, FAMILIES, conflict_cases, constructor_name

CASES_PER_FAMILY = 6


def named(analysis):
    """The conflicting constraints and their groups."""
    out = set(analysis.conflicting)
    for k in analysis.conflicting:
        out.update(analysis.groups[k])
    return out


def solves_with(s, kept):
    t = s.copy()
    for k in reversed(range(s.num_constraints())):
        if k not in kept:
            t.remove_constraint(k)
    return t.solve(max_iter=500).converged


@pytest.fixture(scope="module", params=FAMILIES)
def cases(request):
    return request.param, conflict_cases(request.param, CASES_PER_FAMILY)


def test_the_changed_dimension_is_named_and_the_conflict_is_small(cases):
    family, found = cases
    shares = []
    for case in found:
        s = case.system
        a = s.analyze_constraints()
        assert case.changed in named(a), (family, case.changed, a)
        shares.append(len(named(a)) / s.num_constraints())
        # Analysed after the failed solve, the sketch names the same conflict.
        t = s.copy()
        assert not t.solve().converged
        after = t.analyze_constraints()
        assert (after.conflicting, after.groups) == (a.conflicting, a.groups)
    assert statistics.median(shares) <= 1 / 3, (family, shares)


def test_a_constraint_is_conflicting_exactly_when_it_disagrees_with_those_before_it(cases):
    """In order, each redundant constraint is judged against the constraints
    before it that were not themselves conflicting."""
    family, found = cases
    for case in found[:3]:
        s = case.system
        a = s.analyze_constraints()
        for k in a.redundant:
            earlier = {i for i in range(k) if i not in a.conflicting}
            assert solves_with(s, earlier)
            assert solves_with(s, earlier | {k}) == (k not in a.conflicting), (family, k, a)


def test_the_changed_dimension_is_among_the_repairs_and_each_repair_solves(cases):
    family, found = cases
    for case in found:
        s = case.system
        before = s.to_json()
        repairs = s.repairs(limit=100)
        assert s.to_json() == before
        assert case.changed in [r.constraint for r in repairs], (family, case.changed, repairs)
        for repair in repairs[:3]:
            t = s.copy()
            if repair.action == "remove":
                t.remove_constraint(repair.constraint)
            else:
                c = t.get_constraint(repair.constraint)
                fields = c.fields()
                fields[next(f for f in DIMENSION_FIELDS if f in fields)] = repair.value
                t.set_constraint(repair.constraint,
                                 getattr(ovralis, constructor_name(c.kind()))(*fields.values()))
            assert t.solve(max_iter=500).converged, (family, repair)
