#!/usr/bin/env bash
# Times a Save All that changes the level (a gain on every piece and fades at every cut) against a
# plain Save All of the same pieces, alternating in one run, and prints the ratio of the medians.
# The target is at most 1.2.
#
#   bench/gain-vs-plain.sh [BUILD_DIR] [RUNS] [MINUTES]
#
# The input (MINUTES of 128 kbit/s stereo, default 60) is made once with sox and lame and kept in
# BUILD_DIR/bench/.
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
runs=${2:-5}
minutes=${3:-60}
cli="$build/kerfline-cli"
work="$build/bench"
input="$work/gain-${minutes}min-128k-stereo.mp3"

for tool in sox lame; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done
[ -x "$cli" ] || { echo "missing: $cli (build first)" >&2; exit 1; }
mkdir -p "$work"

if [ ! -s "$input" ]; then
  echo "making $input (once)..."
  tmp=$(mktemp -d)
  sox -n -r 44100 -c 2 "$tmp/minute.wav" synth 60 sine 200-2000 synth 60 pinknoise mix vol 0.3
  sox "$tmp/minute.wav" "$tmp/all.wav" repeat $((minutes - 1))
  lame --quiet -b 128 "$tmp/all.wav" "$input.part"
  mv "$input.part" "$input"
  rm -rf "$tmp"
fi

seconds() { # command...: wall seconds of one run
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}

median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

cat "$input" >/dev/null
plain=()
level=()
for _ in $(seq "$runs"); do
  rm -rf "$work/gain-out"
  plain+=("$(seconds "$cli" split "$input" -o "$work/gain-out" --count 20)")
  rm -rf "$work/gain-out"
  level+=("$(seconds "$cli" split "$input" -o "$work/gain-out" --count 20 --gain -3 --fade-cuts 1 --fade-in 2 --fade-out 2)")
done
rm -rf "$work/gain-out"
p=$(printf '%s\n' "${plain[@]}" | median)
l=$(printf '%s\n' "${level[@]}" | median)
printf 'plain Save All: %.3f s (median of %d)\n' "$p" "$runs"
printf 'gain and fades: %.3f s (median of %d)\n' "$l" "$runs"
printf 'ratio: %.2f (target <= 1.2)\n' "$(echo "$l / $p" | bc -l)"
