#!/usr/bin/env python3
"""Builds the release archive TarnUtil-<version>-win64.zip.

    package.py --version V --utility TarnUtil.exe --companion qv_TarnUtil.exe
               --batch tarnbatch.exe --docs DOCS_FOLDER --strip STRIP
               --objdump OBJDUMP --out ZIP

The archive is laid out like the host's application folder, so that unpacking
it there installs the utility:

    TarnUtil.exe                  beside the host, above "data"
    tarnbatch.exe                 the same batch from the command line, beside it
    plugins/qv_TarnUtil.exe       among the host's plug-ins
    TarnUtil-guide/guide.html     the user guide as one page, pictures inside
    TarnUtil-guide/wine-fonts.reg the font substitution Wine needs for the window
    TarnUtil-guide/ja/*.md        the user guide (UTF-8 Markdown) ...
    TarnUtil-guide/*.png          ... and the pictures it shows

TarnUtil-guide/ mirrors the project's docs/ folder, so the guide's relative
links to its pictures work in both places. The HTML page is made here from
docs/ja/guide.md (guide_html.py), so that a Windows user opens the guide with
a double click.

The programs are stripped (copies; the build's own files stay as they are)
and must import no DLL beyond Windows' own: a program linked against the
compiler's runtime DLLs would not start on a user's machine.

Same inputs give the same bytes: entries are sorted, every entry carries one
fixed date (SOURCE_DATE_EPOCH when set, otherwise FIXED_DATE) and fixed Unix
permissions, and nothing of the input files' own dates, owners or permissions
goes into the archive.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile
from pathlib import Path

from guide_html import GuideError, convert_file

FIXED_DATE = (2025, 1, 1, 0, 0, 0)
GUIDE_FOLDER = "TarnUtil-guide"

# DLLs that every Windows installation has. Anything else (libstdc++-6.dll,
# libgcc_s_seh-1.dll, libwinpthread-1.dll, ...) would have to be shipped.
WINDOWS_DLLS = {
    "advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "imm32.dll", "kernel32.dll",
    "msvcrt.dll", "ole32.dll", "oleaut32.dll", "shell32.dll", "shlwapi.dll", "user32.dll",
    "uxtheme.dll", "version.dll", "winmm.dll", "ws2_32.dll", "ntdll.dll",
}

# Under Wine the window's fonts "ＭＳ Ｐゴシック" and "ＭＳ ゴシック" are shown
# in the IPA fonts of the same kind, as scripts/wine-prefix.sh sets up its
# prefixes. A registry file of Windows' Unicode kind: UTF-16LE with a byte
# order mark and CR LF line ends, which regedit reads whatever the code page.
WINE_FONTS_REG = b"\xff\xfe" + "\r\n".join([
    "Windows Registry Editor Version 5.00",
    "",
    "[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]",
    '"ＭＳ Ｐゴシック"="IPAPGothic"',
    '"ＭＳ ゴシック"="IPAGothic"',
    "",
]).encode("utf-16-le")

IMAGE_LINK = re.compile(r"!\[[^\]]*\]\(\s*<?([^)\s>]+)>?(?:\s+\"[^\"]*\")?\s*\)")


class PackageError(Exception):
    pass


def untranslated():
    """The environment for binutils, whose messages follow the locale."""
    return dict(os.environ, LC_ALL="C")


def link_time(data):
    """The time stamp in a Windows program's file header (seconds since 1970)."""
    header = int.from_bytes(data[0x3C:0x40], "little")
    if data[:2] != b"MZ" or data[header:header + 4] != b"PE\0\0":
        raise PackageError("not a Windows program")
    return int.from_bytes(data[header + 8:header + 12], "little")


def imported_dlls(objdump, program):
    """The DLL names in the program's import table, as objdump -p lists them."""
    proc = subprocess.run([objdump, "-p", str(program)], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          text=True, errors="replace", env=untranslated())
    if proc.returncode != 0:
        raise PackageError("%s -p %s failed: %s" % (objdump, program, proc.stderr.strip()))
    if "pei-x86-64" not in proc.stdout:
        raise PackageError("%s is not a 64-bit Windows program" % program)
    return [m.group(1) for m in re.finditer(r"^\s*DLL Name:\s*(\S+)\s*$", proc.stdout, re.M)]


def stripped_copy(strip, objdump, program, folder):
    """A stripped copy of `program` in `folder`, checked for foreign DLLs."""
    if not program.is_file():
        raise PackageError("missing program %s" % program)
    copy = folder / program.name
    shutil.copyfile(program, copy)
    try:
        stamp = link_time(copy.read_bytes())
    except PackageError:
        raise PackageError("%s is not a Windows program" % program)
    # strip writes the current time into the file header unless it is given
    # one: keep the linker's, so that the copy depends on the program alone.
    env = dict(untranslated(), SOURCE_DATE_EPOCH=str(stamp))
    proc = subprocess.run([strip, "--strip-all", str(copy)], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          text=True, errors="replace", env=env)
    if proc.returncode != 0:
        raise PackageError("%s %s failed: %s" % (strip, copy, proc.stderr.strip()))
    foreign = sorted(d for d in imported_dlls(objdump, copy) if d.lower() not in WINDOWS_DLLS)
    if foreign:
        raise PackageError("%s needs DLLs that Windows does not have: %s" % (program, ", ".join(foreign)))
    return copy.read_bytes()


