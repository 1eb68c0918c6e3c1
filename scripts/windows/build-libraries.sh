#!/usr/bin/env bash
# Builds the static Windows libraries from Debian's source packages into one prefix:
#   build-libraries.sh PREFIX WORK NAME=FILE.dsc...   (sqlite3 libarchive bzip2 xz-utils libzstd re2 c-ares)
# Only the static libraries are built: no shared ones, no programs, no tests of their own. zlib
# is MinGW's (libz-mingw-w64-dev); GoogleTest comes from /usr/src/googletest; the header-only
# libraries are copied from the host so the cross build never sees the host's /usr/include.
set -euo pipefail
prefix="$1"
work="$2"
shift 2
declare -A dsc
for arg in "$@"; do
    dsc["${arg%%=*}"]="${arg#*=}"
done

root="$(cd "$(dirname "$0")/../.." && pwd)"
toolchain="$root/cmake/mingw-w64-x86_64.cmake"
triple=x86_64-w64-mingw32
jobs="$(nproc)"
mkdir -p "$prefix/include" "$prefix/lib" "$work"

# Unpacks a source package with Debian's patches applied; prints the folder.
unpack() {
    local name="$1" into="$work/$1"
    rm -rf "$into"
    dpkg-source --no-check -x "${dsc[$name]}" "$into" >"$work/$name.unpack.log" 2>&1 ||
        { cat "$work/$name.unpack.log" >&2; return 1; }
    echo "$into"
}

