#include "verify/Verdict.h"

#include <array>

namespace trawlmeter::verify {
namespace {

constexpr std::array<std::string_view, 3> kNames{"verified", "impostor", "unknown"};

} // namespace

std::string_view verdictName(Verdict verdict) {
    return kNames[static_cast<std::size_t>(verdict)];
}

std::optional<Verdict> verdictNamed(std::string_view name) {
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        if (kNames[i] == name) {
            return static_cast<Verdict>(i);
        }
    }
    return std::nullopt;
}

} // namespace trawlmeter::verify
