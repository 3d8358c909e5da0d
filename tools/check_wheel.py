"""Proves that a built wheel is self-contained, then runs it.

    python tools/check_wheel.py --python /path/to/python3.X dist/ovralis-...whl

1. Installs the wheel into a fresh virtual environment of the given Python.
2. Runs ldd on every shared object the wheel installed: each needed library
   must resolve inside the installed package (its bundled ovralis.libs) or to
   the base system's C and C++ runtimes (BASE_SYSTEM_LIBRARIES).
3. Hides from the run the system libraries that the wheel bundles copies of
   (SuiteSparse, BLAS, LAPACK and theirs): a private mount namespace puts
   /dev/null over each, so a wheel that still reached for one would fail to
   load. Within it runs examples/quickstart.py, the command line on a
   document, and stubtest on the typing stub.
4. Prints the wheel's size and its import time (bench/import_bench.py).

Exits non-zero at the first failure. Needs root (for the mount namespace).
"""

import argparse
import re
import shutil
import subprocess
import sys
import tempfile
import textwrap
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent

# What a manylinux wheel may take from the machine it is installed on.
BASE_SYSTEM_LIBRARIES = {
    "linux-vdso.so.1", "ld-linux-x86-64.so.2", "libc.so.6", "libm.so.6", "libstdc++.so.6",
    "libgcc_s.so.1", "libpthread.so.0", "libdl.so.2", "librt.so.1",
}

# auditwheel renames each bundled library libname.so.X.Y.Z to libname-<hash>.so.X.Y.Z.
BUNDLED_NAME = re.compile(r"^(?P<stem>.+)-[0-9a-f]{8}\.so(\..*)?$")

# Puts /dev/null over each path before the first "--", then runs what follows it.
MASK_SCRIPT = 'while [ "$1" != -- ]; do mount --bind /dev/null "$1"; shift; done; shift; exec "$@"'


class CheckFailed(Exception):
    pass


def run(command, echo=True, **options):
    if echo:
        print("  $", " ".join(str(part) for part in command), flush=True)
    result = subprocess.run([str(part) for part in command], text=True, **options)
    if result.returncode != 0:
        raise CheckFailed(f"{command[0]} exited with status {result.returncode}")
    return result


def make_venv(python, wheel, where):
    venv = where / "venv"
    run([python, "-m", "venv", venv])
    venv_python = venv / "bin" / "python"
    run([venv_python, "-m", "pip", "install", "--quiet", "--disable-pip-version-check", wheel, "mypy"])
    return venv_python


def installed_package(venv_python, where):
    # Asked from an empty directory, so the import cannot find a source tree.
    output = run([venv_python, "-c", "import ovralis, os; print(os.path.dirname(ovralis.__file__))"],
                 cwd=where, capture_output=True).stdout
    return Path(output.strip())


def shared_objects(package):
    libraries = package.parent / "ovralis.libs"
    found = sorted(package.glob("*.so")) + sorted(libraries.glob("*.so*"))
    if not any(path.parent == package for path in found):
        raise CheckFailed(f"no extension module in {package}")
    return found


def resolved_libraries(shared_object):
    """(name, resolved path) for each library ldd loads for it."""
    output = run(["ldd", shared_object], echo=False, capture_output=True).stdout
    resolved = []
    for line in output.splitlines():
        line = line.strip()
        if "not found" in line:
            raise CheckFailed(f"{shared_object.name}: {line}")
        if "=>" in line:
            name, _, rest = line.partition("=>")
            resolved.append((name.strip(), rest.split("(")[0].strip()))
        else:
            path = line.split("(")[0].strip()
            resolved.append((Path(path).name, path))
    return resolved


def check_resolution(package):
    """Every needed library comes from the wheel or the base system."""
    inside = package.parent.resolve()
    for shared_object in shared_objects(package):
        for name, path in resolved_libraries(shared_object):
            from_wheel = path and Path(path).resolve().is_relative_to(inside)
            if not from_wheel and name not in BASE_SYSTEM_LIBRARIES:
                raise CheckFailed(f"{shared_object.name} needs {name} from {path}, "
                                  "outside the wheel and the base system")
        print(f"  {shared_object.name}: every library from the wheel or the base system")


def system_copies(package):
    """The system's own files of every library the wheel bundles."""
    cache = run(["ldconfig", "-p"], echo=False, capture_output=True).stdout
    system_paths = {}
    for line in cache.splitlines()[1:]:
        name, _, path = line.strip().partition(" => ")
        system_paths.setdefault(name.split(" ")[0], []).append(Path(path))
    stems = {match["stem"] for bundled in (package.parent / "ovralis.libs").glob("*.so*")
             if (match := BUNDLED_NAME.match(bundled.name))}
    copies = set()
    for soname, paths in system_paths.items():
        if soname.partition(".so")[0] in stems:
            copies.update(path for found in paths for path in (found, found.resolve()))
    return sorted(copies)


def masked(command, hidden):
    return ["unshare", "--mount", "--propagation", "private", "sh", "-ec", MASK_SCRIPT, "sh",
            *hidden, "--", *command]


def run_hidden(command, hidden, where):
    print("  $", " ".join(str(part) for part in command), f"(with {len(hidden)} files hidden)", flush=True)
    run(masked(command, hidden), echo=False, cwd=where)


def run_package(venv_python, hidden, where):
    """The example, the command line and the stub check, with `hidden` out of reach."""
    bin_dir = venv_python.parent
    example = where / "quickstart.py"
    shutil.copy(ROOT / "examples" / "quickstart.py", example)
    run_hidden([venv_python, example], hidden, where)
    document = where / "segment.json"
    run([venv_python, "-c", textwrap.dedent(f"""
        import ovralis
        s = ovralis.System()
        a = s.add_point(0, 0, fixed=True)
        b = s.add_point(3, 1)
        s.add_distance_constraint(a, b, 5.0)
        open({str(document)!r}, "w").write(s.to_json())
        """)], cwd=where)
    run_hidden([bin_dir / "ovralis", "solve", document], hidden, where)
    # The second list and --ignore-unused-allowlist cover what differs between Pythons.
    run_hidden([venv_python, "-m", "mypy.stubtest", "ovralis",
                "--allowlist", ROOT / "tools" / "stubtest-allowlist.txt",
                "--allowlist", ROOT / "tools" / "stubtest-allowlist-wheels.txt",
                "--ignore-unused-allowlist",
                "--mypy-config-file", ROOT / "tools" / "stubtest-mypy.ini"], hidden, where)


def check(python, wheel):
    print(f"== {wheel.name} ({wheel.stat().st_size / 2**20:.1f} MiB) with {python}", flush=True)
    with tempfile.TemporaryDirectory(prefix="ovralis-wheel-") as directory:
        where = Path(directory)
        venv_python = make_venv(python, wheel, where)
        package = installed_package(venv_python, where)
        check_resolution(package)
        hidden = system_copies(package)
        if not hidden:
            raise CheckFailed("the wheel bundles no system library to hide")
        print(f"  hiding {len(hidden)} system library files the wheel bundles copies of")
        run_package(venv_python, hidden, where)
        run([venv_python, ROOT / "bench" / "import_bench.py", "--python", venv_python, "--runs", "15"],
            cwd=where)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--python", required=True, help="the interpreter the wheel is for")
    parser.add_argument("wheel", type=Path)
    options = parser.parse_args()
    try:
        check(options.python, options.wheel.resolve())
    except CheckFailed as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        sys.exit(1)
    print("  self-contained: passed")


if __name__ == "__main__":
    main()
