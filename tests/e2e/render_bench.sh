#!/usr/bin/env bash
# Renders every frame of every benchmark movie with the mvz tool (raw output, thrown
# away). In the sanitizer build this is the leak check of the movie path: the tool exits
# non-zero when LeakSanitizer finds anything. The movies the build writes must all be
# there; a second folder (the movies kept beside the repository) is drawn too when present.
#   render_bench.sh <mvz> <made movies folder> [<extra movies folder>]
set -uo pipefail
mvz=$1 made=$2 extra=${3:-}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
movies=()
for kind in glyphs blobs dense arcs; do
  if [ ! -s "$made/$kind.mvz.gz" ]; then
    echo "missing $made/$kind.mvz.gz (the build writes it)"; exit 1
  fi
  movies+=("$made/$kind.mvz.gz")
done
if [ -n "$extra" ] && [ -d "$extra" ]; then
  shopt -s nullglob
  movies+=("$extra"/*.mvz.gz)
fi
for movie in "${movies[@]}"; do
  if ! "$mvz" render "$movie" "$out" --raw >/dev/null; then
    echo "mvz render failed on $movie"; exit 1
  fi
  count=$(find "$out" -name 'frame[0-9]*.raw' | wc -l)
  if [ "$count" -eq 0 ]; then
    echo "no frames rendered from $movie"; exit 1
  fi
  echo "rendered $count frames of $movie"
  rm -f "$out"/*
done
