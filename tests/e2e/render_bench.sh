#!/usr/bin/env bash
# Renders every frame of every benchmark movie with the mvz tool (raw output, thrown
# away). In the sanitizer build this is the leak check of the movie path: the tool exits
# non-zero when LeakSanitizer finds anything. Skipped (status 77) without the movies.
#   render_bench.sh <mvz> <bench folder>
set -uo pipefail
mvz=$1 bench=$2
shopt -s nullglob
movies=("$bench"/*.mvz.gz)
if [ ${#movies[@]} -eq 0 ]; then
  echo "no benchmark movies in $bench"; exit 77
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for movie in "${movies[@]}"; do
  if ! "$mvz" render "$movie" "$out" --raw >/dev/null; then
    echo "mvz render failed on $movie"; exit 1
  fi
  echo "rendered $(ls "$out" | wc -l) frames of $(basename "$movie")"
  rm -f "$out"/*
done
