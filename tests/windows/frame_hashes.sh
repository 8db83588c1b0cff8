#!/usr/bin/env bash
# The Windows build's frames against the Linux build's: every frame of every movie in the
# given folders, at 320x200 (as the show draws) and at one sharp size on 1 and 2 threads,
# must hash the same. The Windows program runs under wine (scripts/wine-run.sh).
#   frame_hashes.sh NATIVE_HASHES WINE_RUN WINE_DIR WINDOWS_HASHES.exe WORK DIR...
set -euo pipefail
native=$1 wine_run=$2 wine_dir=$3 windows=$4 work=$5
shift 5
[ -f "$windows" ] || { echo "no Windows build ($windows): skipped"; exit 77; }
command -v wine >/dev/null || { echo "wine is not installed: skipped"; exit 77; }
settings=320x200@0,320x200@2,1280x800@1,1280x800@2
movies=()
for dir in "$@"; do
  [ -d "$dir" ] || continue
  for movie in "$dir"/*.mvz.gz; do
    [ -f "$movie" ] && movies+=("$movie")
  done
done
[ ${#movies[@]} -gt 0 ] || { echo "no movies found"; exit 77; }
mkdir -p "$work"
now_ms() { date +%s%3N; }
t0=$(now_ms)
"$native" "$settings" "${movies[@]}" >"$work/linux.txt"
t1=$(now_ms)
"$wine_run" "$wine_dir" "$windows" "$settings" "${movies[@]}" | tr -d '\r' >"$work/windows.txt"
t2=$(now_ms)
if ! cmp -s "$work/linux.txt" "$work/windows.txt"; then
  echo "FAIL: the Windows frames differ from the Linux frames (first differences):"
  diff "$work/linux.txt" "$work/windows.txt" | head -n 20
  exit 1
fi
frames=$(grep -vc ' frames \| cannot ' "$work/linux.txt" || true)
echo "Windows frames hash-equal Linux: ${#movies[@]} movies, settings $settings, $frames frames;"
echo "Linux $((t1 - t0)) ms, Windows under wine $((t2 - t1)) ms"
grep ' frames ' "$work/linux.txt" | tr '\n' ';' | sed 's/;$/\n/'
