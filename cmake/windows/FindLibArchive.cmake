# The Windows build's libarchive is a static library. CMake's own module finds it; this adds what
# a static libarchive needs: the compressors it was built with, and LIBARCHIVE_STATIC, without
# which its header declares every function as imported from a DLL.
include(${CMAKE_ROOT}/Modules/FindLibArchive.cmake)

if(LibArchive_FOUND AND TARGET LibArchive::LibArchive)
    get_target_property(trawlmeter_archive_defs LibArchive::LibArchive INTERFACE_COMPILE_DEFINITIONS)
    if(NOT "LIBARCHIVE_STATIC" IN_LIST trawlmeter_archive_defs)
        find_package(ZLIB REQUIRED)
        find_library(TRAWLMETER_BZ2_LIBRARY NAMES bz2 REQUIRED)
        find_library(TRAWLMETER_LZMA_LIBRARY NAMES lzma REQUIRED)
        find_library(TRAWLMETER_ZSTD_LIBRARY NAMES zstd REQUIRED)
        set_property(TARGET LibArchive::LibArchive APPEND PROPERTY INTERFACE_LINK_LIBRARIES
            ${TRAWLMETER_BZ2_LIBRARY} ${TRAWLMETER_LZMA_LIBRARY} ${TRAWLMETER_ZSTD_LIBRARY}
            ZLIB::ZLIB)
        set_property(TARGET LibArchive::LibArchive APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS
            LIBARCHIVE_STATIC)
    endif()
    unset(trawlmeter_archive_defs)
endif()
