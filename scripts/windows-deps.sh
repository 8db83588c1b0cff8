#!/usr/bin/env bash
# What the Windows build needs: Debian's mingw-w64 toolchain, its zlib and wine (with Xvfb
# for the tests), and SDL2 and libopenmpt built static for Win64 from the Debian sources of
# the versions the Linux build links. Those two are built once into the build tree
# (BUILD/windows-deps/prefix) and reused until their versions or recipe change.
# Usage: scripts/windows-deps.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-${BUILD_DIR:-build}}
mkdir -p "$build"
build=$(cd "$build" && pwd)

scripts/deps.sh g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64 dpkg-dev \
  xvfb xdotool unzip

host=x86_64-w64-mingw32
sdl_version=2.26.5+dfsg-1
openmpt_version=0.6.9-1
deps=$build/windows-deps
prefix=$deps/prefix
# Named after what was built and how: change "recipe" with the configure lines below.
recipe=1
stamp=$prefix/built-sdl2-$sdl_version-libopenmpt-$openmpt_version-recipe-$recipe
[ -f "$stamp" ] && exit 0

echo "Building SDL2 $sdl_version and libopenmpt $openmpt_version static for Win64 (once)"
rm -rf "$deps"
scripts/deb-source.sh "$deps/download" "libsdl2=$sdl_version" "libopenmpt=$openmpt_version"
mkdir -p "$deps/src"
for orig in "$deps"/download/*.orig.tar.*; do
  tar -xf "$orig" -C "$deps/src"
done
jobs=$(nproc)
export CC=$host-gcc-posix CXX=$host-g++-posix AR=$host-ar RANLIB=$host-ranlib
log=$deps/build.log

(
  cd "$deps"/src/SDL2-*/
  ./configure --host=$host --prefix="$prefix" --disable-shared --enable-static \
    CFLAGS="-O2" >"$log" 2>&1
  make -j"$jobs" >>"$log" 2>&1
  make install >>"$log" 2>&1
) || { tail -n 30 "$log" >&2; echo "windows-deps: SDL2 failed (log: $log)" >&2; exit 1; }

(
  cd "$deps"/src/libopenmpt-*/
  ./configure --host=$host --prefix="$prefix" --disable-shared --enable-static \
    --without-zlib --without-mpg123 --without-ogg --without-vorbis --without-vorbisfile \
    --without-portaudio --without-portaudiocpp --without-pulseaudio --without-sndfile \
    --without-flac --disable-openmpt123 --disable-examples --disable-tests \
    --disable-doxygen-doc CXXFLAGS="-O2" CFLAGS="-O2" >>"$log" 2>&1
  make -j"$jobs" >>"$log" 2>&1
  make install >>"$log" 2>&1
) || { tail -n 30 "$log" >&2; echo "windows-deps: libopenmpt failed (log: $log)" >&2; exit 1; }

# The licences of what the exe links in, for the zip.
mkdir -p "$prefix/licenses"
cp "$deps"/src/SDL2-*/LICENSE.txt "$prefix/licenses/SDL2.txt"
cp "$deps"/src/libopenmpt-*/LICENSE "$prefix/licenses/libopenmpt.txt"
touch "$stamp"
