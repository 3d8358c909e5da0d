"""The recovery starts from the drawing as drawn: points joined by a
coincidence but drawn apart start midway between their copies, and the
senses the answer must keep are those of the entities as drawn, not of the
copies propagation makes. Geometry is computed here."""

import math

import pytest

import ovralis

RADIUS = 5.0


def sense(centre, start, end):
    """+1 when the turn from centre->start to centre->end is counter-clockwise."""
    cross = ((start[0] - centre[0]) * (end[1] - centre[1])
             - (start[1] - centre[1]) * (end[0] - centre[0]))
    return math.copysign(1.0, cross)


def arc_joined_to_a_line(line_end):
    """An arc of radius 5 about the fixed origin, its end fixed at (5, 0) and a
    chord of 5 to its start, which is drawn at -60 degrees, roughly: the arc
    turns counter-clockwise. A line's end, named first in the coincidence
    that joins it to the arc's start, is drawn at `line_end`, across the
    line from the centre to the arc's end, so that propagation's copy of it
    turns the arc over; the drawing's mean of the two does not."""
    s = ovralis.System()
    centre = s.add_point(0.0, 0.0, fixed=True)
    start = s.add_point(2.7, -4.4)
    end = s.add_point(RADIUS, 0.0, fixed=True)
    arc = s.add_arc(centre, start, end, RADIUS)
    joined = s.add_point(*line_end)
    far = s.add_point(-3.0, -8.0)
    s.add_line(joined, far)
    s.add_coincident_constraint(joined, start)
    s.add_constraint(ovralis.point_on_arc_constraint(start, arc))
    s.add_constraint(ovralis.arc_radius_constraint(arc, RADIUS))
    s.add_distance_constraint(start, end, RADIUS)
    return s, (centre, start, end, joined)


@pytest.mark.parametrize("line_end", [(2.0, 3.0), (1.5, 2.0), (3.0, 1.5)])
def test_an_arc_turned_over_by_propagation_keeps_its_drawn_sense(line_end):
    system, (centre, start, end, joined) = arc_joined_to_a_line(line_end)
    drawn = [system.get_point(p) for p in (centre, start, end)]
    # Propagation alone would turn the arc over: the copy lies across.
    assert sense(drawn[0], line_end, drawn[2]) != sense(*drawn)

    result = system.solve()

    assert result.converged
    points = {p: system.get_point(p) for p in (centre, start, end, joined)}
    # The one answer that keeps the sense: the start at -60 degrees.
    expected = (RADIUS * math.cos(math.radians(-60.0)), RADIUS * math.sin(math.radians(-60.0)))
    assert points[start] == pytest.approx(expected, abs=1e-9)
    assert points[joined] == points[start]
    assert sense(points[centre], points[start], points[end]) == sense(*drawn)
    assert math.dist(points[start], points[end]) == pytest.approx(RADIUS, abs=1e-9)


@pytest.mark.parametrize("line_end", [(3.0, 6.0), (1.0, 5.0), (4.0, 5.5)])
def test_an_arc_whose_joined_ends_meet_across_its_chord_keeps_its_drawn_sense(line_end):
    # The line's end is drawn so far across that even the two ends' mean
    # lies across the chord: joining them anywhere before solving turns the
    # arc over. Closing the coincidence as an equation moves the free line's
    # end onto the arc's start, which its own constraints hold where drawn.
    system, (centre, start, end, joined) = arc_joined_to_a_line(line_end)
    drawn = [system.get_point(p) for p in (centre, start, end)]
    mean = tuple((a + b) / 2 for a, b in zip(drawn[1], line_end))
    assert sense(drawn[0], mean, drawn[2]) != sense(*drawn)

    assert system.solve().converged

    points = {p: system.get_point(p) for p in (centre, start, end, joined)}
    expected = (RADIUS * math.cos(math.radians(-60.0)), RADIUS * math.sin(math.radians(-60.0)))
    assert points[start] == pytest.approx(expected, abs=1e-9)
    assert points[joined] == points[start]
    assert sense(points[centre], points[start], points[end]) == sense(*drawn)
