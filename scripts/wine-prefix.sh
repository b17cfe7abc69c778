#!/usr/bin/env bash
# Creates and keeps the Wine prefix the Windows tests run in.
#   wine-prefix.sh start PREFIX   create the prefix if needed, start a persistent wineserver
#   wine-prefix.sh stop PREFIX    end that wineserver
# Optional settings after PREFIX (for the GUI tests' own prefixes):
#   --dpi N            screen resolution in pixels per inch (default 120)
#   --graphics DRIVER  "null" (default, no display needed) or "x11" (needs DISPLAY)
# A prefix made with other settings is given the new ones before the server starts.
set -euo pipefail
action=$1 prefix=$2
shift 2
dpi=120 graphics=null
while [ $# -gt 0 ]; do
    case $1 in
    --dpi) dpi=$2; shift 2 ;;
    --graphics) graphics=$2; shift 2 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
    esac
done
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=ja_JP.UTF-8

registry() {
    cat <<REG
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Software\Wine\Drivers]
"Graphics"="$graphics"

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\Control Panel\Desktop]
"LogPixels"=dword:$(printf %08x "$dpi")
REG
    # The programs ask for the fonts "ＭＳ Ｐゴシック" and "ＭＳ ゴシック";
    # show them in the IPA fonts of the same kind (proportional and fixed).
    # A REGEDIT4 file is read in the ANSI code page, so the names are Shift-JIS.
    printf '\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\n'
    printf '"\x82\x6c\x82\x72 \x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e"="IPAPGothic"\n'
    printf '"\x82\x6c\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4e"="IPAGothic"\n'
}

# What Wine says while a prefix is made and started goes to a log beside it,
# shown when a step fails (on a fresh machine the first start of Wine has
# failed now and then without a word).
log="$prefix.log"

make_prefix() {
    rm -rf "$prefix" && mkdir -p "$prefix" &&
        wineboot -i </dev/null >>"$log" 2>&1 && wineserver -w &&
        mkdir -p "$prefix/drive_c/windows/Fonts" &&
        { cp /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true; } &&
        registry >"$prefix/tarn.reg" && wine regedit /S "$prefix/tarn.reg" </dev/null >>"$log" 2>&1 &&
        wineserver -w && touch "$prefix/.tarn-ready"
}

apply_settings() {
    settings="dpi=$dpi graphics=$graphics"
    if [ -f "$prefix/.tarn-settings" ] && [ "$(cat "$prefix/.tarn-settings")" != "$settings" ]; then
        { wineserver -k 2>/dev/null || true; } &&
            registry >"$prefix/tarn.reg" && wine regedit /S "$prefix/tarn.reg" </dev/null >>"$log" 2>&1 &&
            wineserver -w || return 1
    fi
    echo "$settings" >"$prefix/.tarn-settings"
}

start_server() {
    # Detached from our output, or whoever reads it (ctest) would wait for it.
    # It fails when a server for this prefix runs already, which is as good.
    wineserver -p </dev/null >>"$log" 2>&1 || true
    # The first program of a session starts Wine's background services, which
    # stay as long as the server and keep the standard output they were given:
    # start them here, detached, so that no test's output stays open.
    wineboot </dev/null >>"$log" 2>&1
}

start() {
    { [ -f "$prefix/.tarn-ready" ] || make_prefix; } && apply_settings && start_server
}

case $action in
start)
    : >"$log"
    if ! start; then
        echo "wine-prefix.sh: starting $prefix failed; once more after this log:" >&2
        tail -n 40 "$log" >&2
        wineserver -k 2>/dev/null || true
        rm -f "$prefix/.tarn-ready"
        if ! start; then
            echo "wine-prefix.sh: starting $prefix failed again:" >&2
            tail -n 40 "$log" >&2
            exit 1
        fi
    fi
    ;;
stop)
    wineserver -k 2>/dev/null || true
    ;;
*)
    echo "usage: $0 start|stop PREFIX [--dpi N] [--graphics null|x11]" >&2
    exit 2
    ;;
esac
