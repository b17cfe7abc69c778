#!/usr/bin/env python3
"""Benchmark of the window's batch: TarnUtil.exe under Wine (null driver)
rewrites every tarn_BBS.ini of a tree of board folders, with its journal and
without (TARNUTIL_JOURNAL=off, the benchmark's switch), driven by the GUI
tests' probe. Prints the seconds from the press of 一括設定 to
"一括設定が終了しました", median of --repeat runs each, and their ratio; and,
interleaved with them in the same prefix over the same tree, whole runs of
tarnbatch.exe (start-up included) with its journal and without, for the
window's time against the driver's (target at most 1.1 times). Then the
board list: the seconds from opening it (the system menu's 板の一覧) to every
row shown, against tarnbatch.exe --list writing the same tree's table.

Environment as for the GUI tests (TARN_UTILITY, TARN_PROBE, TARN_GUI_WORK,
TARN_WINE_PREFIX_SCRIPT); scripts/bench.sh sets them.
"""

import argparse
import statistics
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "gui"))
import harness  # noqa: E402
from harness import crlf, sjis  # noqa: E402

DONE = sjis("一括設定が終了しました")
NAMES = ["ベンチ一", "ベンチ二"]


def make_host(session, folders):
    return session.board_host(folders, lambda i: crlf("[BASIC]", "URL=http://example.jp/%d/" % i, "NAME=名無し"))


def timed_batch(session, host, name, journal):
    """One batch that changes every file; its seconds."""
    session.env["TARNUTIL_JOURNAL"] = "on" if journal else "off"
    utility = session.start_utility(host / "TarnUtil.exe", session.new_folder("cwd"))
    probe = session.probe
    probe.tick_name(name)
    probe("press", probe.open_start_dialog(), 1)
    harness.wait_for(lambda: probe.text("Label_StartDir"), timeout=30)
    label = probe.info("Label_ConfAll")["hwnd"]
    started = time.monotonic()
    probe("post_click", "Button_ConfAll")
    # Polled by its handle, ten times a second: every question the probe asks
    # is a round trip through the wineserver the batch itself waits on.
    done = lambda: harness.from_hex(probe("text", label)["text"]) == DONE  # noqa: E731
    if harness.wait_for(done, timeout=600, step=0.1) is not True:
        raise SystemExit("the batch did not end")
    seconds = time.monotonic() - started
    session.close_utility(utility)
    return seconds


def timed_list(session, host, folders):
    """The board list opened over `host`'s data; seconds until every board is a row."""
    utility = session.start_utility(host / "TarnUtil.exe", session.new_folder("cwd"))
    probe = session.probe
    whole = sjis("%d / %d 板" % (folders, folders))
    started = time.monotonic()
    probe("post", "main", 0x0112, 0x0120, 0)  # WM_SYSCOMMAND, the board list's entry
    label = harness.wait_for(lambda: probe.try_("info", "Label_BoardCount").get("hwnd"), timeout=60)
    shown = harness.wait_for(lambda: probe.try_("text", label).get("text") == whole.hex(), timeout=600, step=0.1)
    if shown is not True:
        raise SystemExit("the list did not fill")
    seconds = time.monotonic() - started
    session.close_utility(utility)
    return seconds


def timed_tarnbatch_list(session, host):
    """tarnbatch.exe --list over the same data, its table into a file; seconds."""
    program = Path(harness.config().utility).parent / "tarnbatch.exe"
    output = session.new_folder("table") / "boards.csv"
    started = time.monotonic()
    subprocess.run(["wine", str(program), "--list", "--output", harness.win_path(output).decode("cp932"),
                    harness.win_path(host / "data").decode("cp932")], env=session.env, check=True,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.monotonic() - started


def bench_list(session, host, folders, repeat):
    window, driver = [], []
    for _ in range(repeat):
        window.append(timed_list(session, host, folders))
        driver.append(timed_tarnbatch_list(session, host))
        print("  board list over %d boards: %.2f s; tarnbatch.exe --list: %.2f s" % (folders, window[-1], driver[-1]),
              flush=True)
    shown, listed = statistics.median(window), statistics.median(driver)
    print("board list: every row shown in %.2fx the time of tarnbatch.exe --list (%.2f s / %.2f s, median of %d; "
          "target at most 1.5x: %s)" % (shown / listed, shown, listed, repeat, "met" if shown / listed <= 1.5 else "MISSED"))


def timed_driver(session, host, name, journal):
    """One run of tarnbatch.exe (beside TarnUtil.exe) over the data folder the
    window's batch writes, changing every file; its seconds."""
    driver = Path(session.cfg.utility).parent / "tarnbatch.exe"

    def windows(path):  # as typed on the command line: Wine takes it from UTF-8
        return "Z:" + str(path).replace("/", "\\")

    keep = ["--journal", windows(session.new_folder("journal"))] if journal else ["--no-journal"]
    command = ["wine", windows(driver), "--lang=en", *keep, "--set", "NAME=" + name, windows(host / "data")]
    started = time.monotonic()
    status = subprocess.call(command, env=session.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
    seconds = time.monotonic() - started
    if status != 0:
        raise SystemExit("tarnbatch.exe ended with status %d" % status)
    return seconds


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--folders", type=int, default=10000)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--list-only", action="store_true", help="time only the board list")
    args, _ = parser.parse_known_args()  # scripts/bench.sh passes the driver's options too
    session = harness.Session(120, "null").start()
    try:
        host = make_host(session, args.folders)
        bench_list(session, host, args.folders, args.repeat)
        if args.list_only:
            return
        times = {(program, journal): [] for program in ("window", "driver") for journal in (True, False)}
        batches = 0
        for run in range(args.repeat):
            for journal in (True, False):
                # Each batch changes every file: the name alternates.
                for program, batch in (("window", timed_batch), ("driver", timed_driver)):
                    batches += 1
                    seconds = batch(session, host, NAMES[batches % 2], journal)
                    times[program, journal].append(seconds)
                    print("  %s batch over %d folders, %s journal: %.2f s" % (
                        program, args.folders, "with" if journal else "without", seconds), flush=True)
    finally:
        session.stop()
    median = {key: statistics.median(values) for key, values in times.items()}
    on, off = median["window", True], median["window", False]
    print("window: with the journal a batch takes %.2fx its time without (%.2f s / %.2f s, median of %d; "
          "target at most 1.15x: %s)" % (on / off, on, off, args.repeat, "met" if on / off <= 1.15 else "MISSED"))
    driver = median["driver", True]
    print("window: its batch takes %.2fx the time of tarnbatch.exe over the same tree, both with the journal "
          "(%.2f s / %.2f s, median of %d; target at most 1.1x: %s)" % (
              on / driver, on, driver, args.repeat, "met" if on / driver <= 1.1 else "MISSED"))


if __name__ == "__main__":
    main()
