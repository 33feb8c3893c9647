#!/usr/bin/env bash
# Makes a Debian 12 machine ready to build and test: cross toolchain, Wine,
# build tools and the dependency sources. Idempotent; quick when all is there.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
deps="$here/third_party_src"
packages=(g++-mingw-w64-i686-posix cmake ninja-build googletest libz-mingw-w64-dev
          wine wine32:i386 7zip zstd python3 dpkg-dev xz-utils)

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

need_apt=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
  need_apt=1
fi
if [ -f /etc/apt/sources.list.d/debian.sources ] &&
   grep -q '^Types: deb$' /etc/apt/sources.list.d/debian.sources; then
  as_root sed -i 's/^Types: deb$/Types: deb deb-src/' /etc/apt/sources.list.d/debian.sources
  need_apt=1
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ] || [ $need_apt -eq 1 ]; then
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Source packages, pinned to the suite (the security suite lacks some sources).
mkdir -p "$deps"
fetch_source() {  # name, folder glob to test for
  local name=$1 glob=$2
  if ! compgen -G "$deps/$glob" >/dev/null; then
    (cd "$deps" && apt-get source -qq "$name/bookworm" >/dev/null 2>&1 ||
       { cd "$deps" && apt-get source -qq "$name"; })
  fi
}
fetch_source tinyxml 'tinyxml-*/'
fetch_source 7zip '7zip-*/'
fetch_source libzstd 'libzstd-*/'
echo "setup: ready ($deps)"
