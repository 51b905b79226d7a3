#!/usr/bin/env bash
# `cpack -G DEB` builds a package with sound control data; unpacked with
# dpkg -x into a scratch root, its vantoget prints the same help text as the
# program of the build tree and ends with status 255.
set -u
scratch=$1
root=$scratch/root
rm -rf "$scratch" && mkdir -p "$root" || exit 1
status=0
fail() { echo "FAIL: $*"; status=1; }

(cd "$BUILD_DIR" && cpack -G DEB -B "$scratch" --config CPackConfig.cmake) >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; exit 1; }
deb=$(find "$scratch" -maxdepth 1 -name 'vantotools_*.deb' | head -n 1)
[ -f "$deb" ] || { echo "no package built"; cat "$scratch/cpack.log"; exit 1; }

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = vantotools ] || fail "package name $(field Package)"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "architecture $(field Architecture)"
depends=$(field Depends)
for needed in libzmq5 libc6 libstdc++6; do
  [[ $depends == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done
[[ $depends != *vantotools* ]] || fail "the package depends on itself: $depends"
dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -q shlibs || fail "no shlibs file for libvanto"

dpkg -x "$deb" "$root" || exit 1
for file in usr/bin/vantoget usr/bin/vantoput usr/bin/streamcat usr/bin/vantozmq_subscribe \
            usr/sbin/vantoserver usr/share/man/man1/vantoget.1 usr/share/man/man5/vanto-sr.5 \
            usr/share/man/man8/vantoserver.8 usr/include/vanto/vanto.h \
            usr/share/bash-completion/completions/streamcat; do
  [ -e "$root/$file" ] || fail "$file is not in the package"
done
file -L "$root/usr/bin/vantoget" | grep -q ELF || fail "usr/bin/vantoget is no program"

# The packaged vantoget, run from the unpacked root.
env -u LD_LIBRARY_PATH "$root/usr/bin/vantoget" -h >"$scratch/help.txt" 2>&1
code=$?
"$VANTOGET" -h >"$scratch/help.expected" 2>&1
[ $code -eq 255 ] || fail "vantoget -h from the package ended with $code"
head -n 1 "$scratch/help.txt" | grep -qxF ' vantoget $Id$' || fail "not the vantoget help text"
diff -u "$scratch/help.expected" "$scratch/help.txt" || fail "help text differs from the build tree's"

[ $status -eq 0 ] && rm -rf "$scratch"
exit $status
