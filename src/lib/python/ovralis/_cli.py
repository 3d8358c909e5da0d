"""The `ovralis` command line: solve, verify, analyse and draw sketch documents.

Every command takes one or more JSON documents (as written by System.to_json)
and prints one line per document. The exit status is 0 when every document
succeeded (converged, verified, fully constrained, drawn), 1 when at least one
did not, and 2 on bad usage or a file that cannot be read, parsed or written;
such errors are one line naming the file, never a traceback.
"""

from __future__ import annotations

import argparse
import os
import sys
from collections import Counter
from collections.abc import Iterable, Iterator
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

import ovralis
from ovralis._progress import Progress

EXIT_OK = 0
EXIT_FAILED = 1
EXIT_BAD_INPUT = 2


class InputError(Exception):
    """A file that cannot be read, parsed or written (exit status 2)."""


# ---- files ----


def read_text(path: Path) -> str:
    try:
        return path.read_text(encoding="utf-8")
    except OSError as error:
        raise InputError(f"cannot read {path}: {error.strerror or error}") from None
    except UnicodeDecodeError:
        raise InputError(f"cannot read {path}: not UTF-8 text") from None


def read_system(path: Path) -> ovralis.System:
    text = read_text(path)
    try:
        return ovralis.System.from_json(text)
    except ValueError as error:
        raise InputError(f"{path}: {error}") from None


def write_text(path: Path, text: str) -> None:
    try:
        path.write_text(text, encoding="utf-8")
    except OSError as error:
        raise InputError(f"cannot write {path}: {error.strerror or error}") from None


def output_paths(inputs: list[Path], output: Path | None, beside: str, inside: str) -> list[Path]:
    """Where each input's result goes.

    Without -o, beside the input with its suffix replaced by `beside`
    (plate.json -> plate.solved.json). With -o and one input, -o is the file
    unless it is an existing directory. Otherwise -o is a directory (created
    if needed) holding each result as its input's stem plus `inside`.
    """
    if output is None:
        targets = [path.with_name(path.stem + beside) for path in inputs]
    elif len(inputs) == 1 and not output.is_dir():
        targets = [output]
    else:
        try:
            output.mkdir(parents=True, exist_ok=True)
        except OSError as error:
            raise InputError(f"cannot create directory {output}: {error.strerror or error}") from None
        targets = [output / (path.stem + inside) for path in inputs]
    clashes = [target for target, count in Counter(targets).items() if count > 1]
    if clashes:
        raise InputError(f"several inputs would be written to {clashes[0]}")
    return targets


# ---- commands ----


def with_variables_set(path: Path, assignments: list[tuple[str, float]]) -> str:
    """The document at `path` with each named variable given its value."""
    if not assignments:
        return read_text(path)
    system = read_system(path)
    for name, value in assignments:
        try:
            system.set_variable(name, value)
        except ValueError as error:
            raise InputError(f"{path}: --set {name}: {error}") from None
    return system.to_json()


def solve_command(args: argparse.Namespace) -> int:
    targets = output_paths(args.inputs, args.output, ".solved.json", ".json")
    executor = ThreadPoolExecutor(max_workers=args.jobs) if args.jobs else None
    converged = 0
    with Progress("solving", len(args.inputs)) as progress:
        documents = (with_variables_set(path, args.set) for path in args.inputs)
        solved = ovralis.solve_documents(documents, max_iter=args.max_iter, tol=args.tol, executor=executor)
        try:
            for path, target in zip(args.inputs, targets):
                try:
                    text, result = next(solved)
                except ValueError as error:
                    # Results come in input order, so the failing document is this one.
                    raise InputError(f"{path}: {error.__cause__ or error}") from None
                write_text(target, text)
                converged += result.converged
                outcome = "converged" if result.converged else "did not converge"
                progress.print(f"{path}: {outcome} after {result.iterations} iterations, "
                               f"max residual {result.max_residual:.2e} -> {target}")
                progress.advance(path.name)
        finally:
            solved.close()
            if executor is not None:
                executor.shutdown(cancel_futures=True)
    return summarise(converged, len(args.inputs), "converged")


def verify_command(args: argparse.Namespace) -> int:
    correct = 0
    with Progress("verifying", len(args.inputs)) as progress:
        for path, system in loaded(args.inputs):
            report = checked(path, lambda: system.verify_solution(tolerance=args.tolerance))
            correct += report["is_correct"]
            progress.print(f"{path}: {report['summary']}")
            for finding in report["failed_checks"] + report["geometry_warnings"]:
                progress.print(f"    {finding}")
            progress.advance(path.name)
    return summarise(correct, len(args.inputs), "verified")


