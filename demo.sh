#!/usr/bin/env bash
# Installs what is missing, builds the show and its data, and runs it (scripts/play.sh):
# in a window, without sound when no sound device opens; without a display the show is
# recorded to build/show.mp4 instead.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
scripts/build.sh
exec scripts/play.sh
