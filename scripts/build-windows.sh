#!/usr/bin/env bash
# Cross-builds the programs for 64-bit Windows into build/windows/program/ (trawlmeter.exe, the
# window, and trawlmeter-batch.exe beside rezOve.mdb) and packs that folder into the installer
# build/windows/trawlmeter-1.00-setup.exe (NSIS) and build/windows/trawlmeter-1.00-portable.zip
# (packaging/): installs the MinGW-w64 compiler, Wine and NSIS, builds the
# Windows libraries once from Debian's own source packages into build/windows-deps/ (again only
# when a version or the recipe changes), makes the Wine prefix the Windows programs run in, and
# builds with cmake/mingw-w64-x86_64.cmake. With --tests (as scripts/test.sh calls it) the test
# programs are built as well, failing on any warning, for CTest to run under Wine:
#   ctest --test-dir build/windows --output-on-failure
set -euo pipefail
cd "$(dirname "$0")/.."
testing=OFF
case "${1:-}" in
--tests) testing=ON ;;
"") ;;
*) echo "usage: build-windows.sh [--tests]" >&2; exit 2 ;;
esac
root="$PWD"
started=$SECONDS
jobs="$(nproc)"
scripts/install-deps.sh windows

deps="$root/build/windows-deps"
sources="$deps/sources"
mkdir -p "$sources"

# Source packages need a deb-src entry: one mirroring the system's own entries is added.
source_lists=(/etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources)
if ! grep -qsE '^(Types:.*\bdeb-src\b|deb-src )' "${source_lists[@]}"; then
    if [[ -f /etc/apt/sources.list.d/debian.sources ]]; then
        sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
            >/etc/apt/sources.list.d/debian-src.sources
    else
        sed -n 's/^deb /deb-src /p' /etc/apt/sources.list >/etc/apt/sources.list.d/debian-src.list
    fi
    apt-get update -qq
elif [[ -z "$(apt-cache showsrc --only-source sqlite3 2>/dev/null)" ]]; then
    apt-get update -qq
fi

# Downloads a source package into the cache (nothing when it is there already) and prints its
# .dsc. When the newest version cannot be fetched (a mirror may lag behind its index), the one
# before it is taken.
fetch_source() {
    local name="$1" log="$deps/fetch-$1.log" version
    for version in $(apt-cache showsrc --only-source "$name" | sed -n 's/^Version: //p' | sort -rVu); do
        if (cd "$sources" && apt-get source --download-only -qq "$name=$version") >"$log" 2>&1; then
            rm -f "$log"
            echo "$sources/${name}_${version#*:}.dsc"
            return
        fi
    done
    cat "$log" >&2
    echo "build-windows: cannot fetch the source package $name" >&2
    return 1
}

# The cache is keyed by every version that goes into the libraries and by the recipe itself.
library_args=()
versions=()
for name in sqlite3 libarchive bzip2 xz-utils libzstd re2 c-ares; do
    dsc="$(fetch_source "$name")"
    library_args+=("$name=$dsc")
    versions+=("$(basename "$dsc" .dsc)")
done
for package in g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev libz-mingw-w64-dev googletest \
    libexpected-dev libcli11-dev nlohmann-json3-dev unicode-data cmake; do
    versions+=("${package}_$(dpkg-query -W -f='${Version}' "$package")")
done
key="$({
    printf '%s\n' "${versions[@]}"
    cat scripts/windows/build-libraries.sh cmake/mingw-w64-x86_64.cmake
} | sha256sum | cut -c1-12)"
prefix="$deps/$key"

# Configure checks that run a program (libarchive's) run it under Wine, in the prefix made here.
scripts/windows/wine-prefix.sh >/dev/null

if [[ ! -e "$prefix/.complete" ]]; then
    echo "build-windows: building the Windows libraries into $prefix"
    rm -rf "$prefix" "$deps/work"
    libraries_started=$SECONDS
    scripts/windows/build-libraries.sh "$prefix" "$deps/work" "${library_args[@]}"
    printf '%s\n' "${versions[@]}" >"$prefix/versions.txt"
    touch "$prefix/.complete"
    rm -rf "$deps/work"
    echo "build-windows: libraries built in $((SECONDS - libraries_started)) s"
fi
ln -sfn "$key" "$deps/current"
# Libraries of other versions, or left half-built, are of no further use.
for old in "$deps"/*; do
    [[ -d "$old" && ! -L "$old" && "$old" != "$prefix" && "$old" != "$sources" ]] && rm -rf "$old"
done

# The delivered database is laid out by the build machine's own make-visit-db.
cmake -S . -B build/windows-host -G Ninja -DCMAKE_BUILD_TYPE=Release -DTRAWLMETER_BUILD_GUI=OFF \
    -DBUILD_TESTING=OFF -DTRAWLMETER_BUILD_BENCH=OFF >/dev/null
cmake --build build/windows-host -j"$jobs" --target make-visit-db

cmake -S . -B build/windows -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DTRAWLMETER_BUILD_GUI=OFF -DBUILD_TESTING="$testing" \
    -DTRAWLMETER_WARNINGS_AS_ERRORS="$testing" -DTRAWLMETER_BUILD_BENCH=OFF \
    -DTRAWLMETER_HOST_MAKE_VISIT_DB="$root/build/windows-host/tools/make-visit-db"
cmake --build build/windows -j"$jobs"

# The program must start on a bare Windows: every DLL it imports is one of the system's own,
# which are exactly the ones Wine's prefix carries in system32.
system32="$(scripts/windows/wine-prefix.sh)/drive_c/windows/system32"
for exe in build/windows/program/*.exe; do
    for dll in $(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p'); do
        if [[ -z "$(find "$system32" -maxdepth 1 -iname "$dll" -print -quit)" ]]; then
            echo "build-windows: $exe needs $dll, which Windows does not ship" >&2
            rm -f build/windows/trawlmeter-*-setup.exe build/windows/trawlmeter-*-portable.zip
            exit 1
        fi
    done
done
echo "build-windows: build/windows/program/, its installer and its zip are ready in" \
    "$((SECONDS - started)) s"
