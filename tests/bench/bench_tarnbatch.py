#!/usr/bin/env python3
"""Benchmark of the batch driver tarnbatch (run it through scripts/bench.sh).

Generates a data folder of board folders (data/NNNN/tarn_BBS.ini, about 1 KB
each: the companion's default [DIALOG] section and a [BASIC] section of twelve
keys with Shift-JIS values) and measures, natively and under Wine:

* folders per second of the driver, in runs that really change every file
  (NAME alternates between two values from one run to the next);
* folders per second of io_floor, a plain read / change one byte / write a
  temporary file / flush / rename loop over the same files: the floor any
  crash-safe rewrite of these files stands on;
* the driver's peak memory (maximum resident set) over a small tree and over
  the large one;
* under Wine, the start time of the companion qv_TarnUtil.exe, which the host
  runs once per board, against noop_console.exe, a console program that does
  nothing, built the same way (target: at most 1.5 times). The companion gets
  an argument that makes it do nothing, so both runs are start-up and exit.

Times are wall-clock times of whole program runs (start-up included), driver
and floor runs interleaved; the table gives the median of --repeat runs and,
after a slash, the best one (the least disturbed by other work on the
machine, which moves fsync times a lot). CPU time per folder (user + system,
from wait4(); under Wine the wineserver's CPU time during the run added) says
how much of a run is computing rather than waiting for the disk. Peak memory comes
from /proc: the highest VmHWM sampled in the child process and its
descendants while it runs (see PeakMemory). Under Wine the child is
scripts/wine-run.sh, which execs wine, which execs the Windows process
itself under the same process id, so that figure is the Windows process's own
peak (no other process is started per run); the wineserver, shared and
started before the runs, is not part of it and is reported on its own.
"""

import argparse
import itertools
import os
import re
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from collections import namedtuple
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))  # tests/, for testkit
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "e2e"))  # the default [DIALOG] section
from default_dialog import DIALOG_LINES  # noqa: E402
from testkit import crlf  # noqa: E402

SUMMARY = re.compile(r"folders visited: (\d+), files written: (\d+), files already up to date: (\d+)")

NAMES = ("名無し太郎", "名無し花子")


def board_file(number):
    basic = [
        "[BASIC]",
        "LIB=2ch",
        "BBSFOLDER=1",
        "URL=http://hayabusa%d.example.jp/test/read.cgi/news4vip/%010d/l50" % (number % 10, 1600000000 + number),
        "UPURL=http://hayabusa%d.example.jp/test/bbs.cgi?guid=ON&bbs=news4vip&key=%010d"
        % (number % 10, 1600000000 + number),
        "NAME=名無しさん＠お腹いっぱい。",
        "EMAIL=sage",
        "HP=http://www.example.jp/~tarn/boards/%04d/index.html" % number,
        "KEY=削除キー%04d" % number,
        "PARAM1=a",
        "PARAM2=2024/05/%02d,12:%02d" % (number % 28 + 1, number % 60),
        "USER=ユーザー%04d" % number,
        "PASS=パスワード%04d" % number,
        # Notes the host keeps beside the keys: the kind of text a real
        # [BASIC] section grows, bringing the file to about 1 KB.
        "; 掲示板: ニュー速VIP 第%d板 (巡回は毎時、未読は前回の続きから)" % number,
        "; 備考: 書き込みは sage 固定、名前欄は空欄にしないこと。過去ログは別フォルダへ移す。",
        "; 最終確認 2024/05/06 12:34 取得件数 1000 件 / 新着 %d 件" % (number % 1000),
        "; 巡回設定: 自動更新あり、更新間隔 60 分、スレッド一覧は毎回取り直す",
    ]
    return crlf(*DIALOG_LINES, *basic)


def generate(data, count):
    data.mkdir(parents=True, exist_ok=True)
    marker = data / (".generated-%d" % count)
    if marker.exists():
        return
    for number in range(count):
        folder = data / ("%04d" % number)
        folder.mkdir(exist_ok=True)
        (folder / "tarn_BBS.ini").write_bytes(board_file(number))
    marker.write_bytes(b"")


def tree_bytes(data):
    return sum(f.stat().st_size for f in data.glob("*/tarn_BBS.ini"))


Run = namedtuple("Run", "seconds cpu rss out")


