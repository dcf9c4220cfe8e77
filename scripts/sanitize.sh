#!/bin/sh
# The service and its test suite built with AddressSanitizer (LeakSanitizer
# included) and UndefinedBehaviorSanitizer into build-asan/ (or
# $SANITIZE_BUILD_DIR), then the tests. Every sanitizer report of any program
# of the run (a test, or a service process a test started) is written to
# $build/sanitizer-reports; one report fails the run.
#
# ZT_SANITIZE_TESTS (a ctest -R expression) narrows the tests run.
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
build=${SANITIZE_BUILD_DIR:-$top/build-asan}
reports=$build/sanitizer-reports

"$top/scripts/setup.sh"
mkdir -p "$build"
rm -rf "$reports"
mkdir -p "$reports"

# The harness sets ASAN_OPTIONS per test; these defaults sit beneath it.
clang -c -O2 -DZT_SANITIZER_LOG="\"$reports/report\"" \
   -o "$build/sanitizer_defaults.o" "$top/tests/hardening/sanitizer_defaults.c"

# Test discovery runs the test programs during the build, under the umockdev
# preload for some of them.
export ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=1
# Only leaks inside the toolkit and system libraries are suppressed.
export LSAN_OPTIONS=suppressions=$top/tests/hardening/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# clang: its sanitizer runtimes are linked statically as one, so the report
# file and the default options below reach UndefinedBehaviorSanitizer too.
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -DZT_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      "-DCMAKE_CXX_STANDARD_LIBRARIES=$build/sanitizer_defaults.o" \
      $CMAKE_ARGS >/dev/null
cmake --build "$build" -j2

cd "$build"
status=0
if [ -n "$ZT_SANITIZE_TESTS" ]; then
  ctest -j2 --output-on-failure --timeout 600 -R "$ZT_SANITIZE_TESTS" || status=$?
else
  ctest -j2 --output-on-failure --timeout 600 || status=$?
fi

found=$(find "$reports" -type f | sort)
if [ -n "$found" ]; then
  for f in $found; do
    echo "==== sanitizer report $(basename "$f")"
    cat "$f"
  done
  echo "sanitize.sh: $(echo "$found" | wc -l) sanitizer report(s)"
  exit 1
fi
[ "$status" = 0 ] || { echo "sanitize.sh: tests failed"; exit "$status"; }
echo "sanitize.sh: no sanitizer reports"
