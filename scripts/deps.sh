#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing:
# one apt-get update, then apt-get install -y (through sudo when not root).
# Usage: scripts/deps.sh [extra packages...]
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libsdl2-dev libopenmpt-dev zlib1g-dev libpng-dev libfreetype-dev fonts-dejavu-core
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
  ffmpeg
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
