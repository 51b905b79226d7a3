#!/usr/bin/env bash
# `cmake --install` into a scratch prefix gives a usable libvanto: the shared
# library with its SONAME, headers, pkg-config file and CMake package, so
# that a small program builds and runs against it both ways; and programs
# that run from the installed tree.
set -u
prefix=$1/prefix
work=$1/work
rm -rf "$1" && mkdir -p "$prefix" "$work" || exit 1
status=0
fail() { echo "FAIL: $*"; status=1; }
# The file the dynamic loader picks for libvanto when it starts program $1.
loaded_libvanto() { readlink -f "$(ldd "$1" | awk '$1 ~ /^libvanto\.so/ { print $3 }')"; }

cmake --install "$BUILD_DIR" --prefix "$prefix" >"$work/install.log" 2>&1 ||
  { cat "$work/install.log"; exit 1; }

libdir=$(dirname "$(find "$prefix" -name 'libvanto.so' | head -n 1)")
[ -d "$libdir" ] || { echo "no libvanto.so installed"; find "$prefix"; exit 1; }

# The shared library: the development link, the SONAME file and its SONAME.
soname=$(objdump -p "$libdir/libvanto.so" | awk '/SONAME/ { print $2 }')
[[ $soname =~ ^libvanto\.so\.[0-9]+$ ]] || fail "SONAME is '$soname'"
[ -e "$libdir/$soname" ] || fail "$soname is not installed"
[ -L "$libdir/libvanto.so" ] || fail "libvanto.so is not a link"

for file in include/vanto/vanto.h include/vanto/eqadr.h share/man/man1/vantoget.1 \
            share/man/man5/vanto-sr.5 share/man/man8/vantoserver.8 \
            share/bash-completion/completions/vantoget bin/vantoget bin/vantoput \
            bin/streamcat bin/vantozmq_subscribe sbin/vantoserver; do
  [ -e "$prefix/$file" ] || fail "$file is not installed"
done
# No private header of the library escapes into the installation.
extra=$(ls "$prefix/include/vanto" | grep -vxF -f <(ls "$SOURCE_DIR/src/client/include/vanto"))
[ -z "$extra" ] || fail "unexpected headers: $extra"

# The example, a few lines that need the headers and the library: an address,
# a value and a free function, so that each kind of exported name is used.
cat >"$work/example.cpp" <<'CPP'
#include <vanto/vanto.h>
#include <iostream>
int main() {
  vanto::EqAdr address("vanto://127.0.0.1:5600/TEST.SIM/SCALAR/LOC1/INT");
  vanto::EqData value;
  value.set_int(42);
  std::cout << address.show_adr() << ' ' << address.property() << ' ' << value.get_string()
            << ' ' << vanto::get_error_string(vanto::unavail_serv) << '\n';
}
CPP
expected="vanto://127.0.0.1:5600/TEST.SIM/SCALAR/LOC1/INT INT 42 service unavailable"

export PKG_CONFIG_PATH="$libdir/pkgconfig"
flags=$(pkg-config --cflags --libs vanto) || fail "pkg-config does not know vanto"
[[ $flags == *-lvanto* && $flags == *-I* ]] || fail "pkg-config gives '$flags'"
[ "$(pkg-config --modversion vanto)" = "$(sed -n 's/^Version: //p' "$libdir/pkgconfig/vanto.pc")" ] ||
  fail "pkg-config version"
# shellcheck disable=SC2086
if "$CXX" -std=c++17 ${SANITIZER_FLAGS:-} "$work/example.cpp" -o "$work/example_pc" $flags \
     -Wl,-rpath,"$libdir" 2>"$work/compile.log"; then
  got=$("$work/example_pc" 2>&1)
  [ "$got" = "$expected" ] || fail "pkg-config example printed '$got', want '$expected'"
  [ "$(loaded_libvanto "$work/example_pc")" = "$(readlink -f "$libdir/$soname")" ] ||
    fail "pkg-config example does not use the installed library: $(ldd "$work/example_pc")"
else
  cat "$work/compile.log"; fail "the example does not build with pkg-config"
fi

# find_package(vanto) and the imported target vanto::vanto.
mkdir -p "$work/cmake_user"
cp "$work/example.cpp" "$work/cmake_user/"
cat >"$work/cmake_user/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.16)
project(vanto_user CXX)
find_package(vanto 0 REQUIRED)
add_executable(example example.cpp)
target_compile_options(example PRIVATE ${SANITIZER_FLAGS:-})
target_link_options(example PRIVATE ${SANITIZER_FLAGS:-})
target_link_libraries(example PRIVATE vanto::vanto)
CMAKE
if cmake -S "$work/cmake_user" -B "$work/cmake_user/build" -DCMAKE_PREFIX_PATH="$prefix" \
       -DCMAKE_CXX_COMPILER="$CXX" >"$work/cmake_user.log" 2>&1 &&
   cmake --build "$work/cmake_user/build" >>"$work/cmake_user.log" 2>&1; then
  got=$("$work/cmake_user/build/example" 2>&1)
  [ "$got" = "$expected" ] || fail "find_package example printed '$got', want '$expected'"
else
  cat "$work/cmake_user.log"; fail "the example does not build with find_package(vanto)"
fi

# The installed programs carry libvanto's code themselves: they run from the
# installed tree and load no libvanto from anywhere.
"$prefix/bin/vantoget" -h >"$work/help.txt" 2>&1
code=$?
[ $code -eq 255 ] || fail "installed vantoget -h ended with $code: $(head -n 3 "$work/help.txt")"
for program in vantoget vantoput streamcat vantozmq_subscribe; do
  ! ldd "$prefix/bin/$program" | grep -q libvanto ||
    fail "installed $program loads a libvanto: $(ldd "$prefix/bin/$program")"
done

[ $status -eq 0 ] && rm -rf "$1"
exit $status
