#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the normal build
# (g++), the ASan+UBSan and TSan builds (clang), and a short run of every
# fuzz target. QOR_TEST_VARIANTS limits the variants ("default asan").
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
variants=${QOR_TEST_VARIANTS:-default asan tsan fuzz}
fuzz_seconds=${QOR_FUZZ_SECONDS:-5}
jobs=${QOR_JOBS:-$(nproc)}
status=0
for v in $variants; do
  echo "=== $v build (at ${SECONDS}s) ==="
  "$top/scripts/build.sh" "$v"
  case "$v" in
    default) dir=$top/build ;;
    *) dir=$top/build-$v ;;
  esac
  if [ "$v" = fuzz ]; then
    "$top/scripts/fuzz.sh" "$fuzz_seconds" || status=1
    continue
  fi
  echo "=== $v tests (at ${SECONDS}s) ==="
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
  export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
  export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
  (cd "$dir" && ctest -j "$jobs" --output-on-failure --no-tests=error) || status=1
done
echo "=== done in ${SECONDS}s ==="
exit $status
