"""The module object: docstring, registrations, exports, the typing stub."""

import ast
import inspect
import pathlib

import pytest

import ovralis

CLASSES = [
    "Point", "Line", "Circle", "Arc", "Constraint",
    "System", "SolveResult", "FollowResult", "DofAnalysis", "SolverDiagnostics", "ConstraintAnalysis",
    "Repair",
]

CONSTRUCTORS = [
    "distance_constraint", "horizontal_constraint", "vertical_constraint",
    "coincident_constraint", "point_on_line_constraint", "point_line_distance_constraint",
    "parallel_constraint", "perpendicular_constraint", "angle_constraint",
    "equal_length_constraint", "line_line_intersection_constraint", "fixed_point_constraint",
    "point_on_circle_constraint", "line_circle_tangent_constraint",
    "circle_circle_tangent_constraint", "circle_circle_tangent_internal_constraint",
    "equal_radius_constraint", "concentric_constraint", "circle_radius_constraint",
    "angle_between_points_constraint", "midpoint_constraint", "symmetry_constraint",
    "point_on_arc_constraint", "line_arc_tangent_constraint",
    "line_arc_start_tangent_constraint", "line_arc_end_tangent_constraint",
    "arc_arc_tangent_constraint", "arc_arc_tangent_internal_constraint",
    "arc_circle_tangent_constraint", "arc_circle_tangent_internal_constraint",
    "arc_radius_constraint", "arc_sweep_angle_constraint",
]

# Names written in Python and loaded on first use, listed after the constructors.
LAZY_FUNCTIONS = ["solve_documents", "from_dxf"]
# Loaded on first use too, but kept out of __all__ (it needs an optional library).
LAZY_UNLISTED = ["SketchWidget"]


def test_module_docstring():
    assert ovralis.__doc__ == (
        "ovralis \u2014 2D Geometry Constraint Solver\n\n"
        "A production-ready constraint solver for 2D geometric systems.\n"
        "Supports points, lines, circles, arcs with 30+ constraint types.\n"
        "Solvers: Levenberg-Marquardt, DogLeg, BFGS, MultiStart, Sparse."
    )


def test_all_lists_classes_then_constructors_in_registration_order():
    assert ovralis.__all__ == CLASSES + CONSTRUCTORS + LAZY_FUNCTIONS


def test_registration_order_is_the_module_dict_order():
    names = [name for name in vars(ovralis) if name in set(CLASSES + CONSTRUCTORS)]
    assert names == CLASSES + CONSTRUCTORS


@pytest.mark.parametrize("name", CONSTRUCTORS)
def test_constructor_functions_belong_to_the_module(name):
    function = getattr(ovralis, name)
    assert function.__module__ == "ovralis"
    assert function.__self__ is ovralis


def test_internal_error_is_a_base_exception_outside_all():
    assert issubclass(ovralis.InternalError, BaseException)
    assert not issubclass(ovralis.InternalError, Exception)
    assert "InternalError" not in ovralis.__all__


def test_reimport_returns_the_same_module():
    import importlib
    import sys

    saved = sys.modules.pop("ovralis")
    try:
        again = importlib.import_module("ovralis")
        assert again.System is saved.System
    finally:
        sys.modules["ovralis"] = saved


def stub_tree():
    stub = pathlib.Path(ovralis.__file__).with_name("__init__.pyi")
    return ast.parse(stub.read_text(encoding="utf-8"))


def public_stub_names(body):
    names = set()
    for node in body:
        if isinstance(node, (ast.ClassDef, ast.FunctionDef)):
            names.add(node.name)
        elif isinstance(node, ast.AnnAssign) and isinstance(node.target, ast.Name):
            names.add(node.target.id)
        elif isinstance(node, ast.Assign):
            names.update(t.id for t in node.targets if isinstance(t, ast.Name))
    return {name for name in names if not name.startswith("_")}


def test_stub_and_py_typed_are_installed():
    package = pathlib.Path(ovralis.__file__).parent
    assert (package / "__init__.pyi").is_file()
    assert (package / "py.typed").is_file()


def test_stub_names_exactly_the_public_module_attributes():
    exported = {name for name in vars(ovralis) if not name.startswith("_")}
    exported.update(LAZY_FUNCTIONS + LAZY_UNLISTED)
    assert public_stub_names(stub_tree().body) == exported


@pytest.mark.parametrize("name", CLASSES)
def test_stub_names_exactly_the_public_class_attributes(name):
    classes = {n.name: n for n in stub_tree().body if isinstance(n, ast.ClassDef)}
    in_stub = public_stub_names(classes[name].body)
    in_module = {attr for attr in vars(getattr(ovralis, name)) if not attr.startswith("_")}
    assert in_stub == in_module


def stub_function_parameters(node):
    arguments = node.args.posonlyargs + node.args.args + node.args.kwonlyargs
    return [a.arg for a in arguments if a.arg != "self"]


@pytest.mark.parametrize("name", CONSTRUCTORS)
def test_stub_functions_have_the_module_parameters(name):
    functions = {n.name: n for n in stub_tree().body if isinstance(n, ast.FunctionDef)}
    expected = list(inspect.signature(getattr(ovralis, name)).parameters)
    assert stub_function_parameters(functions[name]) == expected


def test_stub_system_methods_have_the_module_parameters():
    classes = {n.name: n for n in stub_tree().body if isinstance(n, ast.ClassDef)}
    for node in classes["System"].body:
        if isinstance(node, ast.FunctionDef) and not node.name.startswith("_"):
            parameters = inspect.signature(getattr(ovralis.System, node.name)).parameters
            expected = [p for p in parameters if p != "self"]
            assert stub_function_parameters(node) == expected, node.name
