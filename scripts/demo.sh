#!/usr/bin/env bash
# A short tour of vantoget over the reference installation: installs what is
# missing, builds a Release into build/, starts vantoserver on a free port and
# reads some of its channels. The server is stopped on every way out.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target vantoserver vantoget -j2

. scripts/vantoserver-lib.sh
start_vantoserver build/bin examples/demo.toml
echo "vantoserver runs on port $vantoserver_port (VANTO_ENS=$VANTO_ENS)"

# Echoes the command line (arguments with blanks in quotes), then runs it.
show() {
  local shown="" arg
  for arg in "$@"; do
    case $arg in *" "*) shown+=" \"$arg\"" ;; *) shown+=" $arg" ;; esac
  done
  echo
  echo "\$$shown"
  "$@" || echo "(exit status $?)"
}

get=build/bin/vantoget
show $get -c TEST.SIM/SCALAR/LOC1/INT
show $get -H -w 12 -c "TEST.SIM/SCALAR/LOC1/INT TEST.SIM/SCALAR/LOC1/FLOAT TEST.SIM/SCALAR/LOC1/STRING"
show $get -T -c TEST.SIM/SCALAR/LOC1/INT,TEST.SIM/SCALAR/LOC1/DOUBLE,TEST.SIM/SCALAR/LOC1/IIII
show $get -A -c "TEST.SIM/SCALAR/LOC1/INT TEST.SIM/SCALAR/LOC1/STRING"
show $get -t -T -c TEST.SIM/ARRAY/LOC1/A_INT
show $get -C 3 -c "TEST.SIM/SCALAR/LOC1/INT255 TEST.SIM/SCALAR/LOC1/INT"
show $get -H -d 1 -T -l 3 -s 0.5 -c TEST.SIM/SCALAR/LOC1/INT
show $get -w 20 -c TEST.SIM/SCALAR/LOC1/LONGSTRING
show $get -c TEST.SIM/SCALAR/LOC1/NO_SUCH_PROPERTY
