#!/bin/sh
# Builds and runs bench_idle_cost (see bench/idle_cost.cpp): the service's CPU
# time with a silent simulated frame attached (60 s) and with a frame whose
# reads fail at once (20 s). Arguments go to the program, e.g.
#   bench/idle_cost.sh --silent 120 --failing 30
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
cmake -S "$top" -B "$build" >/dev/null
cmake --build "$build" -j2 --target bench_idle_cost ZTBoardSer >/dev/null
exec "$build/tests/hardening/bench_idle_cost" "$@"
