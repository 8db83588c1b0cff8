#!/usr/bin/env bash
# What the browser build and its tests need, each fetched only when missing: Debian's
# emscripten, chromium and firefox-esr, zlib's Debian source (compiled with emcc;
# Emscripten's own ports would download at build time), and the npm packages of
# src/web/package.json (the music player for the page, puppeteer-core for the tests),
# installed into the build tree.
# Usage: scripts/web-deps.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-${BUILD_DIR:-build}}
mkdir -p "$build"
build=$(cd "$build" && pwd)

scripts/deps.sh emscripten chromium firefox-esr python3
# Node may come from elsewhere with its own npm; Debian's npm is added only when none is found.
command -v npm >/dev/null 2>&1 || scripts/deps.sh npm

zlib_version=1:1.2.13.dfsg-1
zlib_dir=$build/web-deps/zlib
if [ ! -f "$zlib_dir/zlib.h" ]; then
  rm -rf "$build/web-deps/download"
  scripts/deb-source.sh "$build/web-deps/download" "zlib=$zlib_version"
  orig=$(ls "$build"/web-deps/download/zlib_*.orig.tar.* | head -n 1)
  rm -rf "$zlib_dir.tmp"
  mkdir -p "$zlib_dir.tmp"
  tar -xf "$orig" -C "$zlib_dir.tmp" --strip-components=1
  rm -rf "$zlib_dir"
  mv "$zlib_dir.tmp" "$zlib_dir"
fi

# npm: reinstalled only when the lock file changed since the last install.
node_dir=$build/web-node
if ! cmp -s src/web/package-lock.json "$node_dir/package-lock.json" ||
  [ ! -d "$node_dir/node_modules/chiptune3" ] || [ ! -d "$node_dir/node_modules/puppeteer-core" ]; then
  mkdir -p "$node_dir"
  cp src/web/package.json src/web/package-lock.json "$node_dir/"
  (cd "$node_dir" && npm ci --no-audit --no-fund --loglevel=error)
fi