class Runner:
    """Runs one configuration's programs: natively, or under Wine."""

    def __init__(self, name, bin_dir, suffix="", wine_run=None, prefix=None):
        self.name = name
        self.bin_dir = Path(bin_dir)
        self.suffix = suffix
        self.wine_run = wine_run
        self.prefix = prefix
        self.server = find_wineserver(prefix) if wine_run else None

    def program(self, name):
        return str(self.bin_dir / (name + self.suffix))

    def path(self, path):
        path = str(Path(path).resolve())
        return "Z:" + path.replace("/", "\\") if self.wine_run else path

    def command(self, program, args):
        command = [self.program(program)] + list(args)
        return [self.wine_run, self.prefix] + command if self.wine_run else command

    def run(self, program, *args):
        with tempfile.TemporaryFile() as out_file, tempfile.TemporaryFile() as err_file:
            server_cpu = process_cpu(self.server)
            start = time.perf_counter()
            child = subprocess.Popen(self.command(program, args), stdin=subprocess.DEVNULL, stdout=out_file,
                                     stderr=err_file)
            sampler = PeakMemory(child.pid)
            sampler.start()
            # Reaped here rather than by Popen, for the child's CPU times.
            _, status, usage = os.wait4(child.pid, 0)
            seconds = time.perf_counter() - start
            child.returncode = os.waitstatus_to_exitcode(status)
            cpu = usage.ru_utime + usage.ru_stime + process_cpu(self.server) - server_cpu
            sampler.join()
            out_file.seek(0)
            err_file.seek(0)
            out, err = out_file.read(), err_file.read()
        text = out.decode("cp932" if self.wine_run else "utf-8", "replace")
        if child.returncode != 0:
            raise SystemExit("%s %s failed (%d):\n%s%s" % (self.name, program, child.returncode, text,
                                                           err.decode("utf-8", "replace")))
        return Run(seconds, cpu, sampler.peak(), text)


class PeakMemory(threading.Thread):
    """Samples VmHWM (the peak resident set) of a process and of every process
    beneath it from /proc, every few milliseconds, until it ends.

    Not the child's rusage: ru_maxrss of a forked child also counts the
    memory of the forking Python process before the exec. VmHWM belongs to
    the program's own address space, and only rises, so the last sample is
    at most a few milliseconds of growth short."""

    def __init__(self, pid):
        super().__init__(daemon=True)
        self.pid = pid
        self.peaks = {}  # (pid, program) -> VmHWM in KiB

    def run(self):
        while True:
            pids = self.tree()
            if not pids:
                return
            for pid in pids:
                status = proc_status(pid)
                if "VmHWM" in status:
                    key = (pid, status.get("Name", "?"))
                    self.peaks[key] = max(self.peaks.get(key, 0), kib(status["VmHWM"]))
            time.sleep(0.002)

    def tree(self):
        """The process and its descendants, while the process has not ended."""
        if proc_stat(self.pid)[:1] in ([], ["Z"], ["X"]):
            return []
        pids, index = [self.pid], 0
        while index < len(pids):
            try:  # a process, or one of its threads, may end while it is read
                for task in Path("/proc/%d/task" % pids[index]).glob("*/children"):
                    pids += [int(p) for p in task.read_text().split()]
            except OSError:
                pass
            index += 1
        return pids

    def peak(self):
        """The highest VmHWM of any program the process ran (it execs its way
        from the shell script to the Windows program under Wine) or of any
        descendant."""
        return max(self.peaks.values(), default=0)


def find_wineserver(prefix):
    """The process id of the wineserver serving `prefix`, or None."""
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            if b"wineserver" not in (entry / "cmdline").read_bytes():
                continue
            if ("WINEPREFIX=" + str(prefix)).encode() in (entry / "environ").read_bytes().split(b"\0"):
                return int(entry.name)
        except OSError:
            continue
    return None


def proc_stat(pid):
    """The fields of /proc/PID/stat after the program's name ([] when gone)."""
    try:
        return Path("/proc/%d/stat" % pid).read_text().rsplit(")", 1)[1].split()
    except OSError:
        return []


def proc_status(pid):
    """The fields of /proc/PID/status by name ({} when gone or None)."""
    try:
        return dict(re.findall(r"^(\w+):\s*(.*)$", Path("/proc/%d/status" % pid).read_text(), re.M))
    except (OSError, TypeError):
        return {}


def kib(value):
    """A size of /proc/PID/status ("123 kB") in KiB."""
    return int(value.split()[0]) if value else 0


def process_cpu(pid):
    """User + system CPU seconds of a running process (0 for None)."""
    fields = proc_stat(pid) if pid is not None else []
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK") if fields else 0.0


def process_memory(pid):
    """(VmRSS, VmHWM) in KiB of a running process, or None."""
    status = proc_status(pid)
    return (kib(status.get("VmRSS")), kib(status.get("VmHWM"))) if status else None


