#!/usr/bin/env bash
# Installs what is missing, builds (native and browser), and runs the whole suite through ctest.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
scripts/build.sh
# The browser build: the page and its tests run in the same ctest pass.
scripts/build-web.sh
ctest --test-dir build --output-on-failure -j "$(nproc)"
