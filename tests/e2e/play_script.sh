#!/usr/bin/env bash
# scripts/play.sh (what ./demo.sh runs after building) on a stand-in build folder whose
# show, recorder and sound check only say how they were called: with a display and no
# sound device it says so in one line and runs the show on SDL's silent driver; with sound
# it runs the show as it is; without a display it records build/show.mp4, and without
# ffmpeg it stops with a message instead of writing frames.
#   play_script.sh <source folder> <tilsen-sound-check>
set -uo pipefail
src=$(realpath "$1") soundcheck=$(realpath "$2")
top=$(mktemp -d)
trap 'rm -rf "$top"' EXIT
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

# The real sound check: status only, whatever the driver prints.
SDL_AUDIODRIVER=no-such-driver "$soundcheck" --quiet >/dev/null 2>&1 && fail "sound check opened a driver that does not exist"
SDL_AUDIODRIVER=dummy "$soundcheck" --quiet >/dev/null 2>&1 || fail "sound check did not open SDL's dummy driver"

build=$top/build
mkdir -p "$build/data" "$build/src" "$build/tools/record" "$build/tools/soundcheck"
cat >"$build/src/tilsen" <<'SHOW'
#!/bin/sh
echo "show in $(pwd) audio=${SDL_AUDIODRIVER:-unset}" >>"$LOG"
SHOW
cat >"$build/tools/record/tilsen-record" <<'RECORD'
#!/bin/sh
echo "record $*" >>"$LOG"
RECORD
cat >"$build/tools/soundcheck/tilsen-sound-check" <<'CHECK'
#!/bin/sh
echo "ALSA lib noise that must not reach the user" >&2
exit "$SOUND_STATUS"
CHECK
chmod +x "$build/src/tilsen" "$build/tools/record/tilsen-record" "$build/tools/soundcheck/tilsen-sound-check"
export BUILD_DIR=$build LOG=$top/log
unset SDL_AUDIODRIVER WAYLAND_DISPLAY

# case <name> <sound status> <display> <PATH> <want status> <want output> <want log>
case_() {
  local name=$1 sound=$2 display=$3 path=$4 want_status=$5 want_out=$6 want_log=$7
  rm -f "$LOG"
  local out status
  out=$(SOUND_STATUS=$sound DISPLAY=$display PATH=$path "$BASH" "$src/scripts/play.sh" 2>"$top/err")
  status=$?
  local log
  log=$(cat "$LOG" 2>/dev/null)
  if [ "$status" -ne "$want_status" ] || [ "$out" != "$want_out" ] || [ "$log" != "$want_log" ] ||
    grep -q "ALSA" "$top/err"; then
    fail "$name: status $status, output '$out', ran '$log', errors '$(cat "$top/err")'"
    return
  fi
  echo "ok   $name"
}

case_ no-sound-device 1 :0 "$PATH" 0 "no sound device could be opened: playing without sound" \
  "show in $build/data audio=dummy"
case_ sound-device 0 :0 "$PATH" 0 "" "show in $build/data audio=unset"
if command -v ffmpeg >/dev/null; then
  case_ no-display 0 "" "$PATH" 0 "The show is recorded in $build/show.mp4" \
    "record --data $build/data $build/show.mp4"
else
  echo "note: the no-display case with ffmpeg needs ffmpeg on PATH (scripts/deps.sh installs it)"
fi
# Without ffmpeg: a message on standard error, nothing recorded.
bin=$top/bin
mkdir -p "$bin"
for tool in dirname realpath cat; do ln -s "$(command -v $tool)" "$bin/$tool"; done
case_ no-display-no-ffmpeg 0 "" "$bin" 1 "" ""
grep -q 'install the Debian package "ffmpeg"' "$top/err" || fail "no-display-no-ffmpeg: errors '$(cat "$top/err")'"

[ "$failures" -eq 0 ] || exit 1
echo "all cases passed"
