#!/usr/bin/env bash
# Installs what is missing, builds the Windows programs (build/windows/bin/)
# and the native driver (build/native/bin/), then shows the utility at work:
#
#   bash scripts/run.sh
#       makes a demo host folder build/demo/host (TarnUtil.exe beside the
#       host's "data" folder with a few boards with Japanese names, the
#       companion and a few other plug-ins in "plugins") and starts
#       TarnUtil.exe there under Wine, in a Wine prefix of its own
#       (build/demo/wineprefix). With $DISPLAY set the window opens on your
#       screen and the script ends when you close it; without, it opens on a
#       virtual screen (Xvfb), a screenshot is saved (its path is printed) and
#       the window is closed. The demo host is made afresh at every run.
#
#   bash scripts/run.sh --driver [ARGUMENT]...
#   bash scripts/run.sh --driver --wine [ARGUMENT]...
#       runs the batch driver tarnbatch with the arguments, natively or under
#       Wine (--wine alone is short for --driver --wine). Without arguments it
#       shows the driver's help.
#         bash scripts/run.sh --driver --set NAME=山田 --dry-run build/demo/host/data
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
for preset in native windows; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" >/dev/null
done

# ---- the batch driver ---------------------------------------------------------
mode=demo
if [ "${1:-}" = "--driver" ]; then
    mode=driver
    shift
fi
if [ "${1:-}" = "--wine" ]; then
    mode=driver-wine
    shift
fi
if [ "$mode" = driver-wine ]; then
    prefix=$PWD/build/windows/wineprefix
    scripts/wine-prefix.sh start "$prefix"
    trap 'scripts/wine-prefix.sh stop "$prefix"' EXIT
    # Wine writes the program's Shift-JIS output as it is; show it as UTF-8.
    set +e
    scripts/wine-run.sh "$prefix" build/windows/bin/tarnbatch.exe "${@:---help}" 2>&1 | iconv -f CP932 -t UTF-8
    exit "${PIPESTATUS[0]}"
fi
if [ "$mode" = driver ]; then
    exec build/native/bin/tarnbatch "${@:---help}"
