#!/usr/bin/env bash
# Save Edited Copy of the 3-hour file with 50 removed stretches (`kerfline-cli edit`) against `cp` of
# the same file, alternating in one run; prints both medians and their ratio (target: at most 1.3).
# The edit is also timed with its syncs made no-ops (eatmydata): how far the copy is from cp when
# nothing waits for the disk, which no durable copy can beat.
#
#   bench/edit-vs-cp.sh [BUILD_DIR] [ROUNDS]
#
# The 3-hour file is the bench hour (made by bench/levels-vs-mpg123.sh) three times over, as in
# bench/long-recordings.sh; both are kept in BUILD_DIR/bench/.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
rounds=${2:-7}
cli="$build/kerfline-cli"
work="$build/bench"
hour="$work/hour-128k-stereo.mp3"
three="$work/3h-128k-stereo.mp3"

[ -x "$cli" ] || { echo "missing: $cli (build first)" >&2; exit 1; }
command -v eatmydata >/dev/null || { echo "missing: eatmydata (scripts/install-deps.sh)" >&2; exit 1; }
mkdir -p "$work"
if [ ! -s "$hour" ]; then
  "$here/levels-vs-mpg123.sh" "$build" 1 >/dev/null
fi
if [ ! -s "$three" ]; then
  cat "$hour" "$hour" "$hour" >"$three.part"
  mv "$three.part" "$three"
fi

frames=$("$cli" info "$three" | sed -n 's/^frames: //p')
# 50 stretches of 2 to 40 seconds, spread over the file.
ranges=()
for i in $(seq 0 49); do
  from=$((frames * (2 * i + 1) / 101))
  ranges+=(--remove "$from-$((from + 77 + (i * 37) % 1460))")
done

out="$work/edit-run"
mkdir -p "$out"
now() { date +%s.%N; }
edit_times=()
cp_times=()
cp_sync_times=()
cp_fsync_times=()
unsynced_times=()
for round in $(seq "$rounds"); do
  rm -f "$out/edited.mp3" "$out/copy.mp3"
  start=$(now)
  "$cli" edit "$three" -o "$out/edited.mp3" "${ranges[@]}" >/dev/null
  edit_times+=("$(echo "$(now) - $start" | bc)")
  start=$(now)
  cp "$three" "$out/copy.mp3"
  cp_times+=("$(echo "$(now) - $start" | bc)")
  rm -f "$out/copy.mp3"
  # The edited copy is synced before its rename: this cp is made as durable.
  start=$(now)
  cp "$three" "$out/copy.mp3"
  sync -f "$out/copy.mp3"
  cp_sync_times+=("$(echo "$(now) - $start" | bc)")
  rm -f "$out/copy.mp3"
  # sync -f writes out the whole file system, other programs' writes too; the edited copy syncs
  # itself and its folder only, as this does.
  start=$(now)
  cp "$three" "$out/copy.mp3"
  sync "$out/copy.mp3" "$out"
  cp_fsync_times+=("$(echo "$(now) - $start" | bc)")
  rm -f "$out/copy.mp3" "$out/unsynced.mp3"
  start=$(now)
  eatmydata "$cli" edit "$three" -o "$out/unsynced.mp3" "${ranges[@]}" >/dev/null
  unsynced_times+=("$(echo "$(now) - $start" | bc)")
  # The disk's share of the durable edit: write the unsynced copy out before the next round.
  sync "$out/unsynced.mp3"
  rm -f "$out/unsynced.mp3"
done
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
edit=$(median "${edit_times[@]}")
copy=$(median "${cp_times[@]}")
copy_sync=$(median "${cp_sync_times[@]}")
copy_fsync=$(median "${cp_fsync_times[@]}")
unsynced=$(median "${unsynced_times[@]}")
echo "3h file: $(stat -c %s "$three") bytes, $frames frames; edited copy: $(stat -c %s "$out/edited.mp3") bytes"
# Other work on the machine shows in every figure: note it beside them.
echo "load average at the end: $(cut -d ' ' -f 1-3 /proc/loadavg)"
echo "kerfline-cli edit (50 removed): ${edit}s median of $rounds"
echo "cp:                             ${copy}s median of $rounds"
echo "cp + sync -f:                   ${copy_sync}s median of $rounds"
echo "cp + sync of copy and folder:   ${copy_fsync}s median of $rounds"
echo "edit with no-op syncs:          ${unsynced}s median of $rounds (eatmydata; not durable)"
echo "ratio edit/(cp + sync -f):               $(echo "scale=2; $edit / $copy_sync" | bc) (target <= 1.3)"
echo "ratio edit/(cp + sync of copy, folder):  $(echo "scale=2; $edit / $copy_fsync" | bc)"
echo "ratio edit/cp:                           $(echo "scale=2; $edit / $copy" | bc)"
echo "ratio (edit with no-op syncs)/cp:         $(echo "scale=2; $unsynced / $copy" | bc)"
echo "ratio (cp + sync of copy, folder)/cp:     $(echo "scale=2; $copy_fsync / $copy" | bc) (the disk's share)"
rm -rf "$out"
