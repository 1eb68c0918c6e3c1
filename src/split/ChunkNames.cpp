#include "split/ChunkNames.h"
#include "platform/PathText.h"

#include <algorithm>
#include <optional>
#include <tuple>

namespace trawlmeter::split {
namespace {

// The chunk number's digits without leading zeros; nothing when `name` is no chunk name.
std::optional<std::string_view> chunkNumberDigits(std::string_view name) {
    const std::size_t dot = kChunkBaseName.size();
    if (!name.starts_with(kChunkBaseName) || name.size() <= dot || name[dot] != '.') {
        return std::nullopt;
    }
    std::string_view digits = name.substr(dot + 1);
    const bool allDigits =
        std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (digits.size() < 3 || !allDigits) {
        return std::nullopt;
    }
    digits.remove_prefix(std::min(digits.find_first_not_of('0'), digits.size()));
    return digits;
}

// Numbers compared as digit strings, so no number is too long to order.
auto orderKey(const std::string& name) {
    const auto digits = chunkNumberDigits(name);
    const std::string_view number = digits.value_or(std::string_view());
    return std::make_tuple(!digits.has_value(), number.size(), number, std::string_view(name));
}

} // namespace

std::string workFolderPath(std::string_view programFolder) {
    return std::string(programFolder) + kPathSeparator + std::string(kWorkFolderName);
}

std::string chunkPath(std::string_view programFolder, std::string_view name) {
    return workFolderPath(programFolder) + kPathSeparator + std::string(name);
}

std::string chunkBasePath(std::string_view programFolder) {
    return chunkPath(programFolder, kChunkBaseName);
}

std::string chunkFileName(std::string_view base, std::int64_t number) {
    std::string digits = std::to_string(number);
    if (digits.size() < 3) {
        digits.insert(0, 3 - digits.size(), '0');
    }
    return std::string(base) + "." + digits;
}

std::string chunkName(std::int64_t number) {
    return chunkFileName(kChunkBaseName, number);
}

void sortInSplitOrder(std::vector<std::string>& names) {
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return orderKey(a) < orderKey(b); });
}

} // namespace trawlmeter::split
