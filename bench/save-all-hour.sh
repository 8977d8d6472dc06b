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

python3 - "$build/kerfline-cli" "$source" "$work" "$at" "$rounds" <<'PY'
import os, shutil, statistics, subprocess, sys, time
cli, source, work, at, rounds = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4], int(sys.argv[5])

def fresh():
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)

def copy():
    fresh()
    started = time.perf_counter()
    subprocess.run(["cp", source, os.path.join(work, "copy.mp3")], check=True)
    return (time.perf_counter() - started) * 1000

def save_all(extra):
    fresh()
    run = subprocess.run([cli, "split", source, "-o", work, "--at", at, "--timing"] + extra,
                         check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    pieces = len(os.listdir(work))
    assert pieces == 100, pieces
    return float(run.stderr.split("save_all_ms:")[1].split()[0])

times = {"cp": [], "save_all": [], "save_all_overlap_2s": []}
for _ in range(rounds):
    times["cp"].append(copy())
    times["save_all"].append(save_all([]))
    times["save_all_overlap_2s"].append(save_all(["--overlap", "2"]))
shutil.rmtree(work, ignore_errors=True)
median = {name: statistics.median(values) for name, values in times.items()}
for name, value in median.items():
    print(f"{name:22s} median {value:7.1f} ms")
print(f"ratio save_all / cp             {median['save_all'] / median['cp']:.2f}  (goal <= 2)")
print(f"ratio save_all overlap 2s / cp  {median['save_all_overlap_2s'] / median['cp']:.2f}  (goal <= 2.5)")
PY
