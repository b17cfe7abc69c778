#!/usr/bin/env bash
# Benchmark of the batch driver tarnbatch, natively and under Wine:
#   scripts/bench.sh [--folders N] [--small N] [--repeat N] [--starts N]
# Builds the Release programs if needed (native in build/bench-native, Windows
# with the windows preset), generates the board folders under build/bench
# (kept for later runs), and prints folders per second of the driver and of
# the I/O floor (tests/bench/io_floor.cpp), the driver's peak memory, and the
# companion's start time under Wine against a no-op console program
# (tests/bench/noop_console.cpp); then the window's batch with and without its
# journal (tests/bench/bench_window.py).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

cmake -S . -B build/bench-native -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/bench-native --target tarnbatch io_floor >/dev/null
cmake --preset windows >/dev/null
cmake --build --preset windows --target tarnbatch io_floor qv_TarnUtil noop_console TarnUtil gui_tarnprobe >/dev/null

# A prefix of the benchmark's own, so that it neither waits for nor ends the
# wineserver of a test run.
prefix=$PWD/build/bench/wineprefix
mkdir -p build/bench
# wine-prefix.sh start fails while a server of the prefix still runs (say,
# from an interrupted benchmark): end it first.
scripts/wine-prefix.sh stop "$prefix"
scripts/wine-prefix.sh start "$prefix"
trap 'scripts/wine-prefix.sh stop "$prefix"' EXIT

LC_ALL=ja_JP.UTF-8 PYTHONUTF8=1 python3 tests/bench/bench_tarnbatch.py \
    --native build/bench-native/bin \
    --windows build/windows/bin --wine-run "$PWD/scripts/wine-run.sh" --wine-prefix "$prefix" \
    --work build/bench "$@"

# The window's batch, with its journal and without, driven by the GUI tests'
# probe in a prefix of its own under build/bench/gui.
LC_ALL=ja_JP.UTF-8 PYTHONUTF8=1 TARN_UTILITY=$PWD/build/windows/bin/TarnUtil.exe \
    TARN_PROBE=$PWD/build/windows/tests/gui/tarnprobe.exe TARN_GUI_WORK=$PWD/build/bench/gui \
    TARN_WINE_PREFIX_SCRIPT=$PWD/scripts/wine-prefix.sh python3 tests/bench/bench_window.py "$@"