# Configures and builds a CMake project for Windows into the prefix: cmake_build NAME SOURCE
# TARGETS -- CMAKE_ARGS...; with no targets, everything is built and installed.
cmake_build() {
    local name="$1" source="$2" targets=()
    shift 2
    while [[ "$1" != "--" ]]; do
        targets+=("$1")
        shift
    done
    shift
    local build="$work/$name-build" log="$work/$name.log" configured started=$SECONDS
    rm -rf "$build"
    {
        cmake -S "$source" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
            -DTRAWLMETER_WINDOWS_DEPS="$prefix" -DCMAKE_INSTALL_PREFIX="$prefix" \
            -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" \
            -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DBUILD_SHARED_LIBS=OFF -DBUILD_TESTING=OFF "$@" &&
            configured=$SECONDS &&
            if ((${#targets[@]})); then
                cmake --build "$build" -j"$jobs" --target "${targets[@]}"
            else
                cmake --build "$build" -j"$jobs" && cmake --install "$build"
            fi
    } >"$log" 2>&1 || { tail -n 60 "$log" >&2; echo "build-libraries: $name failed (log: $log)" >&2; return 1; }
    echo "build-libraries: $name configured in $((configured - started)) s, built in $((SECONDS - configured)) s"
}

# Runs one library's build and says how long it took: the wall time, and the processor time,
# which does not depend on what else the machine is doing.
timed() (
    name="$1"
    shift
    # In a subshell of its own, so the count holds this library's processes only.
    TIMEFORMAT="build-libraries: $name ${versions[$name]:-} in %0R s (processor %0U s + %0S s)"
    time "$@"
)

declare -A versions
for name in "${!dsc[@]}"; do
    versions[$name]="$(basename "${dsc[$name]}" .dsc)"
    versions[$name]="${versions[$name]#*_}"
done

# SQLite: its amalgamation (sqlite3.c) is the same on every platform and is made by host tools,
# then compiled alone. Debian's options that change how the engine behaves are kept; extensions
# the program does not use (full-text search, R-trees, sessions, loadable extensions) are not.
build_sqlite() {
    local source native
    source="$(unpack sqlite3)"
    native="$work/sqlite3-native"
    mkdir -p "$native"
    (cd "$native" && "$source/configure" --disable-tcl && make -j"$jobs" sqlite3.c) \
        >"$work/sqlite3.log" 2>&1 || { tail -n 40 "$work/sqlite3.log" >&2; return 1; }
    "$triple-gcc-posix" -O2 -fno-strict-aliasing -DSQLITE_THREADSAFE=1 -DSQLITE_SECURE_DELETE \
        -DSQLITE_ENABLE_COLUMN_METADATA -DSQLITE_OMIT_LOOKASIDE=1 -DSQLITE_ENABLE_DBSTAT_VTAB \
        -DSQLITE_LIKE_DOESNT_MATCH_BLOBS -DSQLITE_USE_URI=1 -DSQLITE_MAX_SCHEMA_RETRY=25 \
        -DSQLITE_MAX_VARIABLE_NUMBER=250000 -DSQLITE_OMIT_LOAD_EXTENSION \
        -c "$native/sqlite3.c" -o "$native/sqlite3.o"
    rm -f "$prefix/lib/libsqlite3.a"
    "$triple-ar" rcs "$prefix/lib/libsqlite3.a" "$native/sqlite3.o"
    cp "$native/sqlite3.h" "$prefix/include/"
}

# bzip2 has a plain Makefile that also runs its programs; the library is seven files.
build_bzip2() {
    local source objects=()
    source="$(unpack bzip2)"
    for file in blocksort huffman crctable randtable compress decompress bzlib; do
        "$triple-gcc-posix" -O2 -D_FILE_OFFSET_BITS=64 -c "$source/$file.c" -o "$work/bz-$file.o"
        objects+=("$work/bz-$file.o")
    done
    rm -f "$prefix/lib/libbz2.a"
    "$triple-ar" rcs "$prefix/lib/libbz2.a" "${objects[@]}"
    cp "$source/bzlib.h" "$prefix/include/"
}

build_xz() {
    local source
    source="$(unpack xz-utils)"
    # Without getopt_long only liblzma is built, not the xz and xzdec programs.
    cmake_build xz-utils "$source" -- -DHAVE_GETOPT_LONG=OFF -DENABLE_NLS=OFF
}

build_zstd() {
    local source
    source="$(unpack libzstd)"
    cmake_build libzstd "$source/build/cmake" -- -DZSTD_BUILD_STATIC=ON -DZSTD_BUILD_SHARED=OFF \
        -DZSTD_BUILD_PROGRAMS=OFF -DZSTD_BUILD_TESTS=OFF -DZSTD_MULTITHREAD_SUPPORT=OFF
}

# libarchive with the four compressors above and nothing else: no crypto, no XML (xar), no iconv
# (Windows converts names itself), no programs.
build_libarchive() {
    local source build="$work/libarchive-build"
    source="$(unpack libarchive)"
    cmake_build libarchive "$source" archive_static -- -DENABLE_INSTALL=OFF -DENABLE_TEST=OFF \
        -DENABLE_TAR=OFF -DENABLE_CPIO=OFF -DENABLE_CAT=OFF -DENABLE_WERROR=OFF \
        -DENABLE_OPENSSL=OFF -DENABLE_MBEDTLS=OFF -DENABLE_NETTLE=OFF -DENABLE_CNG=OFF \
        -DENABLE_LIBB2=OFF -DENABLE_LZ4=OFF -DENABLE_LZO=OFF -DENABLE_LIBXML2=OFF \
        -DENABLE_EXPAT=OFF -DENABLE_PCREPOSIX=OFF -DENABLE_LIBGCC=OFF -DPOSIX_REGEX_LIB=NONE \
        -DENABLE_ICONV=OFF \
        -DENABLE_ACL=OFF -DENABLE_XATTR=OFF -DENABLE_ZLIB=ON -DENABLE_BZip2=ON -DENABLE_LZMA=ON \
        -DENABLE_ZSTD=ON -DCMAKE_C_FLAGS=-DLZMA_API_STATIC
    for feature in HAVE_LIBZ HAVE_BZLIB_H HAVE_LZMA_H HAVE_ZSTD_H; do
        grep -q "^#define $feature 1" "$build/config.h" ||
            { echo "build-libraries: libarchive was configured without $feature" >&2; return 1; }
    done
    cp "$build/libarchive/libarchive_static.a" "$prefix/lib/libarchive.a"
    cp "$source/libarchive/archive.h" "$source/libarchive/archive_entry.h" "$prefix/include/"
}

build_re2() {
    local source
    source="$(unpack re2)"
    # Debian's source leaves out the generated Unicode and Perl class tables; they are made from
    # the system's Unicode data, as Debian's own build does.
    perl "$source/re2/make_perl_groups.pl" >"$source/re2/perl_groups.cc"
    for table in casefold groups; do
        (cd "$source/re2" && python3 "make_unicode_$table.py" >"unicode_$table.cc")
    done
    cmake_build re2 "$source" -- -DRE2_BUILD_TESTING=OFF
    # Debian's re2 is found through pkg-config; its CMake build does not install re2.pc, which is
    # filled in here as RE2's own Makefile fills it in.
    mkdir -p "$prefix/lib/pkgconfig"
    sed -e "s#@includedir@#$prefix/include#" -e "s#@libdir@#$prefix/lib#" "$source/re2.pc" \
        >"$prefix/lib/pkgconfig/re2.pc"
}

build_cares() {
    local source
    source="$(unpack c-ares)"
    # This release uses the BSD name INADDRSZ, which only Unix headers define; c-ares' own name
    # for the same size is NS_INADDRSZ (as later releases spell it).
    sed -i 's/\bINADDRSZ\b/NS_INADDRSZ/g' "$source/src/lib/inet_net_pton.c"
    cmake_build c-ares "$source" -- -DCARES_STATIC=ON -DCARES_SHARED=OFF \
        -DCARES_BUILD_TOOLS=OFF -DCARES_BUILD_TESTS=OFF -DCARES_INSTALL=ON
}

build_googletest() {
    cmake_build googletest /usr/src/googletest -- -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON
}

copy_header_libraries() {
    mkdir -p "$prefix/share/cmake"
    cp -r /usr/include/tl /usr/include/CLI /usr/include/nlohmann "$prefix/include/"
    # Their CMake packages find the headers relative to themselves, so here they find these.
    cp -r /usr/share/cmake/tl-expected /usr/share/cmake/CLI11 /usr/share/cmake/nlohmann_json \
        "$prefix/share/cmake/"
}

versions[googletest]="$(dpkg-query -W -f='${Version}' googletest)"

# Two lanes, so that one library's configure checks (one process after another) overlap another
# library's build. libarchive waits for its compressors; nothing else waits for anything.
lanes=()
# A lane that is left behind when the other fails is stopped with all it started.
stop_tree() {
    local child
    for child in $(ps -o pid= --ppid "$1"); do
        stop_tree "$child"
    done
    kill "$1" 2>/dev/null || true
}
trap 'for lane in "${lanes[@]}"; do stop_tree "$lane"; done' EXIT
timed xz-utils build_xz &
lanes+=($!)
timed bzip2 build_bzip2
timed libzstd build_zstd
wait "${lanes[0]}"
timed libarchive build_libarchive &
lanes+=($!)
timed "header-only libraries" copy_header_libraries
timed sqlite3 build_sqlite
timed c-ares build_cares
timed re2 build_re2
timed googletest build_googletest
wait "${lanes[1]}"
trap - EXIT
