#!/usr/bin/env bash
# Starts the real program under Xvfb with a home of its own, opens an MP3 of about 80 seconds through
# the "Open Recent List ..." submenu with real key presses, checks the look of the view while a menu
# is open, holds a key while the cores are busy, offers a named pipe from the same submenu, checks the
# log file, zooms out to the whole file and checks from the window's pixels that it fits, closes the
# window and looks for the settings file; then starts it again with the MP3 on its command line; then
# removes a block with the Delete key and saves an edited copy, checked by mpg123 and mp3val; then
# loads 1,566 marks into a longer file and checks the wave, that drags move none of them and that
# zooming while it plays keeps the play position on the screen (played through JACK's dummy driver,
# which keeps time like a sound card). A missing tool fails the run: scripts/install-deps.sh installs them.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
short=$(realpath "$here/../fixtures/cbr128.mp3")
program="$build/kerfline"
for tool in xvfb-run python3 xprop xdotool mpg123 mp3val mid3v2 jackd jack_wait; do
  command -v "$tool" >/dev/null || { echo "smoke: $tool is missing (scripts/install-deps.sh installs it)"; exit 1; }
done
[ -x "$program" ] || { echo "no $program"; exit 1; }

# The real program on the X server, even when the caller runs the widget tests offscreen.
unset QT_QPA_PLATFORM
home=$(mktemp -d)
jack=""
cleanup() {
  [ -n "$jack" ] && kill "$jack" 2>/dev/null && wait "$jack" 2>/dev/null
  rm -rf "$home"
}
trap cleanup EXIT
export HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share"
export XDG_RUNTIME_DIR="$home/run" KERFLINE_REPORT_SHOWN=1
mkdir -p "$XDG_CONFIG_HOME/Velquorn Technology" "$XDG_DATA_HOME/Kerfline" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
log="$home/kerfline.log"
# Longer than the view is wide at one frame per column: the fixture's frames forty times over.
mp3="$home/long.mp3"
for _ in $(seq 40); do cat "$short"; done > "$mp3"
prefs="$XDG_DATA_HOME/Kerfline/preferences.dat"
pipe="$home/pipe.mp3"
mkfifo "$pipe"
# The runs reopen the same file: its remembered edits are not offered, so no question box waits.
printf '[General]\n0=%s\n1=%s\n[EditState]\nOfferRestore=false\n' "$mp3" "$pipe" \
  > "$XDG_CONFIG_HOME/Velquorn Technology/Kerfline.conf"
python3 "$here/smoke_driver.py" write-preferences "$prefs" "$log"

xvfb-run -a -s "-screen 0 1280x800x24" python3 "$here/smoke_driver.py" run "$program" "$log" "$mp3" "$prefs" "$pipe"

# Opening from a file manager: the file given on the command line is loaded once the window shows.
xvfb-run -a -s "-screen 0 1280x800x24" python3 "$here/smoke_driver.py" open-argument "$program" "$log" "$mp3"

# Find Silences twice on a file with pauses: the second run adds no break point the list holds.
silences=$(realpath "$here/../fixtures/silences.mp3")
xvfb-run -a -s "-screen 0 1280x800x24" python3 "$here/smoke_driver.py" silences "$program" "$log" "$silences"

# Find Silences on a file of over a thousand pauses: the view zooms, scrolls and follows the overview
# while the dialog is open, and OK logs one line for all the marks.
many="$home/many-silences.mp3"
for _ in $(seq 400); do cat "$silences"; done > "$many"
xvfb-run -a -s "-screen 0 1280x800x24" python3 "$here/smoke_driver.py" many-silences "$program" "$log" "$many"

# Save Specified Blocks with every row ticked writes Save All's pieces, byte for byte, also with a
# break point given twice.
mkdir -p "$home/all" "$home/blocks"
python3 "$here/smoke_driver.py" write-preferences "$prefs" "$log" "$home/all"
xvfb-run -a -s "-screen 0 1280x800x24" python3 "$here/smoke_driver.py" save-blocks "$program" "$log" "$short" \
  "$home/all" "$home/blocks"

# Editing with the keyboard: a block removed with Delete, an edited copy saved, checked by mpg123 and mp3val.
cp "$(realpath "$here/../fixtures/ten-seconds.mp3")" "$home/show.mp3"
# Tagged, so the copy carries the tags and mp3val has nothing at all to say.
mid3v2 -t "Show" -a "Kerfline" "$home/show.mp3"
xvfb-run -a -s "-screen 0 1280x800x24" python3 "$here/smoke_driver.py" edit "$program" "$log" "$home/show.mp3" "$home/show-edited.mp3"

# 1,566 marks, two on each of 783 frames, on the ten-second fixture forty times over (15,400 frames).
dense="$home/dense.mp3"
for _ in $(seq 40); do cat "$(realpath "$here/../fixtures/ten-seconds.mp3")"; done > "$dense"
python3 -c '
import struct, sys
frames = [19 * i + 7 for i in range(783)]
with open(sys.argv[1], "wb") as out:
    for f in frames:
        out.write(struct.pack("<ii", f, f))
' "$home/dense.bps"
# No sound card here: PortAudio takes JACK when ALSA has no device. A server of its own name, so
# that another run's server does not answer; a period of 512 frames, as PortAudio's JACK host
# writes past its own buffer with 1024.
export JACK_DEFAULT_SERVER="kerfline-smoke-$$"
JACK_NO_AUDIO_RESERVATION=1 jackd --no-realtime -d dummy -r 44100 -p 512 >"$home/jackd.log" 2>&1 &
jack=$!
jack_wait -w -t 10 >/dev/null 2>&1 || { echo "smoke: jackd did not start:"; cat "$home/jackd.log"; exit 1; }
xvfb-run -a -s "-screen 0 1280x800x24" python3 "$here/smoke_driver.py" dense-marks "$program" "$log" "$dense" \
  "$home/dense.bps" 1566
