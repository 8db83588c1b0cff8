#!/usr/bin/env bash
# Runs one browser test when the browser build is there (scripts/build-web.sh), else skips.
# Usage: run.sh BUILD_DIR TEST.mjs ARGS...
set -euo pipefail
build=$1 test=$2
shift 2
if [ ! -f "$build/web/index.html" ] || [ ! -d "$build/web-node/node_modules/puppeteer-core" ]; then
  echo "no browser build in $build/web (scripts/build-web.sh makes it): skipped"
  exit 77
fi
command -v chromium >/dev/null || { echo "chromium is not installed: skipped"; exit 77; }
export WEB_NODE_DIR=$build/web-node
exec node "$test" "$@"
