"""The command line, run as `python -m ovralis` on real files."""

import json
import math
import os
import pty
import subprocess
import sys

import pytest

import ovralis
from sketches import triangle_document


def contradiction_document():
    s = ovralis.System()
    a, b = s.add_point(0, 0, fixed=True), s.add_point(1, 0)
    s.add_distance_constraint(a, b, 2.0)
    s.add_distance_constraint(a, b, 3.0)
    return s.to_json()


def run(*args, cwd, stderr=subprocess.PIPE):
    return subprocess.run([sys.executable, "-m", "ovralis", *args], cwd=cwd, text=True,
                          stdout=subprocess.PIPE, stderr=stderr, timeout=120)


@pytest.fixture
def files(tmp_path):
    (tmp_path / "good.json").write_text(triangle_document())
    (tmp_path / "unsolvable.json").write_text(contradiction_document())
    loose = ovralis.System()
    loose.add_point(1, 2)
    (tmp_path / "loose.json").write_text(loose.to_json())
    (tmp_path / "malformed.json").write_text('{"points": [')
    (tmp_path / "dangling.json").write_text(triangle_document().replace('"p2":1', '"p2":9', 1))
    (tmp_path / "latin1.json").write_bytes(b'{"points": "\xe9"}')
    return tmp_path


def side_lengths(path):
    a, b, c = [(p["x"], p["y"]) for p in json.loads(path.read_text())["points"]]
    return math.dist(a, b), math.dist(b, c), math.dist(c, a)


@pytest.mark.parametrize("arguments, status", [
    (["solve", "good.json"], 0),
    (["solve", "good.json", "unsolvable.json"], 1),
    (["analyze", "good.json"], 0),
    (["analyze", "good.json", "loose.json"], 1),
    (["verify", "good.json"], 1),  # as stored, before solving
])
def test_exit_status_says_whether_every_document_succeeded(files, arguments, status):
    completed = run(*arguments, cwd=files)
    assert completed.returncode == status, completed.stderr
    assert completed.stderr == ""


@pytest.mark.parametrize("command", ["solve", "verify", "analyze"])
@pytest.mark.parametrize("bad, message", [
    ("malformed.json", "malformed.json: JSON parse error"),
    ("missing.json", "cannot read missing.json: No such file or directory"),
    ("latin1.json", "cannot read latin1.json: not UTF-8 text"),
    ("dangling.json", "dangling.json: Point index 9 out of range"),
])
def test_unreadable_input_exits_2_naming_the_file(files, command, bad, message):
    completed = run(command, "good.json", bad, cwd=files)
    if command == "analyze" and bad == "dangling.json":
        pytest.skip("counting degrees of freedom does not read through indices")
    assert completed.returncode == 2
    assert completed.stderr.startswith("ovralis: error: ") and message in completed.stderr
    assert "Traceback" not in completed.stderr


@pytest.mark.parametrize("arguments", [[], ["solve"], ["solve", "good.json", "--max-iter", "0"], ["frobnicate"]])
def test_bad_usage_exits_2_without_a_traceback(files, arguments):
    completed = run(*arguments, cwd=files)
    assert completed.returncode == 2 and "usage: ovralis" in completed.stderr
    assert "Traceback" not in completed.stderr


@pytest.mark.parametrize("inputs, output, written", [
    (["good.json"], None, ["good.solved.json"]),
    (["good.json"], "result.json", ["result.json"]),
    (["good.json", "big.json"], "out", ["out/good.json", "out/big.json"]),
])
def test_solve_writes_solved_documents_where_asked(files, inputs, output, written):
    (files / "big.json").write_text(triangle_document(10.0))
    completed = run("solve", *inputs, *(["-o", output] if output else []), cwd=files)
    assert completed.returncode == 0, completed.stderr
    for name in written:
        scale = 10.0 if "big" in name else 1.0
        assert side_lengths(files / name) == pytest.approx((5 * scale, 4 * scale, 3 * scale), rel=1e-7)
    # The solved document verifies.
    assert run("verify", *written, cwd=files).returncode == 0


def test_two_inputs_may_not_be_written_to_one_file(files):
    (files / "sub").mkdir()
    (files / "sub" / "good.json").write_text(triangle_document())
    completed = run("solve", "good.json", "sub/good.json", "-o", "out", cwd=files)
    assert completed.returncode == 2 and "several inputs would be written to out/good.json" in completed.stderr


@pytest.mark.parametrize("count, terminal, bar_shown", [(12, True, True), (3, True, False), (12, False, False)])
def test_progress_bar_only_on_a_terminal_for_long_batches(files, count, terminal, bar_shown):
    names = [f"sketch{i}.json" for i in range(count)]
    for name in names:
        (files / name).write_text(triangle_document())
    if not terminal:
        assert ("solving [" in run("solve", *names, cwd=files).stderr) is bar_shown
        return
    controller, terminal_end = pty.openpty()
    try:
        completed = run("solve", *names, cwd=files, stderr=terminal_end)
        os.close(terminal_end)
        drawn = b""
        while chunk := _read(controller):
            drawn += chunk
    finally:
        os.close(controller)
    assert completed.returncode == 0
    assert (f"solving [{'#' * 30}] {count}/{count}".encode() in drawn) is bar_shown


def _read(fd):
    try:
        return os.read(fd, 65536)
    except OSError:  # the terminal's other end is closed: everything has been read
        return b""
