#!/usr/bin/env bash
# Builds the fuzz targets (fuzz/, clang with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each from its corpus.
#
#   bash scripts/fuzz.sh short            every target for 30 seconds, two at a time (continuous
#                                         integration)
#   bash scripts/fuzz.sh long [SECONDS]   every target for SECONDS (default 600): the campaign
#   bash scripts/fuzz.sh build            only build
#
# Environment: FUZZ_TARGETS="module dict" runs only those; FUZZ_JOBS=2 runs two targets at a
# time (default 2 for short runs, 1 for the campaign); FUZZ_BUILD_DIR (default build-fuzz); CXX picks the compiler (clang++).
# Each run reads the seeds made at build time (build-fuzz/corpus/TARGET) and grows its own
# corpus (build-fuzz/runs/TARGET), which later runs start from. A crash stops with status 1
# and names the input that caused it (build-fuzz/artifacts/); replay it with
#   build-fuzz/fuzz_TARGET build-fuzz/artifacts/TARGET-crash-...
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-short}
case "$mode" in
  short) seconds=30 ;;
  long) seconds=${2:-600} ;;
  build) seconds=0 ;;
  *) echo "usage: bash scripts/fuzz.sh short | long [SECONDS] | build" >&2; exit 2 ;;
esac
build=${FUZZ_BUILD_DIR:-build-fuzz}
mkdir -p "$build"
# Absolute, since each target runs in a work directory of its own.
build=$(cd "$build" && pwd)
targets=${FUZZ_TARGETS:-"decode roundtrip module dict notes lexicon text vpl osis dictjson dictcsv
  lexsource notesimport profile session srchdlg booksets"}
if [ "$mode" = short ]; then jobs=${FUZZ_JOBS:-2}; else jobs=${FUZZ_JOBS:-1}; fi
compiler=${CXX:-clang++}
if ! command -v "$compiler" >/dev/null; then compiler=clang++-14; fi

cmake -S fuzz -B "$build" -DCMAKE_CXX_COMPILER="$compiler" >/dev/null
cmake --build "$build" -j2
[ "$mode" = build ] && exit 0

mkdir -p "$build/logs" "$build/artifacts"
run_target() {
  local target=$1
  mkdir -p "$build/runs/$target" "$build/work/$target"
  # The engine's diagnostics log (messages.dbg) goes to the current directory.
  cd "$build/work/$target"
  # Leaks are errors too; -timeout turns a hang into a reported failure.
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
    "$build/fuzz_$target" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=4096 \
      -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
      "$build/runs/$target" "$build/corpus/$target" >"$build/logs/$target.log" 2>&1
}

summary() {
  local target=$1 status=$2 log="$build/logs/$1.log"
  local runs cov ft
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*' || true)
  ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*' || true)
  printf '%-10s %s  executions %-10s cov %-6s ft %-7s log %s\n' "$target" \
    "$([ "$status" = 0 ] && echo ok || echo FAILED)" "${runs:-?}" "${cov:-?}" "${ft:-?}" "$log"
}

failed=0
declare -A names=()
# Waits for any one running target and reports it.
reap() {
  local pid status=0
  wait -n -p pid || status=$?
  summary "${names[$pid]}" "$status"
  if [ "$status" != 0 ]; then
    failed=1
    grep -E 'ERROR|SUMMARY|deadly signal|Test unit written' "$build/logs/${names[$pid]}.log" >&2 || true
  fi
  unset "names[$pid]"
}
for target in $targets; do
  while [ "${#names[@]}" -ge "$jobs" ]; do reap; done
  run_target "$target" &
  names[$!]=$target
done
while [ "${#names[@]}" -gt 0 ]; do reap; done
exit "$failed"
