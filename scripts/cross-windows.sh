#!/usr/bin/env bash
# Kerfline for Windows, cross-built with mingw-w64 and tested under Wine.
#   cross-windows.sh build [BUILD]   libraries (cached), kerfline-cli.exe and the test programs
#   cross-windows.sh test [BUILD]    the above, then every test program under Wine
#   cross-windows.sh gui [BUILD]     Qt for Windows (cached, scripts/windows-qt.sh), kerfline.exe and
#                                    the installer Kerfline-Setup-VERSION.exe (packaging/windows)
# The libraries come from Debian's source packages and are kept in
# ~/.cache/kerfline-windows/<version> (KERFLINE_WINDOWS_CACHE overrides the parent folder).
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
action=${1:-build}
build=${2:-build-windows}
case "$build" in /*) ;; *) build="$source_dir/$build" ;; esac

"$source_dir/scripts/install-deps.sh" --windows

version=$(cat "$source_dir/scripts/windows-libraries.sh" "$source_dir/cmake/mingw-w64-x86_64.cmake" |
  sha256sum | cut -c1-12)
cache="${KERFLINE_WINDOWS_CACHE:-$HOME/.cache/kerfline-windows}/$version"
prefix="$cache/prefix"
export KERFLINE_WINDOWS_PREFIX="$prefix"

# shellcheck source=windows-libraries.sh
source "$source_dir/scripts/windows-libraries.sh"

timed() { # label, command...
  local label=$1 started=$SECONDS
  shift
  "$@"
  echo "cross-windows: $label took $((SECONDS - started)) s" >&2
}

build_kerfline() {
  local launcher=()
  if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S "$source_dir" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKERFLINE_GUI=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64-x86_64.cmake" -DKERFLINE_WINDOWS_PREFIX="$prefix" \
    "${launcher[@]}"
  nice -n 10 cmake --build "$build" -j "$jobs"
  # The tests run the tool through the host's shell (see tests/support/TestFiles.cpp): under the name
  # they use on Linux, through Wine.
  printf '#!/bin/sh\nexec wine "$(dirname "$0")/kerfline-cli.exe" "$@"\n' >"$build/kerfline-cli"
  chmod +x "$build/kerfline-cli"
}

# The window program against the cross-built Qt; Qt's toolchain file brings in ours.
build_gui() {
  local qt launcher=()
  qt=$("$source_dir/scripts/windows-qt.sh")
  if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S "$source_dir" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKERFLINE_GUI=ON \
    -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64-x86_64.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DKERFLINE_WINDOWS_PREFIX="$prefix" "${launcher[@]}"
  nice -n 10 cmake --build "$build" -j "$jobs" --target kerfline kerfline-cli
  "$source_dir/packaging/windows/make-installer.sh" "$build" "$qt"
}

# Wine gets its own prefix beside the build, so nothing leaks in from the user's ~/.wine.
run_wine_tests() {
  export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -e "$WINEPREFIX/system.reg" ]; then
    wineboot --init >/dev/null 2>&1 || true
    wineserver --wait || true
  fi
  # One server for the whole run: the tests start the tool hundreds of times.
  wineserver --persistent
  local failed=0 program
  "$source_dir/scripts/windows-same-bytes.sh" "$build" || failed=1
  for program in "$build"/tests/kerfline_*_tests.exe; do
    echo "cross-windows: $(basename "$program") under Wine" >&2
    (cd "$build/tests" && wine "$program" --gtest_brief=1) || failed=1
  done
  wineserver --kill || true
  return $failed
}

timed "Windows libraries" build_windows_libraries
case "$action" in
  build) timed "Windows build" build_kerfline ;;
  test)
    timed "Windows build" build_kerfline
    timed "Wine test run" run_wine_tests
    ;;
  gui) timed "Windows window program and installer" build_gui ;;
  *)
    echo "cross-windows: unknown action $action (build or test)" >&2
    exit 2
    ;;
esac
