# Writes OUTPUT, a C++ source that holds the crawler list LIST byte for byte and the version
# that VERSION_FILE names, so the list is part of the build instead of a file read at run time.
# The bytes go in as numbers: a string literal of this size is beyond some compilers' limits.
#   cmake -DLIST=... -DVERSION_FILE=... -DOUTPUT=... -P embed_crawler_list.cmake
file(READ "${LIST}" hex HEX)
string(LENGTH "${hex}" digits)
if(digits EQUAL 0)
    message(FATAL_ERROR "${LIST} is empty")
endif()
file(STRINGS "${VERSION_FILE}" version LIMIT_COUNT 1)
if(NOT version MATCHES "^[0-9A-Za-z.+-]+$")
    message(FATAL_ERROR "${VERSION_FILE} holds no version")
endif()

# Twenty bytes a line, each as 0xNN.
string(REPEAT "[0-9a-f]" 40 line)
string(REGEX REPLACE "(${line})" "\\1\n" hex "${hex}")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")

get_filename_component(name "${LIST}" NAME)
file(WRITE "${OUTPUT}.part" "// Made by tools/embed_crawler_list.cmake from ${name}: do not edit.
#include \"crawlers/CrawlerList.h\"

namespace trawlmeter::crawlers {
namespace {

constexpr unsigned char kListBytes[] = {
${bytes}};

} // namespace

std::string_view shippedListJson() {
    return {reinterpret_cast<const char*>(kListBytes), sizeof kListBytes};
}

std::string_view shippedListVersion() {
    return \"${version}\";
}

} // namespace trawlmeter::crawlers
")
# Only a changed source is rebuilt.
file(COPY_FILE "${OUTPUT}.part" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.part")
