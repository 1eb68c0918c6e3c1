#include "platform/FileWrites.h"

namespace trawlmeter {

Expected<void> writeWhole(FileWritePort& writes, File& to, std::span<const char> bytes) {
    while (!bytes.empty()) {
        const auto written = writes.write(to, bytes);
        if (!written) {
            return tl::unexpected(written.error());
        }
        bytes = bytes.subspan(*written);
    }
    return {};
}

} // namespace trawlmeter
