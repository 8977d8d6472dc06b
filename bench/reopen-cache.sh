#!/usr/bin/env bash
# Opening a 3-hour file in the window program the first time (the scan decodes it) and again (the
# load cache answers), as the time from the window being shown to "MP3 file has been loaded
# successfully!" in the log, with the program's peak memory; then, side by side in one run, the
# load of `kerfline-cli levels` against `mpg123 -t` on the same file (medians of ROUNDS rounds), and
# the peak memory of `kerfline-cli levels` on 12 hours.
#
#   bench/reopen-cache.sh [BUILD_DIR] [ROUNDS]
#
# Targets: a cached reopen at most 0.3 s; the load at most 0.55x mpg123 -t on two free cores; the
# command-line tool at most 100 MiB at 12 hours, the window program at most 250 MiB at 3 hours.
# Runs under Xvfb. The files are the ones bench/long-recordings.sh makes, in BUILD_DIR/bench/.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
rounds=${2:-3}
program="$build/kerfline"
cli="$build/kerfline-cli"
work="$build/bench"
hour="$work/hour-128k-stereo.mp3"

for tool in xvfb-run mpg123 python3 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing: $tool (scripts/install-deps.sh installs it)" >&2; exit 1; }
done
for binary in "$program" "$cli"; do
  [ -x "$binary" ] || { echo "missing: $binary (build first)" >&2; exit 1; }
done
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
three=$(joined 3h-128k-stereo 3)
twelve=$(joined 12h-128k-stereo 12)

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
unset QT_QPA_PLATFORM
export HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share"
export XDG_CACHE_HOME="$home/.cache" XDG_RUNTIME_DIR="$home/run" KERFLINE_REPORT_SHOWN=1
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME/Kerfline" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
log="$home/kerfline.log"
python3 "$here/../tests/app/smoke_driver.py" write-preferences "$XDG_DATA_HOME/Kerfline/preferences.dat" "$log"
export BENCH_HERE="$here"

cat "$three" >/dev/null
# One run of the window program: "seconds-to-loaded peak-MiB".
open_once() {
  rm -f "$log"
  xvfb-run -a -s "-screen 0 1280x800x24" python3 - "$program" "$log" "$three" <<'EOF'
import os, subprocess, sys, time
sys.path.insert(0, os.path.join(os.environ["BENCH_HERE"], "..", "tests", "app"))
from smoke_driver import Keyboard, exit_through_menu, log_text, wait_shown

program, log_file, mp3 = sys.argv[1:4]
proc = subprocess.Popen([program, mp3], stderr=subprocess.PIPE, text=True)
line = wait_shown(proc)
if not line:
    sys.exit("the window was never shown")
shown = int(line.split()[-1]) / 1000.0


def cpu_seconds():
    # utime + stime of every thread, so a busy machine's waiting is left out.
    with open(f"/proc/{proc.pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


cpu_shown = cpu_seconds()
end = time.time() + 600
while "MP3 file has been loaded successfully!" not in log_text(log_file):
    if time.time() > end or proc.poll() is not None:
        proc.kill()
        sys.exit("the file did not load:\n" + log_text(log_file))
    time.sleep(0.005)
loaded = time.time() - shown
cpu = cpu_seconds() - cpu_shown
with open(f"/proc/{proc.pid}/status") as f:
    peak = next(int(l.split()[1]) / 1024 for l in f if l.startswith("VmHWM:"))
keys = Keyboard()
keys.focus(int(line.split()[2], 16))
if not exit_through_menu(keys, proc):
    proc.kill()
print(f"{loaded:.3f} {cpu:.2f} {peak:.1f}")
EOF
}
read -r first first_cpu first_peak <<<"$(open_once)"
read -r again again_cpu again_peak <<<"$(open_once)"
entry=$(du -cb "$XDG_CACHE_HOME/kerfline" | tail -1 | cut -f1)

# The command-line tool keeps no load cache: every run scans.
wall() { # command...: wall seconds of one run
  /usr/bin/time -f '%e %M' -o "$home/time.txt" "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  cut -d' ' -f1 "$home/time.txt"
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
loads="" decodes=""
for ((round = 1; round <= rounds; round++)); do
  loads+="$(wall "$cli" levels "$three")"$'\n'
  decodes+="$(wall mpg123 -q -t "$three")"$'\n'
done
load=$(printf '%s' "$loads" | median)
decode=$(printf '%s' "$decodes" | median)
cat "$twelve" >/dev/null
wall "$cli" levels "$twelve" >/dev/null
cli_peak=$(awk '{ printf "%.1f", $2 / 1024 }' "$home/time.txt")

frames=$("$cli" info "$three" | awk '/^frames:/ { print $2 }')
printf 'file: %s (%s frames), load cache entry %s bytes\n' "$three" "$frames" "$entry"
printf 'window program, first open:  %7.3f s to a loaded view (%6.2f s cpu), peak %6.1f MiB\n' "$first" \
  "$first_cpu" "$first_peak"
printf 'window program, cached open: %7.3f s to a loaded view (%6.2f s cpu), peak %6.1f MiB   (%.3fx the first)\n' \
  "$again" "$again_cpu" "$again_peak" "$(echo "$again / $first" | bc -l)"
printf 'kerfline-cli levels %8.3f s, mpg123 -t %8.3f s: %.2fx (medians of %d rounds)\n' "$load" "$decode" \
  "$(echo "$load / $decode" | bc -l)" "$rounds"
printf 'kerfline-cli levels, 12 hours: peak %.1f MiB\n' "$cli_peak"
awk -v a="$again" -v r="$(echo "$load / $decode" | bc -l)" -v c="$cli_peak" -v w="$first_peak" -v w2="$again_peak" 'BEGIN {
  printf "targets: cached open <= 0.3 s %s; load <= 0.55x mpg123 -t %s; cli <= 100 MiB %s; window <= 250 MiB %s\n",
    a <= 0.3 ? "met" : "NOT met", r <= 0.55 ? "met" : "NOT met (needs two free cores)", c <= 100 ? "met" : "NOT met",
    (w <= 250 && w2 <= 250) ? "met" : "NOT met" }'
