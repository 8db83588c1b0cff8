#!/usr/bin/env bash
# Fails when a source file under src/ includes a header of a layer above its own.
# Layers, lowest first: geometry <- raster <- movie <- driver <- platform (and the browser
# layer beside platform). The program's entry point (platform/main.cpp) is in the top layer
# and follows the same rule: no file is exempt.
# Usage: scripts/check-layers.sh [--graph]   (--graph prints the include counts between folders)
set -euo pipefail
cd "$(dirname "$0")/../src"

rank() {
  case "$1" in
    geometry) echo 0 ;;
    raster) echo 1 ;;
    movie) echo 2 ;;
    driver) echo 3 ;;
    platform | web) echo 4 ;;
    *) echo -1 ;;
  esac
}

status=0
declare -A edges=()
while IFS= read -r file; do
  from=${file%%/*}
  from_rank=$(rank "$from")
  while IFS= read -r target; do
    to=${target%%/*}
    [ "$to" = "$target" ] && continue # a header beside the file, or a system header
    to_rank=$(rank "$to")
    [ "$to_rank" -lt 0 ] && continue
    edges["$from -> $to"]=$((${edges["$from -> $to"]:-0} + 1))
    if [ "$to_rank" -gt "$from_rank" ] || { [ "$to_rank" -eq "$from_rank" ] && [ "$from" != "$to" ]; }; then
      echo "src/$file includes \"$target\": $from may not use $to" >&2
      status=1
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find geometry raster movie driver platform web -name '*.h' -o -name '*.cpp' 2>/dev/null | sort)

if [ "${1:-}" = --graph ]; then
  for edge in "${!edges[@]}"; do
    echo "$edge: ${edges[$edge]}"
  done | sort
fi
[ $status -eq 0 ] && echo "layers: every include follows geometry <- raster <- movie <- driver <- platform"
exit $status
