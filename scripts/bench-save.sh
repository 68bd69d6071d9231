#!/usr/bin/env bash
# Benchmark of the program on a real-sized hive (at least 32 MiB, tens of thousands of keys with
# the usual values), one run printing three ratios, each a median of several runs:
#   query:  configurator --hive H --query          against  hivexget of one value of H
#   set:    configurator --hive H --set NAME=VALUE  against  hivexget + cp + sync of H
#           (each set in a fresh data folder, so it makes its backup of the hive too)
#   memory: the peak resident size of configurator (query and set) against the size of H
# Targets: query and set at most 2x, memory at most 2x.
# Usage: scripts/bench-save.sh [RUNS] [BUILD-DIR] [MEBIBYTES]
# BUILD-DIR: build/bench, the bench preset's (the default), or a configured build of your own.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-9}
build=${2:-build/bench}
mebibytes=${3:-32}
# The bench preset (CMakePresets.json: optimised, in build/bench), or a build of your own.
if [ "$build" = build/bench ]; then
  cmake --preset bench >/dev/null
  cmake --build --preset bench --target hive_bench configurator -j2 >/dev/null
else
  cmake --build "$build" --target hive_bench configurator -j2 >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The program makes the demo hive on first use; the helper grows it with keys and values.
hive=$work/SYSTEM
XDG_DATA_HOME=$work/data "$build/programs/configurator" --list-adapters >/dev/null 2>&1
cp "$work/data/configurator/SYSTEM" "$hive"
"$build/tests/hive/hive_bench" grow "$hive" "$mebibytes"

python3 - "$build/programs/configurator" "$hive" "$work" "$runs" <<'EOF'
import os, resource, statistics, subprocess, sys, time

program, hive, work, runs = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
board = r"\Registry\Machine\System\ControlSet001\Control\Video\{8C4E1B2A-3D5F-4A6B-9E7C-1F2A3B4C5D6E}\0000"
handoff = "\\\\.\\DISPLAY2&&&" + board
settings = r"ControlSet001\Control\Video\{8C4E1B2A-3D5F-4A6B-9E7C-1F2A3B4C5D6E}\0000\D3D"
size = os.path.getsize(hive)

def timed(command, env=None):
    start = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
    return time.perf_counter() - start

def peak(command, env=None):
    # The largest resident size of a child, from a process of its own (so no earlier child counts).
    probe = ("import resource, subprocess, sys; subprocess.run(sys.argv[1:], check=True,"
             " stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL);"
             " print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)")
    out = subprocess.run([sys.executable, "-c", probe] + command, check=True, capture_output=True, text=True, env=env)
    return int(out.stdout) * 1024

counter = [0]
def fresh_env():
    counter[0] += 1
    env = dict(os.environ)
    env["XDG_DATA_HOME"] = os.path.join(work, "xdg%d" % counter[0])
    env["HOME"] = env["XDG_DATA_HOME"]
    # Made here while the program makes only the last levels of its data folder.
    os.makedirs(os.path.join(env["XDG_DATA_HOME"], "configurator"))
    return env

def set_command(i):
    return [program, "--hive", hive, "--set", "LODBias=" + ("0.50" if i % 2 else "1.00"), handoff]

query = [program, "--hive", hive, "--query", handoff]
hivexget = ["hivexget", hive, settings, "QLDRV_LOD_BIAS"]
def copy_and_sync():
    start = time.perf_counter()
    subprocess.run(hivexget, check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cp", hive, os.path.join(work, "copy")], check=True)
    subprocess.run(["sync", os.path.join(work, "copy")], check=True)
    elapsed = time.perf_counter() - start
    os.remove(os.path.join(work, "copy"))
    return elapsed

def remove(path):
    subprocess.run(["rm", "-rf", path], check=True)

timed(query); timed(hivexget)  # warm the page cache
q = statistics.median(timed(query) for _ in range(runs))
g = statistics.median(timed(hivexget) for _ in range(runs))
sets = []
for i in range(runs):
    env = fresh_env()
    sets.append(timed(set_command(i), env))
    remove(env["XDG_DATA_HOME"])
s = statistics.median(sets)
c = statistics.median(copy_and_sync() for _ in range(runs))
env = fresh_env()
memory_set = peak(set_command(1), env)
remove(env["XDG_DATA_HOME"])
memory_query = peak(query)

print("hive: %.1f MiB, %d runs each (medians)" % (size / 2**20, runs))
print("query:  configurator %7.1f ms   hivexget of one value %7.1f ms   ratio %.2fx (target <= 2)" % (q * 1e3, g * 1e3, q / g))
print("set:    configurator %7.1f ms   hivexget + cp + sync  %7.1f ms   ratio %.2fx (target <= 2)" % (s * 1e3, c * 1e3, s / c))
print("memory: peak of --set %.1f MiB (%.2fx the hive), of --query %.1f MiB (%.2fx) (target <= 2)" %
      (memory_set / 2**20, memory_set / size, memory_query / 2**20, memory_query / size))
EOF
