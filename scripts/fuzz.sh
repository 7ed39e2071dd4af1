#!/usr/bin/env bash
# Runs every libFuzzer target in build-asan/bin for the given seconds each,
# starting from its seed corpus in fuzz/corpus/<target> when there is one.
# Targets run QOR_JOBS at a time (default: the number of cores); each one is
# single-threaded.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-20}
jobs=${QOR_JOBS:-$(nproc)}
shopt -s nullglob
results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT

run_one() {
  local f=$1 name work
  name=$(basename "$f")
  work=$(mktemp -d)
  local seeds=()
  [ -d "$top/fuzz/corpus/$name" ] && seeds=("$top/fuzz/corpus/$name")
  if "$f" -max_total_time="$seconds" -print_final_stats=0 "$work" "${seeds[@]}" >"$results/$name.log" 2>&1; then
    touch "$results/$name.passed"
  else
    touch "$results/$name.failed"
  fi
  rm -rf "$work"
}

running=0
for f in "$top"/build-asan/bin/fuzz_*; do
  [ -x "$f" ] || continue
  echo "--- $(basename "$f") (${seconds}s)"
  run_one "$f" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
done
wait || true
count=0; failed=0
for f in "$results"/*.passed; do count=$((count + 1)); done
for f in "$results"/*.failed; do
  failed=$((failed + 1)); name=$(basename "$f" .failed)
  echo "--- $name failed:"; tail -n 40 "$results/$name.log"
done
echo "fuzz: $count passed, $failed failed"
[ $failed -eq 0 ]
