#!/usr/bin/env bash
# Builds the show for Windows (Win64, cross-built with mingw-w64) and its zip for Windows
# users: BUILD/windows/morvane-tilsen-win64.zip holds one folder with tilsen.exe (static:
# it imports Windows' own DLLs only), the data the native build generates, a README for
# Windows users and the licences of what the exe links in. The Windows tests are built in
# the same tree (BUILD/windows-cmake) by scripts/test-windows.sh, which runs them under wine.
# The data comes from the native build, so scripts/build.sh runs first.
# Usage: scripts/build-windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
scripts/windows-deps.sh "$build"
build=$(cd "$build" && pwd)
[ -f "$build/data/music.xm" ] ||
  { echo "build-windows: $build/data has no music.xm: run scripts/build.sh first" >&2; exit 1; }

prefix=$build/windows-deps/prefix
cmake -S . -B "$build/windows-cmake" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/MingwToolchain.cmake" -DTILSEN_WINDOWS_PREFIX="$prefix" \
  -DTILSEN_NATIVE_BENCH_MOVIES="$build/bench-movies" \
  "-DCMAKE_CROSSCOMPILING_EMULATOR=$PWD/scripts/wine-run.sh;$build/windows-wine" >/dev/null
cmake --build "$build/windows-cmake" --target tilsen

exe=$build/windows-cmake/src/tilsen.exe
# Only Windows' own DLLs: nothing of mingw's or the libraries' may be needed beside the exe.
system_dlls='^(kernel32|user32|gdi32|winmm|imm32|ole32|oleaut32|version|advapi32|setupapi|shell32|msvcrt|ws2_32|cfgmgr32|shlwapi|dinput8|dxgi|hid|uxtheme|comdlg32|winspool|bcrypt|ntdll)\.dll$'
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
foreign=$(echo "$imports" | grep -Ev "$system_dlls" || true)
[ -z "$foreign" ] || { echo "build-windows: tilsen.exe needs DLLs Windows does not have: $foreign" >&2; exit 1; }

name=morvane-tilsen-win64
out=$build/windows
stage=$out/stage/$name
rm -rf "$out/stage"
mkdir -p "$stage/licenses"
x86_64-w64-mingw32-strip -o "$stage/tilsen.exe" "$exe"
cp "$build"/data/*.raw "$build"/data/*.mvz.gz "$build/data/music.xm" "$stage/"
sed 's/$/\r/' packaging/windows/README.txt >"$stage/README.txt"
cp "$prefix/licenses/SDL2.txt" "$prefix/licenses/libopenmpt.txt" "$stage/licenses/"
cp /usr/share/doc/libz-mingw-w64/copyright "$stage/licenses/zlib.txt"
cp /usr/share/doc/mingw-w64-x86-64-dev/copyright "$stage/licenses/mingw-w64-runtime.txt"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$stage/licenses/gcc-runtime-libraries.txt"
for f in "$stage"/licenses/*.txt; do sed -i 's/\r*$/\r/' "$f"; done
# Same bytes for the same inputs: fixed file times, names in order.
find "$stage" -exec touch -d "2026-01-01 00:00:00 UTC" {} +
rm -f "$out/$name.zip"
(cd "$out/stage" && find "$name" -type f | LC_ALL=C sort >files.txt &&
  cmake -E tar cf "../$name.zip" --format=zip --files-from=files.txt)
rm -rf "$out/stage"
echo "The show for Windows is $out/$name.zip ($(du -h "$out/$name.zip" | cut -f1)); imports: $(echo $imports)"
