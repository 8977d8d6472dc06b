#!/usr/bin/env bash
# Takes the manual's pictures from the real program under Xvfb: a made-up recording of four tracks
# with pauses, the Find Silences dialog with its preview, silence detection through the Add More
# Break Points dialog, the window with its break points, a removed block, the Gain dialog, the
# question of Import Break Points, the page Memory of the preferences, and a half-hour recording with
# 1,566 break points at whole-file zoom. Usage: scripts/manual-screenshots.sh [BUILD] [OUTPUT_FOLDER]
# (`make screenshots` writes into docs/manual/images; the test suite writes into the build folder).
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(mkdir -p "${2:-$root/docs/manual/images}" && cd "${2:-$root/docs/manual/images}" && pwd)
for tool in xvfb-run python3 sox lame; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/install-deps.sh"; exit 1; }
done
[ -x "$build/kerfline" ] || { echo "no $build/kerfline"; exit 1; }

unset QT_QPA_PLATFORM
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share"
export XDG_RUNTIME_DIR="$home/run" KERFLINE_REPORT_SHOWN=1 LC_ALL=C.UTF-8
mkdir -p "$XDG_DATA_HOME/Kerfline" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

# Four tracks of different character, each followed by 1.5 s of silence but the last.
cd "$home"
sox -n -r 44100 -c 2 t1.wav synth 4.5 pinknoise vol 0.5 tremolo 3 60 fade 0.1 4.5 0.4
sox -n -r 44100 -c 2 t2.wav synth 4.5 sine 220-880 vol 0.4 tremolo 1.5 90 fade 0.3 4.5 0.6
sox -n -r 44100 -c 2 t3.wav synth 4.5 brownnoise vol 0.8 tremolo 5 40 fade 0.05 4.5 1
sox -n -r 44100 -c 2 t4.wav synth 4.5 pinknoise vol 0.35 tremolo 0.7 80 fade 1 4.5 1.5
sox -n -r 44100 -c 2 gap.wav trim 0 1.5
sox t1.wav gap.wav t2.wav gap.wav t3.wav gap.wav t4.wav album.wav
lame --quiet -b 160 album.wav album.mp3
# Tracks for the import, the last one past the end of the 22.5 s recording.
cat > album.cue <<'CUE'
FILE "album.mp3" MP3
  TRACK 01 AUDIO
    TITLE "Rain"
    INDEX 01 00:00:00
  TRACK 02 AUDIO
    TITLE "Sweep"
    INDEX 01 00:06:00
  TRACK 03 AUDIO
    TITLE "Rumble"
    INDEX 01 00:12:00
  TRACK 04 AUDIO
    TITLE "Drift"
    INDEX 01 00:18:00
  TRACK 05 AUDIO
    TITLE "Encore"
    INDEX 01 01:05:00
CUE

python3 "$root/tests/app/smoke_driver.py" write-preferences "$XDG_DATA_HOME/Kerfline/preferences.dat" "$home/kerfline.log"
xvfb-run -a -s "-screen 0 1024x700x24" \
  python3 "$root/scripts/manual_screenshots.py" "$build/kerfline" "$home/album.mp3" "$home/kerfline.log" "$out" "$home/album.cue"

# Half an hour of the recording over again, with 1,566 break points at irregular places.
for _ in $(seq 80); do cat album.mp3; done > long.mp3
python3 -c '
import random, struct, sys
marks = sorted(random.Random(27).sample(range(1, 69000), 1566))
with open(sys.argv[1], "wb") as out:
    out.write(b"".join(struct.pack("<i", f) for f in marks))
' long.bps
xvfb-run -a -s "-screen 0 1024x700x24" python3 "$root/scripts/manual_screenshots.py" dense-marks \
  "$build/kerfline" "$home/long.mp3" "$home/long.bps" "$home/kerfline.log" "$out"
ls "$out"
