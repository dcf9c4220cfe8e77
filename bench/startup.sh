#!/bin/bash
# Prints the service's start-up time (launch until its IPC port accepts
# connections) and its peak memory, over several runs, on a private X server
# and network namespace.
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
runs=${RUNS:-5}
exec "$top/tests/support/isolate.sh" bash $BENCH_TRACE -c '
  build='"$build"'; top='"$top"'; runs='"$runs"'
  Xvfb :7 -nolisten tcp -screen 0 1920x1080x24 >/dev/null 2>&1 &
  xpid=$!
  export DISPLAY=:7
  for i in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done
  work=$(mktemp -d)
  mkdir -p "$work/Config" && cp "$top/Config/config.xml" "$work/Config/" && cp -r "$build/LANG" "$work/"
  i=0
  while [ $i -lt $runs ]; do
    start=$(date +%s%N)
    ZTBOARD_WORKDIR=$work "$build/ZTBoardSer" >/dev/null 2>&1 &
    pid=$!
    until (exec 3<>/dev/tcp/127.0.0.1/4869) 2>/dev/null; do :; done
    ready=$(date +%s%N)
    sleep 1
    hwm=$(awk "/VmHWM/ {print \$2}" /proc/$pid/status)
    kill -TERM $pid; wait $pid || true
    echo "run $((i+1)): start-up $(( (ready-start)/1000000 )) ms, peak memory $((hwm/1024)) MiB"
    i=$((i+1))
  done
  kill $xpid
  rm -rf "$work"
'
