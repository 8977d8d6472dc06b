#!/usr/bin/env bash
# Peak resident memory of the window program after it loads the 3-hour file and plays 10 s from
# about frame 300000, side by side with mpg123 in the same run: mpg123 -t on the whole file, and
# mpg123 playing the same 10 s through the same device.
#
#   bench/window-memory.sh [BUILD_DIR] [BUDGET_MIB]
#
# BUDGET_MIB sets the decoded-PCM budget (settings group "Memory") for the run; the default is the
# program's own.
# Runs under Xvfb. The sound device is JACK's dummy driver (paced in real time, no hardware), which
# PortAudio takes as its default when ALSA has no device. The 3-hour file is the one
# bench/long-recordings.sh makes, in BUILD_DIR/bench/.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
program="$build/kerfline"
work="$build/bench"
hour="$work/hour-128k-stereo.mp3"
three="$work/3h-128k-stereo.mp3"

for tool in xvfb-run xdotool jackd jack_wait mpg123 python3 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing: $tool (scripts/install-deps.sh installs it)" >&2; exit 1; }
done
[ -x "$program" ] || { echo "missing: $program (build first)" >&2; exit 1; }
mkdir -p "$work"
if [ ! -s "$hour" ]; then
  "$here/levels-vs-mpg123.sh" "$build" 1 >/dev/null
fi
if [ ! -s "$three" ]; then
  cat "$hour" "$hour" "$hour" >"$three.part"
  mv "$three.part" "$three"
fi

home=$(mktemp -d)
jack=""
cleanup() {
  [ -n "$jack" ] && kill "$jack" 2>/dev/null && wait "$jack" 2>/dev/null
  rm -rf "$home"
}
trap cleanup EXIT
unset QT_QPA_PLATFORM
export HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share"
export XDG_RUNTIME_DIR="$home/run" KERFLINE_REPORT_SHOWN=1 JACK_NO_AUDIO_RESERVATION=1
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME/Kerfline" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
log="$home/kerfline.log"
mkdir -p "$XDG_CONFIG_HOME/Velquorn Technology"
if [ -n "${2:-}" ]; then
  printf '[Memory]\nPcmBudgetBytes=%s\n' "$(($2 << 20))" >"$XDG_CONFIG_HOME/Velquorn Technology/Kerfline.conf"
fi
python3 "$here/../tests/app/smoke_driver.py" write-preferences "$XDG_DATA_HOME/Kerfline/preferences.dat" "$log"

# A period of 512 frames: with 1024, PortAudio's JACK host writes past its own buffer in blocking
# mode (AddressSanitizer shows the write inside libportaudio).
jackd --no-realtime -d dummy -r 44100 -p 512 >"$home/jackd.log" 2>&1 &
jack=$!
jack_wait -w -t 10 >/dev/null 2>&1 || { echo "jackd did not start:" >&2; cat "$home/jackd.log" >&2; exit 1; }

cat "$three" >/dev/null
frames=$("$build/kerfline-cli" info "$three" | awk '/^frames:/ { print $2 }')
export BENCH_HERE="$here" BENCH_FRAMES="$frames"
# What a real tool takes for the whole file, and for the same 10 s through the same device.
measure() { # command...: "wall-seconds peak-MiB"
  /usr/bin/time -f '%e %M' -o "$home/time.txt" "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  awk '{printf "%6.2f s wall %7.1f MiB peak", $1, $2 / 1024}' "$home/time.txt"
}
decode=$(measure mpg123 -q -t "$three")
play=$(measure mpg123 -q -o portaudio -k 300000 -n 383 "$three")

result=$(xvfb-run -a -s "-screen 0 1280x800x24" python3 - "$program" "$log" "$three" <<'EOF'
import os, re, subprocess, sys, time
sys.path.insert(0, os.path.join(os.environ["BENCH_HERE"], "..", "tests", "app"))
from smoke_driver import Keyboard, Screen, exit_through_menu, log_text, wait_for, wait_shown

program, log_file, mp3 = sys.argv[1:4]


def status(pid, field):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1]) / 1024
    return 0


proc = subprocess.Popen([program, mp3], stderr=subprocess.PIPE, text=True)
line = wait_shown(proc)
if not line:
    sys.exit("the window was never shown")
window = int(line.split()[2], 16)
if not wait_for(lambda: "MP3 file has been loaded successfully!" in log_text(log_file), 600):
    proc.kill()
    sys.exit("the file did not load:\n" + log_text(log_file))
loaded = status(proc.pid, "VmHWM")
keys = Keyboard()
keys.focus(window)
# The overview off (it draws the levels in the wave's colour), then the whole file in the view.
keys.press("Alt_L", "v")
keys.press("v")
keys.press("Control_L", "0")
time.sleep(1)
wave = (10, 161, 200)
width, columns = Screen(keys).columns_with(window, wave)
if not columns:
    proc.kill()
    sys.exit("no wave in the view")
# A click in the wave at frame 300000's column puts the cursor there; Space plays from it.
x = columns[0] + round((columns[-1] + 1 - columns[0]) * 300000 / int(os.environ["BENCH_FRAMES"]))
subprocess.run(["xdotool", "mousemove", "--window", str(window), str(x), "300", "click", "1"], check=True)
time.sleep(0.5)
keys.press("space")
if not wait_for(lambda: "Player now is playing mp3 from frame" in log_text(log_file), 10):
    proc.kill()
    sys.exit("did not play:\n" + log_text(log_file))
start = re.search(r"playing mp3 from frame (\d+)", log_text(log_file)).group(1)
time.sleep(10)
if proc.poll() is not None:
    sys.exit(f"the program ended while playing ({proc.returncode}):\n" + proc.stderr.read() + log_text(log_file))
keys.press("space")
time.sleep(0.5)
peak = status(proc.pid, "VmHWM")
rss = status(proc.pid, "VmRSS")
shared = status(proc.pid, "RssShmem")
failed = "Failed to call function waveOutOpen!" in log_text(log_file)
exit_through_menu(keys, proc)
if failed:
    sys.exit("the sound device did not open")
print(f"{loaded:.1f} {peak:.1f} {rss:.1f} {shared:.1f} {start}")
EOF
)
read -r loaded peak rss shared start <<<"$result"
budget="default"
[ -n "${2:-}" ] && budget="$2 MiB"
printf 'file: %s (%s frames), PCM budget %s\n' "$three" "$frames" "$budget"
printf 'kerfline, load + play 10 s from frame %s: peak %.1f MiB (after loading %.1f MiB; at the end %.1f MiB,\n' \
  "$start" "$peak" "$loaded" "$rss"
# JACK's client library maps its server's shared memory: a real device costs less.
printf '  %.1f MiB of it shared memory of the sound server)\n' "$shared"
printf 'mpg123 -t, whole file:                  %s\n' "$decode"
printf 'mpg123 -o portaudio, 10 s from 300000:  %s\n' "$play"
awk -v p="$peak" 'BEGIN { printf "target: at most 250 MiB peak: %s\n", p <= 250 ? "met" : "NOT met" }'
