"""Harness of the GUI tests: Wine sessions, the utility, the probe, screenshots.

A Session is one Wine prefix of the GUI tests' own (one per screen resolution
and graphics driver, kept under the build folder and made once by
scripts/wine-prefix.sh), its persistent wineserver and, for screenshot runs,
an Xvfb display. In a session the tests start TarnUtil.exe in host folders of
their own and drive it through one tarnprobe.exe process, which answers one
JSON line per command (tests/gui/tarnprobe.cpp). Texts cross the probe as hex
of their Shift-JIS bytes.

Named by the environment (tests/gui/CMakeLists.txt sets them):
  TARN_UTILITY      TarnUtil.exe
  TARN_PROBE        tarnprobe.exe
  TARN_GUI_WORK     folder for prefixes, host folders and screenshots
  TARN_WINE_PREFIX_SCRIPT  scripts/wine-prefix.sh
"""

import functools
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

WINE_ENV = {"WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml=", "LC_ALL": "ja_JP.UTF-8"}
MAIN_WAIT_MS = 20000
START_DIR_CAPTION = "一括設定の開始フォルダを選んでください"


sys.path.insert(0, str(Path(__file__).resolve().parents[1]))  # tests/, for testkit
from testkit import CRLF, crlf, environment, sjis  # noqa: E402,F401


def to_hex(data):
    """A text or bytes as the probe takes it: hex of Shift-JIS, "-" when empty."""
    if isinstance(data, str):
        data = sjis(data)
    return data.hex() if data else "-"


def from_hex(hex_text):
    return bytes.fromhex(hex_text)


def win_path(path):
    """The Windows path (drive Z: is /) of a Unix path, as Shift-JIS bytes."""
    return sjis("Z:" + str(path).replace("/", "\\"))


def scaled(value, dpi):
    """A length of the 120-DPI design at another resolution: MulDiv rounding."""
    return (value * dpi + 60) // 120 if value >= 0 else -((-value * dpi + 60) // 120)


class Config:
    def __init__(self):
        utility, probe, work, self.prefix_script = environment(
            "TARN_UTILITY", "TARN_PROBE", "TARN_GUI_WORK", "TARN_WINE_PREFIX_SCRIPT")
        self.utility, self.probe, self.work = Path(utility), Path(probe), Path(work)
        if not self.utility.is_file():
            raise unittest.SkipTest(f"{self.utility} is not built")
        self.work.mkdir(parents=True, exist_ok=True)


@functools.lru_cache(maxsize=None)
def config():
    """The one Config of the process, made at first use."""
    return Config()


class ProbeError(Exception):
    pass


class Probe:
    """The tarnprobe.exe process of a session."""

    def __init__(self, session):
        self.session = session
        self.process = subprocess.Popen(["wine", str(config().probe)], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                        env=session.env, cwd=str(session.cfg.work))

    def __call__(self, *args):
        """Runs one command; returns its reply, raises ProbeError on a failure."""
        reply = self.try_(*args)
        if not reply.get("ok"):
            raise ProbeError(f"{' '.join(map(str, args))}: {reply.get('error')}")
        return reply

    def try_(self, *args):
        line = " ".join(str(a) for a in args) + "\n"
        self.process.stdin.write(line.encode("ascii"))
        self.process.stdin.flush()
        answer = self.process.stdout.readline()
        if not answer:
            raise ProbeError(f"the probe ended during {line.strip()}")
        return json.loads(answer)

    # Conveniences over the raw commands.
    def info(self, ref):
        return self("info", ref)

    def text(self, ref):
        return from_hex(self("info", ref)["text"])

    def enabled(self, ref):
        return self("info", ref)["enabled"]

    def set_text(self, ref, text):
        self("set_text", ref, to_hex(text))

    def checked(self, ref):
        return self("checked", ref)["checked"]

    def find_dialog(self, caption=None, owner="*", timeout_ms=10000):
        """A visible "#32770" window; its handle, or 0 when none came."""
        return self("find_dialog", to_hex(caption) if caption is not None else "*", owner, timeout_ms)

    def tick_name(self, name):
        """Ticks 名前 in the utility's window and types `name` into its field."""
        self("click", "CheckBox2_3")
        self.set_text("LabeledEdit2_3", name)

    def open_start_dialog(self):
        """Presses 開始フォルダ選択: the start-folder dialog's handle, 0 when none came."""
        self("post_click", "Button_StartDir")
        return self.find_dialog(START_DIR_CAPTION, "main")["hwnd"]

    def close(self):
        if self.process.poll() is None:
            try:
                self.try_("quit")
            except (ProbeError, OSError):
                pass
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


