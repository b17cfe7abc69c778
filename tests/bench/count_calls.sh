#!/usr/bin/env bash
# Counts, per file, the wineserver requests and the Linux system calls that one
# rewrite costs tarnbatch.exe and the I/O floor under Wine, and tarnbatch.exe's
# requests by thread (the walk's, the listing's, the flushing ones):
#   tests/bench/count_calls.sh [WORK_FOLDER]    (default build/bench/calls;
#   TARN_WINDOWS_BIN=FOLDER counts the programs of another build)
# Each program runs over 100 and over 200 generated boards; the difference of
# the two runs divided by 100 is the cost of one board folder without the
# start-up. Requests come from the log of a wineserver started with -d1 (one
# line per request and one per reply; only the requests are counted), system
# calls from strace -f -c of the program's own process.
set -euo pipefail
cd "$(dirname "$0")/../.."
work=$(realpath -m "${1:-build/bench/calls}")
bin=${TARN_WINDOWS_BIN:-$PWD/build/windows/bin}  # another build's programs to compare
mkdir -p "$work"
export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=ja_JP.UTF-8
[ -f "$WINEPREFIX/.tarn-ready" ] || { scripts/wine-prefix.sh start "$WINEPREFIX"; scripts/wine-prefix.sh stop "$WINEPREFIX"; }
PYTHONUTF8=1 python3 - "$work" <<'PY'
import sys
sys.path[:0] = ["tests/bench", "tests"]
from pathlib import Path
import bench_tarnbatch
for n in (100, 200):
    bench_tarnbatch.generate(Path(sys.argv[1]) / ("tree-%d" % n) / "data", n)
PY

windows_path() { echo "Z:$(echo "$1" | tr / '\\')"; }
journal=$(windows_path "$work/journal")
run() {  # LABEL BOARDS: one run of the program LABEL names, under strace
    local tree; tree=$(windows_path "$work/tree-$2/data")
    case $1 in
    tarnbatch) set -- "$bin/tarnbatch.exe" --lang=en --journal "$journal" --set "NAME=$RANDOM" "$tree" ;;
    floor) set -- "$bin/io_floor.exe" "$tree" ;;
    esac
    strace -f -c -o "$out.strace" wine "$@" >/dev/null 2>&1 </dev/null
}
for program in tarnbatch floor; do
    for boards in 100 200; do
        out=$work/$program-$boards
        wineserver -k 2>/dev/null || true
        wineserver -f -d1 2>"$out.server" &
        server=$!
        wine cmd /c exit 0 >/dev/null 2>&1 </dev/null  # the services start outside the count
        start=$(wc -l <"$out.server")
        run "$program" "$boards"
        wineserver -k
        wait "$server" || true
        tail -n +"$((start + 1))" "$out.server" >"$out.requests"
    done
done

python3 - "$work" <<'PY'
import collections, re, sys
work = sys.argv[1]

def requests(path, by=2):
    """Requests in a wineserver log by name (by=2), or by thread (by=1)."""
    counts = collections.Counter()
    for line in open(path, errors="replace"):
        m = re.match(r"^([0-9a-f]{4}): (\w+)\( ", line)
        if m:
            counts[m.group(by)] += 1
    return counts

def syscalls(path):
    counts = collections.Counter()
    for line in open(path):
        fields = line.split()
        if len(fields) >= 5 and fields[0][0].isdigit() and fields[-1] != "total":
            counts[fields[-1]] += int(fields[3])
    return counts

for kind, read in (("wineserver requests", requests), ("system calls", syscalls)):
    suffix = ".requests" if read is requests else ".strace"
    per_file = {}
    for program in ("tarnbatch", "floor"):
        small, large = read(f"{work}/{program}-100{suffix}"), read(f"{work}/{program}-200{suffix}")
        per_file[program] = {k: (large[k] - small[k]) / 100 for k in set(small) | set(large)}
    print(f"{kind} per file: tarnbatch.exe {sum(per_file['tarnbatch'].values()):.1f}, "
          f"floor {sum(per_file['floor'].values()):.1f}")
    names = sorted(set(per_file["tarnbatch"]) | set(per_file["floor"]),
                   key=lambda k: -per_file["tarnbatch"].get(k, 0))
    for name in names:
        a, b = per_file["tarnbatch"].get(name, 0), per_file["floor"].get(name, 0)
        if max(abs(a), abs(b)) >= 0.5:
            print(f"  {name:28} {a:6.1f} {b:6.1f}")

# tarnbatch.exe lists folders and flushes files on threads of its own: its
# requests by thread (the line's prefix), the busiest (the walk's) first.
small, large = (sorted(requests(f"{work}/tarnbatch-{n}.requests", by=1).values(), reverse=True) for n in (100, 200))
threads = [(b - a) / 100 for a, b in zip(small, large)]
print("tarnbatch.exe requests per file by thread, busiest first: " +
      ", ".join(f"{t:.1f}" for t in threads if abs(t) >= 0.05))
PY
