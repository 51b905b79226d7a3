#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test (the fuzz corpora are
# replayed as unit tests). Then, as a second phase, builds the threaded parts
# with ThreadSanitizer and runs their tests (scripts/tsan.sh; VANTO_SKIP_TSAN=1
# leaves it out). Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=${BUILD_DIR:-build-test}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DVANTO_SANITIZE=ON -DVANTO_TESTS=ON
cmake --build "$build" -j"$(nproc)"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 300

if [ "${VANTO_SKIP_TSAN:-0}" != 1 ]; then
  TSAN_BUILD_DIR=${TSAN_BUILD_DIR:-$build-tsan} scripts/tsan.sh
fi
