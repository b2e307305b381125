#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer with AddressSanitizer and UBSan) in
# build/fuzz and runs each for SECONDS (default 60) on a copy of its seed inputs
# in tests/fuzz/corpus/. An input that crashes a target is kept in
# tests/fuzz/crashes/<target>/, where the normal test run replays it.
#   tools/fuzz.sh [SECONDS [TARGET...]]
#   tools/fuzz.sh --runs N [TARGET...]   until N executions, one worker per core
# Installs missing Debian packages first (needs root or sudo only then).
set -euo pipefail

top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$top"
runs=""
if [ "${1:-}" = "--runs" ]; then
  runs="${2:-}"
  [[ "$runs" =~ ^[1-9][0-9]*$ ]] || { echo "fuzz.sh: --runs needs a count" >&2; exit 2; }
  shift 2
else
  seconds="${1:-60}"
  shift || true
fi
jobs="$(nproc 2>/dev/null || echo 2)"
# The targets allocate a lot per input. A smaller quarantine, no fill of new
# blocks and short allocation stacks make them faster; a use after free
# within an input is still caught.
export ASAN_OPTIONS="${ASAN_OPTIONS:-quarantine_size_mb=32:max_malloc_fill_size=0:malloc_context_size=2}"

# shellcheck source=tools/install-missing.sh
source "$top/tools/install-missing.sh"

# Longest input per target: enough for a few pages, sections or a font, short
# enough to keep the runs fast. A registry input is read and written three
# times, every key with its full path, so its cost grows fastest; 1 KB holds
# every kind of line and reaches the depth and key-name limits.
declare -A max_len=(
  [packets]=8400 [t42]=8192 [ts]=16384 [tti]=4096 [registry]=1024 [fon]=32768 [language]=4096
)
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(packets t42 ts tti registry fon language)
for t in "${targets[@]}"; do
  [ -n "${max_len[$t]:-}" ] || { echo "fuzz.sh: no fuzz target $t (have: ${!max_len[*]})" >&2; exit 2; }
done

install_missing clang libclang-rt-14-dev cmake ninja-build pkg-config qt6-base-dev libxcb1-dev
# Qt is only found, not built: the fuzz targets need none of it.
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DORVTT_FUZZ=ON -DORVTT_TESTS=OFF -DORVTT_BENCH=OFF >/dev/null
cmake --build build/fuzz --target "${targets[@]/#/fuzz_}" -j "$jobs"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p build/fuzz/logs
crashed=0
for t in "${targets[@]}"; do
  cp -r "tests/fuzz/corpus/$t" "$work/$t"
  crashes="tests/fuzz/crashes/$t"
  mkdir -p "$crashes"
  before="$(ls "$crashes" | wc -l)"
  log="build/fuzz/logs/$t.log"
  status=0
  options=(-max_len="${max_len[$t]}" -timeout=25 -artifact_prefix="$top/$crashes/" -print_final_stats=1)
  if [ -n "$runs" ]; then
    # Workers share the corpus folder and pick up each other's finds; each
    # worker's log is copied into this one as it ends.
    mkdir "$work/$t.jobs"
    (cd "$work/$t.jobs" && "$top/build/fuzz/fuzz_$t" "${options[@]}" -jobs="$jobs" -workers="$jobs" \
      -runs="$(( (runs + jobs - 1) / jobs ))" "$work/$t") >"$log" 2>&1 || status=$?
  else
    "build/fuzz/fuzz_$t" "${options[@]}" -max_total_time="$seconds" "$work/$t" >"$log" 2>&1 || status=$?
  fi
  done_runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | awk '{n += $1} END {if (NR) print n}')"
  if [ "$status" -eq 0 ]; then
    echo "$t: ${done_runs:-?} executions, no crash"
  else
    crashed=1
    new="$(ls -t "$crashes" | head -n "$(( $(ls "$crashes" | wc -l) - before ))" | sed "s|^|$crashes/|")"
    echo "$t: ${done_runs:-?} executions, CRASH (exit $status): ${new:-no input saved}; log in $log"
  fi
  rmdir "$crashes" tests/fuzz/crashes 2>/dev/null || true  # only when nothing was ever kept there
done
exit "$crashed"
