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
mount -t tmpfs -o mode=1777 tmpfs /tmp || exit 97
ip link set lo up 2>/dev/null || true
exec "$@"
