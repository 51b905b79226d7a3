#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, if any
# is missing. Runs as root (CI) or through sudo.
set -euo pipefail
packages=(cmake g++ make pkg-config libzmq3-dev cppzmq-dev libtomlplusplus-dev
          libgtest-dev libgmock-dev libbenchmark-dev binutils procps ncurses-bin
          groff-base man-db dpkg-dev file libpng-dev libxml2-utils
          libtango-dev tango-test tango-db dbconfig-no-thanks mariadb-server iproute2
          libca-dev libcom-dev perl clang-format)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  # The Tango packages ask for a TANGO_HOST and offer to create a database:
  # the answers given here, and dbconfig-no-thanks, keep them quiet (the
  # tests stand up their own database, scripts/tango-up.sh).
  echo 'tango-common tango-common/tango-host string localhost:10000' | $SUDO debconf-set-selections
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
