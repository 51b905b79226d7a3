#!/usr/bin/env bash
# Fuzzes every target (or those named) with libFuzzer for a while each.
#   fuzz/run.sh [-t seconds-per-target] [-j jobs] [target ...]
# Builds with clang -fsanitize=fuzzer,address,undefined into build-fuzz (or
# $FUZZ_BUILD_DIR), starts each target from a copy of its corpus in the repo,
# and keeps new crash inputs in build-fuzz/findings/<target>/. Prints one line
# of figures per target and exits non-zero when any target found a fault.
# Add a finding to fuzz/corpus/<target>/ once it is mended, so the test
# command replays it from then on.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=600
jobs=2
while getopts "t:j:" opt; do
  case $opt in
    t) seconds=$OPTARG ;;
    j) jobs=$OPTARG ;;
    *) echo "usage: $0 [-t seconds-per-target] [-j jobs] [target ...]" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
all_targets=(eqadr codec text_forms check_value spectrum_header spectrum_preformatted
             restore_reader sr_file stream_message server_request history_time)
targets=("${@:-${all_targets[@]}}")

# The fuzzing engine comes with clang and its run-time libraries.
missing=()
for p in clang libclang-rt-14-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build=${FUZZ_BUILD_DIR:-build-fuzz}
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g -O1"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DVANTO_TESTS=ON -DVANTO_FUZZ_LIBFUZZER=ON >/dev/null
built=()
failed=0
for t in "${targets[@]}"; do
  if cmake --build "$build" -j"$jobs" --target "fuzz_$t" >"$build/build-$t.log" 2>&1; then
    built+=("$t")
  else
    echo "$t: does not build (see $build/build-$t.log)"
    failed=1
  fi
done

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
for t in "${built[@]}"; do
  work="$build/corpus/$t"
  findings="$build/findings/$t"
  mkdir -p "$work" "$findings"
  log="$build/findings/$t.log"
  status=0
  "$build/bin/fuzz_$t" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 \
    -rss_limit_mb=2048 -max_len=65536 -artifact_prefix="$findings/" \
    "$work" "fuzz/corpus/$t" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  corpus=$(ls "$work" | wc -l)
  crashes=$(find "$findings" -type f | wc -l)
  echo "$t: ${runs:-?} executions in ${seconds}s, corpus $corpus inputs, findings $crashes, status $status"
  if [ "$status" -ne 0 ] || [ "$crashes" -ne 0 ]; then
    failed=1
    grep -m3 -E "ERROR|SUMMARY|runtime error" "$log" || true
  fi
done
exit $failed
