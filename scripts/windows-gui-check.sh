#!/usr/bin/env bash
# The Windows installer under Wine and Xvfb: a silent install into a fresh private prefix, the program
# opening an MP3 file given on its command line (a screenshot of it), and a silent uninstall that
# leaves no program folder, Start menu entry or file association behind.
#   windows-gui-check.sh [BUILD] [SCREENSHOT]
# BUILD holds Kerfline-Setup-*.exe (scripts/cross-windows.sh gui); the screenshot goes to SCREENSHOT
# (default BUILD/windows-wine.png).
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$source_dir/build-windows-gui}")
screenshot=$(realpath -m "${2:-$build/windows-wine.png}")
installer=$(ls "$build"/Kerfline-Setup-*.exe | head -n1)
fixture="$source_dir/tests/fixtures/tone-44100-stereo.mp3"
[ -e "$fixture" ] || fixture=$(ls "$source_dir"/tests/fixtures/*.mp3 | head -n1)

export WINEPREFIX="$build/wineprefix-gui" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
failures=0
check() { # description, command...
  local description=$1
  shift
  if "$@"; then
    echo "gui-check: ok: $description"
  else
    echo "gui-check: FAILED: $description" >&2
    failures=$((failures + 1))
  fi
}

xvfb_pid=""
cleanup() {
  wineserver --kill >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

# A display of its own, the first free number from 90 up.
display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
  display=$((display + 1))
done
Xvfb ":$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"
for _ in $(seq 50); do
  xdpyinfo >/dev/null 2>&1 && break
  sleep 0.2
done

started=$SECONDS
rm -rf "$WINEPREFIX"
wineboot --init >/dev/null 2>&1 || true
wineserver --wait

program_dir="$WINEPREFIX/drive_c/Program Files/Kerfline"
start_menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Kerfline.lnk"
registry_has() { # key [value]
  if [ $# -gt 1 ]; then
    wine reg query "$1" /v "$2" /reg:64 >/dev/null 2>&1
  else
    wine reg query "$1" /reg:64 >/dev/null 2>&1
  fi
}
lacks() { ! "$@"; }

wine "$installer" /S
wineserver --wait
check "the program is installed" test -e "$program_dir/kerfline.exe"
check "the command-line tool is installed" test -e "$program_dir/kerfline-cli.exe"
check "the Windows platform plugin is installed" test -e "$program_dir/platforms/qwindows.dll"
check "the manual is installed beside the program" test -e "$program_dir/manual/index.html"
check "the Start menu entry is made" test -e "$start_menu"
check "Kerfline offers itself for .mp3 (Open with)" \
  registry_has 'HKLM\Software\Classes\.mp3\OpenWithProgids' Kerfline.mp3
check "the open command is registered" registry_has 'HKLM\Software\Classes\Kerfline.mp3\shell\open\command'
check "the uninstaller is registered" \
  registry_has 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kerfline' UninstallString
echo "gui-check: install took $((SECONDS - started)) s"

# The program opens a file given on its command line; once it is loaded the title names it.
cp "$fixture" "$build/check.mp3"
wine "$program_dir/kerfline.exe" 'Z:'"${build//\//\\}"'\check.mp3' >"$build/gui-check.log" 2>&1 &
window=""
for _ in $(seq 120); do
  window=$(xdotool search --name '^check\.mp3' 2>/dev/null | head -n1 || true)
  [ -n "$window" ] && break
  sleep 1
done
check "kerfline.exe shows a window with the file loaded" test -n "$window"
if [ -n "$window" ]; then
  # Time to draw the waveform before the picture is taken.
  sleep 5
  xwd -root -silent >"$build/screen.xwd"
  ffmpeg -loglevel error -y -i "$build/screen.xwd" -frames:v 1 "$screenshot"
  echo "gui-check: screenshot in $screenshot"
  xdotool windowclose "$window" 2>/dev/null || true
fi
wineserver --kill >/dev/null 2>&1 || true
wineserver --wait >/dev/null 2>&1 || true

wine "$program_dir/uninstall.exe" /S
wineserver --wait
# The uninstaller runs from a copy of itself in the temporary folder; it is done when the server is.
check "the program folder is removed" lacks test -e "$program_dir"
check "the Start menu entry is removed" lacks test -e "$start_menu"
check "the association is removed" lacks registry_has 'HKLM\Software\Classes\.mp3\OpenWithProgids' Kerfline.mp3
check "the program's class is removed" lacks registry_has 'HKLM\Software\Classes\Kerfline.mp3'
check "the Open with entry is removed" lacks registry_has 'HKLM\Software\Classes\Applications\kerfline.exe'
check "the uninstall entry is removed" \
  lacks registry_has 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kerfline'

echo "gui-check: $failures failure(s), $((SECONDS - started)) s in all"
[ "$failures" -eq 0 ]
