#!/usr/bin/env bash
# Times a whole single-channel vantoget process against a baseline process that
# only starts and exits, both against a local vantoserver. Not a test.
# Usage: bench/reader/bench_vantoget.sh [build-dir]   (default build-reader-bench)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build-reader-bench}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVANTO_BENCH=ON -DVANTO_TESTS=OFF >/dev/null
cmake --build "$build" --target vantoserver vantoget reader_bench_baseline -j2

server_out=$(mktemp)
server_log=$(mktemp)
server_pid=""
cleanup() {
  if [ -n "$server_pid" ] && kill -0 "$server_pid" 2>/dev/null; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  rm -f "$server_out" "$server_log"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

"$build"/bin/vantoserver --port 0 examples/demo.toml >"$server_out" 2>"$server_log" &
server_pid=$!
port=""
for _ in $(seq 100); do
  port=$(head -n 1 "$server_out" | grep -oE ':[0-9]+[[:space:]]*$' | tr -d ':[:space:]' || true)
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "vantoserver did not start" >&2; cat "$server_log" >&2; exit 1; }
export VANTO_ENS=127.0.0.1:$port

# One check that the measured command really reads the value.
"$build"/bin/vantoget -T -c TEST.SIM/SCALAR/LOC1/INT | grep -q '^42' ||
  { echo "vantoget does not read the channel" >&2; exit 1; }

hyperfine --warmup 10 --runs 200 -N \
  --command-name baseline "$build/bin/reader_bench_baseline" \
  --command-name vantoget "$build/bin/vantoget -c TEST.SIM/SCALAR/LOC1/INT"
