"""Adding, reading, counting and removing through the System methods.

Constraints show only their kind to Python, so renumbering is observed by its
effect: after a removal, a constraint that now names index k is dropped when
entity k is removed, and counted in the return value.
"""

import pytest

import ovralis


def points(system, count):
    return [system.add_point(float(i), 0.0) for i in range(count)]


def test_new_system_repr(system):
    assert repr(system) == "System(points=0, lines=0, circles=0, arcs=0, constraints=0)"


def test_adders_return_consecutive_indices_and_accept_integers(system):
    assert system.add_point(0, 0, fixed=True) == 0
    assert system.add_point(3, 0) == 1
    assert system.get_point(1) == (3.0, 0.0)
    assert system.add_line(0, 1) == 0
    assert system.add_circle(0) == 0
    assert system.add_circle(1, 2, True) == 1
    assert system.add_arc(0, 1, 0) == 0
    assert repr(system) == "System(points=2, lines=1, circles=2, arcs=1, constraints=0)"


def test_getters_return_tuples_of_the_stated_types(system):
    points(system, 3)
    system.add_line(0, 2)
    system.add_circle(1, 2.5)
    system.add_arc(0, 1, 2, 4.0, fixed=True)
    assert system.get_line(0) == (0, 2)
    assert system.get_circle(0) == (1, 2.5)
    assert system.get_arc(0) == (0, 1, 2, 4.0)
    assert system.get_points() == [(0.0, 0.0), (1.0, 0.0), (2.0, 0.0)]
    assert system.get_lines() == [(0, 2)]
    assert system.get_circles() == [(1, 2.5)]
    assert system.get_arcs() == [(0, 1, 2, 4.0)]
    assert [type(v) for v in system.get_arc(0)] == [int, int, int, float]


def test_add_arc_stores_radius_zero(system):
    system.add_arc(0, 1, 2)
    assert system.get_arc(0) == (0, 1, 2, 0.0)


def test_entities_may_name_missing_points(system):
    points(system, 2)
    assert system.add_line(7, 8) == 0
    assert system.get_line(0) == (7, 8)


def test_add_constraint_methods_return_none_and_count(system):
    assert system.add_distance_constraint(0, 1, 5.0) is None
    assert system.num_constraints() == 1


@pytest.mark.parametrize("getter, kind", [
    ("get_point", "Point"), ("get_line", "Line"), ("get_circle", "Circle"), ("get_arc", "Arc"),
])
def test_getter_past_the_end(system, getter, kind):
    points(system, 2)
    with pytest.raises(ValueError, match=f"^{kind} index 5 out of range$"):
        getattr(system, getter)(5)


@pytest.mark.parametrize("remover, kind", [
    ("remove_point", "Point"), ("remove_line", "Line"), ("remove_circle", "Circle"),
    ("remove_arc", "Arc"), ("remove_constraint", "Constraint"),
])
def test_removal_past_the_end_changes_nothing(system, remover, kind):
    points(system, 2)
    system.add_line(0, 1)
    system.add_circle(0)
    system.add_arc(0, 1, 0)
    system.add_distance_constraint(0, 1, 1.0)
    before = repr(system)
    with pytest.raises(ValueError, match=f"^{kind} index 3 out of range$"):
        getattr(system, remover)(3)
    assert repr(system) == before


def test_removing_a_point_renumbers_later_points_and_lines(system):
    points(system, 3)
    system.add_line(0, 2)
    assert system.remove_point(1) == 0
    assert system.get_point(1) == (2.0, 0.0)
    assert system.get_line(0) == (0, 1)


def test_removing_a_point_renumbers_circles_and_arcs(system):
    points(system, 4)
    system.add_circle(3, 1.0)
    system.add_arc(1, 2, 3)
    system.remove_point(0)
    assert system.get_circle(0) == (2, 1.0)
    assert system.get_arc(0) == (0, 1, 2, 0.0)


