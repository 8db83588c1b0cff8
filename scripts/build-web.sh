#!/usr/bin/env bash
# Builds the show for the browser into build/web/ (or $BUILD_DIR/web): the page, the wasm
# show, the music player and the show's data. The data comes from the native build's
# content tool, so scripts/build.sh runs first. The folder works from any static host.
# The show is built twice: with wasm SIMD (tilsen.js, tilsen.wasm) and without
# (tilsen-scalar.js, tilsen-scalar.wasm), which the page loads where the engine has no SIMD.
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
for simd in ON OFF; do
  tree=$build/web-cmake
  [ "$simd" = ON ] || tree=$build/web-cmake-scalar
  emcmake cmake -S . -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTILSEN_WEB=ON \
    -DTILSEN_WEB_SIMD=$simd -DTILSEN_ZLIB_SOURCE_DIR="$build/web-deps/zlib" "${launcher[@]}" >/dev/null
  cmake --build "$tree"
done

site=$build/web
rm -rf "$site.tmp"
mkdir -p "$site.tmp/chiptune3"
cp src/web/page/index.html src/web/page/tilsen-page.js src/web/page/heard-time.js "$site.tmp/"
cp "$build/web-cmake/src/web/tilsen.js" "$build/web-cmake/src/web/tilsen.wasm" "$site.tmp/"
# The same module under another name loads its own wasm file (Emscripten names it after the script).
sed 's/tilsen\.wasm/tilsen-scalar.wasm/g' "$build/web-cmake-scalar/src/web/tilsen.js" >"$site.tmp/tilsen-scalar.js"
cp "$build/web-cmake-scalar/src/web/tilsen.wasm" "$site.tmp/tilsen-scalar.wasm"
player=$build/web-node/node_modules/chiptune3
cp "$player/chiptune3.js" "$player/chiptune3.worklet.js" "$player/libopenmpt.worklet.js" \
  "$player/LICENSE" "$site.tmp/chiptune3/"
cp "$build"/data/*.raw "$build"/data/*.mvz.gz "$build/data/music.xm" "$site.tmp/"
rm -rf "$site"
mv "$site.tmp" "$site"
echo "The show for the browser is in $site ($(du -sh "$site" | cut -f1))"
