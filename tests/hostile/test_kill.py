#!/usr/bin/env python3
"""The batch driver killed (SIGKILL) at random moments during a run over 2,000
board folders, again and again: afterwards every tarn_BBS.ini of the tree holds
either its bytes from before that run or exactly its new bytes, never a part
or a mix, and at most one group of temporary files (those being written at
the kill) is left behind; undo, from the journal the killed run left, gives
every file back its bytes from before that run and removes that run's
temporary files; and a last whole run leaves none of the killed runs'
temporary files.

Environment: TARNBATCH, TARN_HOSTILE_WORK as for the hostile trees;
TARN_KILL_RUNS (default 25: how many runs must be cut by the kill) and TARN_KILL_SEED (default: random, printed) to
repeat a run. Prints "kill test: R runs killed, F files checked, ..." at the end.
"""

import os
import random
import signal
import subprocess
import time
import unittest
from pathlib import Path

from hostile_common import SETTINGS_FILE, TEMPORARY_MARK, Fields, HostileTest, crlf, driver, rules

FOLDERS = 2000
GROUP = 64  # files prepared, journaled and then replaced together


class KillTest(HostileTest):

    def build(self):
        rels = []
        for i in range(FOLDERS):
            # Two levels, so that the walk goes up and down.
            rel = Path("板%03d" % (i // 40), "スレ%04d" % i) if i % 40 else Path("板%03d" % (i // 40))
            (self.root / rel).mkdir(parents=True, exist_ok=True)
            content = crlf("[DIALOG]", "_NAME=名前:", "[BASIC]", "URL=http://example.jp/%d/" % i,
                           "NAME=名無し%d" % i, "EMAIL=sage", "PARAM2=%d" % (i * 7))
            (self.root / rel / SETTINGS_FILE).write_bytes(content + b"x" * (i % 300))
            rels.append(rel / SETTINGS_FILE)
        return [Path(SETTINGS_FILE)] + rels

    def read_all(self, files):
        return {rel: (self.root / rel).read_bytes() if (self.root / rel).exists() else None for rel in files}

    def test_killed_runs_leave_old_or_new_bytes(self):
        runs = int(os.environ.get("TARN_KILL_RUNS", "25"))  # runs that must be killed mid-way
        seed = int(os.environ.get("TARN_KILL_SEED", str(random.randrange(1 << 30))))
        rng = random.Random(seed)
        files = self.build()

        # One whole run first, to know how long a run takes.
        started = time.monotonic()
        done = subprocess.run([driver(), "--set", "NAME=全部", str(self.root)], stdout=subprocess.DEVNULL,
                              stderr=subprocess.PIPE, timeout=300)
        duration = time.monotonic() - started
        self.assertEqual(done.returncode, 0, done.stderr)

        checked = killed = finished = new_seen = old_seen = left = undone = 0
        seen_temporaries = set()
        run = 0
        while killed < runs and run < 4 * runs:
            run += 1
            # Each run writes different values, so that every file changes.
            value = "値%d-%d" % (run, rng.randrange(10 ** 6))
            fields = Fields({"NAME": value, "PARAM1": "p%d" % run}, bbsfolder=run % 2 == 0)
            args = ["--set", "NAME=" + value, "--set", "PARAM1=p%d" % run, "--set",
                    "BBSFOLDER=" + ("1" if run % 2 == 0 else "")]
            before = self.read_all(files)
            delay = rng.uniform(0.0, duration * 0.9)
            proc = subprocess.Popen([driver()] + args + [str(self.root)], stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL)
            time.sleep(delay)
            if proc.poll() is None:
                proc.send_signal(signal.SIGKILL)
                killed += 1
            else:
                # The machine runs faster than the first run showed: aim
                # earlier from now on, so that most runs are really cut.
                finished += 1
                duration = min(duration, delay)
            proc.wait(timeout=60)

            after = self.read_all(files)
            for rel in files:
                new = rules.settings_after_batch(before[rel], fields)
                if after[rel] == new:
                    new_seen += 1
                elif after[rel] == before[rel]:
                    old_seen += 1
                else:
                    self.fail("run %d (seed %d, killed after %.3f s): %s holds neither its old nor its new bytes"
                              % (run, seed, delay, rel))
                checked += 1
            # Those of earlier kills go at the start of the next run, unless
            # it was killed before.
            temporaries = set(self.root.rglob("*" + TEMPORARY_MARK + "*")) - seen_temporaries
            self.assertLessEqual(len(temporaries), GROUP, "run %d (seed %d): %s" % (run, seed, temporaries))
            left += len(temporaries)
            seen_temporaries |= temporaries
            # Nothing but settings files and folders in the tree.
            self.assertEqual(sum(1 for _ in self.root.rglob("*.ini")), len(files))

            # Every other run that changed something is taken back: each file
            # gets the bytes it had before, wherever the kill cut the run. (A
            # run killed before its first change left nothing to take back;
            # an undo then would take back the run before it.)
            if run % 2 == 0 and after != before:
                undo = subprocess.run([driver(), "--lang=en", "--undo"], stdout=subprocess.PIPE,
                                      stderr=subprocess.PIPE, timeout=300)
                self.assertEqual(undo.returncode, 0, undo.stderr)
                self.assertEqual(self.read_all(files), before, "run %d (seed %d): undo after a kill at %.3f s"
                                 % (run, seed, delay))
                self.assertIn(b"changed since (left alone): 0", undo.stdout)
                self.assertEqual([p for p in temporaries if p.exists()], [],
                                 "run %d (seed %d): the undo removes the killed run's temporary files" % (run, seed))
                undone += 1

        last = subprocess.run([driver(), "--set", "NAME=最後", str(self.root)], stdout=subprocess.DEVNULL,
                              stderr=subprocess.PIPE, timeout=300)
        self.assertEqual(last.returncode, 0, last.stderr)
        self.assertEqual(list(self.root.rglob("*" + TEMPORARY_MARK + "*")), [],
                         "seed %d: a whole run removes every temporary file the killed runs left" % seed)

        self.assertGreaterEqual(killed, runs, "too few runs were killed mid-way to mean anything")
        print("\nkill test: %d runs killed (%d finished before the kill), %d files checked, "
              "%d old and %d new, %d temporary files left by kills, %d runs undone, seed %d"
              % (killed, finished, checked, old_seen, new_seen, left, undone, seed), flush=True)


if __name__ == "__main__":
    unittest.main(verbosity=2)
