#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Stereoglass
# need, only those that are missing. Safe to run again.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libx11-dev libxtst-dev libxrandr-dev libgtk-3-dev
  libturbojpeg0-dev libjpeg62-turbo-dev libpng-dev libgif-dev libtiff-dev
  libexiv2-dev nlohmann-json3-dev
  libopencv-core-dev libopencv-imgproc-dev libopencv-features2d-dev
  libimage-exiftool-perl python3-pil
  xvfb openbox xdotool xclip x11-utils
  git dpkg-dev desktop-file-utils shared-mime-info lintian
  hyperfine imagemagick
  zlib1g-dev libimage-exiftool-perl python3-pil
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
