#!/bin/sh
# split over 8 files of 20 minutes (128 kbit/s) with --jobs 2 against --jobs 1 in the same run, cut
# every 10 minutes; prints the median times and the ratio, which should stay at or below 0.6. The
# pieces are durable, so `cp` of the same 8 files and one `sync -f` is timed in the same rounds: the
# disk's floor, which no number of jobs goes below.
# EXTRA is added to the split command: "--near-silence 30" decodes every file for its levels, which
# the level scan already spreads over two cores.
# Usage: bench/split-jobs.sh BUILD_DIR [ROUNDS] [EXTRA]
set -eu
build=$(cd "${1:?usage: split-jobs.sh BUILD_DIR [ROUNDS]}" && pwd)
rounds=${2:-3}
extra=${3:-}
data="$build/bench-data"
one="$data/twenty-minutes.mp3"
mkdir -p "$data"
if [ ! -f "$one" ]; then
    echo "making $one (sox + lame, once) ..." >&2
    sox -n -r 44100 -c 2 -t wav - synth 1200 sine 300-3000 tremolo 3 40 2>/dev/null |
        lame --quiet -b 128 - "$one.tmp"
    mv "$one.tmp" "$one"
fi
work="$data/split-jobs"
rm -rf "$work"
mkdir -p "$work/in"
for n in 1 2 3 4 5 6 7 8; do
    cp "$one" "$work/in/file$n.mp3"
done

# Seconds of one run of split with JOBS jobs.
run() {
    rm -rf "$work/out"
    start=$(date +%s.%N)
    # shellcheck disable=SC2086 # EXTRA is split into options on purpose
    "$build/kerfline-cli" split "$work"/in/*.mp3 -o "$work/out" --length 600 $extra --jobs "$1" >/dev/null 2>&1
    end=$(date +%s.%N)
    echo "$start $end" | awk '{ printf "%.3f\n", $2 - $1 }'
}

# Seconds of one copy of the 8 files put on the disk.
copy() {
    rm -rf "$work/out"
    mkdir -p "$work/out"
    start=$(date +%s.%N)
    cp "$work"/in/*.mp3 "$work/out/" && sync -f "$work/out"
    end=$(date +%s.%N)
    echo "$start $end" | awk '{ printf "%.3f\n", $2 - $1 }'
}

median() {
    sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

: >"$work/jobs1"
: >"$work/jobs2"
: >"$work/copies"
i=0
while [ "$i" -lt "$rounds" ]; do
    run 1 >>"$work/jobs1"
    run 2 >>"$work/jobs2"
    copy >>"$work/copies"
    i=$((i + 1))
done
one_job=$(median <"$work/jobs1")
two_jobs=$(median <"$work/jobs2")
copies=$(median <"$work/copies")
ratio=$(echo "$two_jobs $one_job" | awk '{ printf "%.3f", $1 / $2 }')
floor=$(echo "$copies $one_job" | awk '{ printf "%.3f", $1 / $2 }')
echo "split of 8 x 20 min, --length 600 $extra: --jobs 1 ${one_job} s, --jobs 2 ${two_jobs} s (medians of $rounds)"
echo "cp of the 8 files + sync -f: ${copies} s"
echo "ratio jobs2/jobs1: $ratio (goal <= 0.6); (cp+sync)/jobs1: $floor, the lowest ratio the disk allows"
rm -rf "$work"
