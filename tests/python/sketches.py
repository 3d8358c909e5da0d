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


def rectangle(diagonal=None):
    """A 4 x 3 rectangle drawn exactly: horizontal base (0), width (1), height
    (2), four perpendiculars (3-6), and, unless None, a diagonal (7) added last."""
    s = ovralis.System()
    p = [s.add_point(0, 0, fixed=True), s.add_point(4, 0), s.add_point(4, 3), s.add_point(0, 3)]
    lines = [s.add_line(p[i], p[(i + 1) % 4]) for i in range(4)]
    s.add_horizontal_constraint(p[0], p[1])
    s.add_distance_constraint(p[0], p[1], 4)
    s.add_distance_constraint(p[1], p[2], 3)
    for i in range(4):
        s.add_perpendicular_constraint(lines[i], lines[(i + 1) % 4])
    if diagonal is not None:
        s.add_distance_constraint(p[0], p[2], diagonal)
    return s
