#!/usr/bin/env bash
# Peak resident memory and wall time of the command-line tool on long recordings, side by side with
# `mpg123 -t` in the same run: `levels` on 20 minutes, 1, 3 and 12 hours, then `wav` and
# `split --count 100` on the 3-hour file.
#
#   bench/long-recordings.sh [BUILD_DIR]
#
# The hour is the one bench/levels-vs-mpg123.sh makes; the longer files join its frames end to end,
# the 20 minutes are its first third. All are kept in BUILD_DIR/bench/.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
cli="$build/kerfline-cli"
work="$build/bench"
hour="$work/hour-128k-stereo.mp3"

for tool in mpg123 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done
[ -x "$cli" ] || { echo "missing: $cli (build first)" >&2; exit 1; }
mkdir -p "$work"

if [ ! -s "$hour" ]; then
  "$here/levels-vs-mpg123.sh" "$build" 1 >/dev/null
fi

joined() { # name copies: the hour's frames `copies` times over
  local out="$work/$1.mp3" i
  if [ ! -s "$out" ]; then
    for i in $(seq "$2"); do cat "$hour"; done >"$out.part"
    mv "$out.part" "$out"
  fi
  echo "$out"
}

twenty="$work/20min-128k-stereo.mp3"
if [ ! -s "$twenty" ]; then
  # A third of the bytes; the reader drops the frame cut short at the end.
  head -c $(($(stat -c %s "$hour") / 3)) "$hour" >"$twenty"
fi
three=$(joined 3h-128k-stereo 3)
twelve=$(joined 12h-128k-stereo 12)

# On a busy machine wall time mostly measures waiting for a core; CPU time is shown beside it.
measure() { # command...: "wall-seconds cpu-seconds peak-MiB" of one run
  /usr/bin/time -f '%e %U %S %M' -o "$work/time.txt" "$@" >/dev/null 2>&1 || {
    echo "failed: $*" >&2
    exit 1
  }
  awk '{printf "%7.2f s wall %7.2f s cpu %7.1f MiB", $1, $2 + $3, $4 / 1024}' "$work/time.txt"
}

printf '%-6s %-42s %-42s %s\n' file "kerfline-cli levels" "mpg123 -t" "ratio wall, cpu"
for input in "$twenty" "$hour" "$three" "$twelve"; do
  cat "$input" >/dev/null
  k=$(measure "$cli" levels "$input")
  m=$(measure mpg123 -q -t "$input")
  ratio=$(echo "$k $m" | awk '{ printf "%.2f, %.2f", $1 / $9, $4 / $12 }')
  printf '%-6s %-42s %-42s %s\n' "$(basename "$input" -128k-stereo.mp3)" "$k" "$m" "$ratio"
done

out="$work/out"
rm -rf "$out"
mkdir -p "$out"
echo
echo "3h kerfline-cli wav:               $(measure "$cli" wav "$three" "$out/3h.wav")"
rm -f "$out/3h.wav"
echo "3h kerfline-cli split --count 100: $(measure "$cli" split "$three" -o "$out" --count 100)"
rm -rf "$out"
