"""Times shell commands side by side, round after round, and prints medians and ratios of medians.

Usage: split-timing.py ROUNDS FRESH_DIR NAME=COMMAND... -- NUM/DEN[<=GOAL]...
FRESH_DIR is emptied before every run, so each one writes into an empty folder. The commands run in
turn within each round, so a machine that gets busier slows them all alike; on a shared machine the
ratios are rough.
"""
import os, shutil, statistics, subprocess, sys, time

rounds, fresh = int(sys.argv[1]), sys.argv[2]
rest = sys.argv[3:]
split_at = rest.index("--")
commands = dict(entry.split("=", 1) for entry in rest[:split_at])
ratios = rest[split_at + 1:]

times = {name: [] for name in commands}
for _ in range(rounds):
    for name, command in commands.items():
        shutil.rmtree(fresh, ignore_errors=True)
        os.makedirs(fresh)
        started = time.perf_counter()
        subprocess.run(command, shell=True, check=True, stdout=subprocess.DEVNULL)
        times[name].append((time.perf_counter() - started) * 1000)
shutil.rmtree(fresh, ignore_errors=True)
median = {name: statistics.median(values) for name, values in times.items()}
for name, value in median.items():
    spread = f"{min(times[name]):.0f}-{max(times[name]):.0f}"
    print(f"{name:20s} median {value:8.1f} ms  (range {spread} ms, {rounds} runs)")
for ratio in ratios:
    pair, _, goal = ratio.partition("<=")
    num, den = pair.split("/")
    line = f"ratio {num} / {den}"
    print(f"{line:40s} {median[num] / median[den]:.2f}" + (f"  (goal <= {goal})" if goal else ""))
