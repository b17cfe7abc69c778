#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's test prefix:
#   wine-run.sh PREFIX PROGRAM [ARGUMENT]...
# The ANSI code page must be 932 (Japanese), so the locale is ja_JP.UTF-8.
set -euo pipefail
prefix=$1; shift
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=ja_JP.UTF-8
exec wine "$@"
