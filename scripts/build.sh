#!/bin/sh
# Configures and builds the service, its tools and tests into build/ (or $BUILD_DIR).
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} $CMAKE_ARGS >/dev/null
cmake --build "$build" -j2
