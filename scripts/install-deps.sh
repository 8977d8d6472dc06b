#!/usr/bin/env bash
# Installs the Debian packages Kerfline needs to build, test and run, skipping those already present.
set -euo pipefail

# --windows: what the cross build for Windows needs instead (scripts/cross-windows.sh).
windows=false
if [ "${1:-}" = "--windows" ]; then
  windows=true
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev libmpg123-dev libtag1-dev portaudio19-dev
  libgtest-dev libgmock-dev
  libebur128-dev
  lame sox mpg123 mp3val ffmpeg python3-mutagen
  xvfb xauth libxtst6 x11-utils python3 time xdotool bsdutils jackd2
  librsvg2-bin desktop-file-utils appstream man-db dpkg-dev lintian bash-completion
  util-linux coreutils eatmydata
)

if $windows; then
  packages=(
    build-essential cmake ninja-build pkg-config ccache dpkg-dev
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools
    wine wine64 python3
    # The window program: Debian's Qt tools for the cross-built Qt, the installer, and its check.
    qt6-base-dev qt6-base-dev-tools librsvg2-bin nsis xvfb xauth x11-utils x11-apps xdotool ffmpeg
  )
  # The libraries are built from Debian's source packages: deb-src lines for the same archive as the deb lines.
  if ! apt-get indextargets --format '$(TARGET_OF)' 2>/dev/null | grep -qx deb-src; then
    for sources in /etc/apt/sources.list.d/*.sources; do
      [ -e "$sources" ] && $sudo sed -i 's/^Types: deb$/Types: deb deb-src/' "$sources"
    done
    if [ -e /etc/apt/sources.list ]; then
      $sudo sed -i -n -e 'p' -e 's/^deb \(.*\)$/deb-src \1/p' /etc/apt/sources.list
    fi
    $sudo apt-get update -qq
  fi
fi

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
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