fi
if [ $# -gt 0 ]; then
    echo "run.sh: unknown argument $1 (the demo takes none; see the top of $0)" >&2
    exit 2
fi

# ---- the demo -----------------------------------------------------------------
utility=build/windows/bin/TarnUtil.exe
companion=build/windows/bin/qv_TarnUtil.exe
probe=build/windows/tests/gui/tarnprobe.exe
for program in "$utility" "$companion" "$probe"; do
    [ -f "$program" ] || { echo "run.sh: $program was not built" >&2; exit 1; }
done

root=$PWD
demo=$root/build/demo
host=$demo/host
prefix=$demo/wineprefix
screenshot=$demo/main-window.png
# Not LC_ALL here: on a fresh machine this shell started before setup.sh
# generated ja_JP.UTF-8, and a process that has read the locale archive does
# not see locales added to it later, so bash would warn that it cannot change
# the locale. Wine gets LC_ALL from wine-run.sh and wine-prefix.sh, processes
# started after the setup; Python needs only its UTF-8 mode for the folder names.
export PYTHONUTF8=1

rm -rf "$host"
mkdir -p "$host/plugins" "$host/data"
cp "$utility" "$host/TarnUtil.exe"
cp "$companion" "$host/plugins/qv_TarnUtil.exe"
# Board folders as the host keeps them: settings files in Shift-JIS with CR LF
# line ends, plus plug-in files for the utility's plug-in list (empty stand-ins
# here) and a file that is not a plug-in.
python3 - "$host" <<'PY'
import sys
from pathlib import Path

host = Path(sys.argv[1])
for name in ["qv_2ch.exe", "qv_machibbs.pl", "qv_jbbs.rb", "qv_yybbs.vbs", "readme.txt"]:
    (host / "plugins" / name).write_bytes(b"")

def settings(lines):
    return b"".join(line.encode("cp932") + b"\r\n" for line in lines)

DIALOG = ["[DIALOG]", "URL=1", "NAME=1", "EMAIL=1", "_URL=掲示板のアドレス(URL):", "_NAME=名前:",
          "_EMAIL=e-mailアドレス:"]
boards = {
    "雑談ボード": ["URL=http://zatsudan.example.jp/bbs/", "NAME=名無しさん", "EMAIL=sage", "LIB=2ch", "BBSFOLDER=1"],
    "ソフトウェア板": ["URL=http://soft.example.jp/test/", "NAME=ソフト太郎", "EMAIL=", "LIB=2ch", "PARAM2=1024"],
    "地域/東京掲示板": ["URL=http://machi.example.jp/tokyo/", "NAME=江戸っ子", "LIB=machibbs", "BBSFOLDER=1"],
    "地域/大阪掲示板": ["URL=http://machi.example.jp/osaka/", "NAME=なにわ", "LIB=machibbs"],
    "趣味/写真部": ["URL=http://jbbs.example.jp/photo/", "NAME=カメラ好き", "HP=http://photo.example.jp/",
                 "LIB=jbbs", "USER=camera", "PASS=secret"],
}
for board, basic in boards.items():
    folder = host / "data" / board
    folder.mkdir(parents=True, exist_ok=True)
    (folder / "tarn_BBS.ini").write_bytes(settings(DIALOG + ["[BASIC]"] + basic))
(host / "data" / "雑談ボード" / "sign.ini").write_bytes("名無しより\r\nよろしく".encode("cp932"))
PY

# The demo's own Wine prefix, drawing on an X display: the user's, or a virtual
# screen (Xvfb) when there is none. The display must be known before the first
# Wine program of the session starts, since Wine's desktop process keeps the
# one it was started with.
xvfb_pid=
cleanup() {
    scripts/wine-prefix.sh stop "$prefix" || true
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT
mkdir -p "$demo"
if [ -z "${DISPLAY:-}" ]; then
    # Xvfb picks a free display and writes its number into the file given.
    rm -f "$demo/display"
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$demo/display" >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$demo/display" ] && break
        sleep 0.1
    done
    [ -s "$demo/display" ] || { echo "run.sh: Xvfb did not start" >&2; exit 1; }
    export DISPLAY=:$(head -n 1 "$demo/display")
fi
scripts/wine-prefix.sh stop "$prefix"  # a server left from an earlier run may hold another display
scripts/wine-prefix.sh start "$prefix" --graphics x11 >/dev/null

# A window manager owns the windows on a real screen; on the virtual one there
# is none, and Wine must draw the frames itself.
managed() {
    printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="%s"\r\n' "$1" >"$prefix/demo-managed.reg"
    scripts/wine-run.sh "$prefix" regedit /S "$prefix/demo-managed.reg" </dev/null >/dev/null 2>&1
}

echo "run.sh: demo host folder $host"
if [ -z "$xvfb_pid" ]; then
    managed Y
    echo "run.sh: TarnUtil.exe opens on display $DISPLAY; close its window (終了) to end"
    set +e
    (cd "$host" && exec "$root/scripts/wine-run.sh" "$prefix" TarnUtil.exe </dev/null)
    exit $?
fi

managed N
echo "run.sh: no DISPLAY; TarnUtil.exe opens on a virtual screen ($DISPLAY)"

(cd "$host" && exec "$root/scripts/wine-run.sh" "$prefix" TarnUtil.exe </dev/null >/dev/null 2>&1) &
utility_pid=$!
# The probe answers each command it reads with one JSON line.
probe_ok() {
    printf '%s\n' "$1" | scripts/wine-run.sh "$prefix" "$probe" | grep '^{"ok":true' >/dev/null
}
if ! probe_ok "wait_main 60000"; then
    echo "run.sh: the TarnUtil window did not appear" >&2
    exit 1
fi
sleep 2  # let it paint
xwd -root -silent -display "$DISPLAY" | convert xwd:- "png:$screenshot"
echo "run.sh: screenshot of the window: $screenshot"
if ! probe_ok "close_main 20000"; then
    echo "run.sh: the window did not close" >&2
    exit 1
fi
wait "$utility_pid"
echo "run.sh: closed; the utility saved TarnUtil.ini and sign.ini in $host"
