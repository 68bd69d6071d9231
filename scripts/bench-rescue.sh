#!/usr/bin/env bash
# Benchmark of the i686 rescue program on real-sized hives (12 and 48 MiB: the demo hive grown
# with tens of thousands of keys and the usual values), natively (where the kernel runs 32-bit
# programs) and under qemu-i386 -cpu pentium2: the start time of --version, then the wall time
# (median of RUNS) and the peak resident size of --query and of --set (each set in a fresh data
# folder, so it makes its backup too), and the peak against the hive's size (target: at most 2x
# on a 32-bit system; under qemu the emulator's own memory counts too).
# The hives are the demo hive grown by hive_bench by 12 and 48 MiB of keys and values; the
# sizes printed are the files'. GNU time measures (package time).
# Usage: scripts/bench-rescue.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
[ -f build/linux-i686/build.ninja ] || cmake --preset linux-i686 >/dev/null
cmake --build --preset linux-i686 --target configurator >/dev/null
[ -f build/posix/build.ninja ] || cmake --preset posix >/dev/null
cmake --build --preset posix --target hive_bench >/dev/null
program=$PWD/build/linux-i686/programs/configurator
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
strip -o "$work/stripped" "$program"
echo "program: $(stat -c %s "$program") bytes, stripped $(stat -c %s "$work/stripped") (as in the tarball)"

XDG_DATA_HOME=$work/data "$program" --list-adapters >/dev/null 2>&1
runners=("qemu-i386 -cpu pentium2")
"$program" --version >/dev/null 2>&1 && runners=("" "${runners[@]}")
for mebibytes in 12 48; do
  hive=$work/SYSTEM-$mebibytes
  cp "$work/data/configurator/SYSTEM" "$hive"
  build/posix/tests/hive/hive_bench grow "$hive" "$mebibytes"
  for runner in "${runners[@]}"; do
    python3 - "$program" "$hive" "$work" "$runs" "$runner" <<'PY'
import os, shlex, statistics, subprocess, sys, time

program, hive, work, runs, runner = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]), sys.argv[5]
prefix = shlex.split(runner)
size = os.path.getsize(hive)
count = [0]

def fresh_env():
    count[0] += 1
    env = dict(os.environ)
    env["XDG_DATA_HOME"] = env["HOME"] = os.path.join(work, "xdg%d-%d" % (os.getpid(), count[0]))
    os.makedirs(os.path.join(env["XDG_DATA_HOME"], "configurator"))
    return env

def run(arguments, env=None):
    # Wall time and peak resident size from GNU time, a small process of its own (a fork of
    # this Python would count Python's own pages before the exec).
    start = time.perf_counter()
    out = subprocess.run(["/usr/bin/time", "-f", "%M"] + prefix + [program] + arguments, check=True,
                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, env=env).stderr.split()
    return time.perf_counter() - start, int(out[-1]) * 1024

def measure(make):
    results = [make(i) for i in range(runs)]
    return statistics.median(r[0] for r in results), max(r[1] for r in results)

start, start_peak = measure(lambda i: run(["--version"]))
query = measure(lambda i: run(["--hive", hive, "--query"]))
sets = measure(lambda i: run(["--hive", hive, "--set", "LODBias=" + ("0.50" if i % 2 else "1.00")], fresh_env()))
how = runner or "natively"
print("%.1f MiB hive, %s, %d runs (time: median; memory: the highest):" % (size / 2**20, how, runs))
print("  start (--version) %8.1f ms  peak %6.1f MiB" % (start * 1e3, start_peak / 2**20))
for name, (seconds, peak) in (("--query", query), ("--set", sets)):
    print("  %-17s %8.1f ms  peak %6.1f MiB = %.2fx the hive" % (name, seconds * 1e3, peak / 2**20, peak / size))
PY
  done
done
