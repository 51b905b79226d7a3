#!/usr/bin/env bash
# A short tour of vantoget over the reference installation: installs what is
# missing, builds a Release into build/, starts vantoserver on a free port and
# reads some of its channels. The server is stopped on every way out.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target vantoserver vantoget -j2

server_out=$(mktemp)
server_log=$(mktemp)
server_pid=""
stop_server() {
  if [ -n "$server_pid" ] && kill -0 "$server_pid" 2>/dev/null; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  rm -f "$server_out" "$server_log"
}
trap stop_server EXIT
trap 'exit 130' INT TERM

build/bin/vantoserver --port 0 examples/demo.toml >"$server_out" 2>"$server_log" &
server_pid=$!

# The server's first line ("vantoserver listening on 127.0.0.1:40123") names
# the port it got.
port=""
for _ in $(seq 100); do
  port=$(head -n 1 "$server_out" | grep -oE ':[0-9]+[[:space:]]*$' | tr -d ':[:space:]' || true)
  [ -n "$port" ] && break
  kill -0 "$server_pid" 2>/dev/null || { cat "$server_log" >&2; exit 1; }
  sleep 0.1
done
if [ -z "$port" ]; then
  echo "vantoserver did not tell its port:" >&2
  cat "$server_log" >&2
  exit 1
fi
export VANTO_ENS=127.0.0.1:$port
echo "vantoserver runs on port $port (VANTO_ENS=$VANTO_ENS)"

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
