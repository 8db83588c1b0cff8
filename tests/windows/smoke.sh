#!/usr/bin/env bash
# The Windows zip as a user gets it: unpacked into a fresh folder, tilsen.exe started there
# under wine on a virtual X display (Xvfb). It must open its window and play for a few
# seconds, quit with status 0 on Escape and print nothing; without music.xm it must print
# "File not found" and end with status 1. A screenshot of the running show is kept as
# WORK/screenshot.png.
#   smoke.sh WINE_RUN WINE_DIR ZIP WORK
set -uo pipefail
wine_run=$1 wine_dir=$2 zip=$3 work=$4
[ -f "$zip" ] || { echo "no Windows zip ($zip): skipped"; exit 77; }
for tool in wine Xvfb xdotool ffmpeg unzip; do
  command -v $tool >/dev/null || { echo "$tool is not installed: skipped"; exit 77; }
done

rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)
unzip -q "$zip" -d "$work/unzipped" || { echo "cannot unzip $zip"; exit 1; }
show=$(ls -d "$work"/unzipped/*/)
[ -f "$show/tilsen.exe" ] || { echo "no tilsen.exe in the zip"; exit 1; }

# A display of our own: Xvfb takes the first free number and writes it down once it takes
# connections. (Waiting for its socket to appear was not enough on a busy machine: wine could
# come first, and the show then found no display to open its window on.)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null; done
  WINEPREFIX=$wine_dir/prefix wineserver -k 2>/dev/null
  kill "$xvfb" 2>/dev/null
}
trap cleanup EXIT
for _ in $(seq 300); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb" 2>/dev/null || break
  sleep 0.1
done
display=$(head -n 1 "$work/display" 2>/dev/null)
[ -n "$display" ] || { echo "FAIL: Xvfb did not start within 30 s"; cat "$work/xvfb.log"; exit 1; }
export DISPLAY=:$display
export SDL_AUDIODRIVER=dummy

# The show plays until Escape. A wine whose desktop is slow to come up on a busy machine can
# refuse the first window ("Couldn't create window"): such a start is tried once more.
cd "$show"
window=
for attempt in 1 2; do
  "$wine_run" "$wine_dir" ./tilsen.exe >"$work/out.txt" 2>"$work/err.txt" &
  pids+=($!)
  pid=$!
  for _ in $(seq 300); do
    window=$(xdotool search --name "Morvane TILSEN" 2>/dev/null | head -n 1)
    [ -n "$window" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  [ -z "$window" ] && [ $attempt -eq 1 ] && ! kill -0 "$pid" 2>/dev/null &&
    grep -q "Couldn't create window" "$work/err.txt" || break
  echo "the first start found no window ($(tr -d '\r' <"$work/err.txt")); starting once more"
  WINEPREFIX=$wine_dir/prefix wineserver -k 2>/dev/null
done
if [ -z "$window" ]; then
  echo "FAIL: no show window within 30 s"
  wait "$pid"; echo "status $?"; cat "$work/out.txt" "$work/err.txt"; exit 1
fi
sleep 6
if ! kill -0 "$pid" 2>/dev/null; then
  wait "$pid"; echo "FAIL: the show ended early with status $?"; cat "$work/out.txt" "$work/err.txt"; exit 1
fi
ffmpeg -loglevel error -y -f x11grab -video_size 1024x768 -i ":$display" -frames:v 1 \
  "$work/screenshot.png" || echo "(no screenshot)"
xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool key --window "$window" Escape 2>/dev/null
xdotool key Escape
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$pid" 2>/dev/null; then
  echo "FAIL: the show did not quit on Escape"; exit 1
fi
wait "$pid"; status=$?
[ "$status" -eq 0 ] || { echo "FAIL: status $status after Escape, expected 0"; cat "$work/err.txt"; exit 1; }
[ ! -s "$work/out.txt" ] || { echo "FAIL: unexpected output:"; cat "$work/out.txt"; exit 1; }
echo "played 6 s in its window, quit with status 0 on Escape (screenshot: $work/screenshot.png)"

# Without music.xm.
mkdir -p "$work/no-music"
cp "$show/tilsen.exe" "$work/no-music/"
cd "$work/no-music"
out=$("$wine_run" "$wine_dir" ./tilsen.exe 2>"$work/err-no-music.txt" | tr -d '\r'); status=$?
[ "$status" -eq 1 ] || { echo "FAIL: without music.xm: status $status, expected 1"; cat "$work/err-no-music.txt"; exit 1; }
[ "$out" = "File not found" ] || { echo "FAIL: without music.xm: output '$out', expected 'File not found'"; exit 1; }
grep -q "music.xm was not found" "$work/err-no-music.txt" ||
  { echo "FAIL: without music.xm: no hint on standard error"; cat "$work/err-no-music.txt"; exit 1; }
echo "without music.xm: printed '$out', status 1; $(tr -d '\r' <"$work/err-no-music.txt" | grep "music.xm was not found")"
