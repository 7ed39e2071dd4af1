#!/usr/bin/env bash
# Runs every libFuzzer target in build-fuzz/bin for the given seconds each,
# starting from its seed corpus in fuzz/corpus/<target> when there is one.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-20}
shopt -s nullglob
count=0; failed=0
for f in "$top"/build-fuzz/bin/fuzz_*; do
  [ -x "$f" ] || continue
  name=$(basename "$f")
  work=$(mktemp -d)
  seeds=()
  [ -d "$top/fuzz/corpus/$name" ] && seeds=("$top/fuzz/corpus/$name")
  echo "--- $name (${seconds}s)"
  if "$f" -max_total_time="$seconds" -print_final_stats=0 "$work" "${seeds[@]}" >"$work.log" 2>&1; then
    count=$((count + 1))
  else
    failed=$((failed + 1)); tail -n 40 "$work.log"
  fi
  rm -rf "$work" "$work.log"
done
echo "fuzz: $count passed, $failed failed"
[ $failed -eq 0 ]
