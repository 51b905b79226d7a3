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

. scripts/vantoserver-lib.sh
work=$(mktemp -d)
cleanup() {
  stop_vantoserver
  rm -rf "$work"
}

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

start_vantoserver "$build"/bin "$work/many.toml"
trap cleanup EXIT

# Check that both commands really read every value.
[ "$("$build"/bin/vantoget -T -c 'B/M/*/V' | tr '\t' '\n' | grep -c '^7$')" = 8000 ] ||
  { echo "the pattern does not read 8000 values" >&2; exit 1; }
[ "$("$build"/bin/vantoget -T -c "$(cat "$work/names.txt")" | tr '\t' '\n' | grep -c '^7$')" = 7999 ] ||
  { echo "the plain list does not read 7999 values" >&2; exit 1; }

hyperfine --warmup 2 --runs 10 \
  --command-name "pattern B/M/*/V (8000 locations)" "$build/bin/vantoget -c 'B/M/*/V'" \
  --command-name "7999 plain names" "$build/bin/vantoget -c \"\$(cat $work/names.txt)\""
