#!/usr/bin/env bash
# mvz stopped by a signal mid-way through writing: the file it was to replace keeps its
# bytes and no temporary file is left. The text comes through a named pipe, so the encoder
# is certainly waiting inside its write when the signal comes.
#   signal_check.sh <mvz> <sample text>
set -uo pipefail
mvz=$(realpath "$1") sample=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0
"$mvz" encode "$sample" keep.mvz.gz || { echo "could not encode the sample"; exit 1; }
before=$(sha256sum <keep.mvz.gz)
for signal in TERM HUP; do
  mkfifo text.pipe
  "$mvz" encode text.pipe keep.mvz.gz 2>err.txt &
  pid=$!
  exec 3>text.pipe
  head -c 2000 "$sample" >&3
  for _ in $(seq 100); do
    [ -n "$(find . -name '.keep.mvz.gz.tmp-*')" ] && break
    sleep 0.05
  done
  [ -n "$(find . -name '.keep.mvz.gz.tmp-*')" ] || echo "note: SIG$signal came before the temporary file"
  kill -"$signal" "$pid"
  wait "$pid"
  status=$?
  exec 3>&-
  rm -f text.pipe
  left=$(find . -name '.*.tmp-*')
  if [ "$(sha256sum <keep.mvz.gz)" != "$before" ] || [ -n "$left" ] || [ "$status" -lt 128 ]; then
    echo "FAIL SIG$signal: status $status, left '$left', errors '$(cat err.txt)'"
    failures=$((failures + 1))
  else
    echo "ok   SIG$signal: old movie kept, nothing left"
  fi
done
[ "$failures" -eq 0 ]
