#!/usr/bin/env bash
# Records the whole show and prints, per setting, the wall seconds, the speed in multiples
# of real time, the processor seconds, the output size and the quality (SSIM and PSNR in
# RGB against the exact frames). Settings: the default MP4, --lossless, and --sharp
# --scale 6 once the recorder offers --sharp. The machine's load (uptime) is printed with
# every figure: speeds measured on a busy machine are not the recorder's.
#
# Usage: bench/record.sh [--baseline RECORDER] [--exact SECONDS] [--keep DIR]
#   --baseline RECORDER  also time another tilsen-record (e.g. an older build), the same way
#   --exact SECONDS      also compare the first SECONDS with the recorder's own PNG frames
#                        (exact, but slow to write: about 8 s per second of show)
#   --keep DIR           keep the recordings in DIR (default: a temporary folder)
#
# The reference for the whole show is the lossless master enlarged in the window's two
# stages by ffmpeg (within one step of the recorder's own scaling, 68 dB); --exact checks
# against the PNG frames themselves.
set -euo pipefail
cd "$(dirname "$0")/.."
baseline=""
exact=0
keep=""
while [ $# -gt 0 ]; do
  case "$1" in
    --baseline) baseline=$(realpath "$2"); shift 2 ;;
    --exact) exact=$2; shift 2 ;;
    --keep) keep=$2; shift 2 ;;
    -h|--help) sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "bench/record.sh: unknown argument $1 (see --help)" >&2; exit 2 ;;
  esac
done

scripts/deps.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target tilsen-record tilsen_data >/dev/null
recorder=$PWD/$build/tools/record/tilsen-record
data=$PWD/$build/data

if [ -n "$keep" ]; then
  mkdir -p "$keep"; out=$(realpath "$keep")
else
  out=$(mktemp -d); trap 'rm -rf "$out"' EXIT
fi

load() { uptime | sed 's/.*load average: /load /'; }

# Runs a recording; prints seconds, x real time, processor seconds and size.
record() {
  local name=$1 file=$2; shift 2
  local before; before=$(load)
  /usr/bin/time -f "%e %U %S" -o "$out/$name.time" "$@" --data "$data" "$file" 2>"$out/$name.log"
  local wall user sys; read -r wall user sys <"$out/$name.time"
  local length; length=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$file")
  awk -v n="$name" -v w="$wall" -v u="$user" -v s="$sys" -v l="$length" \
      -v b="$(stat -c %s "$file")" -v l0="$before" -v l1="$(load)" 'BEGIN {
    printf "%-9s %6.1f s  %5.1fx real time  %6.1f s processor  %6.1f MB   (%s; after: %s)\n",
           n, w, l / w, u + s, b / 1e6, l0, l1 }'
}

# SSIM and PSNR of a video against a reference stream, both as RGB at 60 frames a second.
compare() {
  local video=$1 reference=$2 options=${3:-}
  # shellcheck disable=SC2086
  ffmpeg -nostdin -i "$video" $options -i "$reference" -lavfi \
    "[0:v]scale=in_color_matrix=bt709:in_range=tv,format=gbrp,fps=60[a];[1:v]fps=60,format=gbrp[b];[a]split[a1][a2];[b]split[b1][b2];[a1][b1]ssim=shortest=1;[a2][b2]psnr=shortest=1" \
    -f null - 2>&1 | grep -oE "(SSIM|PSNR).*" |
    sed -E 's/^SSIM.*All:([0-9.]+).*/SSIM \1/; s/^PSNR.*average:([0-9.inf]+).*/PSNR \1 dB/' | paste -sd' '
}

echo "Recording the whole show ($(nproc) cores; $(load))"
record default "$out/show.mp4" "$recorder"
record lossless "$out/master.mkv" "$recorder" --lossless
if [ -n "$baseline" ]; then
  record baseline "$out/baseline.mp4" "$baseline"
fi
if "$recorder" --help | grep -q -- '--sharp'; then
  record sharp "$out/sharp.mp4" "$recorder" --sharp --scale 6
else
  echo "sharp     (the recorder has no --sharp yet)"
fi

# The reference: the lossless master, whose frames are exact, enlarged to 960x720.
reference="$out/reference.mkv"
ffmpeg -nostdin -v error -y -i "$out/master.mkv" -an -vf \
  "format=gbrp,scale=960:600:flags=neighbor,scale=960:720:flags=bilinear" \
  -fps_mode passthrough -c:v libx264rgb -preset ultrafast -qp 0 "$reference"
echo "Quality against the exact frames:"
echo "  default   $(compare "$out/show.mp4" "$reference")"
[ -n "$baseline" ] && echo "  baseline  $(compare "$out/baseline.mp4" "$reference")"
if [ "$exact" != 0 ]; then
  "$recorder" --data "$data" --seconds "$exact" --png "$out/png" 2>/dev/null
  for v in show baseline; do
    [ -f "$out/$v.mp4" ] || continue
    echo "  $v, first $exact s against the PNG frames: $(compare "$out/$v.mp4" "$out/png/frame%06d.png" "-framerate 60")"
  done
fi
echo "Done ($(load))"
