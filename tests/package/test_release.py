#!/usr/bin/env python3
"""Tests of the release archive TarnUtil-<version>-win64.zip.

The archive is built with exactly the command of the package_zip target (its
arguments are in package-args.txt in the build folder), checked for
reproducibility, layout and programs, then unpacked over a fresh host folder
where both programs run under Wine, as a user would run them.

Named by the environment (tests/package/CMakeLists.txt sets them):
  TARN_PACKAGER            scripts/package.py
  TARN_PACKAGE_ARGS        package-args.txt (missing: no utility target; skipped)
  TARN_VERSION             the project's version
  TARN_PROBE               tarnprobe.exe (the GUI tests' probe)
  TARN_CXX                 the mingw-w64 C++ compiler
  TARN_WINE_RUN            scripts/wine-run.sh
  TARN_WINE_PREFIX_SCRIPT  scripts/wine-prefix.sh
  TARN_WINE_PREFIX         this test's own Wine prefix

Folder names on disk are UTF-8; the programs see them in code page 932.
"""

import base64
import html.parser
import json
import os
import re
import shutil
import stat
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile
from pathlib import Path

SKIP = 77
WINDOW_WAIT = 30  # seconds a starting utility may take to show its window

# The companion's default [DIALOG] section, every non-ASCII byte spelled out.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from default_dialog import DIALOG, DIALOG_LINES  # noqa: E402
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from testkit import CRLF, crlf  # noqa: E402

# What a utility that loaded no [BASIC] section saves as its snapshot.
EMPTY_SNAPSHOT = b"".join(k + CRLF for k in [b"[BASIC]", b"URL=", b"UPURL=", b"NAME=", b"EMAIL=", b"HP=",
                                                b"KEY=", b"USER=", b"PASS=", b"PARAM1=", b"PARAM2="])

# DLLs every Windows installation has.
WINDOWS_DLLS = {"advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "imm32.dll", "kernel32.dll",
                "msvcrt.dll", "ole32.dll", "oleaut32.dll", "shell32.dll", "shlwapi.dll", "user32.dll",
                "uxtheme.dll", "version.dll", "winmm.dll"}

# The registry file for Wine, spelled out: UTF-16LE with a byte order mark, CR LF.
WINE_FONTS_REG = (
    b"\xff\xfe" + "Windows Registry Editor Version 5.00\r\n\r\n".encode("utf-16-le")
    + "[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n".encode("utf-16-le")
    + '"\uff2d\uff33 \uff30\u30b4\u30b7\u30c3\u30af"="IPAPGothic"\r\n'.encode("utf-16-le")
    + '"\uff2d\uff33 \u30b4\u30b7\u30c3\u30af"="IPAGothic"\r\n'.encode("utf-16-le"))
FONTS_KEY = "HKCU\\Software\\Wine\\Fonts\\Replacements"

IMAGE_LINK = re.compile(r"!\[[^\]]*\]\(\s*<?([^)\s>]+)>?(?:\s+\"[^\"]*\")?\s*\)")


class Env:
    def __init__(self):
        args_file = Path(os.environ.get("TARN_PACKAGE_ARGS", ""))
        if not args_file.is_file():
            print("package_release: %s is missing (no TarnUtil target in this build); skipped" % args_file)
            sys.exit(SKIP)
        self.args = args_file.read_text(encoding="utf-8").splitlines()
        self.packager = os.environ["TARN_PACKAGER"]
        self.version = os.environ["TARN_VERSION"]
        self.probe = Path(os.environ["TARN_PROBE"])
        self.cxx = os.environ.get("TARN_CXX", "")
        self.wine_run = os.environ["TARN_WINE_RUN"]
        self.prefix_script = os.environ["TARN_WINE_PREFIX_SCRIPT"]
        self.prefix = Path(os.environ["TARN_WINE_PREFIX"])

    def arg(self, name):
        return self.args[self.args.index(name) + 1]

    @property
    def zip_name(self):
        return "TarnUtil-%s-win64.zip" % self.version


ENV = Env()


def package(out_folder, cwd=None, env=None, umask=None, **replace):
    """Runs the packager with the package_zip target's arguments, some of them
    replaced (utility=..., docs=...), writing into out_folder."""
    args = list(ENV.args)
    for key, value in replace.items():
        args[args.index("--" + key) + 1] = str(value)
    out = Path(out_folder) / ENV.zip_name
    proc = subprocess.run([sys.executable, ENV.packager] + args + ["--out", str(out)], cwd=cwd,
                          env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          preexec_fn=(lambda: os.umask(umask)) if umask is not None else None, timeout=120)
    return proc, out


