#!/usr/bin/env bash
# Configures and builds one variant of the tree.
#   scripts/build.sh [default|asan|tsan|fuzz] [extra cmake args...]
# Output: build/ (default) or build-<variant>/, programs and modules in bin/;
# the fuzz targets live in build-asan/.
# QOR_BUILD_TARGETS="a b" builds only those targets (and what they need).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
variant=${1:-default}; shift || true
jobs=${QOR_JOBS:-$(nproc)}
case "$variant" in
  default) dir=$top/build; args=(-DCMAKE_CXX_COMPILER=g++ -DCMAKE_C_COMPILER=gcc) ;;
  # The ASan+UBSan build also holds the fuzz targets (coverage costs the
  # tests little and saves a whole build); scripts/fuzz.sh runs them.
  asan)    dir=$top/build-asan; args=(-DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang -DQOR_SANITIZE=address -DQOR_FUZZ=ON -DQOR_BENCH=OFF) ;;
  # Threads live in the platform (with the desktop layer), the spooler, the
  # emulator, the language monitor, the model module, the installation
  # helpers, the status monitor and the setup tool; the drivers have none.
  tsan)    dir=$top/build-tsan; args=(-DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang -DQOR_SANITIZE=thread -DQOR_BENCH=OFF
                                      "-DQOR_ONLY=platform;platform/ui;common;spooler;emulator;langmon;model;cil;setup;statmon;custom") ;;
  fuzz)    dir=$top/build-asan; args=(-DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang -DQOR_SANITIZE=address -DQOR_FUZZ=ON -DQOR_BENCH=OFF) ;;
  *) echo "unknown variant: $variant" >&2; exit 2 ;;
esac
# Sanitizer and fuzz builds keep line tables only: their reports still name
# file and line, and the build takes a good deal less time.
light=(-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -gline-tables-only -DNDEBUG"
       -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -gline-tables-only -DNDEBUG")
if [ "$variant" != default ]; then args+=("${light[@]}"); fi
# In CI the normal build keeps line tables only as well (g++'s -g1).
if [ "$variant" = default ] && [ "${CI:-}" = "true" ]; then
  args+=(-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG")
fi
werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
[ "${QOR_WERROR:-}" = "1" ] && werror=ON
cmake -S "$top" -B "$dir" -G Ninja -DQOR_WERROR=$werror "${args[@]}" "$@" >/dev/null
targets=()
# "fuzz" builds just the fuzz targets of the ASan build; the others build
# everything.
[ "$variant" = fuzz ] && targets=(--target fuzzers)
if [ -n "${QOR_BUILD_TARGETS:-}" ]; then
  read -r -a named <<<"$QOR_BUILD_TARGETS"
  targets=(--target "${named[@]}")
fi
cmake --build "$dir" -j "$jobs" "${targets[@]}"
