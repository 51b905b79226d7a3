#!/usr/bin/env bash
# The full load: CLIENTS load client processes (default 8) with REQUESTS mixed
# gets and sets each (default 20000) against one vantoserver of a Release
# build on 127.0.0.1, first a warm-up round, then ROUNDS measured rounds
# (default 4). Each client owns its channels (tests/load/load.toml), counts
# the replies per request id and reads back every write. Prints the figures
# of every round and the server's VmRSS / VmHWM after the warm-up and after
# the last round; exits non-zero when any client saw a fault.
#   scripts/load.sh                   LOAD_BUILD_DIR=build-load-release JOBS=2
set -euo pipefail
cd "$(dirname "$0")/.."
build=${LOAD_BUILD_DIR:-build-load-release}
clients=${CLIENTS:-8}
requests=${REQUESTS:-20000}
rounds=${ROUNDS:-4}
jobs=${JOBS:-2}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVANTO_TESTS=ON >/dev/null
cmake --build "$build" -j"$jobs" --target vantoserver load_client >/dev/null

work=$(mktemp -d)
server_pid=
cleanup() {
  if [[ -n $server_pid ]]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

"$build/bin/vantoserver" --bind 127.0.0.1 --port 0 tests/load/load.toml \
  >"$work/server.out" 2>"$work/server.err" &
server_pid=$!
for _ in $(seq 300); do
  grep -q "listening on" "$work/server.out" 2>/dev/null && break
  sleep 0.1
done
port=$(sed -n 's/.*listening on .*:\([0-9]*\)$/\1/p' "$work/server.out" | head -1)
[[ -n $port ]] || { echo "load.sh: vantoserver did not start" >&2; cat "$work/server.err" >&2; exit 1; }

memory() { awk -v f="$1:" '$1 == f { print $2 }' "/proc/$server_pid/status"; }

failed=0
# run_round NAME: all clients at once; prints one line of figures.
run_round() {
  local name=$1 pids=() k
  local start end
  start=$(date +%s.%N)
  for ((k = 1; k <= clients; k++)); do
    timeout 300 "$build/bin/load_client" -s "127.0.0.1:$port" -c "$k" -n "$requests" \
      >"$work/$name.$k.out" 2>"$work/$name.$k.err" &
    pids+=($!)
  done
  for k in "${!pids[@]}"; do
    if ! wait "${pids[$k]}"; then
      failed=1
      echo "load.sh: $name, client $((k + 1)) failed:" >&2
      cat "$work/$name.$((k + 1)).out" "$work/$name.$((k + 1)).err" >&2
    fi
  done
  end=$(date +%s.%N)
  cat "$work/$name".*.out | awk -v name="$name" -v start="$start" -v end="$end" '
    BEGIN { secs = end - start }
    { for (i = 3; i < NF; i += 2) { key = $i; sum[key] += $(i + 1) } }
    END {
      printf "%-8s requests %d in %.2f s = %.0f requests/s; replies %d, missing %d, duplicated %d, unexpected %d, errors %d, mismatched %d, sets %d, reads %d\n",
        name, sum["sent"], secs, sum["sent"] / secs, sum["replies"], sum["missing"], sum["duplicated"],
        sum["unexpected"], sum["errors"], sum["mismatched"], sum["sets"], sum["reads"]
    }'
}

echo "$clients clients x $requests requests (+3 read-backs each), server $build/bin/vantoserver, port $port"
run_round warm-up
echo "server after the warm-up:    VmRSS $(memory VmRSS) kB, VmHWM $(memory VmHWM) kB"
for ((r = 1; r <= rounds; r++)); do
  run_round "round-$r"
  echo "         server VmRSS $(memory VmRSS) kB"
done
echo "server after the last round: VmRSS $(memory VmRSS) kB, VmHWM $(memory VmHWM) kB"
exit $failed
