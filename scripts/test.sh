#!/usr/bin/env bash
# Installs what is missing, checks that every C++ file follows .clang-format,
# builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test (the fuzz corpora are
# replayed as unit tests). Then, as a second phase, builds the threaded parts
# with ThreadSanitizer and runs their tests (scripts/tsan.sh; VANTO_SKIP_TSAN=1
# leaves it out). The tango tests run against a Tango installation that
# scripts/tango-up.sh stands up for the run (VANTO_SKIP_TANGO=1 leaves them
# out); the epics tests against a soft IOC that scripts/epics-up.sh stands up,
# built from Debian's epics-base source by scripts/epics-base.sh and kept in
# the build tree (VANTO_SKIP_EPICS=1 leaves them out). Exits non-zero on any
# failure.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# The layout first: a file that differs from .clang-format fails the run at
# once, before the long build.
scripts/format-check.sh
build=${BUILD_DIR:-build-test}
# The EPICS base tree gives the soft IOC and the Channel Access headers that
# Debian's libca-dev lacks; it must be there before the build looks for them.
epics_option=()
if [ "${VANTO_SKIP_EPICS:-0}" != 1 ]; then
  scripts/epics-base.sh "$build/epics-base"
  epics_option=(-DVANTO_EPICS=ON)
fi
# The benchmarks are built too (not run: bench/run does that), so that they
# keep compiling against the library as it changes.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DVANTO_SANITIZE=ON -DVANTO_TESTS=ON \
  -DVANTO_BENCH=ON "${epics_option[@]}"
cmake --build "$build" -j"$(nproc)"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# The tango: tests (label tango) run against a Tango installation stood up
# here on loopback and stopped on every exit. Failing to stand it up fails
# the run; VANTO_SKIP_TANGO=1 leaves those tests out, and says so.
skipped=()
tango_state=""
epics_state=""
trap '[ -z "$tango_state" ] || scripts/tango-down.sh "$tango_state"
      [ -z "$epics_state" ] || scripts/epics-down.sh "$epics_state"' EXIT
trap 'exit 130' INT TERM
if [ "${VANTO_SKIP_TANGO:-0}" = 1 ]; then
  echo "test.sh: VANTO_SKIP_TANGO=1: the tango tests are left out"
  skipped+=(tango)
else
  tango_state=$(mktemp -d)
  scripts/tango-up.sh "$tango_state"
  set -a
  # shellcheck disable=SC1091
  . "$tango_state/env"
  set +a
fi
# The epics: tests (label epics) against a soft IOC whose Channel Access
# traffic stays on 127.0.0.1 (the variables of its env file).
if [ "${VANTO_SKIP_EPICS:-0}" = 1 ]; then
  echo "test.sh: VANTO_SKIP_EPICS=1: the epics tests are left out"
  skipped+=(epics)
else
  epics_state=$(mktemp -d)
  scripts/epics-up.sh "$epics_state" "$build/epics-base"
  set -a
  # shellcheck disable=SC1091
  . "$epics_state/env"
  set +a
fi
skip_labels=()
if ((${#skipped[@]})); then
  skip_labels=(-LE "^($(IFS='|'; echo "${skipped[*]}"))\$")
fi
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 300 "${skip_labels[@]}"

if [ "${VANTO_SKIP_TSAN:-0}" != 1 ]; then
  TSAN_BUILD_DIR=${TSAN_BUILD_DIR:-$build-tsan} scripts/tsan.sh
fi