def next_name(data):
    """The NAME value that differs from the one every file holds now."""
    current = (data / "0000" / "tarn_BBS.ini").read_bytes()
    return NAMES[1] if ("NAME=" + NAMES[0]).encode("cp932") in current else NAMES[0]


def driver_run(runner, data, journal=True):
    """One driver run that changes every file, with its journal (kept beside
    the trees) or without; (Run, folders visited)."""
    # The summary is read in English; the locale here is Japanese.
    keep = ["--journal", runner.path(data.parent.parent / "journal")] if journal else ["--no-journal"]
    run = runner.run("tarnbatch", "--lang=en", *keep, "--set", "NAME=" + next_name(data), runner.path(data))
    match = SUMMARY.search(run.out)
    if not match:
        raise SystemExit("no summary from %s: %r" % (runner.name, run.out))
    folders, written, _ = map(int, match.groups())
    if written != folders:
        raise SystemExit("%s wrote %d of %d files: the run must change every file" % (runner.name, written, folders))
    return run, folders


def floor_run(runner, data, count, *options):
    if "--walk" in options and (data / "tarn_BBS.ini").exists():
        count += 1  # a walk also finds the start folder's own file
    run = runner.run("io_floor", *options, runner.path(data))
    if run.out.strip() != "files: %d" % count:
        raise SystemExit("io_floor (%s) did not replace %d files: %r" % (runner.name, count, run.out))
    return run


def read_floor_run(runner, data, count, *options):
    """io_floor reading every file (over the listed data folder, or walking
    the tree with --walk), writing none or (--rewrite-one-in 100) one in a
    hundred: what --list and a --where run that writes few boards are
    measured against."""
    return floor_run(runner, data, count, "--read-only", *options)


def list_run(runner, data):
    """tarnbatch --list over the tree, its table written to a file."""
    table = data.parent / "boards.csv"
    run = runner.run("tarnbatch", "--lang=en", "--quiet", "--list", "--keys", "URL,NAME,PASS", "--output",
                     runner.path(table), runner.path(data))
    if run.out.strip() or not table.is_file():
        raise SystemExit("tarnbatch --list (%s) wrote no table: %r" % (runner.name, run.out))
    return run


# Chooses the boards whose thread number ends in 00: one in a hundred.
WHERE_ONE_PERCENT = "URL=*00/l50"


