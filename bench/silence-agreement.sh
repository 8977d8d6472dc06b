#!/usr/bin/env bash
# How far the silence finder's defaults (-40 dBFS, 0.5 s) agree with sox's `silence` effect at the
# same threshold and length, on the bench's speech-like hour.
#
#   bench/silence-agreement.sh [BUILD_DIR]
#
# sox gets the very PCM the finder measured (kerfline-cli wav) with one more channel that counts the
# samples, 66 dB under full scale; `silence 1 0 T -1 0.5 T` drops every silence of 0.5 s or more
# and the counts left tell exactly which samples it dropped. sox measures one RMS over all channels,
# so the count channel adds a third of silence to it: the threshold is lowered by 10 log10(3/2) dB to
# measure the two audio channels as they are (the count itself weighs under 0.01 dB).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
cli="$build/kerfline-cli"
bench="$build/bench/kerfline_silence_bench"
work="$build/bench"
hour="$work/hour-128k-stereo.mp3"
wav="$work/hour-128k-stereo.wav"

command -v sox >/dev/null || { echo "missing: sox" >&2; exit 1; }
for program in "$cli" "$bench"; do
  [ -x "$program" ] || { echo "missing: $program (build first)" >&2; exit 1; }
done
mkdir -p "$work"
if [ ! -s "$hour" ]; then
  "$here/levels-vs-mpg123.sh" "$build" 1 >/dev/null
fi
if [ ! -s "$wav" ]; then
  "$cli" wav "$hour" "$wav" >/dev/null
fi

threshold=$(awk 'BEGIN { printf "%.4f", -40 - 10 * log(3 / 2) / log(10) }')
sox -V1 "$wav" -t s16 - |
  "$bench" timecode 2 |
  sox -V1 -D -t s32 -r 44100 -c 3 - -t s32 - silence 1 0 "${threshold}d" -1 0.5 "${threshold}d" |
  "$bench" gaps 2 >"$work/sox-gaps.txt"
"$bench" agree "$hour" "$work/sox-gaps.txt"
