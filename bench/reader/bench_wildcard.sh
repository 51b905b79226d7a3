#!/usr/bin/env bash
# Times a whole vantoget process that expands a location pattern over a device
# with 8000 locations against one that is given the same locations as plain
# names (7999, the most a channel list holds), both against a local
# vantoserver. Not a test.
# Usage: bench/reader/bench_wildcard.sh [build-dir]   (default build-reader2-bench)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build-reader2-bench}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVANTO_BENCH=ON -DVANTO_TESTS=OFF >/dev/null
cmake --build "$build" --target vantoserver vantoget -j2

work=$(mktemp -d)
server_pid=""
cleanup() {
  if [ -n "$server_pid" ] && kill -0 "$server_pid" 2>/dev/null; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Short names, so that 7999 of them fit into one command-line argument.
cat >"$work/many.toml" <<'TOML'
[[device]]
facility = "B"
name = "M"
location_prefix = "L"
location_count = 8000
  [[device.property]]
  name = "V"
  type = "INT"
  value = 7
TOML
for i in $(seq 7999); do printf 'B/M/L%d/V ' "$i"; done >"$work/names.txt"

"$build"/bin/vantoserver --port 0 "$work/many.toml" >"$work/server.out" 2>"$work/server.log" &
server_pid=$!
port=""
for _ in $(seq 100); do
  port=$(head -n 1 "$work/server.out" | grep -oE ':[0-9]+[[:space:]]*$' | tr -d ':[:space:]' || true)
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "vantoserver did not start" >&2; cat "$work/server.log" >&2; exit 1; }
export VANTO_ENS=127.0.0.1:$port

# Check that both commands really read every value.
[ "$("$build"/bin/vantoget -T -c 'B/M/*/V' | tr '\t' '\n' | grep -c '^7$')" = 8000 ] ||
  { echo "the pattern does not read 8000 values" >&2; exit 1; }
[ "$("$build"/bin/vantoget -T -c "$(cat "$work/names.txt")" | tr '\t' '\n' | grep -c '^7$')" = 7999 ] ||
  { echo "the plain list does not read 7999 values" >&2; exit 1; }

hyperfine --warmup 2 --runs 10 \
  --command-name "pattern B/M/*/V (8000 locations)" "$build/bin/vantoget -c 'B/M/*/V'" \
  --command-name "7999 plain names" "$build/bin/vantoget -c \"\$(cat $work/names.txt)\""
