#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, if any
# is missing. Runs as root (CI) or through sudo.
set -euo pipefail
packages=(cmake g++ make pkg-config libzmq3-dev cppzmq-dev libtomlplusplus-dev
          libgtest-dev libgmock-dev libbenchmark-dev binutils procps ncurses-bin
          groff-base man-db dpkg-dev file libpng-dev libxml2-utils)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
