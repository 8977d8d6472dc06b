#!/bin/sh
# `kerfline-cli split` into 100 pieces of a 60-minute file with an ID3v2 tag and a 64 KiB cover (the
# cover goes into every piece: 6.4 MB on top of the hour's 57 MB):
# plain, and with --gapless --copy-tags, side by side in one run, with `cp` of the file as the floor.
# Prints the medians and the ratio of the two splits (goal <= 1.15).
# Usage: bench/gapless-vs-plain.sh BUILD_DIR [ROUNDS]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: gapless-vs-plain.sh BUILD_DIR [ROUNDS]}" && pwd)
rounds=${2:-9}
work="$build/bench"
hour="$work/hour-128k-stereo.mp3"
tagged="$work/hour-tagged.mp3"
mkdir -p "$work"
[ -s "$hour" ] || "$here/levels-vs-mpg123.sh" "$build" 1 >/dev/null
if [ ! -s "$tagged" ]; then
    python3 - "$hour" "$tagged" <<'PY'
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
with open(sys.argv[1], "rb") as audio, open(sys.argv[2] + ".part", "wb") as out:
    out.write(tag)
    out.write(audio.read())
os.rename(sys.argv[2] + ".part", sys.argv[2])
PY
fi
cat "$tagged" >/dev/null
out="$work/gapless-vs-plain-out"
cli="$build/kerfline-cli"
python3 "$here/split-timing.py" "$rounds" "$out" \
    cp="cp '$tagged' '$out/copy.mp3'" \
    plain="'$cli' split '$tagged' -o '$out' --count 100" \
    gapless_tags="'$cli' split '$tagged' -o '$out' --count 100 --gapless --copy-tags" \
    -- 'gapless_tags/plain<=1.15' plain/cp
