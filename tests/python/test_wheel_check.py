"""The self-containment check of tools/check_wheel.py must catch a module that is not.

The module these tests import is built against the system's SuiteSparse
(an in-tree build or a plain `pip install .`), exactly the kind of build the
check exists to refuse.
"""

import os
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

import ovralis

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
import check_wheel  # noqa: E402

needs_ldd = pytest.mark.skipif(shutil.which("ldd") is None, reason="needs ldd")


@needs_ldd
def test_a_module_linked_to_system_suitesparse_is_refused():
    package = Path(ovralis.__file__).parent
    if (package.parent / "ovralis.libs").exists():
        pytest.skip("this is a repaired wheel's module, which bundles its libraries")
    with pytest.raises(check_wheel.CheckFailed, match=r"needs lib(spqr|cholmod|klu|btf|amd|colamd|suitesparseconfig)"):
        check_wheel.check_resolution(package)


@needs_ldd
def test_the_module_resolves_libraries_to_real_paths():
    extension = Path(ovralis.__file__)
    resolved = dict(check_wheel.resolved_libraries(extension))
    assert "libc.so.6" in resolved
    assert all(Path(path).is_absolute() for name, path in resolved.items() if name != "linux-vdso.so.1")


@needs_ldd
def test_system_copies_of_bundled_libraries_are_found_by_their_original_name(tmp_path):
    # What auditwheel leaves: the module's package and ovralis.libs beside it.
    package = tmp_path / "ovralis"
    libraries = tmp_path / "ovralis.libs"
    package.mkdir()
    libraries.mkdir()
    system_spqr = dict(check_wheel.resolved_libraries(Path(ovralis.__file__))).get("libspqr.so.2")
    if system_spqr is None:
        pytest.skip("this module does not link the system's libspqr.so.2")
    (libraries / "libspqr-0123abcd.so.2.1.0").touch()
    (libraries / "not-a-bundled-name.so").touch()
    copies = check_wheel.system_copies(package)
    assert Path(system_spqr).resolve() in copies
    assert all("libspqr" in path.name for path in copies)


@pytest.mark.skipif(os.geteuid() != 0 or shutil.which("unshare") is None,
                    reason="hiding files needs root and unshare")
def test_masked_command_sees_hidden_files_as_empty(tmp_path):
    hidden = tmp_path / "library.so"
    hidden.write_bytes(b"\x7fELF not really")
    seen = subprocess.run(check_wheel.masked(["cat", hidden], [hidden]), capture_output=True, check=True)
    assert seen.stdout == b""
    assert hidden.read_bytes() == b"\x7fELF not really"
