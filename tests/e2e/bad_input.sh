#!/usr/bin/env bash
# The real show on SDL's dummy drivers, one row per bad start-up condition, each in a
# fresh folder. A row names how to set the folder up, the environment changes, and what
# the show must do: end at once with a status and exactly one line on standard output
# ("exit <status> <line>"), or keep running until SIGTERM and then end with status 0 and
# print nothing ("runs").
#   bad_input.sh <tilsen> <test tune writer>
set -uo pipefail
show=$(realpath "$1") writer=$(realpath "$2")
top=$(mktemp -d)
trap 'chmod -R u+rwx "$top"; rm -rf "$top"' EXIT
"$writer" "$top/tune.xm" || { echo "could not write the test tune"; exit 1; }
tune_bytes=$(stat -c %s "$top/tune.xm")
# The fixed part of an XM header is 60 bytes, then the 276-byte song header.
header_bytes=336

# setup <row>: prepares the current folder.
setup() {
  case $1 in
  music-missing) ;;
  music-empty) : >music.xm ;;
  music-not-a-module) printf 'this is a text file, not a module\n%.0s' {1..20} >music.xm ;;
  music-cut-in-header) head -c 80 "$top/tune.xm" >music.xm ;;
  music-cut-after-header) head -c $(( (header_bytes + tune_bytes) / 2 )) "$top/tune.xm" >music.xm ;;
  music-directory) mkdir music.xm ;;
  music-unreadable) cp "$top/tune.xm" music.xm; chmod 000 music.xm ;;
  music-named-pipe) mkfifo music.xm ;;
  music-device) ln -s /dev/zero music.xm ;;
  pipes-and-devices-for-data)
    cp "$top/tune.xm" music.xm
    mkfifo presents.mvz.gz pelu.raw logo.raw
    ln -s /dev/zero tavo01.mvz.gz; ln -s /dev/urandom main02.mvz.gz; ln -s /dev/zero greets.raw
    ;;
  no-audio-device | no-display | no-pictures-or-movies) cp "$top/tune.xm" music.xm ;;
  damaged-data)
    cp "$top/tune.xm" music.xm
    for f in presents.mvz.gz tavo01.mvz.gz main02.mvz.gz; do head -c 300 /dev/urandom >"$f"; done
    printf '\037\213\010\000garbage' >main02.mvz.gz
    for f in morvane pelu greets logo credits; do head -c 77 /dev/urandom >"$f.raw"; done
    mkdir -p logo.raw.d && rm -f logo.raw && mv logo.raw.d logo.raw
    ;;
  *) echo "unknown row $1"; return 1 ;;
  esac
}

failures=0
# row <name> <env changes> <expectation...>
row() {
  local name=$1 envs=$2
  shift 2
  local expect="$*"
  local dir="$top/$name"
  mkdir -p "$dir" && cd "$dir" || return 1
  setup "$name" || { failures=$((failures + 1)); return; }
  local run_show=$show
  if [ "$name" = music-unreadable ] && [ -r music.xm ]; then
    # Root reads any file: run this row as an unprivileged user instead, when possible. That
    # user may not reach the build tree (a clone in a private folder), so it runs a copy of
    # the show kept in the test's own folder, opened up for it.
    if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null; then
      local nobody="setpriv --reuid=65534 --regid=65534 --clear-groups"
      mkdir -p "$top/bin" && cp "$show" "$top/bin/tilsen"
      chmod 755 "$top" "$top/bin" "$top/bin/tilsen" "$dir"
      if ! $nobody test -x "$top/bin/tilsen" -a -x "$dir"; then
        echo "SKIP $name: uid 65534 cannot reach $top (a parent folder is closed to it)"
        return
      fi
      run_show=$top/bin/tilsen
      envs="$envs $nobody"
    else
      echo "SKIP $name: the file can be read here anyway"
      return
    fi
  fi
  if [ "$expect" = runs ]; then
    env $envs "$show" >out.txt 2>err.txt &
    local pid=$!
    sleep 2
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid"
      echo "FAIL $name: ended early with status $?: $(cat out.txt err.txt)"
      failures=$((failures + 1)); return
    fi
    kill -TERM "$pid"
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$pid" 2>/dev/null; then
      kill -KILL "$pid"; echo "FAIL $name: did not end on SIGTERM"
      failures=$((failures + 1)); return
    fi
    wait "$pid"
    local status=$?
    if [ "$status" -ne 0 ] || [ -s out.txt ]; then
      echo "FAIL $name: status $status, output '$(cat out.txt)', errors '$(cat err.txt)'"
      failures=$((failures + 1)); return
    fi
    echo "ok   $name: ran 2 s, ended cleanly on SIGTERM"
    return
  fi
  local want_status want_line
  read -r _ want_status want_line <<<"$expect"
  local out status
  out=$(env $envs timeout 20 "$run_show" 2>err.txt)
  status=$?
  if [ "$status" -ne "$want_status" ] || [ "$out" != "$want_line" ]; then
    echo "FAIL $name: status $status, output '$out' (want $want_status, '$want_line'); errors '$(cat err.txt)'"
    failures=$((failures + 1)); return
  fi
  echo "ok   $name: status $status, output '$out'"
}

