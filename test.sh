#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole suite through ctest.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
scripts/build.sh
ctest --test-dir build --output-on-failure -j "$(nproc)"
