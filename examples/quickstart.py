"""Solve a small plate with a rounded corner and draw it.

The plate is 100 x 60 with its lower-left corner pinned at the origin. Its
top-right corner is replaced by a fillet arc of radius 15 that is tangent to
the right and top edges. The sketch starts roughly drawn; the solver moves
every free point to where the constraints say, and the result is written to
plate.svg beside this script.
"""

import math
from pathlib import Path

import ovralis


def build_plate() -> ovralis.System:
    sketch = ovralis.System()
    # A rough first drawing: the solver only needs the right topology.
    origin = sketch.add_point(0, 0, fixed=True)
    bottom_right = sketch.add_point(90, 5)
    fillet_start = sketch.add_point(95, 40)
    fillet_center = sketch.add_point(80, 40)
    fillet_end = sketch.add_point(80, 55)
    top_left = sketch.add_point(5, 55)

    sketch.add_line(origin, bottom_right)
    right = sketch.add_line(bottom_right, fillet_start)
    top = sketch.add_line(fillet_end, top_left)
    sketch.add_line(top_left, origin)
    fillet = sketch.add_arc(fillet_center, fillet_start, fillet_end, radius=10.0)

    sketch.add_horizontal_constraint(origin, bottom_right)
    sketch.add_distance_constraint(origin, bottom_right, 100.0)
    sketch.add_vertical_constraint(bottom_right, fillet_start)
    sketch.add_horizontal_constraint(fillet_end, top_left)
    sketch.add_vertical_constraint(origin, top_left)
    sketch.add_distance_constraint(origin, top_left, 60.0)
    for end in (fillet_start, fillet_end):
        sketch.add_constraint(ovralis.point_on_arc_constraint(end, fillet))
    sketch.add_constraint(ovralis.arc_radius_constraint(fillet, 15.0))
    sketch.add_constraint(ovralis.line_arc_start_tangent_constraint(right, fillet))
    sketch.add_constraint(ovralis.line_arc_end_tangent_constraint(top, fillet))
    return sketch


def to_svg(sketch: ovralis.System, margin: float = 10.0) -> str:
    points = sketch.get_points()
    xs = [x for x, _ in points]
    ys = [y for _, y in points]
    left, top = min(xs) - margin, max(ys) + margin
    width, height = max(xs) - min(xs) + 2 * margin, max(ys) - min(ys) + 2 * margin

    def at(index: int) -> str:
        # SVG's y axis points down; the sketch's points up.
        x, y = points[index]
        return f"{x - left:.3f} {top - y:.3f}"

    shapes = []
    for p1, p2 in sketch.get_lines():
        shapes.append(f'<path d="M {at(p1)} L {at(p2)}"/>')
    for center, start, end, radius in sketch.get_arcs():
        (cx, cy), (sx, sy), (ex, ey) = points[center], points[start], points[end]
        sweep = (math.atan2(ey - cy, ex - cx) - math.atan2(sy - cy, sx - cx)) % (2 * math.pi)
        large = 1 if sweep > math.pi else 0
        # Counter-clockwise in the sketch is clockwise once y is flipped.
        shapes.append(f'<path d="M {at(start)} A {radius:.3f} {radius:.3f} 0 {large} 0 {at(end)}"/>')
    dots = [f'<circle cx="{x - left:.3f}" cy="{top - y:.3f}" r="1.2"/>' for x, y in points]
    return (
        f'<svg xmlns="http://www.w3.org/2000/svg" width="{4 * width:.0f}" height="{4 * height:.0f}" '
        f'viewBox="0 0 {width:.3f} {height:.3f}">\n'
        f'<rect width="100%" height="100%" fill="white"/>\n'
        f'<g fill="none" stroke="#1f4e9c" stroke-width="0.8">\n' + "\n".join(shapes) + "\n</g>\n"
        f'<g fill="#c0392b">\n' + "\n".join(dots) + "\n</g>\n</svg>\n"
    )


def main() -> None:
    sketch = build_plate()
    print(sketch)
    print(sketch.analyze_dof())
    # tol is measured in units of the sketch's mean point spacing, so ask for
    # a little more than the default to verify at 1e-6 in drawing units.
    result = sketch.solve(tol=1e-10)
    print(result)
    for index, (x, y) in enumerate(sketch.get_points()):
        print(f"  point {index}: ({x:.4f}, {y:.4f})")
    report = sketch.verify_solution()
    print(report["summary"])
    svg_path = Path(__file__).with_name("plate.svg")
    svg_path.write_text(to_svg(sketch))
    print(f"drawing written to {svg_path}")


if __name__ == "__main__":
    main()