class Utility:
    """One run of TarnUtil.exe (the wine process that waits for it)."""

    def __init__(self, session, exe, cwd, windows_exe=None):
        self.exe = Path(exe)
        self.cwd = Path(cwd)
        self.process = subprocess.Popen(["wine", windows_exe or win_path(self.exe)], cwd=str(self.cwd),
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL, env=session.env)

    def wait(self, timeout=20):
        return self.process.wait(timeout=timeout)

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()


class Session:
    """A Wine prefix of the GUI tests with its server (and display) running."""

    def __init__(self, dpi=120, graphics="null"):
        self.cfg = config()
        self.dpi = dpi
        self.graphics = graphics
        self.prefix = self.cfg.work / f"prefix-{dpi}-{graphics}"
        self.env = dict(os.environ, WINEPREFIX=str(self.prefix), **WINE_ENV)
        self.xvfb = None
        self.display = None
        self.probe = None
        self.utilities = []
        # Host folders of the session's runs; those of the last run of the
        # same prefix (one test module at a time uses it) are removed.
        self.runs = self.cfg.work / "runs" / f"{dpi}-{graphics}"
        shutil.rmtree(self.runs, ignore_errors=True)
        self.runs.mkdir(parents=True, exist_ok=True)
        self.screenshots = self.cfg.work / "screenshots"

    def start(self):
        if graphics_needs_display(self.graphics):
            self._start_xvfb()
        self._make_prefix()
        subprocess.run([self.cfg.prefix_script, "start", str(self.prefix), "--dpi", str(self.dpi),
                        "--graphics", self.graphics], check=True, env=self.env,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
        self.probe = Probe(self)
        dpi = self.probe("dpi")["dpi"]
        if dpi != self.dpi:
            raise RuntimeError(f"the session runs at {dpi} DPI, not {self.dpi}")
        return self

    def _make_prefix(self):
        """A new prefix is a copy of another finished one where there is one
        (the start script then gives it its own settings)."""
        if (self.prefix / ".tarn-ready").exists():
            return
        for other in sorted(self.cfg.work.glob("prefix-*")):
            if other != self.prefix and (other / ".tarn-ready").exists():
                shutil.rmtree(self.prefix, ignore_errors=True)
                subprocess.run(["cp", "-a", str(other), str(self.prefix)], check=True)
                return

    def _start_xvfb(self):
        for number in range(70, 100):
            if not Path(f"/tmp/.X11-unix/X{number}").exists() and not Path(f"/tmp/.X{number}-lock").exists():
                break
        else:
            raise RuntimeError("no free display number")
        self.display = f":{number}"
        self.xvfb = subprocess.Popen(["Xvfb", self.display, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while not Path(f"/tmp/.X11-unix/X{number}").exists():
            if time.monotonic() > deadline or self.xvfb.poll() is not None:
                raise RuntimeError("Xvfb did not start")
            time.sleep(0.05)
        self.env["DISPLAY"] = self.display

    def stop(self):
        for utility in self.utilities:
            utility.kill()
        if self.probe:
            self.probe.close()
        subprocess.run([self.cfg.prefix_script, "stop", str(self.prefix)], env=self.env,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # Until the server has gone, a new start of the same prefix would meet it.
        subprocess.run(["wineserver", "-w"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        if self.xvfb:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()

    # ---- host folders and runs of the utility ----------------------------------

    def new_folder(self, name="run"):
        """An empty folder of its own under the work folder (ASCII path)."""
        return Path(tempfile.mkdtemp(prefix=name + "-", dir=self.runs))

    def host(self, plugins=None, boards=()):
        """A host application folder: TarnUtil.exe, plugins\\ holding the given
        file names (None: no plugins folder), data\\ with the given board
        folders (relative paths)."""
        root = self.new_folder("host")
        shutil.copy2(self.cfg.utility, root / "TarnUtil.exe")
        if plugins is not None:
            (root / "plugins").mkdir()
            for name in plugins:
                (root / "plugins" / name).write_bytes(b"")
        (root / "data").mkdir()
        for board in boards:
            (root / "data" / board).mkdir(parents=True, exist_ok=True)
        return root

    def board_host(self, count, settings):
        """A host without plug-ins whose data\\ holds `count` boards, a
        hundred to a group folder, board i's settings file holding settings(i)."""
        host = self.host(plugins=[])
        for i in range(count):
            folder = host / "data" / ("板%02d" % (i // 100)) / ("%04d" % i)
            folder.mkdir(parents=True)
            (folder / "tarn_BBS.ini").write_bytes(settings(i))
        return host

    def launch(self, exe, cwd=None, windows_exe=None):
        """Starts TarnUtil.exe without waiting for anything; windows_exe is the
        program's path as Windows is to see it (Shift-JIS bytes), when it is
        not the one on drive Z:."""
        utility = Utility(self, exe, cwd or Path(exe).parent, windows_exe)
        self.utilities.append(utility)
        return utility

    def start_utility(self, exe, cwd=None, windows_exe=None):
        """Starts TarnUtil.exe and waits until its main window is complete."""
        utility = self.launch(exe, cwd, windows_exe)
        self.probe("wait_main", MAIN_WAIT_MS)
        return utility

    def end_utilities(self):
        """Ends whatever runs of the utility a test left: closes the message
        boxes, dialogs and main windows left open (a faulty program may have
        opened several), kills what does not end then, and waits until no
        instance marker is left for the next start."""
        probe = self.probe
        for _ in range(12):
            box = probe.find_dialog(None, "*", 0)["hwnd"]
            if box:
                probe.try_("press", box, 2)  # IDCANCEL, then IDOK for a box that has no cancel
                probe.try_("press", box, 1)
                wait_for(lambda: not probe("alive", box)["alive"], timeout=3)
            elif probe("count_main")["count"]:
                probe.try_("close_main", 20000)
            else:
                break
        for utility in self.utilities:
            try:
                utility.wait(timeout=5)
            except subprocess.TimeoutExpired:
                utility.kill()
        self.utilities.clear()
        probe.try_("wait_no_instance", 10000)

    def close_utility(self, utility):
        """Closes the main window; returns the exit status of the utility."""
        self.probe("close_main", 20000)
        status = utility.wait()
        # The next start must not meet this instance's marker.
        self.probe("wait_no_instance", 10000)
        return status

    def drive(self, letter, target):
        """Makes drive LETTER: of the session show the folder target; returns
        a function that takes the drive away again."""
        link = self.prefix / "dosdevices" / (letter.lower() + ":")
        if link.is_symlink():
            link.unlink()
        link.symlink_to(target)
        return lambda: link.unlink() if link.is_symlink() else None

    def screenshot(self, name, rect=None):
        """Saves the screen (or a rectangle [left, top, width, height]) as a PNG
        under the work folder; returns its path."""
        if not self.display:
            raise RuntimeError("screenshots need the x11 driver")
        self.screenshots.mkdir(exist_ok=True)
        target = self.screenshots / f"{name}.png"
        xwd = subprocess.run(["xwd", "-root", "-silent", "-display", self.display], check=True,
                             stdout=subprocess.PIPE).stdout
        crop = []
        if rect:
            left, top, width, height = rect
            crop = ["-crop", f"{width}x{height}+{max(left, 0)}+{max(top, 0)}", "+repage"]
        subprocess.run(["convert", "xwd:-"] + crop + [str(target)], input=xwd, check=True)
        return target


class ModuleSessionCase(unittest.TestCase):
    """A case of a test module whose tests share one session, opened by the
    module's setUpModule (open_module_session); after each test the runs of
    the utility it left are ended."""

    module_session = None

    def setUp(self):
        self.session = ModuleSessionCase.module_session
        self.probe = self.session.probe

    def tearDown(self):
        self.session.end_utilities()


def open_module_session(dpi, graphics):
    ModuleSessionCase.module_session = Session(dpi, graphics).start()


def close_module_session():
    if ModuleSessionCase.module_session:
        ModuleSessionCase.module_session.stop()
        ModuleSessionCase.module_session = None


def image_info(path):
    """Width, height and number of distinct colours of a picture."""
    out = subprocess.run(["identify", "-format", "%w %h %k", str(path)], check=True,
                         stdout=subprocess.PIPE, text=True).stdout.split()
    return int(out[0]), int(out[1]), int(out[2])


def graphics_needs_display(graphics):
    return graphics != "null"


def wait_for(condition, timeout=10.0, step=0.05):
    """Polls condition() until it returns a true value; returns that value or
    the last false one after timeout seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() > deadline:
            return value
        time.sleep(step)


SESSIONS = [(96, "null"), (120, "null"), (120, "x11")]


def make_prefixes():
    """Makes (or updates) every prefix of the GUI tests, one after the other."""
    for dpi, graphics in SESSIONS:
        session = Session(dpi, graphics)
        try:
            session.start()
        finally:
            session.stop()


if __name__ == "__main__":
    if sys.argv[1:] == ["prefixes"]:
        try:
            make_prefixes()
        except unittest.SkipTest as skip:
            print("skipped:", skip)
    else:
        sys.exit("usage: harness.py prefixes")
