#!/usr/bin/env bash
# Times the silence finder on the levels of the 3-hour file (the bench hour's frames three times
# over, as bench/long-recordings.sh makes it) side by side with sox's `silence` effect taking the silences out of the same hour,
# in one run. The finder works on the levels the load has already measured; sox reads the decoded
# audio. Both with a threshold of -40 dB and silences of at least 0.5 s.
#
#   bench/silence-finder.sh [BUILD_DIR] [RUNS]
#
# The hour is the one bench/levels-vs-mpg123.sh makes; its WAV (kerfline-cli wav) is kept beside it.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
runs=${2:-20}
cli="$build/kerfline-cli"
bench="$build/bench/kerfline_silence_bench"
work="$build/bench"
hour="$work/hour-128k-stereo.mp3"
wav="$work/hour-128k-stereo.wav"
three="$work/3h-128k-stereo.mp3"

for tool in sox /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done
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
if [ ! -s "$three" ]; then
  cat "$hour" "$hour" "$hour" >"$three.part"
  mv "$three.part" "$three"
fi

echo "kerfline silence finder on the 3-hour file's levels:"
finder=$("$bench" time "$three" 1 "$runs")
sed 's/^/  /' <<<"$finder"
best_ms=$(head -1 <<<"$finder" | sed -n 's/.*best \([0-9.]*\) ms.*/\1/p')

cat "$wav" >/dev/null
/usr/bin/time -f '%e %U %S' -o "$work/time.txt" sox -V1 "$wav" -n silence 1 0 -40d -1 0.5 -40d
read -r sox_wall sox_user sox_sys <"$work/time.txt"
echo "sox silence 1 0 -40d -1 0.5 -40d on the hour's WAV:"
echo "  ${sox_wall} s wall, $(awk -v u="$sox_user" -v s="$sox_sys" 'BEGIN { printf "%.2f", u + s }') s cpu"
awk -v k="$best_ms" -v s="$sox_wall" 'BEGIN {
  printf "per hour of audio: finder %.3f ms, sox %.0f ms; ratio %.6f (finder / sox)\n", k / 3, s * 1000, k / 3 / (s * 1000)
}'