def objdump(path, option="-p"):
    return subprocess.run([ENV.arg("--objdump"), option, str(path)], check=True, stdout=subprocess.PIPE,
                          text=True, errors="replace", env=dict(os.environ, LC_ALL="C")).stdout


def file_version(data):
    """The file version of a program's version resource, from its fixed file
    information block (signature 0xFEEF04BD)."""
    at = data.find(b"\xbd\x04\xef\xfe")
    if at < 0:
        return None
    ms = int.from_bytes(data[at + 8:at + 12], "little")
    ls = int.from_bytes(data[at + 12:at + 16], "little")
    return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


# ---- the archive itself ------------------------------------------------------

class ArchiveTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.base = Path(tempfile.mkdtemp(prefix="tarn-release-"))
        proc, cls.zip = package(cls.base / "first")
        cls.built_at = time.monotonic()
        if proc.returncode != 0:
            raise AssertionError("packaging failed: %s" % proc.stderr.decode(errors="replace"))
        cls.archive = zipfile.ZipFile(cls.zip)
        cls.infos = cls.archive.infolist()

    @classmethod
    def tearDownClass(cls):
        cls.archive.close()
        shutil.rmtree(cls.base, ignore_errors=True)

    def test_same_inputs_give_the_same_bytes(self):
        # Copies of every input with other dates, other permissions, created in
        # another order, packaged from another folder, time zone and umask,
        # at another time.
        copies = self.base / "copies"
        docs = Path(ENV.arg("--docs"))
        files = sorted((p for p in docs.rglob("*") if p.is_file()), reverse=True)
        for i, source in enumerate(files):
            target = copies / "docs" / source.relative_to(docs)
            target.parent.mkdir(parents=True, exist_ok=True)
            shutil.copyfile(source, target)
            os.chmod(target, 0o600)
            os.utime(target, (1_000_000_000 + i * 3600, 1_000_000_000 + i * 3600))
        (copies / "bin").mkdir()
        programs = {key: copies / "bin" / Path(ENV.arg("--" + key)).name for key in ("utility", "companion", "batch")}
        for key, target in programs.items():
            shutil.copyfile(ENV.arg("--" + key), target)
            os.chmod(target, 0o700)
            os.utime(target, (1_500_000_001, 1_500_000_001))
        self.assertNotEqual(os.stat(programs["utility"]).st_mtime, os.stat(ENV.arg("--utility")).st_mtime)
        # At least two seconds later too (the zip format's step): whatever takes
        # the time of packaging would differ.
        time.sleep(max(0.0, 2.5 - (time.monotonic() - self.built_at)))
        env = dict(os.environ, TZ="Asia/Tokyo")
        env.pop("SOURCE_DATE_EPOCH", None)
        proc, second = package(self.base / "second", cwd=copies, env=env, umask=0o077, docs=copies / "docs",
                               **programs)
        self.assertEqual(proc.returncode, 0, proc.stderr)
        self.assertEqual(second.read_bytes(), self.zip.read_bytes())
        # And a third time in place: the first run left nothing behind that changes the next.
        proc, third = package(self.base / "first")
        self.assertEqual(proc.returncode, 0, proc.stderr)
        self.assertEqual(sorted(os.listdir(self.base / "first")), [ENV.zip_name])
        self.assertEqual(third.read_bytes(), second.read_bytes())

    def test_layout_installs_over_the_host_folder(self):
        names = [i.filename for i in self.infos]
        self.assertEqual(names, sorted(names), "entries in a fixed order")
        self.assertEqual(len(names), len(set(names)))
        for name in names:
            self.assertNotIn("\\", name)
            self.assertFalse(name.startswith("/") or ".." in name.split("/"), name)
        # Nothing that could overwrite the host's own files: the utility and
        # the batch driver, one plug-in, and the guide in a folder of its own.
        self.assertEqual({n.split("/")[0] for n in names},
                         {"TarnUtil.exe", "tarnbatch.exe", "plugins", "TarnUtil-guide"})
        self.assertEqual([n for n in names if n.startswith("plugins/")], ["plugins/", "plugins/qv_TarnUtil.exe"])
        for name in ("TarnUtil.exe", "tarnbatch.exe", "TarnUtil-guide/guide.html", "TarnUtil-guide/wine-fonts.reg"):
            self.assertIn(name, names)
        # Every folder of a file has its own entry.
        for name in names:
            parts = name.rstrip("/").split("/")
            for i in range(1, len(parts)):
                self.assertIn("/".join(parts[:i]) + "/", names)

    def test_guide_and_its_pictures(self):
        docs = Path(ENV.arg("--docs"))
        pages = sorted((docs / "ja").glob("*.md"))
        self.assertTrue(pages, "no guide in docs/ja")
        guide = {i.filename: i for i in self.infos if i.filename.startswith("TarnUtil-guide/")}
        linked = set()
        for page in pages:
            name = "TarnUtil-guide/ja/" + page.name
            self.assertIn(name, guide)
            data = self.archive.read(name)
            self.assertEqual(data, page.read_bytes())
            text = data.decode("utf-8")
            self.assertFalse(text.startswith("\ufeff"), "no byte-order mark")
            self.assertRegex(text, "[\u3040-\u30ff]", "the guide is in Japanese")
            for link in IMAGE_LINK.findall(text):
                target = os.path.normpath(os.path.join("TarnUtil-guide/ja", link)).replace(os.sep, "/")
                linked.add(target)
                source = docs / Path(target).relative_to("TarnUtil-guide")
                if source.is_file():
                    self.assertIn(target, guide, "picture %s is in docs/ but not in the archive" % link)
                    self.assertEqual(self.archive.read(target), source.read_bytes())
            # Everything the guide sends the reader to is in the archive.
            self.assertFalse("README" in text.upper(), "the guide points to a README, which is not in the archive")
            for name in ("tarnbatch.exe", "guide.html", "wine-fonts.reg"):
                self.assertIn(name, text)
            self.assertIn("wine regedit", text, "how to import the registry file")
        made = {"TarnUtil-guide/guide.html", "TarnUtil-guide/wine-fonts.reg"}
        extra = {n for n in guide if not n.endswith("/") and not n.endswith(".md")} - linked - made
        self.assertEqual(extra, set(), "files the guide does not show")

    def test_guide_as_one_html_page(self):
        data = self.archive.read("TarnUtil-guide/guide.html")
        text = data.decode("utf-8")
        self.assertNotIn(b"\n", data.replace(b"\r\n", b""), "CR LF line ends only")
        page = PageParser()
        page.feed(text)
        page.close()
        self.assertEqual(page.charset, "utf-8")
        self.assertEqual(page.open_tags, [], "every element closed")
        # Every picture is inside the page, byte for byte one the Markdown guide shows.
        docs = Path(ENV.arg("--docs"))
        guide = (docs / "ja" / "guide.md").read_text(encoding="utf-8")
        shown = [(docs / "ja" / link).resolve().read_bytes() for link in IMAGE_LINK.findall(guide)]
        self.assertTrue(shown)
        embedded = []
        for src in page.images:
            self.assertTrue(src.startswith("data:image/png;base64,"), src[:40])
            embedded.append(base64.b64decode(src.split(",", 1)[1], validate=True))
        self.assertEqual(embedded, shown)
        # No link leads out of the page, and every link inside it has its target.
        self.assertTrue(page.links)
        for href in page.links:
            self.assertTrue(href.startswith("#") or re.match(r"^https?:", href), href)
            if href.startswith("#"):
                self.assertIn(href[1:], page.ids, "a link to a missing heading")
        # The guide's sections, in order, with the texts of the Markdown.
        headings = [h[3:].strip() for h in guide.splitlines() if h.startswith("## ")]
        self.assertEqual(page.headings["h2"], [h.replace("`", "") for h in headings])
        self.assertEqual(len(page.tables), guide.count("\n|---"))
        self.assertIn("一括設定が終了しました", page.text)
        self.assertNotIn("**", page.text, "bold text converted")
        self.assertNotIn("`", page.text, "code converted")

    def test_wine_fonts_registry_file(self):
        data = self.archive.read("TarnUtil-guide/wine-fonts.reg")
        self.assertEqual(data, WINE_FONTS_REG)
        # The same substitutions as the project's own Wine prefixes get.
        script = (Path(ENV.packager).parent / "wine-prefix.sh").read_text(encoding="utf-8")
        pairs = re.findall(r"printf '\"((?:\\x[0-9a-f]{2}| )+)\"=\"(\w+)\"\\n'", script)
        self.assertEqual(len(pairs), 2)
        for name, font in pairs:
            sjis_name = bytes(int(x, 16) if x else 0x20 for x in re.findall(r"\\x([0-9a-f]{2})| ", name))
            line = '"%s"="%s"\r\n' % (sjis_name.decode("cp932"), font)
            self.assertIn(line.encode("utf-16-le"), data)

    def test_fixed_dates_and_permissions(self):
        dates = {i.date_time for i in self.infos}
        self.assertEqual(len(dates), 1, dates)
        for info in self.infos:
            with self.subTest(name=info.filename):
                self.assertEqual(info.create_system, 3)
                self.assertEqual(info.extra, b"", "no extended time stamps or owners")
                mode = info.external_attr >> 16
                if info.is_dir():
                    self.assertEqual(mode, stat.S_IFDIR | 0o755)
                elif info.filename.endswith(".exe"):
                    self.assertEqual(mode, stat.S_IFREG | 0o755)
                else:
                    self.assertEqual(mode, stat.S_IFREG | 0o644)

    def test_programs_are_stripped_and_self_contained(self):
        folder = self.base / "programs"
        self.archive.extractall(folder)
        for name, built, subsystem in [("TarnUtil.exe", ENV.arg("--utility"), "(Windows GUI)"),
                                       ("plugins/qv_TarnUtil.exe", ENV.arg("--companion"), "(Windows CUI)"),
                                       ("tarnbatch.exe", ENV.arg("--batch"), "(Windows CUI)")]:
            with self.subTest(program=name):
                path = folder / name
                header = objdump(path)
                self.assertIn("pei-x86-64", header)
                self.assertRegex(header, r"Subsystem\s+\S+\s+" + re.escape(subsystem))
                self.assertIn("symbols stripped", header)
                self.assertIn("no symbols", objdump(path, "-t"))
                self.assertLess(path.stat().st_size, Path(built).stat().st_size)
                dlls = {d.lower() for d in re.findall(r"DLL Name:\s*(\S+)", header)}
                self.assertIn("kernel32.dll", dlls)
                self.assertEqual(dlls - WINDOWS_DLLS, set())
                if name == "plugins/qv_TarnUtil.exe":
                    # The host starts it for every board: nothing it does not use
                    # (SHELL32 would bring USER32, GDI32 and more along).
                    self.assertEqual(dlls, {"kernel32.dll", "msvcrt.dll"})

    def test_version_in_name_is_the_programs_version(self):
        self.assertEqual(self.zip.name, "TarnUtil-%s-win64.zip" % ENV.version)
        self.assertRegex(ENV.version, r"^\d+\.\d+\.\d+\.\d+$")
        self.assertEqual(file_version(self.archive.read("TarnUtil.exe")), ENV.version)

    def test_program_needing_foreign_dlls_is_refused(self):
        if not ENV.cxx:
            self.skipTest("no compiler named")
        source = self.base / "dynamic.cpp"
        source.write_text('#include <iostream>\nint main() { std::cout << "x" << std::endl; }\n')
        program = self.base / "dynamic.exe"
        subprocess.run([ENV.cxx, str(source), "-o", str(program)], check=True)
        self.assertIn("libstdc++-6.dll", objdump(program))
        proc, out = package(self.base / "refused", companion=program)
        self.assertNotEqual(proc.returncode, 0)
        self.assertIn(b"libstdc++-6.dll", proc.stderr)
        self.assertFalse((self.base / "refused").exists() and os.listdir(self.base / "refused"),
                         "no archive, not even a part of one")


