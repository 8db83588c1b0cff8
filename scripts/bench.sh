#!/usr/bin/env bash
# Installs Cairo and AGG when missing, builds, writes the benchmark movies at full length
# (100 frames each) into build/bench-movies-full, and runs the comparison bench on them:
# our movie frames against Cairo and AGG, rendering only and streaming. --dir DIR (for
# example ../shared/bench) or movie files given on the command line take their place.
# Blend2D joins when BLEND2D_DIR (or BLEND2D_INCLUDE and BLEND2D_LIB) names a build of it
# (bench/README.md).
# Usage: scripts/bench.sh [--rounds N] [--dir DIR] [--ours-only] [--no-stream] [movie.mvz.gz ...]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh libcairo2-dev libagg-dev
build=${BUILD_DIR:-build}
scripts/build.sh
movies=$build/bench-movies-full
"$build/tools/benchmovies/tilsen-bench-movies" "$movies" --frames 100
exec "$build/bench/compare/tilsen_compare" --dir "$movies" "$@"
