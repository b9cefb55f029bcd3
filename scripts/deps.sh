#!/usr/bin/env bash
# Installs the build and test dependencies from Debian's packages.
set -euo pipefail
# clang and its runtime libraries build the fuzz target (libFuzzer).
pkgs="g++ cmake make flex byacc libjsoncpp-dev libgtest-dev libbenchmark-dev clang libclang-rt-14-dev"
missing=""
for p in $pkgs; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $missing
fi
