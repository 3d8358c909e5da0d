"""Argument binding and conversion of System methods."""

import pytest

import ovralis


class Index:
    """An integer-like object that is not an int."""

    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


class Real:
    """A float-like object that is not a float."""

    def __init__(self, value):
        self.value = value

    def __float__(self):
        return self.value


@pytest.mark.parametrize("call, error, message", [
    (lambda s: s.add_point(1.0, 2.0, fixed=1), TypeError, r"^add_point\(\) argument 'fixed' must be bool, not int$"),
    (lambda s: s.add_point(1.0), TypeError, r"^add_point\(\) missing required argument 'y' \(pos 2\)$"),
    (lambda s: s.add_point(y=1.0), TypeError, r"^add_point\(\) missing required argument 'x' \(pos 1\)$"),
    (lambda s: s.add_point(1.0, 2.0, colour=1), TypeError,
     r"^add_point\(\) got an unexpected keyword argument 'colour'$"),
    (lambda s: s.add_point(1.0, 2.0, x=1), TypeError, r"^add_point\(\) got multiple values for argument 'x'$"),
    (lambda s: s.add_point(1.0, 2.0, False, 4), TypeError,
     r"^add_point\(\) takes at most 3 positional arguments \(4 given\)$"),
    (lambda s: s.add_point("1", 2.0), TypeError, r"^add_point\(\) argument 'x' must be real number, not str$"),
    (lambda s: s.add_point(None, 2.0), TypeError, r"^add_point\(\) argument 'x' must be real number, not NoneType$"),
    (lambda s: s.add_line(0, 1.0), TypeError, r"^add_line\(\) argument 'p2' must be int, not float$"),
    (lambda s: s.add_circle(0, radius="r"), TypeError, r"^add_circle\(\) argument 'radius' must be real number"),
    (lambda s: s.add_arc(0, 1, 2, fixed=None), TypeError, r"^add_arc\(\) argument 'fixed' must be bool"),
    (lambda s: s.get_point(-1), OverflowError, r"^get_point\(\) argument 'idx': can't convert negative int"),
    (lambda s: s.add_line(0, -3), OverflowError, r"^add_line\(\) argument 'p2': can't convert negative int"),
    (lambda s: s.get_point(2**64), OverflowError, r"^get_point\(\) argument 'idx': int too big to convert$"),
    (lambda s: s.num_points(1), TypeError, r"^num_points\(\) takes no arguments \(1 given\)$"),
    (lambda s: s.num_points(idx=1), TypeError, r"^num_points\(\) got an unexpected keyword argument 'idx'$"),
    (lambda s: s.add_symmetry_constraint(0, 1), TypeError,
     r"^add_symmetry_constraint\(\) missing required argument 'line' \(pos 3\)$"),
    (lambda s: s.add_angle_constraint(0, 1, deg=[]), TypeError,
     r"^add_angle_constraint\(\) argument 'deg' must be real number, not list$"),
    (lambda s: s.add_constraint(ovralis.Point()), TypeError,
     r"^add_constraint\(\) argument 'c' must be Constraint, not ovralis.Point$"),
    (lambda s: s.diagnostics(include_residuals=0), TypeError,
     r"^diagnostics\(\) argument 'include_residuals' must be bool, not int$"),
    (lambda s: s.solve(max_iter=-1), OverflowError, r"^solve\(\) argument 'max_iter'"),
    (lambda s: s.solve(tol="small"), TypeError, r"^solve\(\) argument 'tol' must be real number"),
    (lambda s: s.verify_solution(tolerance=None), TypeError, r"^verify_solution\(\) argument 'tolerance'"),
    (lambda s: ovralis.System.from_json(b"{}"), TypeError, r"^from_json\(\) argument 'json' must be str, not bytes$"),
    (lambda s: ovralis.System(1), TypeError, r"^System\(\) takes no arguments \(1 given\)$"),
])
def test_argument_errors(system, call, error, message):
    with pytest.raises(error, match=message):
        call(system)
    assert repr(system) == "System(points=0, lines=0, circles=0, arcs=0, constraints=0)"


def test_keyword_arguments_in_any_order(system):
    assert system.add_point(y=2.0, fixed=True, x=1.0) == 0
    assert system.add_arc(end=3, start=2, center=1, fixed=False, radius=5) == 0
    assert system.get_point(0) == (1.0, 2.0)
    assert system.get_arc(idx=0) == (1, 2, 3, 5.0)
    system.add_distance_constraint(d=5.0, p2=1, p1=0)
    assert system.num_constraints() == 1


def test_index_and_real_protocols_are_accepted(system):
    system.add_point(Real(1.5), True)  # bool is an int, so a real
    system.add_point(0, 0)
    assert system.get_point(Index(0)) == (1.5, 1.0)
    assert system.add_line(Index(0), True) == 0
    assert system.get_line(0) == (0, 1)


def test_large_indices_are_unsigned_64_bit(system):
    system.add_line(2**64 - 1, 2**63)
    assert system.get_line(0) == (2**64 - 1, 2**63)


@pytest.mark.parametrize("dtype", ["int8", "int32", "int64", "uint64"])
def test_numpy_integers_are_indices(system, dtype):
    numpy = pytest.importorskip("numpy")
    system.add_point(0, 0)
    system.add_point(1, 0)
    assert system.add_line(numpy.array(0, dtype=dtype)[()], numpy.array(1, dtype=dtype)[()]) == 0
    assert system.get_point(numpy.array(1, dtype=dtype)[()]) == (1.0, 0.0)


@pytest.mark.parametrize("dtype", ["float16", "float32", "float64", "int64"])
def test_numpy_numbers_are_reals(system, dtype):
    numpy = pytest.importorskip("numpy")
    value = numpy.array(2, dtype=dtype)[()]
    system.add_point(value, value)
    system.add_circle(0, value)
    assert system.get_point(0) == (2.0, 2.0)
    assert system.get_circle(0) == (0, 2.0)


def test_numpy_negative_integer_is_an_overflow(system):
    numpy = pytest.importorskip("numpy")
    with pytest.raises(OverflowError):
        system.get_point(numpy.int64(-1))


def test_numpy_bool_is_not_a_flag(system):
    numpy = pytest.importorskip("numpy")
    with pytest.raises(TypeError, match="argument 'fixed' must be bool, not numpy.bool"):
        system.add_point(0, 0, numpy.bool_(True))


def test_a_failing_conversion_propagates_its_own_exception(system):
    class Broken:
        def __float__(self):
            raise ZeroDivisionError("from __float__")

    with pytest.raises(ZeroDivisionError, match="from __float__"):
        system.add_point(0.0, Broken())
    assert system.num_points() == 0
