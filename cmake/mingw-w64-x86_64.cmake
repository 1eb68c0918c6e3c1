# Cross-builds for 64-bit Windows with Debian's MinGW-w64 compilers, the -posix flavour (the one
# with std::thread), against the static libraries scripts/build-windows.sh keeps in its cache.
# Programs are linked statically, so they need no DLL beyond Windows' own, and whatever the build
# runs (CTest's tests, configure checks that run a program) runs under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TRAWLMETER_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TRAWLMETER_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TRAWLMETER_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TRAWLMETER_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${TRAWLMETER_MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${TRAWLMETER_MINGW_TRIPLE}-ranlib CACHE FILEPATH "")

# The folder of the Windows libraries; by default the one build-windows.sh made last. The
# libraries themselves are built with this file too, each pointing it at the folder being filled.
get_filename_component(TRAWLMETER_SOURCE_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
if(NOT TRAWLMETER_WINDOWS_DEPS)
    set(TRAWLMETER_WINDOWS_DEPS "${TRAWLMETER_SOURCE_ROOT}/build/windows-deps/current")
endif()
set(TRAWLMETER_WINDOWS_DEPS "${TRAWLMETER_WINDOWS_DEPS}" CACHE PATH
    "Prefix of the static Windows libraries (built by scripts/build-windows.sh)")
# Configure checks build in projects of their own, which see only what is listed here.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TRAWLMETER_WINDOWS_DEPS)

# Libraries, headers and CMake packages come from the cache and MinGW's own folder (zlib), never
# from the host's /usr; programs (pkg-config, the host tools) from the host.
set(CMAKE_FIND_ROOT_PATH "${TRAWLMETER_WINDOWS_DEPS}" /usr/${TRAWLMETER_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} "${TRAWLMETER_WINDOWS_DEPS}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
# Every library is static: pkg-config adds what each needs itself (c-ares: its Windows socket
# libraries and CARES_STATICLIB).
set(PKG_CONFIG_ARGN --static)

# MinGW ships zlib both as a DLL import library and as a static one: take the static one.
set(ZLIB_USE_STATIC_LIBS ON)
# The static libarchive brings the compressors it was built with and its LIBARCHIVE_STATIC.
list(APPEND CMAKE_MODULE_PATH "${CMAKE_CURRENT_LIST_DIR}/windows")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

set(CMAKE_CROSSCOMPILING_EMULATOR "${TRAWLMETER_SOURCE_ROOT}/scripts/windows/wine-run.sh")
