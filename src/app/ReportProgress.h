#pragma once

#include <cstddef>

namespace trawlmeter {

// Where the making of a crawler report stands.
enum class ReportStage { Counting, Verifying, Writing };

struct ReportProgress {
    ReportStage stage = ReportStage::Counting;
    // While verifying: the addresses decided so far of all there are.
    std::size_t decided = 0;
    std::size_t total = 0;
    bool operator==(const ReportProgress&) const = default;
};

} // namespace trawlmeter
