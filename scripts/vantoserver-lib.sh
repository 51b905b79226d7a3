# Sourced by the demo and the benchmark scripts: runs a vantoserver in the
# background for the rest of the calling script.
#
#   start_vantoserver BUILD_BIN_DIR CONFIG
#
# starts "BUILD_BIN_DIR/vantoserver --port 0 CONFIG", waits for its first line
# ("vantoserver listening on 127.0.0.1:PORT"), exports VANTO_ENS and sets
# vantoserver_port. The server is stopped, and its files removed, when the
# calling script exits for any reason (an INT or TERM exits with 130).

vantoserver_pid=""
vantoserver_dir=""
vantoserver_port=""

stop_vantoserver() {
  if [ -n "$vantoserver_pid" ] && kill -0 "$vantoserver_pid" 2>/dev/null; then
    kill "$vantoserver_pid" 2>/dev/null || true
    wait "$vantoserver_pid" 2>/dev/null || true
  fi
  vantoserver_pid=""
  [ -z "$vantoserver_dir" ] || rm -rf "$vantoserver_dir"
}

start_vantoserver() {
  local bin=$1 config=$2
  vantoserver_dir=$(mktemp -d)
  trap stop_vantoserver EXIT
  trap 'exit 130' INT TERM
  "$bin"/vantoserver --port 0 "$config" >"$vantoserver_dir/out" 2>"$vantoserver_dir/log" &
  vantoserver_pid=$!
  for _ in $(seq 100); do
    vantoserver_port=$(head -n 1 "$vantoserver_dir/out" |
                       grep -oE ':[0-9]+[[:space:]]*$' | tr -d ':[:space:]' || true)
    [ -n "$vantoserver_port" ] && break
    kill -0 "$vantoserver_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ -z "$vantoserver_port" ]; then
    echo "vantoserver did not tell its port:" >&2
    cat "$vantoserver_dir/log" >&2
    return 1
  fi
  export VANTO_ENS=127.0.0.1:$vantoserver_port
}
