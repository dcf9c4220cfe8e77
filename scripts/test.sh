#!/bin/sh
# The whole test suite from a clean clone: packages, build, every test.
# Each test that needs an X server starts its own Xvfb; tests that bind the
# service's fixed ports run in network namespaces of their own.
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
"$top/scripts/build.sh"
cd "${BUILD_DIR:-$top/build}"
ctest -j2 --output-on-failure --timeout 300
