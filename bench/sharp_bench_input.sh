#!/usr/bin/env bash
# tilsen_sharp_bench on what it cannot time: its help, a level it does not know, a missing
# file and a file that is no movie (which once ran for minutes through the frame count its
# bytes seemed to claim). Each must end at once: the level with status 2 and the option's
# name in the message, the last two with status 1 and the file's name.
set -u
bench=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0

"$bench" --help >"$scratch/out" 2>&1 || { echo "--help: status $?"; failed=1; }
grep -q "MOVIE" "$scratch/out" || { echo "--help: no usage"; failed=1; }

"$bench" --level avx9 "$scratch/missing.mvz.gz" >"$scratch/out" 2>"$scratch/err"
status=$?
[ "$status" -eq 2 ] || { echo "--level avx9: status $status, not 2"; failed=1; }
grep -q -- "--level" "$scratch/err" || { echo "--level avx9: the message does not name the option"; failed=1; }

printf 'root:x:0:0:root:/root:/bin/bash\n%.0s' {1..200} >"$scratch/words.mvz.gz"
for file in "$scratch/missing.mvz.gz" "$scratch/words.mvz.gz"; do
  timeout 20 "$bench" "$file" >"$scratch/out" 2>"$scratch/err"
  status=$?
  if [ "$status" -ne 1 ]; then
    echo "$file: status $status, not 1"
    failed=1
  fi
  grep -qF "$file" "$scratch/err" || { echo "$file: the message does not name it"; cat "$scratch/err"; failed=1; }
done
exit $failed
