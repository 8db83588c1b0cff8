#!/usr/bin/env bash
# Installs what is missing, builds the show and its data, and runs it (scripts/play.sh):
# in a window, without sound when no sound device opens; without a display the show is
# recorded to build/show.mp4 instead. With --web the show is built for the browser into
# build/web/ and served on http://127.0.0.1:8000/. With --windows the show is cross-built
# for Windows into build/windows/morvane-tilsen-win64.zip (scripts/build-windows.sh). Other options (--sharp) are passed
# on to the show or the recorder.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
scripts/build.sh
if [ "${1:-}" = "--web" ]; then
  scripts/build-web.sh
  echo "The show plays at http://127.0.0.1:8000/ (Ctrl+C stops the server)"
  exec python3 -m http.server 8000 --bind 127.0.0.1 --directory build/web
fi
if [ "${1:-}" = "--windows" ]; then
  exec scripts/build-windows.sh
fi
exec scripts/play.sh "$@"
