"""From a DXF drawing to a parametric sketch.

Draws a bracket with ezdxf (an outline with filleted corners as one bulged
polyline, a slot and two holes), reads it back with ovralis.from_dxf, and
writes two pictures: the bare geometry as it comes from the file, every
entity free (orange), and the sketch after inference and automatic
dimensions, fully constrained. Run from the repository's root:

    python examples/dxf_import.py        # writes docs/dxf_before.svg and docs/dxf_after.svg
"""

import io
import math
from pathlib import Path

import ezdxf

import ovralis

DOCS = Path(__file__).resolve().parent.parent / "docs"


def bracket_drawing():
    document = ezdxf.new("R2010")
    msp = document.modelspace()
    # A 90 x 50 plate whose corners are rounded with radius 8: a bulge of
    # tan(90 deg / 4) turns each corner segment into a quarter circle.
    bulge = math.tan(math.pi / 8)
    r, w, h = 8.0, 90.0, 50.0
    outline = [(r, 0, 0), (w - r, 0, bulge), (w, r, 0), (w, h - r, bulge), (w - r, h, 0), (r, h, bulge),
               (0, h - r, 0), (0, r, bulge)]
    msp.add_lwpolyline(outline, format="xyb", close=True)
    # A slot: two lines and two half circles.
    msp.add_line((30, 15), (60, 15))
    msp.add_line((60, 25), (30, 25))
    msp.add_arc((60, 20), 5, -90, 90)
    msp.add_arc((30, 20), 5, 90, 270)
    for x in (20, 70):
        msp.add_circle((x, 38), 4)
    stream = io.StringIO()
    document.write(stream)
    return stream.getvalue()


def main():
    text = bracket_drawing()
    bare = ovralis.from_dxf(io.StringIO(text), infer=False)
    print("as read:", bare, bare.analyze_constraints())
    (DOCS / "dxf_before.svg").write_text(bare.to_svg(width=480, analysis=bare.analyze_constraints()))

    sketch = ovralis.from_dxf(io.StringIO(text))
    inferred = sketch.num_constraints()
    dimensions = sketch.autodimension()
    analysis = sketch.analyze_constraints()
    print(f"inferred {inferred} relations, added {len(dimensions)} dimensions:", analysis)
    (DOCS / "dxf_after.svg").write_text(sketch.to_svg(width=480, analysis=analysis))


if __name__ == "__main__":
    main()
