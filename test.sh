#!/usr/bin/env bash
# Installs what is missing, builds (native, browser and Windows), and runs the whole suite through ctest.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
scripts/build.sh
# The browser build: the page and its tests run in the same ctest pass.
scripts/build-web.sh
# The Windows build: its zip, then its own suite under wine; the native pass compares its
# frames with Linux's and plays the zip's show.
scripts/build-windows.sh
scripts/test-windows.sh
ctest --test-dir build --output-on-failure -j "$(nproc)"
