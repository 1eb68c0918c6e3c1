#!/usr/bin/env bash
# Installs the Debian 12 packages Trawlmeter needs. "test" adds what the test suite needs,
# "windows" what the Windows cross build needs (scripts/build-windows.sh), "refresh" what
# scripts/refresh-crawler-list.sh needs; several may be given.
set -euo pipefail
packages=(g++ cmake ninja-build pkg-config qt6-base-dev libsqlite3-dev libcli11-dev libexpected-dev
    libarchive-dev zlib1g-dev nlohmann-json3-dev libre2-dev libc-ares-dev fonts-wqy-microhei)
for mode in "$@"; do
    case "$mode" in
    test)
        packages+=(googletest libgtest-dev libgmock-dev xvfb xauth xdotool x11-utils imagemagick
            sqlite3 gzip bzip2 xz-utils zstd zip p7zip-full chromium-headless-shell dnsmasq-base)
        ;;
    windows)
        # The cross compiler, Wine to run what it makes, and what building the Windows libraries
        # from Debian's source packages takes (dpkg-source; make and tcl for SQLite's
        # amalgamation; perl, python3-six and unicode-data for RE2's tables; GoogleTest's sources;
        # NSIS for the installer, python3 again for packing it and the portable zip).
        packages+=(g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev wine wine64
            dpkg-dev make tcl perl python3 python3-six unicode-data xz-utils procps googletest
            nsis)
        ;;
    refresh)
        # Any npm will do: a Node.js from elsewhere brings its own and conflicts with Debian's.
        if ! command -v npm >/dev/null; then
            packages+=(npm)
        fi
        ;;
    *)
        echo "install-deps: unknown set $mode (test, windows, refresh)" >&2
        exit 2
        ;;
    esac
done
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if ((${#missing[@]})); then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