def test_removing_a_point_counts_only_constraints_that_name_it(system):
    points(system, 3)
    system.add_line(1, 2)
    system.add_circle(1)
    system.add_distance_constraint(0, 1, 1.0)      # names point 1: counted
    system.add_vertical_constraint(1, 2)           # names point 1: counted
    system.add_parallel_constraint(0, 0)           # on the line through point 1: dropped, not counted
    system.add_circle_radius_constraint(0, 2.0)    # on the circle about point 1: dropped, not counted
    system.add_horizontal_constraint(0, 2)         # survives
    assert system.remove_point(1) == 2
    assert system.num_constraints() == 1
    assert system.remove_constraint(0).kind() == "Horizontal"
    # the line and circle built on the point go with it
    assert system.num_lines() == 0 and system.num_circles() == 0


def test_removing_a_point_drops_constraints_on_dependent_arcs(system):
    points(system, 4)
    system.add_arc(3, 1, 2)
    system.add_constraint(ovralis.arc_radius_constraint(0, 1.0))
    system.add_distance_constraint(0, 1, 1.0)
    assert system.remove_point(2) == 0
    assert system.num_constraints() == 1
    assert system.num_arcs() == 0


def test_removing_a_line_used_by_a_point_on_line(system):
    points(system, 3)
    system.add_line(0, 1)
    system.add_line(1, 2)
    system.add_point_on_line_constraint(2, 0)
    system.add_point_on_line_constraint(0, 1)
    assert system.remove_line(0) == 1
    assert system.num_lines() == 1
    # the surviving constraint now names line 0
    assert system.remove_line(0) == 1
    assert system.num_constraints() == 0


def test_removing_a_circle_renumbers_constraints_on_later_circles(system):
    points(system, 1)
    for _ in range(3):
        system.add_circle(0, 1.0)
    system.add_circle_radius_constraint(0, 1.0)
    system.add_circle_radius_constraint(2, 3.0)
    system.add_point_on_circle_constraint(0, 0)
    assert system.remove_circle(0) == 2
    assert system.num_constraints() == 1
    assert system.remove_circle(1) == 1


def test_removing_an_arc_renumbers_constraints_on_later_arcs(system):
    points(system, 3)
    system.add_arc(0, 1, 2)
    system.add_arc(0, 2, 1)
    system.add_constraint(ovralis.arc_sweep_angle_constraint(1, 90.0))
    system.add_constraint(ovralis.point_on_arc_constraint(1, 0))
    assert system.remove_arc(0) == 1
    assert system.remove_arc(0) == 1
    assert system.num_constraints() == 0


def test_symmetry_follows_point_and_line_renumbering(system):
    points(system, 4)
    system.add_line(0, 1)
    system.add_line(2, 3)
    system.add_symmetry_constraint(2, 3, 1)
    assert system.remove_point(0) == 0
    # line 0 went with point 0: the symmetry line moved down to 0 and
    # p_out and p_in to points 1 and 2
    assert system.get_line(0) == (1, 2)
    assert system.remove_point(1) == 1
    assert system.num_lines() == 0


def test_line_line_intersection_is_dropped_by_its_second_line(system):
    points(system, 3)
    for _ in range(3):
        system.add_line(0, 1)
    system.add_line_line_intersection_constraint(2, 0, 2)
    assert system.remove_line(2) == 1
    assert system.num_constraints() == 0


def test_removal_keeps_the_order_of_surviving_constraints(system):
    points(system, 3)
    system.add_distance_constraint(0, 2, 1.0)
    system.add_vertical_constraint(1, 2)
    system.add_horizontal_constraint(0, 2)
    system.add_coincident_constraint(0, 1)
    system.add_midpoint_constraint(2, 0, 0)
    system.remove_point(1)
    kinds = [system.remove_constraint(0).kind() for _ in range(system.num_constraints())]
    assert kinds == ["Distance", "Horizontal", "Midpoint"]


