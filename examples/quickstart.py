"""Build a small sketch with ovralis and print what it holds.

A right triangle: a fixed corner at the origin, two free corners, three sides,
and constraints that pin its shape: a horizontal base of length 4, a vertical
side of length 3, and a circle of radius 1 drawn about the right-angle corner.
"""

import ovralis

sketch = ovralis.System()

origin = sketch.add_point(0, 0, fixed=True)
right = sketch.add_point(3.5, 0.4)
top = sketch.add_point(0.2, 2.6)

sketch.add_line(origin, right)
sketch.add_line(origin, top)
sketch.add_line(right, top)

sketch.add_horizontal_constraint(origin, right)
sketch.add_vertical_constraint(origin, top)
sketch.add_distance_constraint(origin, right, 4.0)
sketch.add_distance_constraint(origin, top, 3.0)

marker = sketch.add_circle(origin, radius=1.0)
sketch.add_constraint(ovralis.circle_radius_constraint(marker, 1.0))

print(sketch)
for index, (x, y) in enumerate(sketch.get_points()):
    print(f"  point {index}: ({x:g}, {y:g})")
for index, (p1, p2) in enumerate(sketch.get_lines()):
    print(f"  line {index}: point {p1} -> point {p2}")
for index, (center, radius) in enumerate(sketch.get_circles()):
    print(f"  circle {index}: about point {center}, radius {radius:g}")
print(f"  {sketch.num_constraints()} constraints")
