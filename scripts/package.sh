#!/usr/bin/env bash
# Builds the release archive build/package/TarnUtil-<version>-win64.zip:
# TarnUtil.exe, tarnbatch.exe, plugins/qv_TarnUtil.exe (statically linked,
# stripped), the Japanese user guide (Markdown and one HTML page) and the
# registry file for Wine, laid out so that unpacking it over the host's
# application folder installs the utility. Installs what packaging needs first
# (mingw-w64, CMake, Ninja, Python 3; not the test tools), and builds in a
# folder of its own without the tests, which would need GoogleTest and Wine.
#   bash scripts/package.sh              in build/package
#   bash scripts/package.sh DIR          in the build folder DIR instead
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --package
build=${1:-build/package}
cmake --preset windows -B "$build" -DTARN_TESTS=OFF >/dev/null
cmake --build "$build" --target package_zip
version=$(sed -nE 's/^CMAKE_PROJECT_VERSION:STATIC=(.*)$/\1/p' "$build/CMakeCache.txt")
echo "package: $build/TarnUtil-$version-win64.zip"
