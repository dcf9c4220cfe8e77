#!/bin/sh
# Runs a command in private network and mount namespaces with its own /tmp:
# the fixed ports, the single-instance lock in /tmp and the X display sockets
# of one test can then never meet those of another test running beside it.
if [ -z "$ZT_ISOLATED" ]; then
  export ZT_ISOLATED=1
  if [ "$(id -u)" = 0 ]; then
    exec unshare --net --mount --propagation private "$0" "$@"
  fi
  exec unshare --user --map-root-user --net --mount --propagation private "$0" "$@"
fi
prog=$(command -v "$1" 2>/dev/null || echo "$1")
prog=$(realpath "$prog" 2>/dev/null || echo "$prog")
# The old /tmp stays reachable under /mnt (in this namespace only), so that a
# checkout, build tree or working directory that lives in /tmp is put back.
mount --bind /tmp /mnt || exit 97
mount -t tmpfs -o mode=1777 tmpfs /tmp || exit 97
for p in "$PWD" "$prog" "$TMPDIR" "$ZT_BINARY_DIR" "$ZT_SOURCE_DIR"; do
  case "$p" in
    /tmp/?*)
      top=${p#/tmp/}
      top=${top%%/*}
      if [ ! -e "/tmp/$top" ] && [ -d "/mnt/$top" ]; then
        mkdir -p "/tmp/$top" && mount --bind "/mnt/$top" "/tmp/$top"
      fi
      ;;
  esac
done
cd "$PWD" 2>/dev/null || true
ip link set lo up 2>/dev/null || true
exec "$@"
