#!/usr/bin/env bash
# The content and benchmark movie writers from the command line: help, wrong usage, and a
# run that fails part-way (files over a size limit) leaving the earlier files as they were.
#   manners.sh <tilsen-content> <tilsen-bench-movies>
set -uo pipefail
content=$(realpath "$1") bench=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

for tool in "$content" "$bench"; do
  name=$(basename "$tool")
  for flag in --help -h; do
    out=$("$tool" $flag 2>err.txt); status=$?
    if [ $status -ne 0 ] || [[ $out != *Usage* ]] || [ -s err.txt ]; then
      fail "$name $flag: status $status, output '$out', errors '$(cat err.txt)'"
    fi
  done
  [ -e ./--help ] || [ -e ./-h ] && fail "$name made a folder named after the help option"
  out=$("$tool" 2>err.txt); status=$?
  if [ $status -ne 2 ] || [ -n "$out" ] || ! grep -q Usage err.txt; then
    fail "$name without arguments: status $status, output '$out', errors '$(cat err.txt)'"
  fi
done
out=$("$bench" movies --frames -3 2>err.txt); status=$?
if [ $status -ne 2 ] || ! grep -q -- "--frames" err.txt || [ -e movies ]; then
  fail "bench movies --frames -3: status $status, errors '$(cat err.txt)'"
fi

# Older files in the output folder; then runs whose writes fail past 64 KiB.
mkdir old
for f in music.xm presents.mvz.gz blobs.mvz.gz glyphs.mvz.gz; do echo "old $f" >"old/$f"; done
(
  trap '' XFSZ
  ulimit -f 64
  "$content" old 2>content-err.txt
  echo $? >content-status.txt
  "$bench" old --frames 3 2>bench-err.txt
  echo $? >bench-status.txt
)
for run in content bench; do
  if [ "$(cat $run-status.txt)" -ne 1 ] || ! grep -q "File too large" $run-err.txt; then
    fail "$run over the size limit: status $(cat $run-status.txt), errors '$(cat $run-err.txt)'"
  fi
done
for f in music.xm presents.mvz.gz blobs.mvz.gz glyphs.mvz.gz; do
  [ "$(cat "old/$f")" = "old $f" ] || fail "a failed run replaced old/$f"
done
temps=$(find old -name '.*.tmp-*')
[ -z "$temps" ] || fail "temporary files left: $temps"

# A limit the music fits under but the first movie does not: no file is replaced, not even
# the ones written whole before the failure.
(
  trap '' XFSZ
  ulimit -f 300
  "$content" old 2>mixed-err.txt
  echo $? >mixed-status.txt
)
if [ "$(cat mixed-status.txt)" -ne 1 ] || ! grep -q "presents.mvz.gz: File too large" mixed-err.txt; then
  fail "content over a 300 KiB limit: status $(cat mixed-status.txt), errors '$(cat mixed-err.txt)'"
fi
[ "$(cat old/music.xm)" = "old music.xm" ] || fail "a failed run replaced old/music.xm, written before the failure"
temps=$(find old -name '.*.tmp-*')
[ -z "$temps" ] || fail "temporary files left: $temps"

# An OUTDIR that is a file, or lies below one, is said in words.
echo "a file" >afile
for dir in afile afile/sub; do
  "$content" "$dir" 2>err.txt; status=$?
  if [ $status -ne 1 ] || grep -q "filesystem error" err.txt || ! grep -q "tilsen-content: .*$dir" err.txt; then
    fail "content into $dir: status $status, errors '$(cat err.txt)'"
  fi
done
[ "$(cat afile)" = "a file" ] || fail "the file named as OUTDIR was changed"

[ "$failures" -eq 0 ] || exit 1
echo "all checks passed"
