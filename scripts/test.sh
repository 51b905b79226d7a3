#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test (the fuzz corpora are
# replayed as unit tests). Then, as a second phase, builds the threaded parts
# with ThreadSanitizer and runs their tests (scripts/tsan.sh; VANTO_SKIP_TSAN=1
# leaves it out). The tango tests run against a Tango installation that
# scripts/tango-up.sh stands up for the run (VANTO_SKIP_TANGO=1 leaves them
# out). Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=${BUILD_DIR:-build-test}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DVANTO_SANITIZE=ON -DVANTO_TESTS=ON
cmake --build "$build" -j"$(nproc)"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# The tango: tests (label tango) run against a Tango installation stood up
# here on loopback and stopped on every exit. Failing to stand it up fails
# the run; VANTO_SKIP_TANGO=1 leaves those tests out, and says so.
skip_labels=()
if [ "${VANTO_SKIP_TANGO:-0}" = 1 ]; then
  echo "test.sh: VANTO_SKIP_TANGO=1: the tango tests are left out"
  skip_labels=(-LE tango)
else
  tango_state=$(mktemp -d)
  trap 'scripts/tango-down.sh "$tango_state"' EXIT
  trap 'exit 130' INT TERM
  scripts/tango-up.sh "$tango_state"
  set -a
  # shellcheck disable=SC1091
  . "$tango_state/env"
  set +a
fi
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 300 "${skip_labels[@]}"

if [ "${VANTO_SKIP_TSAN:-0}" != 1 ]; then
  TSAN_BUILD_DIR=${TSAN_BUILD_DIR:-$build-tsan} scripts/tsan.sh
fi
