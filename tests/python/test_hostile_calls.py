"""Random interleavings of the whole API with hostile arguments.

Numbers are NaN, infinities, huge, or objects whose __float__ / __index__
raise or empty the list they were read from; analyses and pickled states
change under the reader's feet. Whatever happens: no crash, no exception
other than ValueError, TypeError, OverflowError or MemoryError, a refused
call leaves the store exactly as it was (its document and its pickle), and
documents, pickles and copies come back exact.
"""

import math
import pickle

from hypothesis import HealthCheck, settings
from hypothesis import strategies as st
from hypothesis.stateful import RuleBasedStateMachine, invariant, precondition, rule

import ovralis

REFUSALS = (ValueError, TypeError, OverflowError, MemoryError)


class Treacherous:
    """A number that empties `victim` when read, then answers `value` or raises."""

    def __init__(self, victim, value, fails):
        self.victim, self.value, self.fails = victim, value, fails

    def _read(self):
        self.victim.clear()
        if self.fails:
            raise ValueError("treacherous number")
        return self.value

    def __float__(self):
        return float(self._read())

    def __index__(self):
        return int(self._read())


finite = st.floats(-1e6, 1e6, allow_nan=False)
wild_float = st.one_of(finite, st.sampled_from([math.nan, math.inf, -math.inf, 1e308, -1e308, 5e-324, -0.0]))
wild_int = st.one_of(st.integers(0, 12), st.integers(-2**70, 2**70))
treacherous = st.builds(lambda value, fails: Treacherous([], value, fails), st.integers(0, 8), st.booleans())
number = st.one_of(wild_float, wild_int, treacherous, st.sampled_from([None, "1.0", True]))
index = st.one_of(st.integers(0, 10), wild_int, treacherous, st.sampled_from([None, 1.0, -1]))


def treacherous_list(values, victim_slot):
    """`values` as a list whose element at `victim_slot` empties the list when read."""
    items = list(values)
    if items:
        slot = victim_slot % len(items)
        items[slot] = Treacherous(items, items[slot], False)
    return items


class HostileAnalysis:
    def __init__(self, free, conflicting, slot):
        self.free_points = treacherous_list(free, slot)
        self.free_circles = treacherous_list(free[:1], slot)
        self.free_arcs = []
        self.conflicting = list(conflicting)
        self.groups = {k: treacherous_list(free, slot + 1) for k in conflicting}


class HostileUse(RuleBasedStateMachine):
    def __init__(self):
        super().__init__()
        self.system = ovralis.System()
        self.system.add_point(0.0, 0.0, fixed=True)

    def snapshot(self):
        return self.system.to_json(), pickle.dumps(self.system)

    def attempt(self, call, *args, **kwargs):
        """Runs a call that may be refused; a refusal must leave the store untouched."""
        before = self.snapshot()
        try:
            return call(*args, **kwargs)
        except REFUSALS:
            assert self.snapshot() == before
            return None

    # ---- edits ----

    @rule(x=number, y=number, fixed=st.sampled_from([False, True, None, 1]))
    def add_point(self, x, y, fixed):
        self.attempt(self.system.add_point, x, y, fixed=fixed)

    @rule(p1=index, p2=index)
    def add_line(self, p1, p2):
        self.attempt(self.system.add_line, p1, p2)

    @rule(center=index, radius=number)
    def add_circle(self, center, radius):
        self.attempt(self.system.add_circle, center, radius)

    @rule(p1=index, p2=index, d=number)
    def add_distance(self, p1, p2, d):
        self.attempt(self.system.add_distance_constraint, p1, p2, d)

    @rule(line=index)
    def add_horizontal(self, line):
        self.attempt(self.system.add_horizontal_constraint, line, line)

    @rule(i=index, x=number, y=number)
    def set_point(self, i, x, y):
        self.attempt(self.system.set_point, i, x, y)

    @rule(k=index, d=number)
    def set_constraint(self, k, d):
        self.attempt(lambda: self.system.set_constraint(k, ovralis.distance_constraint(0, 0, d)))

    @rule(i=index)
    def remove_point(self, i):
        self.attempt(self.system.remove_point, i)

    @rule(k=index)
    def remove_constraint(self, k):
        self.attempt(self.system.remove_constraint, k)

    # ---- solving and analysis ----

    @rule(max_iter=st.one_of(st.integers(0, 20), index), tol=number)
    def solve(self, max_iter, tol):
        self.attempt(self.system.solve, max_iter=max_iter, tol=tol)

    @rule(point=index, x=number, y=number)
    def drag(self, point, x, y):
        self.attempt(self.system.drag, point, x, y, max_iter=20)

    @rule(tol=number)
    def analyze(self, tol):
        before = self.snapshot()
        self.attempt(self.system.analyze_constraints, tol=tol)
        self.system.analyze_dof()
        self.attempt(self.system.verify_solution, tolerance=tol)
        assert self.snapshot() == before

    @rule(free=st.lists(st.integers(0, 12), max_size=4), conflicting=st.lists(st.integers(0, 12), max_size=2),
          slot=st.integers(0, 3))
    def draw(self, free, conflicting, slot):
        before = self.snapshot()
        svg = self.attempt(self.system.to_svg, analysis=HostileAnalysis(free, conflicting, slot))
        assert svg is None or svg.startswith("<svg")
        assert self.snapshot() == before

    # ---- copies, pickles and documents ----

    @rule()
    def copy(self):
        self.system = self.system.copy()

    @rule()
    def pickle_round_trip(self):
        text = self.system.to_json()
        self.system = pickle.loads(pickle.dumps(self.system))
        assert self.system.to_json() == text

    @rule()
    def document_round_trip(self):
        text = self.system.to_json()
        self.system = ovralis.System.from_json(text)
        assert self.system.to_json() == text

    @rule(slot=st.integers(0, 5), value=number)
    def unpickle_hostile_state(self, slot, value):
        _, (state,) = self.system.__reduce__()
        points = [list(record) for record in state[0]]
        if points:
            victim = [tuple(record) for record in points]
            record = points[slot % len(points)]
            record[0] = Treacherous(victim, value, False) if not isinstance(value, Treacherous) else value
            victim[slot % len(points)] = tuple(record)
            try:
                rebuilt = ovralis.System._from_state((victim,) + state[1:])
            except REFUSALS:
                return
            assert rebuilt.num_points() == len(points)

    @invariant()
    def round_trips_are_exact(self):
        text = self.system.to_json()
        assert ovralis.System.from_json(text).to_json() == text
        assert pickle.loads(pickle.dumps(self.system)).to_json() == text

    @precondition(lambda self: self.system.num_points() > 40)
    @rule()
    def start_over(self):
        self.system = ovralis.System()


HostileUse.TestCase.settings = settings(max_examples=30, stateful_step_count=25, deadline=None, database=None,
                                        suppress_health_check=[HealthCheck.too_slow])
TestHostileUse = HostileUse.TestCase
