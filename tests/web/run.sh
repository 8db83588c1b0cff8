#!/usr/bin/env bash
# Runs one browser test when the browser build is there (scripts/build-web.sh), else skips;
# in Firefox ESR when TILSEN_BROWSER=firefox, else in chromium.
# Usage: run.sh BUILD_DIR TEST.mjs ARGS...
set -euo pipefail
build=$1 test=$2
shift 2
if [ ! -f "$build/web/index.html" ] || [ ! -d "$build/web-node/node_modules/puppeteer-core" ]; then
  echo "no browser build in $build/web (scripts/build-web.sh makes it): skipped"
  exit 77
fi
if [ "${TILSEN_BROWSER:-chromium}" = firefox ]; then
  [ -x /usr/lib/firefox-esr/firefox-esr ] || { echo "firefox-esr is not installed: skipped"; exit 77; }
else
  command -v chromium >/dev/null || { echo "chromium is not installed: skipped"; exit 77; }
fi
export WEB_NODE_DIR=$build/web-node
exec node "$test" "$@"