def guide_files(docs):
    """(archive name, bytes) of the guide: docs/ja/*.md and the pictures they
    link to, each page also as HTML, and the registry file for Wine. A linked
    picture that does not exist yet is reported and left out."""
    pages = sorted((docs / "ja").glob("*.md"))
    if not pages:
        raise PackageError("no guide pages in %s" % (docs / "ja"))
    files = {}
    missing = set()
    root = docs.resolve()
    for page in pages:
        text = page.read_text(encoding="utf-8")
        files[page.relative_to(docs).as_posix()] = page.read_bytes()
        for link in IMAGE_LINK.findall(text):
            if re.match(r"^[a-z]+:", link):
                continue  # a web address
            target = (page.parent / link).resolve()
            try:
                name = target.relative_to(root).as_posix()
            except ValueError:
                raise PackageError("%s links to %s, outside %s" % (page, link, docs))
            if target.is_file():
                files[name] = target.read_bytes()
            else:
                missing.add(name)
    for name in sorted(missing):
        print("package: warning: the guide shows %s, which does not exist yet; left out" % name, file=sys.stderr)
    for page in pages:
        try:
            files[page.stem + ".html"] = convert_file(page)
        except GuideError as e:
            raise PackageError(str(e))
    files["wine-fonts.reg"] = WINE_FONTS_REG
    return {GUIDE_FOLDER + "/" + name: data for name, data in files.items()}


def entry_date():
    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    if epoch:
        date = tuple(time.gmtime(int(epoch))[:6])
        # The zip format counts from 1980, in steps of two seconds.
        if date < (1980, 1, 1, 0, 0, 0):
            return (1980, 1, 1, 0, 0, 0)
        return date[:5] + (date[5] - date[5] % 2,)
    return FIXED_DATE


def write_archive(out, entries):
    """entries: archive name -> (bytes, Unix mode). Folders get entries of their own."""
    folders = set()
    for name in entries:
        parts = name.split("/")[:-1]
        for i in range(1, len(parts) + 1):
            folders.add("/".join(parts[:i]) + "/")
    date = entry_date()
    part = out.with_name(out.name + ".part")
    try:
        write_entries(part, entries, folders, date)
    except BaseException:
        part.unlink(missing_ok=True)
        raise
    os.replace(part, out)


def write_entries(part, entries, folders, date):
    with zipfile.ZipFile(part, "w") as archive:
        for name in sorted(set(entries) | folders):
            info = zipfile.ZipInfo(name, date_time=date)
            info.create_system = 3  # Unix, so that the modes below are what unzip sets
            if name.endswith("/"):
                info.external_attr = (0o40755 << 16) | 0x10  # folder, and the MS-DOS folder flag
                archive.writestr(info, b"")
            else:
                data, mode = entries[name]
                info.external_attr = (0o100000 | mode) << 16
                info.compress_type = zipfile.ZIP_DEFLATED
                archive.writestr(info, data, compresslevel=9)


def main(argv=None):
    parser = argparse.ArgumentParser(description="Build the TarnUtil release archive.")
    parser.add_argument("--version", required=True)
    parser.add_argument("--utility", required=True, type=Path, help="TarnUtil.exe")
    parser.add_argument("--companion", required=True, type=Path, help="qv_TarnUtil.exe")
    parser.add_argument("--batch", required=True, type=Path, help="tarnbatch.exe")
    parser.add_argument("--docs", required=True, type=Path, help="the docs folder (guide in docs/ja)")
    parser.add_argument("--strip", default="x86_64-w64-mingw32-strip")
    parser.add_argument("--objdump", default="x86_64-w64-mingw32-objdump")
    parser.add_argument("--out", required=True, type=Path, help="the archive to write")
    args = parser.parse_args(argv)

    expected = "TarnUtil-%s-win64.zip" % args.version
    if args.out.name != expected:
        parser.error("the archive must be named %s" % expected)
    try:
        with tempfile.TemporaryDirectory(prefix="tarn-package-") as work:
            work = Path(work)
            (work / "utility").mkdir()
            (work / "companion").mkdir()
            (work / "batch").mkdir()
            entries = {
                "TarnUtil.exe": (stripped_copy(args.strip, args.objdump, args.utility, work / "utility"), 0o755),
                "plugins/qv_TarnUtil.exe":
                    (stripped_copy(args.strip, args.objdump, args.companion, work / "companion"), 0o755),
                "tarnbatch.exe": (stripped_copy(args.strip, args.objdump, args.batch, work / "batch"), 0o755),
            }
            for name, data in guide_files(args.docs).items():
                entries[name] = (data, 0o644)
        args.out.parent.mkdir(parents=True, exist_ok=True)
        write_archive(args.out, entries)
    except (PackageError, OSError) as e:
        print("package: %s" % e, file=sys.stderr)
        return 1
    print(args.out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
