"""ovralis.solve_documents on threads, processes and a Dask cluster; the package attributes."""

import json
import math
import pathlib
import pickle
import tomllib
from concurrent.futures import ProcessPoolExecutor

import pytest

import ovralis
from sketches import triangle_document


def side_lengths(document):
    a, b, c = [(p["x"], p["y"]) for p in json.loads(document)["points"]]
    return math.dist(a, b), math.dist(b, c), math.dist(c, a)


SCALES = [1, 2, 3, 5, 8, 13]


def dask_executor():
    distributed = pytest.importorskip("distributed")
    cluster = distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                       dashboard_address=None)
    client = distributed.Client(cluster)
    return client.get_executor(), lambda: (client.close(), cluster.close())


def results_pickle():
    try:
        pickle.dumps(next(ovralis.solve_documents([triangle_document(1)]))[1])
    except TypeError:
        return False
    return True


# Workers in other processes send their SolveResult back pickled.
needs_pickling = pytest.mark.skipif(not results_pickle(), reason="SolveResult does not pickle in this build")


@pytest.fixture(params=["default threads",
                        pytest.param("process pool", marks=needs_pickling),
                        pytest.param("dask cluster", marks=needs_pickling)])
def executor(request):
    if request.param == "default threads":
        yield None
    elif request.param == "process pool":
        with ProcessPoolExecutor(max_workers=2) as pool:
            yield pool
    else:
        executor, close = dask_executor()
        yield executor
        close()


def test_solves_every_document_in_input_order(executor):
    documents = (triangle_document(scale) for scale in SCALES)  # any iterable, read lazily
    solved = list(ovralis.solve_documents(documents, executor=executor))
    assert len(solved) == len(SCALES)
    for scale, (document, result) in zip(SCALES, solved):
        assert isinstance(result, ovralis.SolveResult) and result.converged
        assert side_lengths(document) == pytest.approx((5 * scale, 4 * scale, 3 * scale), rel=1e-7)
        assert json.loads(document)["points"][0] == {"x": 0.0, "y": 0.0, "fixed": True}


@needs_pickling
def test_results_survive_pickling():
    _, result = next(ovralis.solve_documents([triangle_document(1)]))
    copy = pickle.loads(pickle.dumps(result))
    assert repr(copy) == repr(result)


def test_an_unsolvable_document_is_a_result_not_an_error():
    s = ovralis.System()
    a, b = s.add_point(0, 0, fixed=True), s.add_point(1, 0)
    s.add_distance_constraint(a, b, 2.0)
    s.add_distance_constraint(a, b, 3.0)
    [(_, unsolvable), (_, solvable)] = ovralis.solve_documents([s.to_json(), triangle_document(1)], max_iter=20)
    assert not unsolvable.converged
    assert solvable.converged


DANGLING = triangle_document(1).replace('"p2":1', '"p2":9', 1)


@pytest.mark.parametrize("bad, error, message", [
    ('{"points": [', ValueError, r"^document 2: JSON parse error: "),
    ("{}", ValueError, r"^document 2: JSON parse error: missing field `points`"),
    (DANGLING, ValueError, r"^document 2: .*index 9 out of range"),
    (b"{}", TypeError, r"^document 2 must be a str, not bytes$"),
])
def test_a_bad_document_is_named_by_its_position(bad, error, message):
    with pytest.raises(error, match=message):
        list(ovralis.solve_documents([triangle_document(1), triangle_document(2), bad, triangle_document(3)]))


def test_batch_names_are_exported_and_typed():
    assert "solve_documents" in ovralis.__all__
    namespace = {}
    exec("from ovralis import *", namespace)
    assert namespace["solve_documents"] is ovralis.solve_documents
    with pytest.raises(AttributeError, match="module 'ovralis' has no attribute 'solve_document_'"):
        ovralis.solve_document_


def test_version_is_the_project_version():
    pyproject = pathlib.Path(__file__).parents[2] / "pyproject.toml"
    assert ovralis.__version__ == tomllib.loads(pyproject.read_text())["project"]["version"]
