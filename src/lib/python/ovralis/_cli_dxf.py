"""The `ovralis import` and `ovralis export` commands: DXF drawings to sketch
documents and back, with the exit statuses of the other commands (0 when
every file succeeded, 1 when one did not, 2 on bad usage or a file that cannot
be read or written)."""

from __future__ import annotations

import argparse
import io
import warnings
from pathlib import Path

import ovralis
from ovralis import _cli
from ovralis._progress import Progress


def _imported(path: Path, infer: bool, tol: float) -> tuple[ovralis.System, list[str]]:
    """The drawing as a System, and the warnings its reading gave."""
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        try:
            system = ovralis.from_dxf(path, infer=infer, tol=tol)
        except ValueError as error:
            raise _cli.InputError(str(error)) from None
        except ImportError as error:
            raise _cli.InputError(str(error)) from None
    return system, [str(w.message) for w in caught]


def import_command(args: argparse.Namespace) -> int:
    targets = _cli.output_paths(args.inputs, args.output, ".json", ".json")
    complete = 0
    with Progress("importing", len(args.inputs)) as progress:
        for path, target in zip(args.inputs, targets):
            system, notes = _imported(path, not args.no_infer, args.tol)
            for note in notes:
                progress.print(f"    {note}")
            summary = f"{system.num_points()} points, {system.num_lines()} lines, {system.num_circles()} circles, " \
                      f"{system.num_arcs()} arcs, {system.num_constraints()} constraints"
            if args.dimension:
                system.autodimension()
                dof = system.analyze_constraints().dof
                complete += dof == 0
                summary += f", dimensioned to {dof} degrees of freedom"
            else:
                complete += 1
            _cli.write_text(target, system.to_json())
            progress.print(f"{path}: {summary} -> {target}")
            progress.advance(path.name)
    return _cli.summarise(complete, len(args.inputs), "imported" if not args.dimension else "fully dimensioned")


def export_command(args: argparse.Namespace) -> int:
    targets = _cli.output_paths(args.inputs, args.output, ".dxf", ".dxf")
    with Progress("exporting", len(args.inputs)) as progress:
        for (path, system), target in zip(_cli.loaded(args.inputs), targets):
            text = io.StringIO()
            try:
                _cli.checked(path, lambda: system.to_dxf(text, dimensions=not args.no_dimensions))
            except ImportError as error:
                raise _cli.InputError(str(error)) from None
            _cli.write_text(target, text.getvalue())
            progress.print(f"{path} -> {target}")
            progress.advance(path.name)
    return _cli.EXIT_OK


def add_drawing_commands(commands: argparse._SubParsersAction) -> None:
    described = "Read each DXF drawing into a sketch document, inferring the relations that hold."
    sub = commands.add_parser("import", help=described, description=described)
    sub.add_argument("inputs", nargs="+", type=Path, metavar="IN.dxf", help="DXF drawings")
    sub.add_argument("-o", "--output", type=Path, metavar="OUT",
                     help="output file for one input, or directory for several (default: IN.json beside each)")
    sub.add_argument("--no-infer", action="store_true", help="bare geometry: infer no relations")
    sub.add_argument("--dimension", action="store_true",
                     help="add dimensions until fully constrained; success then means fully constrained")
    sub.add_argument("--tol", type=float, default=1e-6,
                     help="tolerance relative to the drawing's size (default 1e-6)")
    sub.set_defaults(run=import_command)

    described = "Write each sketch document as a DXF drawing, its dimensions as DIMENSION entities."
    sub = commands.add_parser("export", help=described, description=described)
    sub.add_argument("inputs", nargs="+", type=Path, metavar="IN.json", help="sketch documents")
    sub.add_argument("-o", "--output", type=Path, metavar="OUT",
                     help="output file for one input, or directory for several (default: IN.dxf beside each)")
    sub.add_argument("--no-dimensions", action="store_true", help="write the geometry only")
    sub.set_defaults(run=export_command)
