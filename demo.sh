#!/usr/bin/env bash
# Installs what is missing, builds the show and its data, and runs it. Without a display
# the show is recorded instead: build/show.mp4, or PNG frames and a WAV file when ffmpeg
# is not installed. With --web the show is built for the browser into build/web/ and
# served on http://127.0.0.1:8000/. Other options (--sharp) are passed on to the show or
# the recorder.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
scripts/build.sh
if [ "${1:-}" = "--web" ]; then
  scripts/build-web.sh
  echo "The show plays at http://127.0.0.1:8000/ (Ctrl+C stops the server)"
  exec python3 -m http.server 8000 --bind 127.0.0.1 --directory build/web
fi
data=build/data
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): recording the show instead." >&2
  recorder=$PWD/build/tools/record/tilsen-record
  if command -v ffmpeg >/dev/null 2>&1; then
    "$recorder" --data "$data" "$@" "$PWD/build/show.mp4"
    echo "The show is recorded in $PWD/build/show.mp4"
  else
    echo "ffmpeg is not installed (Debian package \"ffmpeg\"): writing frames and sound instead." >&2
    rm -rf build/show-frames
    "$recorder" --data "$data" "$@" --png "$PWD/build/show-frames" --wav "$PWD/build/show.wav"
    echo "The show is recorded as PNG frames in $PWD/build/show-frames and sound in $PWD/build/show.wav"
  fi
  exit 0
fi
cd "$data"
exec ../src/tilsen "$@"
