#!/usr/bin/env bash
# Installs Cairo and AGG when missing, builds, and runs the comparison bench:
# our movie frames against Cairo and AGG, rendering only and streaming. Blend2D joins when
# BLEND2D_DIR (or BLEND2D_INCLUDE and BLEND2D_LIB) names a build of it (bench/README.md).
# Usage: scripts/bench.sh [--rounds N] [--dir DIR] [--ours-only] [--no-stream] [movie.mvz.gz ...]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh libcairo2-dev libagg-dev
build=${BUILD_DIR:-build}
scripts/build.sh
exec "$build/bench/compare/tilsen_compare" "$@"
