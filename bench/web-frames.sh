#!/usr/bin/env bash
# The browser show's frame times beside native ones, in one run: the page's own timer in
# headless Chromium (bench/web-frames.mjs: drawing steps of the movie scenes, wasm SIMD and
# scalar, at 320x200 and sharp 1280x960 and 1920x1440), then the native MoviePlayer on the
# same movies and sizes (tilsen_sharp_bench), at the machine's vector level and at SSE2's
# 128-bit lanes (the width wasm SIMD has), with the load before and after.
# Needs scripts/build.sh and scripts/build-web.sh first.  Usage: bench/web-frames.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores"
WEB_NODE_DIR=$build/web-node node bench/web-frames.mjs "$build/web"
echo
echo "native (tilsen_sharp_bench, median / worst ms per frame of each movie):"
"$build/bench/tilsen_sharp_bench" "$build"/data/{presents,tavo01,main02}.mvz.gz | sed -n '1,/^$/p'
echo "native at the browser's vector width (the same, --level sse2):"
"$build/bench/tilsen_sharp_bench" --level sse2 "$build"/data/{presents,tavo01,main02}.mvz.gz | sed -n '1,/^$/p'
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
