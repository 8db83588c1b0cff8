#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer
# on) into build-fuzz/ and runs each for a bounded time, seeded with its checked-in corpus.
#   scripts/fuzz.sh [seconds per target] [target ...]     (default: 60 s; all targets)
# FUZZ_FLAGS adds libFuzzer options (for example FUZZ_FLAGS=-len_control=0).
# New inputs go to build-fuzz/fuzz/<target>_found; a crash, leak, timeout or sanitizer
# report stops the script with the input saved as build-fuzz/fuzz/artifacts/<target>-*.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-${FUZZ_SECONDS:-60}}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(movie path picture music)

scripts/deps.sh clang libclang-rt-14-dev
build=${FUZZ_BUILD_DIR:-build-fuzz}
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTILSEN_FUZZ=ON -DTILSEN_BENCH=OFF -DTILSEN_TOOLS=OFF -DTILSEN_WERROR=OFF >/dev/null
cmake --build "$build" --target "${targets[@]/%/_fuzz}"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export SDL_AUDIODRIVER=dummy SDL_VIDEODRIVER=dummy
mkdir -p "$build/fuzz/artifacts"
for target in "${targets[@]}"; do
  found="$build/fuzz/${target}_found"
  mkdir -p "$found"
  dict=()
  [ -f "fuzz/$target.dict" ] && dict=(-dict="fuzz/$target.dict")
  echo "== $target: ${seconds} s"
  # An input that runs for more than 10 s counts as a hang.
  "$build/fuzz/${target}_fuzz" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/fuzz/artifacts/$target-" \
    "${dict[@]}" ${FUZZ_FLAGS:-} "$found" "fuzz/corpus/$target" 2>&1 | grep -v '^#[0-9]*.*\(NEW\|REDUCE\|pulse\)' || {
    echo "fuzz target $target failed"; exit 1; }
done
