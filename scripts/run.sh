#!/usr/bin/env bash
# Installs what is missing, builds the Windows programs (build/windows/bin/)
# and the native driver (build/native/bin/), then runs the batch driver with
# the given arguments: natively, or under Wine with --wine as first argument.
# Without arguments it shows the driver's help.
#   bash scripts/run.sh --set NAME=山田 --dry-run ~/host/data
#   bash scripts/run.sh --wine --set NAME=山田 ~/host/data
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
for preset in native windows; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" >/dev/null
done

if [ "${1:-}" = "--wine" ]; then
    shift
    prefix=$PWD/build/windows/wineprefix
    scripts/wine-prefix.sh start "$prefix"
    trap 'scripts/wine-prefix.sh stop "$prefix"' EXIT
    # Wine writes the program's Shift-JIS output as it is; show it as UTF-8.
    set +e
    scripts/wine-run.sh "$prefix" build/windows/bin/tarnbatch.exe "${@:---help}" 2>&1 | iconv -f CP932 -t UTF-8
    exit "${PIPESTATUS[0]}"
fi
exec build/native/bin/tarnbatch "${@:---help}"
