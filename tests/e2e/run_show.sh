#!/usr/bin/env bash
# Runs the show in a fresh temporary directory.
#   plays:    with a test tune as music.xm; the show must still run after 3 s, end on
#             SIGTERM with status 0 and print nothing.
#   no-music: without music.xm; the show must print "File not found" and exit 1.
set -uo pipefail
mode=$1 show=$2 writer=$3
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"

case $mode in
plays)
  "$writer" music.xm || { echo "could not write the test tune"; exit 1; }
  "$show" >out.txt 2>err.txt &
  pid=$!
  sleep 3
  if ! kill -0 "$pid" 2>/dev/null; then
    wait "$pid"; echo "the show ended early with status $?"; cat out.txt err.txt; exit 1
  fi
  kill -TERM "$pid"
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then
    kill -KILL "$pid"; echo "the show did not end on SIGTERM"; exit 1
  fi
  wait "$pid"; status=$?
  [ "$status" -eq 0 ] || { echo "status $status, expected 0"; cat err.txt; exit 1; }
  [ ! -s out.txt ] || { echo "unexpected output:"; cat out.txt; exit 1; }
  echo "ran 3 s, ended cleanly on SIGTERM"
  ;;
no-music)
  out=$("$show" 2>err.txt); status=$?
  [ "$status" -eq 1 ] || { echo "status $status, expected 1"; exit 1; }
  [ "$out" = "File not found" ] || { echo "output '$out', expected 'File not found'"; exit 1; }
  echo "printed '$out', exit status 1"
  ;;
*)
  echo "unknown mode $mode"; exit 2 ;;
esac
