#!/bin/sh
# Save All of a 60-minute 128 kbit/s file with a tag and a 64 KiB cover into 100 pieces: plain, and with
# --gapless --copy-tags, side by side in one run, with `cp` of the same file as the floor. Prints the
# median times and the ratio of the two Save Alls.
# Usage: bench/save-all-gapless-tags.sh BUILD_DIR [ROUNDS]
set -eu
build=$(cd "${1:?usage: save-all-gapless-tags.sh BUILD_DIR [ROUNDS]}" && pwd)
rounds=${2:-7}
data="$build/bench-data"
plain="$data/hour.mp3"
source="$data/hour-tagged.mp3"
mkdir -p "$data"
if [ ! -f "$plain" ]; then
    echo "making $plain (sox + lame, once) ..." >&2
    sox -n -r 44100 -c 2 -t wav - synth 3600 sine 300-3000 tremolo 3 40 2>/dev/null |
        lame --quiet -b 128 - "$plain.tmp"
    mv "$plain.tmp" "$plain"
fi
if [ ! -f "$source" ]; then
    # An ID3v2.4 tag (title, artist, album, a cover) ahead of the same audio.
    python3 - "$plain" "$source" <<'PY'
import os, sys
def synchsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])
def frame(ident, body):
    return ident.encode() + synchsafe(len(body)) + b"\0\0" + body
def text(ident, value):
    return frame(ident, b"\x03" + value.encode())
cover = b"\x03image/jpeg\0\x03\0" + b"\xff\xd8" + os.urandom(64 * 1024) + b"\xff\xd9"
body = text("TIT2", "An hour") + text("TPE1", "Bench") + text("TALB", "Kerfline") + frame("APIC", cover)
tag = b"ID3\x04\x00\x00" + synchsafe(len(body)) + body
with open(sys.argv[1], "rb") as audio, open(sys.argv[2], "wb") as out:
    out.write(tag)
    out.write(audio.read())
PY
fi
frames=$("$build/kerfline-cli" info "$source" | sed -n 's/^frames: //p')
at=$(awk -v f="$frames" 'BEGIN { s = ""; for (i = 1; i < 100; i++) s = s (i > 1 ? "," : "") int(i * f / 100); print s }')
work="$data/save-all-gapless-run"

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

times = {"cp": [], "save_all": [], "save_all_gapless_tags": []}
for _ in range(rounds):
    times["cp"].append(copy())
    times["save_all"].append(save_all([]))
    times["save_all_gapless_tags"].append(save_all(["--gapless", "--copy-tags"]))
shutil.rmtree(work, ignore_errors=True)
median = {name: statistics.median(values) for name, values in times.items()}
for name, value in median.items():
    print(f"{name:24s} median {value:7.1f} ms")
print(f"ratio gapless+tags / plain  {median['save_all_gapless_tags'] / median['save_all']:.2f}  (goal <= 1.5)")
print(f"ratio plain / cp            {median['save_all'] / median['cp']:.2f}")
PY
