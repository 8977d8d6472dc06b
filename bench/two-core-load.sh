#!/usr/bin/env bash
# The loading scan on two cores against `mpg123 -t`, side by side in one run: wall and CPU time of
# `kerfline-cli levels` as it runs by default (split over the cores), of the same scan forced into
# file order (KERFLINE_SCAN_IN_ORDER=1), and of `mpg123 -t`, on the same hour of MP3. The three run
# in turn, round after round; the medians and the median of each round's ratios are printed. Before
# timing, the levels of both scans are compared byte for byte (`levels --raw`) on the hour and on
# the 20-minute file.
#
#   bench/two-core-load.sh [BUILD_DIR] [ROUNDS]
#
# The hour is the one bench/levels-vs-mpg123.sh makes; the 20 minutes are its first third. On a
# machine busy with other work the second core is not free and the split scan cannot gain: compare
# the CPU times then.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
rounds=${2:-5}
cli="$build/kerfline-cli"
work="$build/bench"
hour="$work/hour-128k-stereo.mp3"
twenty="$work/20min-128k-stereo.mp3"

for tool in mpg123 /usr/bin/time cmp; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done
[ -x "$cli" ] || { echo "missing: $cli (build first)" >&2; exit 1; }
mkdir -p "$work"
if [ ! -s "$hour" ]; then
  "$here/levels-vs-mpg123.sh" "$build" 1 >/dev/null
fi
if [ ! -s "$twenty" ]; then
  head -c $(($(stat -c %s "$hour") / 3)) "$hour" >"$twenty"
fi

for input in "$twenty" "$hour"; do
  "$cli" levels --raw "$input" >"$work/levels-split.txt"
  KERFLINE_SCAN_IN_ORDER=1 "$cli" levels --raw "$input" >"$work/levels-in-order.txt"
  if cmp -s "$work/levels-split.txt" "$work/levels-in-order.txt"; then
    echo "levels identical to the scan in file order: $(basename "$input") ($(wc -l <"$work/levels-split.txt") frames)"
  else
    echo "LEVELS DIFFER from the scan in file order: $(basename "$input")" >&2
    exit 1
  fi
done
rm -f "$work/levels-split.txt" "$work/levels-in-order.txt"

run() { # label command...: appends "label wall cpu" to the results
  local label=$1
  shift
  /usr/bin/time -f '%e %U %S' -o "$work/time.txt" "$@" >/dev/null 2>&1 || {
    echo "failed: $*" >&2
    exit 1
  }
  awk -v l="$label" '{ printf "%s %s %.2f\n", l, $1, $2 + $3 }' "$work/time.txt" >>"$work/rounds.txt"
}

rm -f "$work/rounds.txt"
cat "$hour" >/dev/null
for _ in $(seq "$rounds"); do
  run split "$cli" levels "$hour"
  run order env KERFLINE_SCAN_IN_ORDER=1 "$cli" levels "$hour"
  run mpg123 mpg123 -q -t "$hour"
done

awk '
  function median(values, n,    i, j, t) {
    for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (values[j] < values[i]) { t = values[i]; values[i] = values[j]; values[j] = t }
    return n % 2 ? values[(n + 1) / 2] : (values[n / 2] + values[n / 2 + 1]) / 2
  }
  { n[$1]++; wall[$1, n[$1]] = $2; cpu[$1, n[$1]] = $3 }
  END {
    rounds = n["mpg123"]
    for (r = 1; r <= rounds; r++) {
      ws[r] = wall["split", r]; wo[r] = wall["order", r]; wm[r] = wall["mpg123", r]
      cs[r] = cpu["split", r]; co[r] = cpu["order", r]; cm[r] = cpu["mpg123", r]
      rs[r] = wall["split", r] / wall["mpg123", r]; ro[r] = wall["order", r] / wall["mpg123", r]
    }
    printf "1 h, %d rounds, medians      wall s   cpu s   wall / mpg123 -t (median of rounds)\n", rounds
    printf "kerfline-cli levels (split)  %6.2f  %6.2f   %.2f\n", median(ws, rounds), median(cs, rounds), median(rs, rounds)
    printf "kerfline-cli levels (order)  %6.2f  %6.2f   %.2f\n", median(wo, rounds), median(co, rounds), median(ro, rounds)
    printf "mpg123 -t                    %6.2f  %6.2f\n", median(wm, rounds), median(cm, rounds)
  }' "$work/rounds.txt"
