#!/usr/bin/env bash
# Builds the whole project once more with AddressSanitizer and UndefinedBehaviorSanitizer
# (any report stops the run) into build-asan/, and runs the suite there.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
# Warnings are checked by the plain build; GCC 12 reports false stringop overflows under
# the sanitizers, so they are not errors here.
BUILD_DIR=build-asan scripts/build.sh -DTILSEN_SANITIZE=ON -DTILSEN_BENCH=OFF -DTILSEN_WERROR=OFF
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-asan --output-on-failure -j "$(nproc)"
