#!/usr/bin/env bash
# Runs a Windows program under wine in a private prefix: the build's ctest emulator
# (CMAKE_CROSSCOMPILING_EMULATOR) and the Windows tests' runner.
#   scripts/wine-run.sh WINE_DIR [PROGRAM.exe [ARGS...]]   (no program: makes the prefix only)
# WINE_DIR (in the build tree) holds the prefix and the HOME wine sees; the prefix is made
# once (wineboot), under a lock, by whichever run comes first. A wine that fails to start
# (about one start in a thousand: non-zero status and nothing on standard output) is
# retried once; the program's own failures are not, as they print.
set -uo pipefail
dir=$1
shift
mkdir -p "$dir/home"
dir=$(cd "$dir" && pwd)
export WINEPREFIX=$dir/prefix HOME=$dir/home WINEARCH=win64 WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer dialogs, no desktop menu entries.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe="
unset WINELOADERNOEXEC

if [ ! -f "$dir/prefix-ready" ]; then
  (
    flock 9
    if [ ! -f "$dir/prefix-ready" ]; then
      rm -rf "$WINEPREFIX"
      # wineboot only needs a display when one is set; the prefix is made without one.
      DISPLAY= wineboot --init >"$dir/wineboot.log" 2>&1 && wineserver --wait &&
        touch "$dir/prefix-ready"
    fi
  ) 9>"$dir/prefix.lock"
  [ -f "$dir/prefix-ready" ] || { echo "wine-run: wineboot failed (log: $dir/wineboot.log)" >&2; exit 1; }
fi

[ $# -gt 0 ] || exit 0 # only the prefix was asked for

out=$(mktemp "$dir/out.XXXXXX")
trap 'rm -f "$out"' EXIT
for attempt in 1 2; do
  wine "$@" >"$out"
  status=$?
  if [ $status -eq 0 ] || [ -s "$out" ] || [ $attempt -eq 2 ]; then
    break
  fi
  echo "wine-run: $1 ended with status $status and no output; running it once more" >&2
done
cat "$out"
exit $status
