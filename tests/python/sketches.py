"""Small sketches shared by several test files."""

import ovralis


def triangle_document(scale=1.0):
    """A 3-4-5 triangle times `scale` as a JSON document: A fixed at the origin,
    AB horizontal, B and C started away from the solution."""
    s = ovralis.System()
    a = s.add_point(0, 0, fixed=True)
    b = s.add_point(4.4 * scale, 0.7 * scale)
    c = s.add_point(0.6 * scale, 2.5 * scale)
    s.add_horizontal_constraint(a, b)
    s.add_distance_constraint(a, b, 5.0 * scale)
    s.add_distance_constraint(b, c, 4.0 * scale)
    s.add_distance_constraint(c, a, 3.0 * scale)
    return s.to_json()
