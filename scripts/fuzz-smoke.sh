#!/usr/bin/env bash
# Builds the libFuzzer targets (tests/fuzz) with clang and runs each for a
# while over a scratch copy of its seed corpus, one target at a time.
#
#   ./scripts/fuzz-smoke.sh [seconds-per-target] [target...]
#
# Default: 60 seconds, every target. Prints the executions per target and
# fails when any target finds a crash, a leak, undefined behaviour or a
# broken invariant; the input that did it is kept under
# $LUMVEK_FUZZ_BUILD_DIR/artifacts/<target>/ (default build-fuzz/). Nothing
# new is written into the repository.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
build=${LUMVEK_FUZZ_BUILD_DIR:-build-fuzz}
all_targets=(mask_file config_file pgm_scene request_header controller_replies settings_store stored_values)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all_targets[@]}")

echo "== build (libFuzzer, ASan + UBSan) in $build"
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLUMVEK_BUILD_FUZZ=ON -DLUMVEK_BUILD_TESTS=OFF -DLUMVEK_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target lumvek_fuzz

scratch=$(mktemp -d "${TMPDIR:-/tmp}/lumvek-fuzz-smoke.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
# The targets' private folders (settings store, sockets) go there too, so a
# crashed target leaves nothing behind.
export TMPDIR="$scratch"

failed=()
total=0
for target in "${targets[@]}"; do
  binary="$build/tests/fuzz/fuzz_$target"
  if [ ! -x "$binary" ]; then
    echo "unknown fuzz target: $target" >&2
    exit 2
  fi
  corpus="$scratch/$target"
  artifacts="$build/artifacts/$target"
  mkdir -p "$corpus" "$artifacts"
  cp tests/fuzz/corpus/"$target"/* "$corpus"/
  log="$scratch/$target.log"
  status=0
  # -timeout: one input running longer than that is a hang.
  "$binary" -max_total_time="$seconds" -timeout=30 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$corpus" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  runs=${runs:-0}
  total=$((total + runs))
  if [ "$status" -ne 0 ]; then
    failed+=("$target")
    printf '%-20s %12s executions  FAILED (exit %d)\n' "$target" "$runs" "$status"
    grep -E -A40 '^==[0-9]+==ERROR|runtime error|fuzz invariant broken|^SUMMARY' "$log" | head -n 80 || tail -n 40 "$log"
    ls -1 "$artifacts" | sed 's/^/  kept: /'
  else
    printf '%-20s %12s executions  ok\n' "$target" "$runs"
  fi
done
printf '%-20s %12s executions\n' "total" "$total"

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz targets failed: ${failed[*]}" >&2
  exit 1
fi
