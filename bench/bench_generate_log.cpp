// Writes a generated IIS log: bench-generate-log PATH MIB [CRAWLER_PERCENT [OTHER_PERCENT]]
#include "BenchSupport.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: bench-generate-log PATH MIB [CRAWLER_PERCENT [OTHER_PERCENT]]\n");
        return 2;
    }
    const std::int64_t bytes = std::atoll(argv[2]) * 1024 * 1024;
    const int percent = argc > 3 ? std::atoi(argv[3]) : 10;
    const int otherPercent = argc > 4 ? std::atoi(argv[4]) : 0;
    const auto lines = trawlmeter::bench::writeGeneratedLog(argv[1], bytes, percent, otherPercent);
    std::printf("%s: %lld lines\n", argv[1], static_cast<long long>(lines));
    return 0;
}
