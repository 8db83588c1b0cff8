#!/usr/bin/env bash
# The wasm core (under node) against the native build on every movie of the given folders:
# the same render calls, with and without skips, at 320x200 and at a sharp 1280x800 (the
# scaled way), must give the same bytes in every frame. Prints the time both took.
# Usage: wasm-frames.sh MVZ FRAMES_JS WORKDIR DIR...
set -euo pipefail
mvz=$1 frames_js=$2 work=$3
shift 3
command -v node >/dev/null || { echo "node is not installed"; exit 77; }
[ -f "$frames_js" ] || { echo "no browser build ($frames_js): skipped"; exit 77; }
movies=()
for dir in "$@"; do
  [ -d "$dir" ] && movies+=("$dir"/*.mvz.gz)
done
[ ${#movies[@]} -gt 0 ] || { echo "no movies found"; exit 77; }
native_ms=0 wasm_ms=0 frames=0
now_ms() { date +%s%3N; }
for movie in "${movies[@]}"; do
  [ -f "$movie" ] || continue
  for run in "60 0 1" "20 6 1" "6 0 4" "4 9 4"; do
    set -- $run
    rm -rf "$work/native" "$work/wasm"
    mkdir -p "$work/native" "$work/wasm"
    t0=$(now_ms)
    "$mvz" render "$movie" "$work/native" --frames "$1" --skip "$2" --scale "$3" --raw
    t1=$(now_ms)
    node "$frames_js" "$movie" "$work/wasm" "$1" "$2" "$3"
    t2=$(now_ms)
    native_ms=$((native_ms + t1 - t0)) wasm_ms=$((wasm_ms + t2 - t1)) frames=$((frames + $1))
    for f in "$work"/native/*.raw; do
      if ! cmp -s "$f" "$work/wasm/$(basename "$f")"; then
        echo "FAIL: $movie, $1 frames skipping $2 at scale $3: $(basename "$f") differs"
        cmp "$f" "$work/wasm/$(basename "$f")" | head -n 1 || true
        exit 1
      fi
    done
    [ "$(ls "$work/wasm" | wc -l)" -eq "$1" ] || { echo "FAIL: $movie: wasm frames missing"; exit 1; }
  done
done
echo "wasm frames equal native on ${#movies[@]} movies, $frames frames; native $native_ms ms, wasm under node $wasm_ms ms (each including start-up)"
