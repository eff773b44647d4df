#!/bin/sh
# Installs the Debian packages that building, testing, fuzzing and packaging
# need, when they are missing (groff and man check the man pages; dpkg-dev and
# file let cpack work out the package's dependencies). As root it runs
# apt-get; otherwise it prints the command to run.
set -e
packages="g++ cmake make pkg-config liba52-0.7.4-dev libdca-dev libgtest-dev ffmpeg sox clang libclang-rt-14-dev groff-base man-db dpkg-dev file"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -z "$missing" ]; then
  echo "setup: all packages present"
  exit 0
fi
if [ "$(id -u)" = 0 ]; then
  echo "setup: installing$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  # shellcheck disable=SC2086
  apt-get install -y -q --no-install-recommends $missing
else
  echo "setup: missing packages:$missing"
  echo "run:   sudo apt-get update && sudo apt-get install -y$missing"
  exit 1
fi
