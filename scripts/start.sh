#!/bin/sh
# Installs what is missing, builds, and runs the service's main job.
# With a board attached (USB vendor 0x1314) and a desktop, the service runs
# on that desktop in the foreground. Otherwise the demo shows the main job on
# a virtual display with a simulated board.
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
"$top/scripts/build.sh"
build=${BUILD_DIR:-$top/build}

board=""
for f in /sys/bus/usb/devices/*/idVendor; do
  [ -r "$f" ] && [ "$(cat "$f")" = 1314 ] && board=yes
done
if [ -n "$board" ] && [ -n "$DISPLAY" ] && [ -z "$ZT_FORCE_DEMO" ]; then
  work=${ZTBOARD_WORKDIR:-$HOME/.local/share/ztboard}
  mkdir -p "$work/Config"
  [ -f "$work/Config/config.xml" ] || cp "$top/Config/config.xml" "$work/Config/"
  cp -r "$build/LANG" "$work/"
  echo "Board found: running the service on $DISPLAY (working directory $work); Ctrl-C ends it."
  ZTBOARD_WORKDIR=$work exec "$build/ZTBoardSer"
fi
exec "$top/scripts/demo.sh"
