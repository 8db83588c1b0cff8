#!/usr/bin/env bash
# The real show on SDL's dummy drivers playing a movie whose frames each take seconds to
# draw (tens of thousands of full-screen translucent rectangles): SIGTERM mid-way through
# such a frame ends the show at once, not when the frame is done. Options after the three
# programs go to the show (--sharp: the frame drawn in bands on several threads).
#   quit_heavy.sh <tilsen> <test tune writer> <mvz> [show options...]
set -uo pipefail
show=$(realpath "$1") writer=$(realpath "$2") mvz=$(realpath "$3")
shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
"$writer" music.xm || { echo "could not write the test tune"; exit 1; }
rects=60000
awk -v rects=$rects 'BEGIN {
  print "movie 0x00000000 3"
  for (f = 0; f < 3; f++) {
    print "frame"; print "shape 0x08080402"
    for (i = 0; i < rects; i++) print "path\nmove 0 0\nline 320 0\nline 320 200\nline 0 200\nclose"
  }
}' >heavy.mvt
"$mvz" encode heavy.mvt presents.mvz.gz || { echo "could not encode the heavy movie"; exit 1; }
rm heavy.mvt

# How long one such frame takes here, for the record.
start=$(date +%s%N)
"$mvz" render presents.mvz.gz frames --frames 1 --raw >/dev/null
frame_ms=$(( ($(date +%s%N) - start) / 1000000 ))
rm -rf frames

"$show" "$@" >out.txt 2>err.txt &
pid=$!
sleep 1.5
if ! kill -0 "$pid" 2>/dev/null; then
  echo "FAIL: the show ended early: $(cat out.txt err.txt)"; exit 1
fi
sent=$(date +%s%N)
kill -TERM "$pid"
limit_ms=2000
while kill -0 "$pid" 2>/dev/null; do
  if [ $(( ($(date +%s%N) - sent) / 1000000 )) -gt $((limit_ms + frame_ms)) ]; then break; fi
  sleep 0.02
done
ended_ms=$(( ($(date +%s%N) - sent) / 1000000 ))
if kill -0 "$pid" 2>/dev/null; then
  kill -KILL "$pid"; echo "FAIL: the show did not end on SIGTERM"; exit 1
fi
wait "$pid"
status=$?
echo "one heavy frame takes $frame_ms ms here; the show ended $ended_ms ms after SIGTERM (status $status)"
if [ "$status" -ne 0 ] || [ "$ended_ms" -gt "$limit_ms" ]; then
  echo "FAIL: wanted status 0 within $limit_ms ms"; exit 1
fi
