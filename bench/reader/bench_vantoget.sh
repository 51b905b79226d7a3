#!/usr/bin/env bash
# Times a whole single-channel vantoget process against a baseline process that
# only starts and exits, both against a local vantoserver. Not a test.
# Usage: bench/reader/bench_vantoget.sh [build-dir]   (default build-reader-bench)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build-reader-bench}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVANTO_BENCH=ON -DVANTO_TESTS=OFF >/dev/null
cmake --build "$build" --target vantoserver vantoget reader_bench_baseline -j2

. scripts/vantoserver-lib.sh
start_vantoserver "$build"/bin examples/demo.toml

# One check that the measured command really reads the value.
"$build"/bin/vantoget -T -c TEST.SIM/SCALAR/LOC1/INT | grep -q '^42' ||
  { echo "vantoget does not read the channel" >&2; exit 1; }

hyperfine --warmup 10 --runs 200 -N \
  --command-name baseline "$build/bin/reader_bench_baseline" \
  --command-name vantoget "$build/bin/vantoget -c TEST.SIM/SCALAR/LOC1/INT"
