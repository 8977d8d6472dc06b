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

python3 "$(dirname "$0")/save-all-timing.py" "$build/kerfline-cli" "$source" "$work" "$at" "$rounds" \
    save_all= save_all_gapless_tags="--gapless --copy-tags" -- 'save_all_gapless_tags/save_all<=1.5' save_all/cp