row music-missing "" exit 1 File not found
row music-empty "" exit 1 Unknown file format
row music-not-a-module "" exit 1 Unknown file format
row music-cut-in-header "" exit 1 Unknown file format
# The decoder plays what a module cut after its header still holds.
row music-cut-after-header "" runs
row music-directory "" exit 1 Error loading file
row music-unreadable "" exit 1 Error loading file
row music-named-pipe "" exit 1 Error loading file
row music-device "" exit 1 Error loading file
row no-audio-device "SDL_AUDIODRIVER=no-such-driver" exit 1 Error initializing output device.
# A display that cannot open is a caught toolkit error: reported on standard error, status 0.
row no-display "SDL_VIDEODRIVER=no-such-driver" exit 0
row no-pictures-or-movies "" runs
row damaged-data "" runs
row pipes-and-devices-for-data "" runs

# The no-display row must have reported the error on standard error.
if [ ! -s "$top/no-display/err.txt" ]; then
  echo "FAIL no-display: nothing reported on standard error"; failures=$((failures + 1))
fi
# A missing music file: standard error says which file, where it was looked for, and how
# to run the show instead.
if ! grep -q "music.xm was not found in $top/music-missing; .*data.*\./demo.sh" "$top/music-missing/err.txt"; then
  echo "FAIL music-missing: standard error '$(cat "$top/music-missing/err.txt")'"; failures=$((failures + 1))
fi
# Missing pictures and movies change nothing, but each is named once on standard error.
for f in morvane.raw pelu.raw greets.raw logo.raw credits.raw presents.mvz.gz; do
  count=$(grep -c "^[^:]*: $f: No such file or directory" "$top/no-pictures-or-movies/err.txt")
  if [ "$count" -ne 1 ]; then
    echo "FAIL no-pictures-or-movies: $f reported $count times: $(cat "$top/no-pictures-or-movies/err.txt")"
    failures=$((failures + 1))
  fi
done
# With standard output closed or full, the show's one line reaches standard error.
for how in closed full; do
  cd "$top/music-missing" || exit 1
  if [ $how = closed ]; then
    "$show" >&- 2>err-$how.txt
  else
    "$show" >/dev/full 2>err-$how.txt
  fi
  status=$?
  if [ $status -ne 1 ] || ! grep -qx "File not found" err-$how.txt; then
    echo "FAIL stdout-$how: status $status, errors '$(cat err-$how.txt)'"; failures=$((failures + 1))
  else
    echo "ok   stdout-$how: the line reached standard error"
  fi
done

[ "$failures" -eq 0 ] || { echo "$failures rows failed"; exit 1; }
echo "all rows passed"
