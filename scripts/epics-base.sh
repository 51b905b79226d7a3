#!/usr/bin/env bash
# Builds the parts of EPICS base that the epics: tests and benchmarks need,
# from Debian's epics-base source package: the common library, the Channel
# Access client and the database (softIoc, caget), with their headers, which
# Debian's libca-dev leaves out.
#
#   scripts/epics-base.sh DIR
#
# DIR is the EPICS base tree afterwards (DIR/bin/linux-x86_64/softIoc,
# DIR/include/cadef.h). A tree that is already complete is kept as it is, so
# a second run costs nothing. The tree is built where it stays: the programs
# find their libraries and database definitions by the paths of the build.
set -euo pipefail
dir=${1:?usage: epics-base.sh DIR}
host_arch=linux-x86_64
complete() {
  [ -x "$dir/bin/$host_arch/softIoc" ] && [ -x "$dir/bin/$host_arch/caget" ] &&
    [ -f "$dir/include/cadef.h" ] && [ -f "$dir/dbd/softIoc.dbd" ]
}
if complete; then
  echo "epics-base: $dir is complete"
  exit 0
fi
SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"

# apt-get source needs a deb-src entry for the mirror and suites that the
# binary packages come from.
if ! apt-get source --print-uris -qq epics-base >/dev/null 2>&1; then
  entry=/etc/apt/sources.list.d/vanto-deb-src.sources
  uris=$(sed -n 's/^URIs:[[:space:]]*//p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -n 1)
  suites=$(sed -n 's/^Suites:[[:space:]]*//p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -n 1)
  if [ -z "$uris" ]; then  # one-line sources.list form
    read -r uris suites < <(awk '$1 == "deb" && $2 !~ /security/ { print $2, $3; exit }' \
      /etc/apt/sources.list 2>/dev/null)
  fi
  [ -n "$uris" ] || { echo "epics-base: no Debian mirror found in the apt sources" >&2; exit 1; }
  printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "$uris" "${suites:-bookworm}" | $SUDO tee "$entry" >/dev/null
  $SUDO apt-get update -qq
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && apt-get source -qq epics-base >"$work/source.log" 2>&1) || {
  cat "$work/source.log" >&2
  exit 1
}
rm -rf "$dir"
mkdir -p "$(dirname "$dir")"
mv "$work"/epics-base-*/ "$dir"
jobs=$(nproc)
for part in configure src modules/libcom modules/ca modules/database; do
  echo "epics-base: building $part"
  make -s -j"$jobs" -C "$dir/$part" >"$dir/build-$(basename "$part").log" 2>&1 || {
    tail -n 30 "$dir/build-$(basename "$part").log" >&2
    exit 1
  }
done
complete || { echo "epics-base: the build left no softIoc or caget in $dir" >&2; exit 1; }
echo "epics-base: built in $dir"
