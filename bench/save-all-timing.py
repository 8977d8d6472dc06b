"""Times Save All of SOURCE into 100 pieces at AT, for each variant, against `cp` of the file.

Usage: save-all-timing.py CLI SOURCE WORK AT ROUNDS NAME=ARGS... -- NUM/DEN[<=GOAL]...
A variant's ARGS are extra `split` options separated by spaces (empty for none). A ratio line divides
the median of NUM by that of DEN; `cp` is a name too.
"""
import os, shutil, statistics, subprocess, sys, time

cli, source, work, at, rounds = sys.argv[1:5] + [int(sys.argv[5])]
rest = sys.argv[6:]
split_at = rest.index("--")
variants = dict(entry.split("=", 1) for entry in rest[:split_at])
ratios = rest[split_at + 1:]


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
    run = subprocess.run([cli, "split", source, "-o", work, "--at", at, "--timing"] + extra.split(),
                         check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    pieces = len(os.listdir(work))
    assert pieces == 100, pieces
    return float(run.stderr.split("save_all_ms:")[1].split()[0])


times = {"cp": []} | {name: [] for name in variants}
for _ in range(rounds):
    times["cp"].append(copy())
    for name, extra in variants.items():
        times[name].append(save_all(extra))
shutil.rmtree(work, ignore_errors=True)
median = {name: statistics.median(values) for name, values in times.items()}
for name, value in median.items():
    print(f"{name:24s} median {value:7.1f} ms")
for ratio in ratios:
    pair, _, goal = ratio.partition("<=")
    num, den = pair.split("/")
    line = f"ratio {num} / {den}"
    print(f"{line:40s} {median[num] / median[den]:.2f}" + (f"  (goal <= {goal})" if goal else ""))
