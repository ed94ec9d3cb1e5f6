#!/usr/bin/env bash
# Runs the benchmarks of a built tree.
set -euo pipefail
build_dir=${1:-build}
shopt -s nullglob
benches=("$build_dir"/bin/bench_*)
if [[ ${#benches[@]} -eq 0 ]]; then
  echo "No benchmarks are built yet; nothing to measure."
  exit 0
fi
for b in "${benches[@]}"; do "$b"; done
