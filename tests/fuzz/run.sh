#!/usr/bin/env bash
# Builds the document fuzzer with clang and runs it from a small seed corpus.
#   tests/fuzz/run.sh [seconds]      (default 60)
# Prints the number of executions and findings; exits non-zero on a finding.
# The build goes to build/fuzz (or $FUZZ_BUILD_DIR); the growing corpus lives
# in tests/fuzz/corpus-run, reproducers of findings in <build>/findings.
set -euo pipefail

seconds="${1:-60}"
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${FUZZ_BUILD_DIR:-$root/build/fuzz}"
corpus="$root/tests/fuzz/corpus-run"
findings="$build/findings"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
  -DOVRALIS_BUILD_MODULE=OFF -DOVRALIS_BUILD_TESTS=OFF -DOVRALIS_BUILD_FUZZER=ON >/dev/null
cmake --build "$build" --target fuzz_document document_dictionary -j2 >/dev/null

# Seeds: the shapes the reader knows, so the fuzzer starts from valid documents.
rm -rf "$findings"
mkdir -p "$corpus" "$findings"
seed() { printf '%s' "$2" > "$corpus/seed-$1.json"; }
tail='"circles":[],"arcs":[],"ellipses":[],"arcs_of_ellipse":[],"constraints":[],"clamp_radii":true,"min_radius":1e-10,"track_convergence":false}'
seed empty '{"points":[],"lines":[],'"$tail"
seed two-points '{"points":[{"x":0.0,"y":0.0,"fixed":true},{"x":5.0,"y":0.0,"fixed":false}],"lines":[{"p1":0,"p2":1}],"circles":[],"arcs":[],"ellipses":[],"arcs_of_ellipse":[],"constraints":[{"Distance":{"p1":0,"p2":1,"d":5.0}},{"Horizontal":{"p1":0,"p2":1}}],"clamp_radii":true,"min_radius":1e-10,"track_convergence":false}'
seed entities '{"points":[{"x":1e-7,"y":-0.0,"fixed":false}],"lines":[],"circles":[{"center":0,"radius":2.5,"fixed":true}],"arcs":[{"center":0,"start":1,"end":2,"radius":null,"fixed":false}],"ellipses":[{"center":0,"focus1":1,"radmin":0.5,"fixed":true}],"arcs_of_ellipse":[{"center":0,"focus1":1,"radmin":0.5,"start":2,"end":3,"fixed":false}],"constraints":[{"AngleBetweenPoints":{"a":0,"b":1,"c":2,"deg":90.0}},{"PointOnArcOfEllipse":{"point":0,"arc_of_ellipse":0}},{"FixedPoint":{"point":0,"x":1.5e300,"y":null}}],"clamp_radii":false,"min_radius":0.001,"track_convergence":true}'
seed arrays '[[[1.0,2.0,true]],[[0,1]],[[0,2.5,false]],[[0,1,2,3.0,true]],[[0,1,0.5,false]],[[0,1,0.5,2,3,true]],[{"Distance":[0,1,5]},{"EllipseFocusDistance":[0,2.0]}],false,0.5]'
seed design-intent '{"points":[{"x":0.0,"y":0.0,"fixed":true},{"x":5.0,"y":0.0,"fixed":false}],"lines":[{"p1":0,"p2":1}],"circles":[],"arcs":[],"ellipses":[],"arcs_of_ellipse":[],"constraints":[{"Distance":{"p1":0,"p2":1,"d":10.0}}],"clamp_radii":true,"min_radius":1e-10,"track_convergence":false,"variables":[{"name":"w","value":5.0,"fixed":true},{"name":"h","value":2.0,"fixed":false}],"bindings":[{"constraint":0,"field":"d","expression":"2*w"}],"equations":["length(0) = h^2 + sqrt(w) - 1"]}'
seed unknown-members '{"comment":{"a":[1,{"b":null},"c"]},"track_convergence":true,"constraints":[{"C2CDistance":{"d":5,"x":[],"c2":1,"c1":0}}],"arcs_of_ellipse":[],"ellipses":[],"arcs":[],"circles":[],"lines":[{"p2":7,"p1":0,"n":"x"}],"points":[{"fixed":true,"y":2,"x":-15,"c":"..."}]}'

# Dictionary: every key a document may hold, printed from the tables the
# writer and the reader walk, and a few literals.
dict="$build/document.dict"
"$build/tests/fuzz/document_dictionary" > "$dict"

log="$build/fuzz.log"
status=0
UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$root/tests/fuzz/ubsan.supp" \
  "$build/tests/fuzz/fuzz_document" -max_total_time="$seconds" -print_final_stats=1 \
  -dict="$dict" -artifact_prefix="$findings/" "$corpus" >"$log" 2>&1 || status=$?

executions="$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -n 1 || echo 0)"
found="$(find "$findings" -type f | wc -l)"
echo "executions: $executions"
echo "findings: $found"
if [ "$status" -ne 0 ] || [ "$found" -ne 0 ]; then
  tail -n 40 "$log"
  echo "reproducers: $findings" >&2
  exit 1
fi