def where_run(runner, data, count, number=itertools.count()):
    """A run that reads every board and writes the 1 % its --where chooses
    (a USER of its own each time, so that the other runs' NAME stays the same
    in every board)."""
    journal = ["--journal", runner.path(data.parent.parent / "journal")]
    run = runner.run("tarnbatch", "--lang=en", *journal, "--where", WHERE_ONE_PERCENT,
                     "--set", "USER=chosen%d" % next(number), runner.path(data))
    match = SUMMARY.search(run.out)
    if not match or int(match.group(2)) != count // 100:
        raise SystemExit("tarnbatch --where (%s) did not write %d files: %r" % (runner.name, count // 100, run.out))
    return run


class Series:
    """Repeated runs of one program over one tree."""

    def __init__(self, folders=0):
        self.runs = []
        self.folders = folders

    def add(self, run):
        self.runs.append(run)
        return run

    def per_folder(self, best=False):
        times = [run.seconds for run in self.runs]
        return (min(times) if best else statistics.median(times)) / self.folders

    def rate(self):
        return "%.0f / %.0f" % (1 / self.per_folder(), 1 / self.per_folder(best=True))

    def cpu_ms(self):
        return 1000 * statistics.median(run.cpu for run in self.runs) / self.folders

    def rss(self):
        return max(run.rss for run in self.runs)


def start_times(runner, work, starts):
    """Median wall-clock seconds of a whole run of the companion (doing
    nothing) and of the no-op console program, started alternately."""
    folder = work / "starts"
    folder.mkdir(parents=True, exist_ok=True)
    programs = {"qv_TarnUtil": ["x"], "noop_console": []}
    times = {name: [] for name in programs}
    for _ in range(starts):
        for name, args in programs.items():
            start = time.perf_counter()
            # The programs by full path: they run in a folder of their own.
            command = [str(Path(runner.program(name)).resolve())] + args
            if runner.wine_run:
                command = [runner.wine_run, runner.prefix] + command
            status = subprocess.call(command, cwd=str(folder), stdin=subprocess.DEVNULL,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            times[name].append(time.perf_counter() - start)
            if status != 0:
                raise SystemExit("%s %s ended with status %d" % (runner.name, name, status))
    if list(folder.iterdir()):
        raise SystemExit("the companion wrote into %s, where it was to do nothing" % folder)
    return {name: statistics.median(t) for name, t in times.items()}


def measure(runner, big, big_count, small, small_count, repeat):
    driver, floor, replace = Series(), Series(big_count), Series(big_count)
    small_driver, small_floor, unjournaled = Series(), Series(small_count), Series()
    read_floor, listing, chosen = Series(big_count), Series(big_count), Series(big_count)
    walk_floor, walk_write_floor = Series(big_count), Series(big_count)
    for _ in range(repeat):
        run, driver.folders = driver_run(runner, big)
        driver.add(run)
        run, unjournaled.folders = driver_run(runner, big, journal=False)
        unjournaled.add(run)
        floor.add(floor_run(runner, big, big_count))
        line = "  %s: driver %.2f s (without journal %.2f s), floor %.2f s" % (
            runner.name, driver.runs[-1].seconds, unjournaled.runs[-1].seconds, floor.runs[-1].seconds)
        if runner.wine_run:
            line += ", floor with ReplaceFile %.2f s" % replace.add(
                floor_run(runner, big, big_count, "--replace-file")).seconds
        print(line, flush=True)
        read_floor.add(read_floor_run(runner, big, big_count))
        walk_floor.add(read_floor_run(runner, big, big_count, "--walk"))
        listing.add(list_run(runner, big))
        walk_write_floor.add(read_floor_run(runner, big, big_count, "--walk", "--rewrite-one-in", "100"))
        chosen.add(where_run(runner, big, big_count))
        print("  %s: read loop %.2f s (walking %.2f s), --list %.2f s, walking read loop rewriting 1 %% %.2f s, "
              "--where writing 1 %% %.2f s" % (runner.name, read_floor.runs[-1].seconds, walk_floor.runs[-1].seconds,
                                              listing.runs[-1].seconds, walk_write_floor.runs[-1].seconds,
                                              chosen.runs[-1].seconds), flush=True)
    for _ in range(repeat):
        run, small_driver.folders = driver_run(runner, small)
        small_driver.add(run)
        small_floor.add(floor_run(runner, small, small_count))
    return {"driver": driver, "floor": floor, "replace": replace, "small_driver": small_driver,
            "small_floor": small_floor, "unjournaled": unjournaled, "read_floor": read_floor, "listing": listing,
            "chosen": chosen, "walk_floor": walk_floor, "walk_write_floor": walk_write_floor}


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--native", required=True, help="folder of the native tarnbatch and io_floor")
    parser.add_argument("--windows", help="folder of tarnbatch.exe and io_floor.exe")
    parser.add_argument("--wine-run", help="scripts/wine-run.sh")
    parser.add_argument("--wine-prefix", help="Wine prefix, its wineserver already running")
    parser.add_argument("--work", required=True, help="folder for the generated trees")
    parser.add_argument("--folders", type=int, default=10000)
    parser.add_argument("--small", type=int, default=100)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--starts", type=int, default=50, help="starts of the companion and of the no-op program")
    args = parser.parse_args()
    if sys.getfilesystemencoding().lower() not in ("utf-8", "utf8"):
        raise SystemExit("run with PYTHONUTF8=1")

    work = Path(args.work).resolve()
    big, small = work / ("tree-%d" % args.folders) / "data", work / ("tree-%d" % args.small) / "data"
    print("generating %d and %d board folders under %s" % (args.folders, args.small, work), flush=True)
    generate(big, args.folders)
    generate(small, args.small)
    print("average tarn_BBS.ini: %d bytes" % (tree_bytes(big) // args.folders), flush=True)

    runners = [Runner("native", args.native)]
    if args.windows:
        if not (args.wine_run and args.wine_prefix):
            raise SystemExit("--windows needs --wine-run and --wine-prefix")
        runners.append(Runner("wine", args.windows, ".exe", args.wine_run, str(Path(args.wine_prefix).resolve())))

    results, server, starts = {}, {}, {}
    for runner in runners:
        print("running %s (%d rounds)" % (runner.name, args.repeat), flush=True)
        before = process_memory(runner.server) if runner.server else None
        results[runner.name] = measure(runner, big, args.folders, small, args.small, args.repeat)
        if runner.server:
            server[runner.name] = (before, process_memory(runner.server))
        if runner.wine_run:
            print("starting the companion and a no-op program %d times each" % args.starts, flush=True)
            starts[runner.name] = start_times(runner, work, args.starts)

    names = [runner.name for runner in runners]
    r = results

    def row(label, cell):
        return (label, *(cell(n) for n in names))

    def journal_cost(n):
        return r[n]["driver"].per_folder() / r[n]["unjournaled"].per_folder()

    def ratio(n, best=False):
        return r[n]["driver"].per_folder(best) / r[n]["floor"].per_folder(best)

    visited = r[names[0]]["driver"].folders
    rows = [
        ("", *names),
        row("driver, folders/s (median / best)", lambda n: r[n]["driver"].rate()),
        row("driver without journal, folders/s", lambda n: r[n]["unjournaled"].rate()),
        row("time with journal / without (median)", lambda n: "%.2f" % journal_cost(n)),
        row("floor, folders/s (median / best)", lambda n: r[n]["floor"].rate()),
        row("driver time / floor time per folder", lambda n: "%.2f / %.2f" % (ratio(n), ratio(n, True))),
        row("--list time / read loop over the listed folders", lambda n: "%.2f" % (
            r[n]["listing"].per_folder() / r[n]["read_floor"].per_folder())),
        row("--list time / read loop walking the tree (target 1.3)", lambda n: "%.2f" % (
            r[n]["listing"].per_folder() / r[n]["walk_floor"].per_folder())),
        row("--where writing 1 % / read loop over the listed folders", lambda n: "%.2f" % (
            r[n]["chosen"].per_folder() / r[n]["read_floor"].per_folder())),
        row("--where writing 1 % / walking read loop rewriting 1 % (target 1.3)", lambda n: "%.2f" % (
            r[n]["chosen"].per_folder() / r[n]["walk_write_floor"].per_folder())),
        row("floor with ReplaceFile, folders/s", lambda n: r[n]["replace"].rate() if r[n]["replace"].runs else "-"),
        row("CPU ms per folder, driver / floor", lambda n: "%.2f / %.2f" % (r[n]["driver"].cpu_ms(),
                                                                           r[n]["floor"].cpu_ms())),
        row("driver peak RSS, %d folders" % r[names[0]]["small_driver"].folders,
            lambda n: "%d KiB" % r[n]["small_driver"].rss()),
        row("driver peak RSS, %d folders" % visited, lambda n: "%d KiB" % r[n]["driver"].rss()),
        row("floor peak RSS, %d / %d folders" % (args.small, args.folders),
            lambda n: "%d / %d KiB" % (r[n]["small_floor"].rss(), r[n]["floor"].rss())),
    ]
    if server:
        rows.append(row("wineserver RSS before / after (peak)", lambda n: "%d / %d KiB (%d)" % (
            server[n][0][0], server[n][1][0], server[n][1][1]) if n in server and all(server[n]) else "-"))

    if starts:
        rows.append(row("companion start, ms (median): qv_TarnUtil / no-op", lambda n: "%.1f / %.1f" % (
            1000 * starts[n]["qv_TarnUtil"], 1000 * starts[n]["noop_console"]) if n in starts else "-"))
    widths = [max(len(line[i]) for line in rows) for i in range(len(rows[0]))]
    print()
    for index, line in enumerate(rows):
        print("  ".join(cell.ljust(widths[i]) if i == 0 else cell.rjust(widths[i]) for i, cell in enumerate(line)))
        if index == 0:
            print("  ".join("-" * w for w in widths))
    print()
    print("%d runs each; a driver run visits %d folders (the data folder and its %d board folders)"
          % (args.repeat, visited, args.folders))
    for n in names:
        target = 1.3 if n == "wine" else 1.1  # Wine's own calls cost more than the floor can show
        print("%s: the driver takes %.2fx the floor's time per folder (median; target %.1fx: %s); peak memory "
              "%d KiB at %d folders, %d KiB at %d" % (
                  n, ratio(n), target, "met" if ratio(n) <= target else "MISSED", r[n]["small_driver"].rss(),
                  r[n]["small_driver"].folders, r[n]["driver"].rss(), visited))
    for n in names:
        print("%s: with the journal a run takes %.2fx its time without (target at most 1.15x: %s)" % (
            n, journal_cost(n), "met" if journal_cost(n) <= 1.15 else "MISSED"))
    for n, t in starts.items():
        factor = t["qv_TarnUtil"] / t["noop_console"]
        print("%s: the companion starts in %.2fx the time of a no-op console program (median of %d; "
              "target 1.5x: %s)" % (n, factor, args.starts, "met" if factor <= 1.5 else "MISSED"))


if __name__ == "__main__":
    main()
