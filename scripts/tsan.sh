#!/usr/bin/env bash
# ThreadSanitizer run of the threaded parts: libvanto's subscriptions,
# vantoserver (request and clock threads), streamcat and vantozmq_subscribe.
# Builds only what these tests need into build-tsan (or $TSAN_BUILD_DIR) and
# runs the stream, subscription, server, server restart and load tests; any
# report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${TSAN_BUILD_DIR:-build-tsan}
jobs=${JOBS:-$(nproc)}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DVANTO_TSAN=ON -DVANTO_TESTS=ON >/dev/null
cmake --build "$build" -j"$jobs" --target vantoserver streamcat vantozmq_subscribe \
  stream_unit_tests stream_e2e_tests subscribe_e2e_tests server_e2e_tests restart_e2e_tests \
  load_e2e_tests load_client
# libzmq is not built with ThreadSanitizer: its own hand-overs between its I/O
# threads and the caller are invisible to it (tests/stream/tsan.supp).
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/stream/tsan.supp"
ctest --test-dir "$build" --output-on-failure -j"$jobs" --timeout 300 \
  -R '^stream\.|Subscribe|^server\.|^faults\.ServerRestart\.|^load\.' \
  -E '^server\.(ConfigTest|HistoryTest|IpcPathTest|Planted/IpcPathTest)'
