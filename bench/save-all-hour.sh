#!/bin/sh
# Save All of a 60-minute 128 kbit/s file into 100 pieces (and with 2 s of overlap), timed against
# `cp` of the same file in the same run; prints the median times and the ratios.
# Usage: bench/save-all-hour.sh BUILD_DIR [ROUNDS]
set -eu
build=$(cd "${1:?usage: save-all-hour.sh BUILD_DIR [ROUNDS]}" && pwd)
rounds=${2:-9}
data="$build/bench-data"
source="$data/hour.mp3"
mkdir -p "$data"
if [ ! -f "$source" ]; then
    echo "making $source (sox + lame, once) ..." >&2
    sox -n -r 44100 -c 2 -t wav - synth 3600 sine 300-3000 tremolo 3 40 2>/dev/null |
        lame --quiet -b 128 - "$source.tmp"
    mv "$source.tmp" "$source"
fi
frames=$("$build/kerfline-cli" info "$source" | sed -n 's/^frames: //p')
at=$(awk -v f="$frames" 'BEGIN { s = ""; for (i = 1; i < 100; i++) s = s (i > 1 ? "," : "") int(i * f / 100); print s }')
work="$data/save-all-run"

python3 "$(dirname "$0")/save-all-timing.py" "$build/kerfline-cli" "$source" "$work" "$at" "$rounds" \
    save_all= save_all_overlap_2s="--overlap 2" -- 'save_all/cp<=2' 'save_all_overlap_2s/cp<=2.5'
