#!/usr/bin/env bash
# Starts the real program under Xvfb with a home of its own, opens a small MP3 through the
# "Open Recent List ..." submenu with real key presses, checks the look of the view while a menu is
# open, holds a key while the cores are busy, offers a named pipe from the same submenu, checks the
# log file, closes the window and looks for the settings file. Exit 77 (skipped) when Xvfb or the X
# test extension is missing.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
mp3=$(realpath "$here/../fixtures/cbr128.mp3")
program="$build/kerfline"
command -v xvfb-run >/dev/null || exit 77
command -v python3 >/dev/null || exit 77
command -v xdotool >/dev/null || { echo "smoke: xdotool missing (scripts/install-deps.sh)"; exit 1; }
[ -x "$program" ] || { echo "no $program"; exit 1; }

# The real program on the X server, even when the caller runs the widget tests offscreen.
unset QT_QPA_PLATFORM
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share"
export XDG_RUNTIME_DIR="$home/run" KERFLINE_REPORT_SHOWN=1
mkdir -p "$XDG_CONFIG_HOME/Velquorn Technology" "$XDG_DATA_HOME/Kerfline" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
log="$home/kerfline.log"
prefs="$XDG_DATA_HOME/Kerfline/preferences.dat"
pipe="$home/pipe.mp3"
mkfifo "$pipe"
printf '[General]\n0=%s\n1=%s\n' "$mp3" "$pipe" > "$XDG_CONFIG_HOME/Velquorn Technology/Kerfline.conf"
python3 "$here/smoke_driver.py" write-preferences "$prefs" "$log"

xvfb-run -a -s "-screen 0 1280x800x24" python3 "$here/smoke_driver.py" run "$program" "$log" "$mp3" "$prefs" "$pipe"
