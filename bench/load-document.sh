#!/usr/bin/env bash
# Loading a 60-minute file through the document (open routine, loading thread, messages, tag read)
# against the engine's scan and decode alone (`kerfline-cli levels`), side by side, as a ratio.
# Also times the automatic break point methods on top of the same load.
#
# usage: bench/load-document.sh [BUILD_DIR] [ROUNDS]
# The 60-minute 128 kbit/s input is made once with sox and lame into BUILD_DIR/bench-data.
set -euo pipefail

build=$(cd "${1:-$(dirname "$0")/../build}" && pwd)
rounds=${2:-5}
cli="$build/kerfline-cli"
data="$build/bench-data"
input="$data/sixty-minutes-128k.mp3"

if [ ! -s "$input" ]; then
  mkdir -p "$data"
  echo "making $input (once) ..." >&2
  # Tone sweeps with noise and short pauses, so the levels and silences look like real material.
  sox -n -r 44100 -c 2 -t wav - synth 3600 sine 200-2000 pinknoise vol 0.3 tremolo 0.5 90 2>/dev/null |
    lame --quiet -b 128 - "$input.part"
  mv "$input.part" "$input"
fi

seconds() { # command... -> elapsed seconds of one run, output discarded
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

declare -A runs
labels=(scan load silence length)
for ((round = 1; round <= rounds; round++)); do
  runs[scan]+="$(seconds "$cli" levels "$input")"$'\n'
  runs[load]+="$(seconds "$cli" breakpoints "$input" --count 1)"$'\n'
  runs[silence]+="$(seconds "$cli" breakpoints "$input" --silence 25)"$'\n'
  runs[length]+="$(seconds "$cli" breakpoints "$input" --length 10)"$'\n'
done

declare -A med
for label in "${labels[@]}"; do
  med[$label]=$(printf '%s' "${runs[$label]}" | median)
done

frames=$("$cli" info "$input" | awk '/^frames:/ { print $2 }')
echo "input: $input ($frames frames, $(stat -c %s "$input") bytes), $rounds rounds, medians"
printf 'engine scan and decode (levels)      %8.3f s\n' "${med[scan]}"
printf 'document load (breakpoints --count 1) %7.3f s   ratio %.3f (limit 1.05)\n' "${med[load]}" \
  "$(echo "${med[load]} / ${med[scan]}" | bc -l)"
printf 'load + silence method                %8.3f s   method about %+.3f s\n' "${med[silence]}" \
  "$(echo "${med[silence]} - ${med[load]}" | bc -l)"
printf 'load + length method                 %8.3f s   method about %+.3f s\n' "${med[length]}" \
  "$(echo "${med[length]} - ${med[load]}" | bc -l)"
