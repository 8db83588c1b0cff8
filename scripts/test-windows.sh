#!/usr/bin/env bash
# Runs the Windows build's test suite (BUILD/windows-cmake, made by scripts/build-windows.sh)
# with ctest under wine: the wine prefix is made once first (scripts/wine-run.sh), then the
# tests run in parallel through it.
# Usage: scripts/test-windows.sh [ctest options...]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
build=$(cd "$build" && pwd)
scripts/wine-run.sh "$build/windows-wine"
# No display: the platform tests use SDL's dummy drivers, and wine opens no window.
env -u DISPLAY -u WAYLAND_DISPLAY \
  ctest --test-dir "$build/windows-cmake" --output-on-failure -j "$(nproc)" "$@"
