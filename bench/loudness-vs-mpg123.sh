#!/usr/bin/env bash
# Times `kerfline-cli loudness` (EBU R128 loudness, range and peaks) against `mpg123 -t` on the same
# hour of 128 kbit/s stereo MP3, side by side in one run, and prints the ratios (best and median of
# the runs, wall and CPU) and both tools' peak resident memory.
#
#   bench/loudness-vs-mpg123.sh [BUILD_DIR] [RUNS]
#
# The input is made once with sox and lame and kept in BUILD_DIR/bench/.
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
runs=${2:-3}
cli="$build/kerfline-cli"
work="$build/bench"
input="$work/hour-128k-stereo.mp3"

# /usr/bin/time is Debian's package "time".
for tool in sox lame mpg123 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done
[ -x "$cli" ] || { echo "missing: $cli (build first)" >&2; exit 1; }
mkdir -p "$work"

make_input() {
  local tmp parts=() i
  tmp=$(mktemp -d)
  # One minute of speech-like audio: bursts of tone and noise of varying pitch and length, with
  # true silences between them. The hour repeats it sixty times.
  for i in $(seq 0 39); do
    sox -n -r 44100 -c 2 "$tmp/on$i.wav" synth "0.$((5 + i % 5))" sine $((180 + i * 37 % 320)) \
      synth "0.$((5 + i % 5))" pinknoise mix vol "0.$((2 + i % 6))"
    sox -n -r 44100 -c 2 "$tmp/off$i.wav" trim 0 "0.$((2 + i * 7 % 8))"
    parts+=("$tmp/on$i.wav" "$tmp/off$i.wav")
  done
  sox "${parts[@]}" "$tmp/pattern.wav"
  sox "$tmp/pattern.wav" "$tmp/minute.wav" repeat 2 trim 0 60
  sox "$tmp/minute.wav" "$tmp/hour.wav" repeat 59
  lame --quiet -b 128 "$tmp/hour.wav" "$input.part"
  mv "$input.part" "$input"
  rm -rf "$tmp"
}

if [ ! -s "$input" ]; then
  echo "making $input (once)..."
  make_input
fi

measure() { # command...: "wall-seconds cpu-seconds peak-KiB" of one run
  /usr/bin/time -f '%e %U %S %M' -o "$work/time.txt" "$@" >/dev/null 2>&1
  awk '{printf "%s %.2f %s\n", $1, $2 + $3, $4}' "$work/time.txt"
}

echo "load before: $(uptime)"
# Warm the page cache, then alternate the two tools so that both see the same machine load.
cat "$input" >/dev/null
results_k=()
results_m=()
for _ in $(seq "$runs"); do
  k=$(measure "$cli" loudness "$input")
  m=$(measure mpg123 -q -t "$input")
  results_k+=("$k")
  results_m+=("$m")
  read -r kw kc kr <<<"$k"
  read -r mw mc mr <<<"$m"
  printf 'run: kerfline-cli loudness %s s (cpu %s s, %s KiB) | mpg123 -t %s s (cpu %s s, %s KiB)\n' \
    "$kw" "$kc" "$kr" "$mw" "$mc" "$mr"
done

read -r best_k _ peak_k <<<"$(printf "%s\n" "${results_k[@]}" | sort -g -k1 | head -1)"
read -r best_m _ peak_m <<<"$(printf "%s\n" "${results_m[@]}" | sort -g -k1 | head -1)"
cpu_k=$(printf '%s\n' "${results_k[@]}" | sort -g -k2 | head -1 | cut -d' ' -f2)
cpu_m=$(printf '%s\n' "${results_m[@]}" | sort -g -k2 | head -1 | cut -d' ' -f2)
median() { # column: the median of that column of the lines on stdin
  sort -g -k"$1" | awk -v c="$1" '{v[NR] = $c} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}
median_k=$(printf '%s\n' "${results_k[@]}" | median 1)
median_m=$(printf '%s\n' "${results_m[@]}" | median 1)
median_cpu_k=$(printf '%s\n' "${results_k[@]}" | median 2)
median_cpu_m=$(printf '%s\n' "${results_m[@]}" | median 2)

frames=$("$cli" info "$input" | sed -n "s/^frames: //p")
"$cli" loudness "$input"
printf 'input: %s (%s bytes, %s frames)\n' "$input" "$(stat -c %s "$input")" "$frames"
printf 'best wall of %s: kerfline-cli loudness %s s, mpg123 -t %s s, ratio %.3f\n' \
  "$runs" "$best_k" "$best_m" "$(awk -v a="$best_k" -v b="$best_m" 'BEGIN {print a / b}')"
printf 'median wall of %s: kerfline-cli loudness %s s, mpg123 -t %s s, ratio %.3f\n' \
  "$runs" "$median_k" "$median_m" "$(awk -v a="$median_k" -v b="$median_m" 'BEGIN {print a / b}')"
printf 'median cpu (user+sys): kerfline-cli loudness %s s, mpg123 -t %s s, ratio %.3f\n' \
  "$median_cpu_k" "$median_cpu_m" "$(awk -v a="$median_cpu_k" -v b="$median_cpu_m" 'BEGIN {print a / b}')"
printf 'best cpu (user+sys): kerfline-cli loudness %s s, mpg123 -t %s s, ratio %.3f\n' \
  "$cpu_k" "$cpu_m" "$(awk -v a="$cpu_k" -v b="$cpu_m" 'BEGIN {print a / b}')"
echo "load after: $(uptime)"
printf 'peak RSS: kerfline-cli loudness %s KiB, mpg123 -t %s KiB\n' "$peak_k" "$peak_m"
