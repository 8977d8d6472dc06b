#!/bin/sh
# `kerfline-cli breakpoints FILE --cue SHEET` on a 3-hour 128 kbit/s file against `mpg123 -t` of the
# same file, side by side in one run. The break points need only where the frames are, so no frame is
# decoded. Prints the medians and the ratio (goal <= 0.1).
# Usage: bench/cue-vs-mpg123.sh BUILD_DIR [ROUNDS]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: cue-vs-mpg123.sh BUILD_DIR [ROUNDS]}" && pwd)
rounds=${2:-5}
work="$build/bench"
hour="$work/hour-128k-stereo.mp3"
three="$work/3h-128k-stereo.mp3"
sheet="$work/3h-tracks.cue"
mkdir -p "$work"
[ -s "$hour" ] || "$here/levels-vs-mpg123.sh" "$build" 1 >/dev/null
# The hour's frames three times over, as bench/long-recordings.sh makes it.
if [ ! -s "$three" ]; then
    cat "$hour" "$hour" "$hour" >"$three.part"
    mv "$three.part" "$three"
fi
# Sixty tracks, one every three minutes.
{
    echo 'FILE "3h-128k-stereo.mp3" MP3'
    for i in $(seq 1 60); do
        printf '  TRACK %02d AUDIO\n    TITLE "Track %d"\n    INDEX 01 %02d:00:00\n' "$i" "$i" $(((i - 1) * 3))
    done
} >"$sheet"
cat "$three" >/dev/null
python3 "$here/split-timing.py" "$rounds" "$work/cue-vs-mpg123-out" \
    mpg123="mpg123 -q -t '$three'" \
    breakpoints="'$build/kerfline-cli' breakpoints '$three' --cue '$sheet'" \
    -- 'breakpoints/mpg123<=0.1'
