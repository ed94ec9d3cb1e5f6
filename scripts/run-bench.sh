#!/usr/bin/env bash
# Measures the bridge against a bare floor in the same run: the benchmark
# plug-in in a host on the SDK stand-in, the real JVM, and a minimal parent
# and child without our code. Prints a table; writes BUILD_DIR/bench/results.json.
#
#   run-bench.sh [BUILD_DIR] [bench_bridge options, e.g. --scale 0.2 --startups 3]
#
# Exit status: 0 when the run was made (targets met or missed are marked in
# the table and the JSON), non-zero when it could not be made.
set -euo pipefail
build_dir=${1:-build}
shift || true

driver=$build_dir/bin/bench_bridge
plugin=$build_dir/bench/AmbrixBench.fmx
bare_jar=$build_dir/bench/bare-child.jar
for needed in "$driver" "$plugin" "$bare_jar"; do
  if [[ ! -e $needed ]]; then
    echo "Cannot measure: $needed is not built (build the tree first; the plug-in needs the bridge target)." >&2
    exit 1
  fi
done
mkdir -p "$build_dir/bench"
"$driver" --plugin "$plugin" --bare-jar "$bare_jar" --json "$build_dir/bench/results.json" "$@"
