#!/usr/bin/env bash
# Creates and keeps the Wine prefix the Windows tests run in.
#   wine-prefix.sh start PREFIX   create the prefix if needed, start a persistent wineserver
#   wine-prefix.sh stop PREFIX    end that wineserver
set -euo pipefail
action=$1 prefix=$2
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=ja_JP.UTF-8

registry() {
    cat <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Software\Wine\Drivers]
"Graphics"="null"

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\Control Panel\Desktop]
"LogPixels"=dword:00000078
REG
}

case $action in
start)
    if [ ! -f "$prefix/.tarn-ready" ]; then
        rm -rf "$prefix"
        mkdir -p "$prefix"
        wineboot -i </dev/null >/dev/null 2>&1
        wineserver -w
        mkdir -p "$prefix/drive_c/windows/Fonts"
        cp /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
        registry > "$prefix/tarn.reg"
        wine regedit /S "$prefix/tarn.reg" </dev/null >/dev/null 2>&1
        wineserver -w
        touch "$prefix/.tarn-ready"
    fi
    # Detached from our output, or whoever reads it (ctest) would wait for it.
    # It fails when a server for this prefix runs already, which is as good.
    wineserver -p </dev/null >/dev/null 2>&1 || true
    # The first program of a session starts Wine's background services, which
    # stay as long as the server and keep the standard output they were given:
    # start them here, detached, so that no test's output stays open.
    wineboot </dev/null >/dev/null 2>&1
    ;;
stop)
    wineserver -k 2>/dev/null || true
    ;;
*)
    echo "usage: $0 start|stop PREFIX" >&2
    exit 2
    ;;
esac
