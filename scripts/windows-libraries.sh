#!/usr/bin/env bash
# The recipe for the Windows libraries: each from its Debian source package, built with mingw-w64 into
# $prefix as static libraries. Sourced by cross-windows.sh; the cache folder's name is a hash of this
# file and the toolchain file, so changing the recipe builds afresh.
set -euo pipefail

triple=x86_64-w64-mingw32
jobs=${KERFLINE_WINDOWS_JOBS:-2}
toolchain="$source_dir/cmake/mingw-w64-x86_64.cmake"

# Long builds yield to everything else on the machine.
quiet() { nice -n 19 "$@"; }

fetch_source() { # package -> prints the unpacked folder
  local package=$1 downloads="$cache/downloads"
  mkdir -p "$downloads"
  if ! ls "$downloads/${package}"_*.orig.tar.* >/dev/null 2>&1; then
    # Signatures and Debian patch tarballs may be missing from a mirror; the upstream tarball is enough.
    (cd "$downloads" && apt-get source --download-only -qq "$package" >&2) || true
  fi
  local tarball
  tarball=$(ls "$downloads/${package}"_*.orig.tar.* 2>/dev/null | head -n1)
  if [ -z "$tarball" ]; then
    echo "cross-windows: could not fetch the source of $package (are deb-src lines enabled?)" >&2
    return 1
  fi
  local unpacked="$cache/src/$package"
  rm -rf "$unpacked" && mkdir -p "$unpacked"
  tar -xf "$tarball" -C "$unpacked" --strip-components=1
  echo "$unpacked"
}

cmake_library() { # folder, cmake options...
  local folder=$1
  shift
  quiet cmake -S "$folder" -B "$folder/build-windows" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DKERFLINE_WINDOWS_PREFIX="$prefix" \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF "$@" >&2
  quiet cmake --build "$folder/build-windows" -j "$jobs" >&2
  quiet cmake --install "$folder/build-windows" >&2
}

autotools_library() { # folder, configure options...
  local folder=$1
  shift
  (cd "$folder" && quiet ./configure --host=$triple --prefix="$prefix" --enable-static --disable-shared \
    CC=$triple-gcc-posix CXX=$triple-g++-posix "$@" >&2 &&
    quiet make -j "$jobs" >&2 && quiet make install >&2)
}

# A static library's dependencies belong on every link line (CMake's pkg-config reads only Libs).
merge_private_libs() { # pc file
  local pc=$1 private
  private=$(sed -n 's/^Libs.private:\s*//p' "$pc" | tr '\n' ' ')
  if [ -n "$private" ]; then
    sed -i -e "s|^Libs:\(.*\)$|Libs:\1 $private|" -e '/^Libs.private:/d' "$pc"
  fi
}

build_mpg123() {
  local folder
  folder=$(fetch_source mpg123)
  # Only the decoding library: its player, output modules and the other libraries are not needed.
  (cd "$folder" && quiet ./configure --host=$triple --prefix="$prefix" --enable-static --disable-shared \
    --disable-modules --disable-network --with-audio=dummy CC=$triple-gcc-posix >&2 &&
    quiet make -j "$jobs" src/libmpg123/libmpg123.la >&2)
  install -D -m 644 "$folder/src/libmpg123/.libs/libmpg123.a" "$prefix/lib/libmpg123.a"
  install -D -m 644 -t "$prefix/include" "$folder/src/libmpg123/mpg123.h" "$folder/src/libmpg123/fmt123.h"
  install -D -m 644 "$folder/libmpg123.pc" "$prefix/lib/pkgconfig/libmpg123.pc"
  merge_private_libs "$prefix/lib/pkgconfig/libmpg123.pc"
}

build_taglib() {
  local folder
  folder=$(fetch_source taglib)
  cmake_library "$folder" -DBUILD_TESTS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_BINDINGS=OFF -DWITH_ZLIB=OFF
  # Without this define the headers ask for DLL imports.
  sed -i 's|^Cflags:\(.*\)$|Cflags:\1 -DTAGLIB_STATIC|' "$prefix/lib/pkgconfig/taglib.pc"
}

build_portaudio() {
  local folder
  folder=$(fetch_source portaudio19)
  # PortAudio 19.6 includes the WASAPI headers for MSVC only and brings stale copies of them for
  # mingw; mingw-w64's own headers have everything (the device name key lives in the _devpkey one).
  local wasapi="$folder/src/hostapi/wasapi"
  sed -i -e 's/^#if defined(_MSC_VER) && (_MSC_VER >= 1400)$/#if 1/' -e 's/<Avrt.h>/<avrt.h>/' \
    -e 's/<Audioclient.h>/<audioclient.h>/' \
    -e '0,/#include <functiondiscoverykeys.h>/s//#include <functiondiscoverykeys_devpkey.h>/' \
    "$wasapi/pa_win_wasapi.c"
  rm -f "$wasapi"/mingw-include/*.h
  autotools_library "$folder" --with-winapi=wmme,wasapi
  merge_private_libs "$prefix/lib/pkgconfig/portaudio-2.0.pc"
  # The static library needs the Windows audio and COM libraries.
  sed -i 's|^Libs:\(.*\)$|Libs:\1 -lwinmm -lole32 -luuid -lksuser -lsetupapi|' "$prefix/lib/pkgconfig/portaudio-2.0.pc"
}

build_googletest() {
  local folder
  folder=$(fetch_source googletest)
  cmake_library "$folder" -DINSTALL_GTEST=ON -DBUILD_GMOCK=ON
}

build_libebur128() {
  local folder
  folder=$(fetch_source libebur128)
  cmake_library "$folder" -DENABLE_INTERNAL_QUEUE_H=ON
}

build_windows_libraries() {
  mkdir -p "$prefix"
  local library
  for library in mpg123 taglib portaudio googletest libebur128; do
    if [ ! -e "$prefix/.done-$library" ]; then
      echo "cross-windows: building $library for Windows" >&2
      local started=$SECONDS
      "build_$library"
      touch "$prefix/.done-$library"
      echo "cross-windows: $library took $((SECONDS - started)) s" >&2
    fi
  done
}
