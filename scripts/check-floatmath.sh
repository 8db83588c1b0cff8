#!/usr/bin/env bash
# Checks floatmath's sine, cosine, tangent and arctangent against the C library bit for bit, and
# the fused multiply-add sine and cosine (from the AVX2 level on) against the scalar level's, and the
# batch sine and cosine's lanes (on CPUs that have them) against sinCos one by one: every
# float with |x| < 16 (the angles the geometry makes), and every float with --all. Runs
# niced on both cores; takes minutes. Usage: scripts/check-floatmath.sh [--all]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake --build "$build" --target tilsen_floatmath_check >/dev/null
status=0
nice "$build/bench/tilsen_floatmath_check" --function sincos "$@" || status=1
nice "$build/bench/tilsen_floatmath_check" --function tan "$@" || status=1
nice "$build/bench/tilsen_floatmath_check" --function atan2 "$@" || status=1
nice "$build/bench/tilsen_floatmath_check" --function fused "$@" || status=1
nice "$build/bench/tilsen_floatmath_check" --function batch "$@" || status=1
exit $status