class PageParser(html.parser.HTMLParser):
    """What the guide's HTML page holds: its charset, pictures, links,
    identifiers, headings, tables and text; elements left open."""

    VOID = {"meta", "img", "br", "hr", "link", "input"}

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.charset, self.images, self.links, self.ids, self.tables = None, [], [], set(), []
        self.headings = {"h1": [], "h2": [], "h3": []}
        self.open_tags, self.text, self.heading = [], "", None

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "meta" and "charset" in attrs:
            self.charset = attrs["charset"].lower()
        if tag == "img":
            self.images.append(attrs.get("src", ""))
        if tag == "a":
            self.links.append(attrs.get("href", ""))
        if "id" in attrs:
            self.ids.add(attrs["id"])
        if tag == "table":
            self.tables.append(tag)
        if tag in self.headings:
            self.heading = [tag, ""]
        if tag not in self.VOID:
            self.open_tags.append(tag)

    def handle_endtag(self, tag):
        if not self.open_tags or self.open_tags[-1] != tag:
            raise AssertionError("</%s> closes <%s>" % (tag, self.open_tags[-1:] or "nothing"))
        self.open_tags.pop()
        if self.heading and tag == self.heading[0]:
            self.headings[tag].append(self.heading[1])
            self.heading = None

    def handle_data(self, data):
        if "style" not in self.open_tags:
            self.text += data
        if self.heading:
            self.heading[1] += data


