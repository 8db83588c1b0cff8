#!/usr/bin/env bash
# Builds the show for the browser into build/web/ (or $BUILD_DIR/web): the page, the wasm
# show, the music player and the show's data. The data comes from the native build's
# content tool, so scripts/build.sh runs first. The folder works from any static host.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
scripts/web-deps.sh "$build"
build=$(cd "$build" && pwd)
[ -f "$build/data/music.xm" ] || { echo "build-web: $build/data has no music.xm: run scripts/build.sh first" >&2; exit 1; }

# Debian's emcc runs its JavaScript tools with the system node, which needs this path.
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
emcmake cmake -S . -B "$build/web-cmake" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTILSEN_WEB=ON \
  -DTILSEN_ZLIB_SOURCE_DIR="$build/web-deps/zlib" "${launcher[@]}" >/dev/null
cmake --build "$build/web-cmake"

site=$build/web
rm -rf "$site.tmp"
mkdir -p "$site.tmp/chiptune3"
cp src/web/page/index.html src/web/page/tilsen-page.js src/web/page/heard-time.js "$site.tmp/"
cp "$build/web-cmake/src/web/tilsen.js" "$build/web-cmake/src/web/tilsen.wasm" "$site.tmp/"
player=$build/web-node/node_modules/chiptune3
cp "$player/chiptune3.js" "$player/chiptune3.worklet.js" "$player/libopenmpt.worklet.js" \
  "$player/LICENSE" "$site.tmp/chiptune3/"
cp "$build"/data/*.raw "$build"/data/*.mvz.gz "$build/data/music.xm" "$site.tmp/"
rm -rf "$site"
mv "$site.tmp" "$site"
echo "The show for the browser is in $site ($(du -sh "$site" | cut -f1))"
