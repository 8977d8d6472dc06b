#!/usr/bin/env bash
# Installs the Debian packages Kerfline needs to build, test and run, skipping those already present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev libmpg123-dev libtag1-dev portaudio19-dev
  libgtest-dev libgmock-dev
  lame sox mpg123 mp3val ffmpeg python3-mutagen
  xvfb xauth libxtst6 x11-utils python3 time xdotool bsdutils jackd2
  librsvg2-bin desktop-file-utils appstream man-db dpkg-dev lintian bash-completion
  util-linux coreutils
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
