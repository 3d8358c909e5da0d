"""The rough-drawing generator's designs hold, and ovralis solves rough
drawings of them without a false claim or a collapse, judged by the
generator's own geometry (never the solver's residuals)."""

import numpy as np
import pytest

from rough_sketches import (FAMILIES, JITTERS, REALISTIC_SHAPES, equation_rows, far_intersection,
                            far_jittered, freedom, jittered, radii_of, realistic_part)

MAKERS = dict(FAMILIES, **{"far intersection": far_intersection})
REALISTIC_BY_NAME = {shape.__name__: shape for shape in REALISTIC_SHAPES}


@pytest.mark.parametrize("family", MAKERS)
@pytest.mark.parametrize("seed", range(3))
def test_a_design_holds_exactly(family, seed):
    design = MAKERS[family](np.random.default_rng(seed))
    system = design.to_system()
    errors = design.errors(np.array(system.get_points()), *radii_of(system))
    assert errors.max(initial=0.0) < 1e-13
    assert not design.collapsed(np.array(design.points), *radii_of(system))


@pytest.mark.parametrize("family", MAKERS)
@pytest.mark.parametrize("share", [0.01, 0.05])
def test_a_rough_drawing_is_never_claimed_wrongly_nor_left_collapsed(family, share):
    for seed in range(3):
        design = MAKERS[family](np.random.default_rng(seed))
        rng = np.random.default_rng(100 + seed)
        drawing = (far_jittered if family == "far intersection" else jittered)(design, rng, share)
        system = drawing.to_system()
        claimed = system.solve().converged
        verdict = drawing.judge(np.array(system.get_points()), *radii_of(system), claimed,
                                np.array(drawing.points))
        assert verdict not in ("wrong claim", "collapsed"), (seed, verdict)
        if family in ("chamfered rectangle", "far intersection"):
            assert verdict == "correct", (seed, verdict)


@pytest.mark.parametrize("shape", REALISTIC_SHAPES, ids=lambda shape: shape.__name__)
@pytest.mark.parametrize("seed", range(2))
def test_a_realistic_part_holds_and_leaves_much_of_its_freedom_free(shape, seed):
    design = realistic_part(np.random.default_rng(seed), shape)
    system = design.to_system()
    errors = design.errors(np.array(system.get_points()), *radii_of(system))
    assert errors.max(initial=0.0) < 1e-13
    assert not design.collapsed(np.array(design.points), *radii_of(system))
    rows, unknowns = equation_rows(design)
    joins = [k for k in range(len(design.constraints)) if k not in design.intent]
    loose = freedom(rows, joins, unknowns)
    free = freedom(rows, range(len(design.constraints)), unknowns)
    assert 0.3 * loose <= free < loose


def judged_solve(shape, seed, jitter):
    """A realistic part drawn roughly, solved, and the generator's verdict."""
    design = realistic_part(np.random.default_rng(seed), REALISTIC_BY_NAME[shape])
    drawing = jittered(design, np.random.default_rng(1000 * seed + jitter + 1), JITTERS[jitter])
    system = drawing.to_system()
    claimed = system.solve().converged
    return drawing.judge(np.array(system.get_points()), *radii_of(system), claimed,
                         np.array(drawing.points))


@pytest.mark.parametrize("shape, seed, jitter", [("keyhole_plate", 0, 0)])
def test_a_drawing_whose_residual_a_shrunk_side_satisfies_is_solved(shape, seed, jitter):
    # Levenberg–Marquardt shrinks the keyhole's slot sides to a ten-thousandth
    # of the part, where their cross product is zero while they are three
    # degrees apart; that ending only seemed converged, and must be recovered
    # from rather than reported as a failure.
    assert judged_solve(shape, seed, jitter) == "correct"


@pytest.mark.parametrize("shape, seed, jitter", [("l_bracket", 3, 1), ("l_bracket", 11, 1)])
def test_a_fillet_whose_joined_ends_were_drawn_apart_keeps_its_sense(shape, seed, jitter):
    # Joining the fillet's ends to its sides before the first step (at the
    # first-named copy or at their mean) starts it turned over, and every
    # start with the joins substituted ends on its mirror image.
    assert judged_solve(shape, seed, jitter) == "correct"
