#!/usr/bin/env bash
# Runs the built show the way ./demo.sh does, from the data folder. With a display: the show
# in its window, on SDL's silent audio driver when no sound device opens (one line says so).
# Without a display: the whole show recorded to build/show.mp4 through ffmpeg.
# Usage: scripts/play.sh [--sharp]   (BUILD_DIR picks another build folder); options are
# passed on to the show or the recorder.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${BUILD_DIR:-build}")
data=$build/data
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  if ! command -v ffmpeg >/dev/null 2>&1; then
    echo "No display, and ffmpeg is not installed to record the show instead:" \
      "install the Debian package \"ffmpeg\" (scripts/deps.sh does)." >&2
    echo "PNG frames and a WAV file: $build/tools/record/tilsen-record --png DIR --wav FILE --data $data" >&2
    exit 1
  fi
  echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): recording the show instead." >&2
  "$build/tools/record/tilsen-record" --data "$data" "$@" "$build/show.mp4"
  echo "The show is recorded in $build/show.mp4"
  exit 0
fi
# The sound check opens the output as the show would; the sound system's own complaints
# about missing hardware are not the user's business here.
soundcheck=$build/tools/soundcheck/tilsen-sound-check
if [ -x "$soundcheck" ] && ! "$soundcheck" --quiet >/dev/null 2>&1; then
  echo "no sound device could be opened: playing without sound"
  export SDL_AUDIODRIVER=dummy
fi
cd "$data"
exec "$build/src/tilsen" "$@"
