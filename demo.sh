#!/usr/bin/env bash
# Installs what is missing, builds the show and its data, and runs it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
scripts/build.sh
data=build/data
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): cannot open the show's window." >&2
  exit 1
fi
cd "$data"
exec ../src/tilsen
