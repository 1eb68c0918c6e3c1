#!/usr/bin/env bash
# Installs the Debian 12 packages Trawlmeter needs. "test" adds what the test suite needs,
# "refresh" what scripts/refresh-crawler-list.sh needs.
set -euo pipefail
packages=(g++ cmake ninja-build pkg-config qt6-base-dev libsqlite3-dev libcli11-dev libexpected-dev
    libarchive-dev zlib1g-dev nlohmann-json3-dev libre2-dev libc-ares-dev fonts-wqy-microhei)
if [[ "${1:-}" == "test" ]]; then
    packages+=(googletest libgtest-dev libgmock-dev xvfb xauth xdotool x11-utils
        gzip bzip2 xz-utils zstd zip p7zip-full chromium-headless-shell dnsmasq-base)
fi
# Any npm will do: a Node.js from elsewhere brings its own and conflicts with Debian's package.
if [[ "${1:-}" == "refresh" ]] && ! command -v npm >/dev/null; then
    packages+=(npm)
fi
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if ((${#missing[@]})); then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
