#!/usr/bin/env bash
# Builds the Windows build's tests (BUILD/windows-cmake, configured by
# scripts/build-windows.sh) and runs them with ctest under wine: the wine prefix is made once
# first (scripts/wine-run.sh), then the tests run in parallel through it.
# Usage: scripts/test-windows.sh [ctest options...]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
build=$(cd "$build" && pwd)
[ -f "$build/windows-cmake/build.ninja" ] ||
  { echo "test-windows: no Windows build in $build/windows-cmake: run scripts/build-windows.sh" >&2; exit 1; }
cmake --build "$build/windows-cmake"
scripts/wine-run.sh "$build/windows-wine"
# No display: the platform tests use SDL's dummy drivers, and wine opens no window.
env -u DISPLAY -u WAYLAND_DISPLAY \
  ctest --test-dir "$build/windows-cmake" --output-on-failure -j "$(nproc)" "$@"
