#!/bin/sh
# Builds the fuzz targets as libFuzzer programs (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) into build-fuzz/ (or $FUZZ_BUILD_DIR) and runs
# each for a bounded time, two at a time, starting from the committed seeds
# (tests/fuzz/corpus/<target>). A crash, a leak, a time-out or a broken
# invariant fails the run; the input is kept in
# $build/fuzz-artifacts/<target>/ and the command to replay it is printed.
#
#   ZT_FUZZ_SECONDS   time per target (default 25)
#   ZT_FUZZ_TARGETS   which targets (default all four)
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$top/build-fuzz}
seconds=${ZT_FUZZ_SECONDS:-25}
targets=${ZT_FUZZ_TARGETS:-"fuzz_ipc_sock fuzz_config fuzz_hid fuzz_zez"}
seeds=$top/tests/fuzz/corpus

"$top/scripts/setup.sh"
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -DZT_SANITIZE=ON -DZT_FUZZ=ON \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link \
      $CMAKE_ARGS >/dev/null
# shellcheck disable=SC2086
cmake --build "$build" -j2 --target $targets

export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$top/tests/hardening/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

run_one() {
  t=$1
  corpus=$build/fuzz-corpus/$t
  artifacts=$build/fuzz-artifacts/$t
  rm -rf "$artifacts"
  mkdir -p "$corpus" "$artifacts"
  extra=""
  [ -f "$top/tests/fuzz/$t.dict" ] && extra="-dict=$top/tests/fuzz/$t.dict"
  # A frame's stream needs room for a calibration run (hundreds of reports).
  [ "$t" = fuzz_zez ] && extra="$extra -max_len=8192"
  # New inputs go into the build tree's corpus; the committed seeds are only
  # read.
  # shellcheck disable=SC2086
  "$build/tests/fuzz/$t" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$artifacts/" $extra \
      "$corpus" "$seeds/$t" > "$build/fuzz-$t.log" 2>&1
}

status=0
set -- $targets
while [ $# -gt 0 ]; do
  a=$1; shift
  b=""
  if [ $# -gt 0 ]; then b=$1; shift; fi
  run_one "$a" & pa=$!
  pb=""
  if [ -n "$b" ]; then run_one "$b" & pb=$!; fi
  wait $pa || status=1
  if [ -n "$pb" ]; then wait $pb || status=1; fi
done

for t in $targets; do
  log=$build/fuzz-$t.log
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*' || true)
  echo "$t: ${runs:-?} runs in ${seconds} s, coverage ${cov:-?}"
  found=$(find "$build/fuzz-artifacts/$t" -type f | sort)
  if [ -n "$found" ]; then
    status=1
    tail -n 60 "$log"
    for f in $found; do
      echo "  input kept: $f"
      echo "  replay: $build/tests/fuzz/$t $f"
    done
  fi
done
[ "$status" = 0 ] || { echo "fuzz.sh: failed"; exit 1; }
echo "fuzz.sh: no crashes"
