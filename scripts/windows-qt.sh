#!/usr/bin/env bash
# Qt 6 base for Windows, cross-built with mingw-w64 from Debian's qt6-base source, with Debian's own
# Qt 6 tools (moc, rcc, uic) as the host tools. Only what the window program needs: Core, Gui, Widgets,
# Test and the Windows platform plugin, as DLLs.
#   windows-qt.sh          builds it once into ~/.cache/kerfline-windows/qt6-<hash> and prints that folder
# The folder's name is a hash of this file alone, so a change to the other libraries' recipe does not
# rebuild Qt (about an hour on two cores). The build itself runs in a tmpfs (KERFLINE_QT_BUILD_DIR,
# default /dev/shm/kerfline-qt-build): gigabytes of object files on the disk slow down everything that
# syncs. KERFLINE_WINDOWS_JOBS sets the parallel jobs (default 2).
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
jobs=${KERFLINE_WINDOWS_JOBS:-2}
cache_root="${KERFLINE_WINDOWS_CACHE:-$HOME/.cache/kerfline-windows}"
version=$(sha256sum "$source_dir/scripts/windows-qt.sh" | cut -c1-12)
qt="$cache_root/qt6-$version"
work="${KERFLINE_QT_BUILD_DIR:-/dev/shm/kerfline-qt-build}"

if [ -e "$qt/.complete" ]; then
  echo "$qt"
  exit 0
fi

# The host tools must be the same Qt version as the source.
host_version=$(dpkg-query -W -f '${Version}' qt6-base-dev-tools 2>/dev/null | sed 's/+.*//')
if [ -z "$host_version" ] || [ ! -e /usr/lib/x86_64-linux-gnu/cmake/Qt6HostInfo ]; then
  echo "windows-qt: qt6-base-dev and qt6-base-dev-tools are needed (scripts/install-deps.sh --windows)" >&2
  exit 1
fi

quiet() { nice -n 19 "$@"; }

downloads="$cache_root/qt-downloads"
mkdir -p "$downloads"
tarball=$(ls "$downloads"/qt6-base_"$host_version"*.orig.tar.* 2>/dev/null | head -n1 || true)
if [ -z "$tarball" ]; then
  (cd "$downloads" && apt-get source --download-only -qq "qt6-base=$(dpkg-query -W -f '${Version}' qt6-base-dev-tools)" >&2) || true
  tarball=$(ls "$downloads"/qt6-base_"$host_version"*.orig.tar.* 2>/dev/null | head -n1 || true)
fi
if [ -z "$tarball" ]; then
  echo "windows-qt: could not fetch the source of qt6-base $host_version (are deb-src lines enabled?)" >&2
  exit 1
fi

started=$SECONDS
# An interrupted build resumes where it stopped (while the tmpfs still holds it).
if [ ! -e "$work/build/build.ninja" ]; then
  rm -rf "$work" && mkdir -p "$work/src" "$work/empty-prefix"
  tar -xf "$tarball" -C "$work/src" --strip-components=1
fi

# Qt 6.4's Windows platform plugin asks about software OpenGL when dynamic OpenGL is configured, even
# with OpenGL off (and dynamicgl is on by default on Windows); turning the feature off would rebuild
# all of Gui, so the one test is guarded in the source.
sed -i 's/^#if QT_CONFIG(dynamicgl)$/#if QT_CONFIG(dynamicgl) \&\& QT_CONFIG(opengl)/' \
  "$work/src/src/plugins/platforms/windows/qwindowswindow.cpp"

# Debian's source leaves out the Wacom tablet headers (src/3rdparty/wintab), so no tablet events;
# the program does not use them. System libraries are the host's, so Qt's bundled copies are used.
# pkg-config sees an empty folder (the toolchain file points it at KERFLINE_WINDOWS_PREFIX).
[ -e "$work/build/build.ninja" ] || quiet cmake -S "$work/src" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64-x86_64.cmake" \
  -DKERFLINE_WINDOWS_PREFIX="$work/empty-prefix" \
  -DCMAKE_INSTALL_PREFIX="$qt" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DBUILD_SHARED_LIBS=ON -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
  -DFEATURE_dbus=OFF -DFEATURE_icu=OFF -DFEATURE_opengl=OFF -DFEATURE_vulkan=OFF \
  -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF \
  -DFEATURE_xml=OFF -DFEATURE_tabletevent=OFF \
  -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF \
  -DFEATURE_system_freetype=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
  -DFEATURE_system_doubleconversion=OFF >&2
quiet cmake --build "$work/build" -j "$jobs" >&2
rm -rf "$qt"
# The prefix is given again: a resumed build keeps the one it was configured with.
quiet cmake --install "$work/build" --prefix "$qt" >&2
touch "$qt/.complete"
echo "windows-qt: Qt $host_version for Windows took $((SECONDS - started)) s" >&2
rm -rf "$work"
echo "$qt"