# ---- the unpacked archive at work under Wine ----------------------------------

def setUpModule():
    subprocess.run([ENV.prefix_script, "start", str(ENV.prefix)], check=True, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, timeout=300)


def tearDownModule():
    subprocess.run([ENV.prefix_script, "stop", str(ENV.prefix)], stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, timeout=60)


class InstalledTest(unittest.TestCase):
    """The archive unpacked over a host folder that already holds the host,
    its own plug-in folder and boards with Japanese names."""

    BOARD_SETTINGS = crlf("; 手で書いた行", "[DIALOG]", "URL=1", "_NAME=お名前:", "[BASIC]",
                          "URL=http://bbs.example/soft/", "NAME=名無しさん", "LIB=2ch", "[OTHER]", "X=1")

    def setUp(self):
        self.base = Path(tempfile.mkdtemp(prefix="tarn-installed-"))
        self.addCleanup(shutil.rmtree, self.base, ignore_errors=True)
        proc, zip_path = package(self.base / "dist")
        self.assertEqual(proc.returncode, 0, proc.stderr)

        self.host = self.base / "巡回ホスト"
        self.host_files = {
            "Host.exe": b"MZ host program",
            "plugins/readme.txt": b"the host's own file\r\n",
            "plugins/qv_2ch.exe": b"MZ the host's own plug-in",
            "data/雑談ボード/tarn_BBS.ini": crlf("[BASIC]", "NAME=雑談"),
            "data/ソフト板/tarn_BBS.ini": self.BOARD_SETTINGS,
        }
        for name, data in self.host_files.items():
            path = self.host / name
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(data)
        with zipfile.ZipFile(zip_path) as archive:
            archive.extractall(self.host)
        self.board = self.host / "data" / "ソフト板"
        self.companion = self.host / "plugins" / "qv_TarnUtil.exe"
        self.utility = self.host / "TarnUtil.exe"
        # Whatever happens, no utility stays open for the next test.
        self.addCleanup(self.close_leftover_window)

    def assert_host_files_kept(self, *changed):
        for name, data in self.host_files.items():
            if name not in changed:
                self.assertEqual((self.host / name).read_bytes(), data, name)

    def wine(self, program, *args, cwd, wait=True):
        """Runs a Windows program; output goes to files, since a started
        utility would otherwise hold a pipe open."""
        out = open(self.base / "out.txt", "wb")
        self.addCleanup(out.close)
        proc = subprocess.Popen([ENV.wine_run, str(ENV.prefix), str(program)] + list(args), cwd=str(cwd),
                                stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT)
        if not wait:
            self.addCleanup(lambda: proc.poll() is None and proc.kill())
            return proc
        proc.wait(timeout=60)
        return proc.returncode, (self.base / "out.txt").read_bytes()

    def probe(self, *commands):
        """The probe's JSON replies to the commands (one each)."""
        proc = subprocess.run([ENV.wine_run, str(ENV.prefix), str(ENV.probe)], cwd=str(self.base),
                              input="".join(c + "\n" for c in commands).encode("ascii"), stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=120)
        return [json.loads(line) for line in proc.stdout.splitlines()]

    def close_leftover_window(self):
        if self.probe("count_main")[0].get("count"):
            self.probe("close_main 10000")

    def wait_window(self):
        reply, = self.probe("wait_main %d" % (WINDOW_WAIT * 1000))
        self.assertTrue(reply["ok"], "no TarnUtil window within %d s: %s" % (WINDOW_WAIT, reply.get("error")))
        self.assertGreater(reply["pid"], 0)

    def close_window(self):
        closed, left = self.probe("close_main 20000", "count_main")
        self.assertTrue(closed["ok"], "closing the window: %s" % closed.get("error"))
        self.assertEqual(closed["exit_code"], 0, "the utility's exit status")
        self.assertEqual(left["count"], 0, "the window is gone")

    def test_companion_installs_the_dialog_section_in_a_board(self):
        status, out = self.wine(self.companion, "i", cwd=self.board)
        self.assertEqual((status, out), (0, b""))
        self.assertEqual((self.board / "tarn_BBS.ini").read_bytes(),
                         DIALOG + crlf("[BASIC]", "URL=http://bbs.example/soft/", "NAME=名無しさん", "LIB=2ch"))
        self.assertEqual(sorted(os.listdir(self.board)), ["tarn_BBS.ini"])
        self.assert_host_files_kept("data/ソフト板/tarn_BBS.ini")

    def test_companion_starts_the_unpacked_utility(self):
        # The board's ソ (0x83 0x5C) must not cut the path short: the utility
        # two levels up is the unpacked one, and it works in the board folder.
        snapshot = crlf("[BASIC]", "NAME=山田", "[OTHER]", "Y=2", "[DIALOG]", "_NAME=お名前:")
        signature = "山田より\r\nソフト板にて".encode("cp932")
        (self.board / "TarnUtil.ini").write_bytes(snapshot)
        (self.board / "sign.ini").write_bytes(signature)
        status, out = self.wine(self.companion, cwd=self.board)
        self.assertEqual((status, out), (0, b""))
        self.wait_window()
        # The plug-in list comes from the plugins folder beside the utility,
        # without the companion itself.
        plugins, = self.probe("info ComboBox1_1")
        self.assertEqual((plugins["ok"], bytes.fromhex(plugins["text"])), (True, b"2ch"))
        self.close_window()
        # Read from the board folder at start, written back there at exit.
        self.assertEqual((self.board / "TarnUtil.ini").read_bytes(),
                         crlf("[DIALOG]", "_NAME=お名前:", "[BASIC]", "NAME=山田"))
        self.assertEqual((self.board / "sign.ini").read_bytes(), signature)
        self.assertFalse((self.host / "TarnUtil.ini").exists())
        self.assert_host_files_kept()

    def test_utility_on_its_own(self):
        proc = self.wine(self.utility, cwd=self.host, wait=False)
        self.wait_window()
        self.close_window()
        self.assertEqual(proc.wait(timeout=30), 0)
        self.assertEqual((self.host / "TarnUtil.ini").read_bytes(), EMPTY_SNAPSHOT)
        # The signature memo starts out holding one empty line.
        self.assertEqual((self.host / "sign.ini").read_bytes(), CRLF)
        self.assertFalse((self.board / "TarnUtil.ini").exists())
        self.assert_host_files_kept()

    def test_batch_driver_beside_the_utility(self):
        status, out = self.wine(self.host / "tarnbatch.exe", "--set", "URL=http://new.example/", "data", cwd=self.host)
        self.assertEqual(status, 0, out.decode("cp932", "replace"))
        self.assertEqual((self.board / "tarn_BBS.ini").read_bytes(),
                         crlf("[DIALOG]", "URL=1", "_NAME=お名前:", "[BASIC]", "URL=http://new.example/",
                              "NAME=名無しさん", "LIB=2ch"))
        self.assertEqual((self.host / "data" / "雑談ボード" / "tarn_BBS.ini").read_bytes(),
                         crlf("[BASIC]", "NAME=雑談", "URL=http://new.example/"))
        self.assertEqual((self.host / "data" / "tarn_BBS.ini").read_bytes(), crlf("[BASIC]", "URL=http://new.example/"))
        self.assert_host_files_kept("data/ソフト板/tarn_BBS.ini", "data/雑談ボード/tarn_BBS.ini")

    def test_wine_fonts_registry_file_imports_as_the_guide_says(self):
        def reg(*args):
            return subprocess.run([ENV.wine_run, str(ENV.prefix), "reg", *args], stdin=subprocess.DEVNULL,
                                  stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=60).stdout.decode("cp932")

        reg("delete", FONTS_KEY, "/f")
        self.assertNotIn("IPAPGothic", reg("query", FONTS_KEY))
        status, _ = self.wine("regedit", "TarnUtil-guide\\wine-fonts.reg", cwd=self.host)
        self.assertEqual(status, 0)
        lines = reg("query", FONTS_KEY).splitlines()
        values = {tuple(line.split()[-2:]): " ".join(line.split()[:-2]) for line in lines if "REG_SZ" in line}
        self.assertEqual(values, {("REG_SZ", "IPAPGothic"): "ＭＳ Ｐゴシック", ("REG_SZ", "IPAGothic"): "ＭＳ ゴシック"})


if __name__ == "__main__":
    unittest.main(verbosity=2)
