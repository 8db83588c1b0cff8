#!/usr/bin/env bash
# Downloads the Debian source packages named (package=version, exact versions) into DIR,
# adding a deb-src line for bookworm first when apt has no source line that knows them.
# Only the download: unpacking and building are the caller's. Shared by the browser's and
# the Windows build's dependency scripts.
# Usage: scripts/deb-source.sh DIR package=version...
set -euo pipefail
dir=$1
shift
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)

for wanted in "$@"; do
  if ! apt-get source --print-uris -qq "$wanted" >/dev/null 2>&1; then
    # apt-get source needs a source line; Debian's main archive keeps these exact versions.
    echo "Adding a deb-src line for bookworm ($wanted's source)"
    "${sudo[@]}" tee /etc/apt/sources.list.d/tilsen-deb-src.sources >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    "${sudo[@]}" apt-get update -qq
    break
  fi
done

mkdir -p "$dir"
(cd "$dir" && apt-get source --download-only -qq "$@" 2>&1 | grep -v "unsandboxed" || true)
