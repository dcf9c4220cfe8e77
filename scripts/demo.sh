#!/bin/sh
# The demo: a simulated ZEZ touch frame (USB 1314:1104, presented through
# umockdev as a real hidraw device) drives the real service. A short
# recording is played to it (a tap, a drag, a long hold that right-clicks),
# and what reached the X server and the whiteboard software's UDP port is
# printed as it arrives.
#
# Without DISPLAY it starts a virtual X display of its own. It runs in
# private network and mount namespaces when it can, so that the service's
# fixed ports and single-instance lock never meet a service already running.
#
#   scripts/demo.sh [--xvfb] [--speed X] [--recording FILE]
#
# --xvfb: a virtual display even when DISPLAY is set (the demo then leaves
# the desktop's pointer alone). Exit status 0 when the X server saw the
# presses, releases and the right click that the recording should cause.
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}

xvfb=""
speed=1
recording="$top/tools/recordings/zez-demo.hidrec"
while [ $# -gt 0 ]; do
  case "$1" in
    --xvfb) xvfb=yes ;;
    --speed) speed=$2; shift ;;
    --recording) recording=$2; shift ;;
    *) echo "usage: $0 [--xvfb] [--speed X] [--recording FILE]" >&2; exit 2 ;;
  esac
  shift
done
[ -n "$xvfb" ] && unset DISPLAY
args="--speed $speed --recording $recording"

# ---------------------------------------------------------------- namespaces

stage=${ZT_DEMO_STAGE:-1}
if [ "$stage" = 1 ]; then
  for b in ZTBoardSer tools/boardsim/boardsim tools/xwatch/xwatch; do
    [ -x "$build/$b" ] || { "$top/scripts/build.sh"; break; }
  done
  # unshare as root, or inside a user namespace of our own otherwise.
  for how in "" "--map-root-user"; do
    if unshare $how --net --mount --propagation private true 2>/dev/null; then
      ZT_DEMO_STAGE=2 exec unshare $how --net --mount --propagation private \
        sh "$0" $args
    fi
  done
  echo "demo: no private namespaces here; running beside whatever else runs" >&2
  stage=3
fi
if [ "$stage" = 2 ]; then
  # A private /tmp hides the X server's socket: keep the desktop's one
  # reachable through a bind mount from outside /tmp.
  if [ -n "$DISPLAY" ] && [ -d /tmp/.X11-unix ]; then
    mkdir -p "$build/.demo-x11"
    mount --bind /tmp/.X11-unix "$build/.demo-x11"
    export ZT_DEMO_X11="$build/.demo-x11"
    case "${XAUTHORITY:-}" in
      /tmp/*) cp "$XAUTHORITY" "$build/.demo-xauth"; export XAUTHORITY="$build/.demo-xauth" ;;
    esac
  fi
  ZT_DEMO_STAGE=3 ZT_ISOLATED=1 exec "$top/tests/support/isolate.sh" sh "$0" $args
fi
if [ -n "${ZT_DEMO_X11:-}" ]; then
  mkdir -p /tmp/.X11-unix
  mount --bind "$ZT_DEMO_X11" /tmp/.X11-unix
fi

# ---------------------------------------------------------------- the demo

export GDK_GL=disable
# The simulated devices live under TMPDIR; the working directory with the
# service's log stays in the build tree for a look afterwards.
export TMPDIR=${ZT_DEMO_TMP:-/tmp}
work="$build/demo-run"
rm -rf "$work"
mkdir -p "$work"
pids=""
cleanup() {
  for p in $pids; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT INT TERM

if [ -z "${DISPLAY:-}" ]; then
  Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
  pids="$pids $!"
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
  [ -s "$work/display" ] || { echo "demo: Xvfb did not start (see $work/xvfb.log)" >&2; exit 1; }
  export DISPLAY=":$(cat "$work/display")"
  echo "Virtual X display $DISPLAY, 1920x1080"
else
  echo "X display $DISPLAY: its pointer will move"
fi

# The shipped settings, with stroke classification on, so that the
# whiteboard software's port hears the pen, finger and palm words.
mkdir -p "$work/Config"
sed '/<ZTBoardWorkIRQ>/,/<\/ZTBoardWorkIRQ>/s|<DriverSet [^/]*/>|<DriverSet VALUE1_T="100" VALUE2_T="300" GESTURE_T="1"/>|' \
  "$top/Config/config.xml" > "$work/Config/config.xml"
cp -r "$build/LANG" "$work/" 2>/dev/null || true

# xwatch stands in for the whiteboard software: it listens on its port and
# answers the service's "#ZT@IsStart" with "#ZT@Start".
"$build/tools/xwatch/xwatch" --udp 10000 --answer-start --ready "$work/ready" > "$work/watch.out" &
watch=$!
pids="$pids $watch"
for _ in $(seq 100); do [ -e "$work/ready" ] && break; sleep 0.05; done
[ -e "$work/ready" ] || { echo "demo: xwatch did not start" >&2; exit 1; }
tail -f "$work/watch.out" &
pids="$pids $!"

echo "Simulated ZEZ touch frame 1314:1104; service log: $work/service.log"
echo "Playing $recording"
echo
"$build/tools/boardsim/boardsim" --vendor 0x1314 --product 0x1104 --name "ZEZ touch frame" \
  --play "$recording" --speed "$speed" --delay-ms 3000 --linger-ms 1000 \
  -- sh -c "ZTBOARD_WORKDIR='$work' exec '$build/ZTBoardSer' > '$work/service.log' 2>&1" \
  || true
sleep 0.3
kill "$watch" 2>/dev/null || true
wait "$watch" 2>/dev/null || true
sleep 0.2
echo

ok=yes
for want in "press   1" "release 1" "press   3" "release 3" "UDP  #ZT@Connect@StyleIRQ"; do
  grep -q -- "$want" "$work/watch.out" || { echo "demo: missing \"$want\"" >&2; ok=""; }
done
[ -n "$ok" ] || { echo "demo: service log follows" >&2; tail -40 "$work/service.log" >&2; exit 1; }
echo "Demo complete."