def analyze_command(args: argparse.Namespace) -> int:
    complete = 0
    with Progress("analysing", len(args.inputs)) as progress:
        for path, system in loaded(args.inputs):
            lines = checked(path, lambda: analysis_lines(system))
            status = lines[0]
            complete += status in ("fully_constrained", "well_constrained")
            progress.print(f"{path}: " + ", ".join(lines))
            for line in checked(path, lambda: diagnosis_lines(system)):
                progress.print(f"    {line}")
            progress.advance(path.name)
    return summarise(complete, len(args.inputs), "fully constrained")


def analysis_lines(system: ovralis.System) -> list[str]:
    """The status first, then the findings worth a reader's attention."""
    analyze_constraints = getattr(system, "analyze_constraints", None)
    if analyze_constraints is None:
        dof = system.analyze_dof()
        return [dof.status, f"{dof.degrees_of_freedom} degrees of freedom",
                f"{dof.free_variables} free variables", f"{dof.constraint_equations} equations"]
    analysis = analyze_constraints()
    lines = [analysis.status, f"{analysis.dof} degrees of freedom", f"rank {analysis.rank}"]
    for label in ("conflicting", "redundant"):
        indices = getattr(analysis, label)
        if indices:
            lines.append(f"{label} constraints {' '.join(map(str, indices))}")
        equations = getattr(analysis, f"{label}_equations", ())
        if equations:
            lines.append(f"{label} equations {' '.join(map(str, equations))}")
    return lines


def diagnosis_lines(system: ovralis.System) -> list[str]:
    """For a sketch that does not solve: each conflict with its group, then the repairs."""
    repairs = getattr(system, "repairs", None)
    if repairs is None:
        return []
    found = repairs()
    if not found:
        return []
    analysis = system.analyze_constraints()
    lines = [f"conflict: constraint {k} ({system.get_constraint(k).kind()}) with constraints "
             f"{' '.join(map(str, analysis.groups[k]))}" for k in analysis.conflicting]
    lines += equation_conflict_lines(system, analysis)
    for repair in found:
        named = f"constraint {repair.constraint} ({system.get_constraint(repair.constraint).kind()})"
        action = f"remove {named}" if repair.action == "remove" else f"set {named} to {repair.value:.6g}"
        lines.append(f"repair: {action}, moves the drawing {repair.movement:.3g}")
    return lines


def equation_conflict_lines(system: ovralis.System, analysis: ovralis.ConstraintAnalysis) -> list[str]:
    """Each conflicting equation with the constraints and earlier equations it fights."""
    conflicting = getattr(analysis, "conflicting_equations", ())
    if not conflicting:
        return []
    texts = system.equations()
    lines = []
    for e in conflicting:
        constraints, equations = analysis.equation_groups[e]
        fought = " and ".join(filter(None, [
            f"constraints {' '.join(map(str, constraints))}" if constraints else "",
            f"equations {' '.join(map(str, equations))}" if equations else ""]))
        lines.append(f"conflict: equation {e} ({texts[e]})" + (f" with {fought}" if fought else ""))
    return lines


def render_command(args: argparse.Namespace) -> int:
    targets = output_paths(args.inputs, args.output, ".svg", ".svg")
    with Progress("drawing", len(args.inputs)) as progress:
        for (path, system), target in zip(loaded(args.inputs), targets):
            to_svg = getattr(system, "to_svg", None)
            if to_svg is None:
                raise InputError("this build of ovralis cannot draw sketches (System.to_svg is missing)")
            write_text(target, checked(path, to_svg))
            progress.print(f"{path} -> {target}")
            progress.advance(path.name)
    return EXIT_OK


def serve_command(args: argparse.Namespace) -> int:
    import webbrowser

    from ovralis._serve import SketchServer

    system = read_system(args.input)
    try:
        server = SketchServer(args.input.resolve(), system, args.host, args.port)
    except OSError as error:
        raise InputError(f"cannot listen on {args.host}:{args.port}: {error.strerror or error}") from None
    print(f"serving {args.input} at {server.url} (Ctrl+C to stop)", flush=True)
    if args.open:
        webbrowser.open(server.url)
    server.serve_until_interrupted()
    return EXIT_OK