def test_clear_constraints_keeps_entities(system):
    points(system, 2)
    system.add_line(0, 1)
    system.add_distance_constraint(0, 1, 1.0)
    system.add_parallel_constraint(0, 0)
    assert system.clear_constraints() is None
    assert system.num_constraints() == 0
    assert repr(system) == "System(points=2, lines=1, circles=0, arcs=0, constraints=0)"
    assert system.get_line(0) == (0, 1)


def test_remove_constraint_returns_the_record_and_shifts_the_rest(system):
    system.add_distance_constraint(0, 1, 1.0)
    system.add_angle_constraint(0, 1, 30.0)
    system.add_concentric_constraint(0, 1)
    removed = system.remove_constraint(0)
    assert removed.kind() == "Distance"
    assert system.num_constraints() == 2
    assert system.remove_constraint(0).kind() == "Angle"


def test_a_constraint_object_can_be_added_many_times(system):
    points(system, 2)
    c = ovralis.coincident_constraint(0, 1)
    other = ovralis.System()
    system.add_constraint(c)
    system.add_constraint(c)
    other.add_constraint(c)
    assert system.num_constraints() == 2 and other.num_constraints() == 1
    assert system.remove_point(1) == 2
    assert other.num_constraints() == 1
    assert c.kind() == "Coincident"


def test_removed_constraint_round_trips_through_add_constraint(system):
    points(system, 3)
    system.add_midpoint_constraint(2, 0, 1)
    system.add_constraint(system.remove_constraint(0))
    assert system.remove_point(2) == 1


@pytest.mark.parametrize("method, arguments", [
    ("add_distance_constraint", (0, 1, 1.0)), ("add_horizontal_constraint", (0, 1)),
    ("add_vertical_constraint", (0, 1)), ("add_coincident_constraint", (0, 1)),
    ("add_fixed_point_constraint", (1, 0.0, 0.0)), ("add_angle_between_points_constraint", (0, 1, 1, 45.0)),
    ("add_midpoint_constraint", (1, 0, 0)), ("add_symmetry_constraint", (1, 0, 5)),
    ("add_point_on_line_constraint", (1, 0)), ("add_point_line_distance_constraint", (1, 0, 2.0)),
    ("add_line_line_intersection_constraint", (1, 0, 0)), ("add_point_on_circle_constraint", (1, 0)),
])
def test_point_constraints_are_dropped_with_their_point(system, method, arguments):
    points(system, 2)
    getattr(system, method)(*arguments)
    assert system.remove_point(1) == 1
    assert system.num_constraints() == 0


@pytest.mark.parametrize("method, arguments, remover", [
    ("add_parallel_constraint", (0, 1), "remove_line"),
    ("add_perpendicular_constraint", (1, 0), "remove_line"),
    ("add_angle_constraint", (0, 1, 10.0), "remove_line"),
    ("add_equal_length_constraint", (1, 0), "remove_line"),
    ("add_line_circle_tangent_constraint", (1, 0), "remove_line"),
    ("add_line_circle_tangent_constraint", (0, 1), "remove_circle"),
    ("add_circle_circle_tangent_constraint", (0, 1), "remove_circle"),
    ("add_circle_circle_tangent_internal_constraint", (1, 0), "remove_circle"),
    ("add_equal_radius_constraint", (0, 1), "remove_circle"),
    ("add_concentric_constraint", (1, 0), "remove_circle"),
    ("add_circle_radius_constraint", (1, 2.0), "remove_circle"),
])
def test_entity_constraints_are_dropped_with_their_entity(system, method, arguments, remover):
    points(system, 2)
    system.add_line(0, 1)
    system.add_line(1, 0)
    system.add_circle(0)
    system.add_circle(1)
    getattr(system, method)(*arguments)
    assert getattr(system, remover)(1) == 1
    assert system.num_constraints() == 0
