#!/usr/bin/env bash
# Builds the libFuzzer targets in a clang tree of their own and runs each for
# a while: first over its seed corpus (fuzz/corpus/<target>, which holds every
# reproducer found so far), then on new inputs. New inputs and crash
# artifacts stay in the build tree.
#
#   run-fuzz.sh [--build-dir DIR] [--seconds N] [--jobs N] [TARGET...]
#
# Exits 77 (a skipped test for CTest) when clang or its libFuzzer runtime is
# missing, 1 when a target found a fault.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=$root/build-fuzz
seconds=300
jobs=2
targets=()
while [[ $# -gt 0 ]]; do
  case $1 in
    --build-dir) build_dir=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --jobs) jobs=$2; shift 2 ;;
    -*) echo "run-fuzz.sh: unknown option $1" >&2; exit 2 ;;
    *) targets+=("$1"); shift ;;
  esac
done
[[ ${#targets[@]} -gt 0 ]] || targets=(child_frames_fuzzer manifest_fuzzer manifest_archive_fuzzer)

skip() {
  echo "Skipping the fuzz run: $*" >&2
  echo "(scripts/install-deps.sh installs clang-14 and libclang-rt-14-dev)" >&2
  exit 77
}

if [[ ! -f $build_dir/CMakeCache.txt ]]; then
  cxx=$(command -v clang++-14 || command -v clang++ || true)
  cc=$(command -v clang-14 || command -v clang || true)
  [[ -n $cxx && -n $cc ]] || skip "clang is not installed"
  probe=$(mktemp -d)
  trap 'rm -rf "$probe"' EXIT
  echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' >"$probe/probe.cpp"
  "$cxx" -fsanitize=fuzzer,address,undefined "$probe/probe.cpp" -o "$probe/probe" 2>/dev/null ||
    skip "$cxx cannot link libFuzzer programs"
  # Library code is instrumented for coverage; only the targets link libFuzzer's main.
  cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
    -DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only" \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only" \
    -DSANITIZE=address,undefined -DAMBRIX_FUZZ=ON >/dev/null
fi
cmake --build "$build_dir" -j "$jobs" --target "${targets[@]}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=()
for target in "${targets[@]}"; do
  seeds=$root/fuzz/corpus/${target%_fuzzer}
  work=$build_dir/fuzz-corpus/${target%_fuzzer}
  artifacts=$build_dir/fuzz-artifacts/${target%_fuzzer}/
  log=$build_dir/fuzz-logs/$target.log
  mkdir -p "$work" "$artifacts" "$(dirname "$log")"
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$artifacts")
  [[ -f $root/fuzz/${target%_fuzzer}.dict ]] && options+=(-dict="$root/fuzz/${target%_fuzzer}.dict")
  echo "Fuzzing $target for ${seconds}s (log: $log)"
  if "$build_dir/bin/$target" "${options[@]}" "$work" "$seeds" >"$log" 2>&1; then
    grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -n 1 || true
  else
    echo "$target found a fault; reproducer in $artifacts" >&2
    tail -n 60 "$log" >&2
    failed+=("$target")
  fi
done
[[ ${#failed[@]} -eq 0 ]] || { echo "Faults found by: ${failed[*]}" >&2; exit 1; }
