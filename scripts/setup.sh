#!/bin/sh
# Installs what building, running and testing the service need on Debian 12,
# skipping what is already there.
set -e
PKGS="build-essential cmake pkg-config gettext
      libwxgtk3.2-dev libtinyxml2-dev libudev-dev libhidapi-dev libx11-dev libxtst-dev
      libgtest-dev googletest
      xvfb x11-utils umockdev libumockdev-dev
      iproute2 util-linux procps clang libclang-rt-14-dev"
missing=""
for p in $PKGS; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
SUDO=""
[ "$(id -u)" = 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends $missing
