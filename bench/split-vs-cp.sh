#!/bin/sh
# `kerfline-cli split` of a 20-minute 128 kbit/s file into 100 equal pieces against `cp` of the same
# file, side by side in one run: wall time of the whole command, pieces durable and atomic. Prints
# the medians and the ratio (goal <= 2.5). Other splitters are not run: `cp` is the floor. The pieces
# are synced before their names stand, so `cp` + `sync -f` is shown too: the floor of a durable copy;
# and `floor`, a program that makes the same 100 pieces with only the system calls a durable split
# needs (bench/floor), shows how far the split's own work is from what the disk and kernel ask.
# Usage: bench/split-vs-cp.sh BUILD_DIR [ROUNDS]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: split-vs-cp.sh BUILD_DIR [ROUNDS]}" && pwd)
rounds=${2:-9}
work="$build/bench"
hour="$work/hour-128k-stereo.mp3"
twenty="$work/20min-128k-stereo.mp3"
mkdir -p "$work"
[ -s "$hour" ] || "$here/levels-vs-mpg123.sh" "$build" 1 >/dev/null
# A third of the hour's bytes, as bench/long-recordings.sh makes it.
[ -s "$twenty" ] || head -c $(($(stat -c %s "$hour") / 3)) "$hour" >"$twenty"
cat "$twenty" >/dev/null
out="$work/split-vs-cp-out"
python3 "$here/split-timing.py" "$rounds" "$out" \
    cp="cp '$twenty' '$out/copy.mp3'" \
    cp+sync="cp '$twenty' '$out/copy.mp3' && sync -f '$out/copy.mp3'" \
    split="'$build/kerfline-cli' split '$twenty' -o '$out' --count 100" \
    floor="'$build/bench/kerfline_split_floor' '$twenty' '$out' 100" \
    -- 'split/cp<=2.5' 'split/cp+sync' 'floor/cp' 'split/floor'
