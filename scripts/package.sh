#!/usr/bin/env bash
# Builds the release archive build/windows/TarnUtil-<version>-win64.zip:
# TarnUtil.exe, plugins/qv_TarnUtil.exe (both statically linked, stripped) and
# the Japanese user guide, laid out so that unpacking it over the host's
# application folder installs the utility. Installs what is missing first.
#   bash scripts/package.sh              in build/windows (the windows preset)
#   bash scripts/package.sh DIR          in the build folder DIR instead
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build=${1:-build/windows}
cmake --preset windows -B "$build" >/dev/null
cmake --build "$build" --target package_zip
version=$(sed -nE 's/^CMAKE_PROJECT_VERSION:STATIC=(.*)$/\1/p' "$build/CMakeCache.txt")
echo "package: $build/TarnUtil-$version-win64.zip"
