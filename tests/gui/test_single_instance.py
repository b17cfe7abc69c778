#!/usr/bin/env python3
"""TarnUtil.exe runs once per session: a second start raises the running
instance's window and ends; many starts at once leave one window; once the
instance has ended, a new start opens normally."""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402

SECOND_START_LIMIT = 20  # seconds a second start may take to end


class SingleInstance(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.session = harness.Session(120, "null").start()
        cls.probe = cls.session.probe
        cls.host = cls.session.host(plugins=[], boards=["b"])
        cls.exe = cls.host / "TarnUtil.exe"

    @classmethod
    def tearDownClass(cls):
        cls.session.stop()

    def tearDown(self):
        self.session.end_utilities()

    def count(self):
        return self.probe("count_main")["count"]

    def test_second_start_raises_the_first_window_and_ends(self):
        first = self.session.start_utility(self.exe)
        main = self.probe("find", "main")["hwnd"]
        decoy = self.probe("decoy")
        self.assertTrue(decoy["foreground"], "the probe's own window took the foreground")
        self.assertFalse(self.probe("foreground")["is_main"])

        second = self.session.launch(self.exe)
        self.assertEqual(second.wait(timeout=SECOND_START_LIMIT), 0)
        self.assertEqual(self.count(), 1, "no second main window")
        self.assertEqual(self.probe("find", "main")["hwnd"], main, "the first window stays")
        foreground = self.probe("foreground")
        self.assertTrue(foreground["is_main"], f"foreground is {foreground}")
        self.assertIsNone(first.process.poll(), "the first instance runs on")

        # A third start while the first still runs, from another folder.
        elsewhere = self.session.new_folder("cwd")
        third = self.session.launch(self.exe, cwd=elsewhere)
        self.assertEqual(third.wait(timeout=SECOND_START_LIMIT), 0)
        self.assertEqual(self.count(), 1)
        self.assertEqual(list(elsewhere.iterdir()), [], "a second start writes nothing")

    def test_ten_starts_at_once_leave_one_window(self):
        starts = [self.session.launch(self.exe) for _ in range(10)]
        self.probe("wait_main", harness.MAIN_WAIT_MS)
        # All but one end by themselves, with status 0.
        ended = harness.wait_for(lambda: [s for s in starts if s.process.poll() is not None]
                                 if sum(s.process.poll() is not None for s in starts) >= 9 else None,
                                 timeout=30)
        self.assertTrue(ended, "nine of the ten starts end")
        self.assertEqual([s.process.returncode for s in ended], [0] * len(ended))
        running = [s for s in starts if s.process.poll() is None]
        self.assertEqual(len(running), 1, "one instance keeps running")
        self.assertEqual(self.count(), 1)
        self.assertEqual(self.session.close_utility(running[0]), 0)
        self.assertEqual(self.count(), 0)

    def test_a_start_after_the_instance_ended_opens_normally(self):
        for _ in range(2):
            utility = self.session.start_utility(self.exe)
            self.assertEqual(self.count(), 1)
            info = self.probe.info("main")
            self.assertTrue(info["visible"])
            self.assertEqual(self.session.close_utility(utility), 0)
            self.probe("wait_no_main", 10000)
        self.assertEqual(self.count(), 0)

    def test_a_start_while_the_first_is_starting_ends_quietly(self):
        # The second start follows the first at once, while the first may
        # still be creating its window: it must end with 0 and no message box.
        first = self.session.launch(self.exe)
        second = self.session.launch(self.exe)
        self.probe("wait_main", harness.MAIN_WAIT_MS)
        ended = harness.wait_for(lambda: first.process.poll() is not None or second.process.poll() is not None,
                                 timeout=SECOND_START_LIMIT)
        self.assertTrue(ended, "one of the two ends")
        codes = [u.process.poll() for u in (first, second)]
        self.assertIn(0, codes)
        self.assertIn(None, codes, "the other keeps running")
        self.assertEqual(self.count(), 1)
        self.assertEqual(self.probe.find_dialog(None, "*", 300)["hwnd"], 0, "no message box")


if __name__ == "__main__":
    unittest.main(verbosity=2)