def loaded(paths: Iterable[Path]) -> Iterator[tuple[Path, ovralis.System]]:
    for path in paths:
        yield path, read_system(path)


def checked(path: Path, operation):
    """Runs `operation` on a loaded document; a dangling index in it is the file's fault."""
    try:
        return operation()
    except ValueError as error:
        raise InputError(f"{path}: {error}") from None


def summarise(succeeded: int, total: int, what: str) -> int:
    if total > 1:
        print(f"{succeeded} of {total} sketches {what}")
    return EXIT_OK if succeeded == total else EXIT_FAILED


# ---- arguments ----


def positive_int(text: str) -> int:
    value = int(text)
    if value < 1:
        raise argparse.ArgumentTypeError(f"must be at least 1, got {value}")
    return value


def assignment(text: str) -> tuple[str, float]:
    name, equals, value = text.partition("=")
    if not equals or not name.strip():
        raise argparse.ArgumentTypeError(f"expected NAME=VALUE, got {text!r}")
    try:
        return name.strip(), float(value)
    except ValueError:
        raise argparse.ArgumentTypeError(f"{value!r} is not a number") from None


def parser() -> argparse.ArgumentParser:
    root = argparse.ArgumentParser(
        prog="ovralis", description="Solve, verify, analyse and draw 2D constraint sketches stored as JSON.",
        epilog="Exit status: 0 when every document succeeded, 1 when one did not, 2 on bad usage or input.")
    root.add_argument("--version", action="version", version=f"ovralis {ovralis.__version__}")
    commands = root.add_subparsers(dest="command", required=True, metavar="COMMAND")

    def command(name: str, run, help: str) -> argparse.ArgumentParser:
        sub = commands.add_parser(name, help=help, description=help)
        sub.add_argument("inputs", nargs="+", type=Path, metavar="IN.json", help="sketch documents")
        sub.set_defaults(run=run)
        return sub

    solve = command("solve", solve_command, "Solve each document and write the solved document.")
    solve.add_argument("-o", "--output", type=Path, metavar="OUT",
                       help="output file for one input, or directory for several "
                            "(default: IN.solved.json beside each input)")
    solve.add_argument("--max-iter", type=positive_int, default=200, help="iteration limit (default 200)")
    solve.add_argument("--tol", type=float, default=1e-8, help="convergence tolerance (default 1e-8)")
    solve.add_argument("-j", "--jobs", type=positive_int,
                       help="documents solved at once (default: one per CPU)")
    solve.add_argument("--set", type=assignment, action="append", default=[], metavar="NAME=VALUE",
                       help="give a variable of every document a value before solving (repeatable)")

    verify = command("verify", verify_command, "Check the solution stored in each document.")
    verify.add_argument("--tolerance", type=float, default=1e-6, help="largest residual allowed (default 1e-6)")

    command("analyze", analyze_command,
            "Count the degrees of freedom of each document; success means fully constrained.")

    render = command("render", render_command, "Draw each document as SVG.")
    render.add_argument("-o", "--output", type=Path, metavar="OUT.svg",
                        help="output file for one input, or directory for several (default: IN.svg beside each)")

    serve = commands.add_parser(
        "serve", help="Edit one document in the browser: drag points, type dimensions, save.",
        description="Edit one document in the browser: drag points, type dimensions, save (Ctrl+S).")
    serve.add_argument("input", type=Path, metavar="IN.json", help="the sketch document, saved in place")
    serve.add_argument("--port", type=int, default=8765, help="port to listen on (default 8765; 0 picks a free one)")
    serve.add_argument("--host", default="127.0.0.1",
                       help="address to listen on (default 127.0.0.1: this machine only)")
    serve.add_argument("--open", action="store_true", help="open the page in the default web browser")
    serve.set_defaults(run=serve_command)
    from ovralis._cli_dxf import add_drawing_commands
    add_drawing_commands(commands)
    return root


def main(argv: list[str] | None = None) -> int:
    args = parser().parse_args(argv)
    try:
        return args.run(args)
    except InputError as error:
        print(f"ovralis: error: {error}", file=sys.stderr)
        return EXIT_BAD_INPUT
    except KeyboardInterrupt:
        print("ovralis: interrupted", file=sys.stderr)
        return 130
    except BrokenPipeError:
        # The reader of our output went away (`ovralis verify *.json | head`):
        # stop quietly, and keep the interpreter from complaining at exit.
        sys.stdout = open(os.devnull, "w")
        return EXIT_FAILED
