#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the peer checks need, when any
# of them is missing. Runs as root, or through sudo when not root.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev xvfb xauth x11-apps fonts-dejavu-core twm xfonts-base
  libpng-dev libjpeg62-turbo-dev libtiff-dev libgif-dev libcairo2-dev libexiv2-dev
  libwebp-dev librsvg2-dev
  libgtest-dev libbenchmark-dev
  nlohmann-json3-dev
  imagemagick libmagickcore-6.q16-6-extra graphicsmagick netpbm ghostscript libwmf-bin exiv2
  parallel
  libvips-tools
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
