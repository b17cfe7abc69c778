#!/usr/bin/env bash
# Installs what building and testing TarnUtil needs on Debian 12, if missing:
# the native and mingw-w64 compilers, CMake, Ninja, GoogleTest, Wine with
# fonts, Xvfb, Python 3, chattr, clang with libFuzzer and Valgrind (for the
# fuzz targets and the memory checks), and the ja_JP.UTF-8 locale (so that Python,
# the shell and Wine agree on file names with Japanese characters).
#   bash scripts/setup.sh             all of it
#   bash scripts/setup.sh --package   only what building the release archive
#                                     needs: mingw-w64, CMake, Ninja, Python 3
#                                     (the archive is written by Python's zipfile)
set -euo pipefail

if [ "${1:-}" = --package ]; then
    packages=(cmake ninja-build g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 python3)
    need_locale=no
else
    packages=(
        cmake ninja-build g++ pkg-config googletest libgtest-dev
        g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
        wine wine64 fonts-wine fonts-ipafont-gothic xvfb x11-apps imagemagick
        python3 e2fsprogs locales
        clang libclang-rt-14-dev valgrind
    )
    need_locale=yes
fi

sudo_if_needed() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    sudo_if_needed apt-get update -qq
    sudo_if_needed env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if [ "$need_locale" = yes ] && ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    echo "setup: generating the ja_JP.UTF-8 locale"
    sudo_if_needed localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
