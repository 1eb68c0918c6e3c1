#include "platform/VerificationProblem.h"

#include <string>

namespace trawlmeter {
namespace {

class VerificationCategory : public std::error_category {
public:
    const char* name() const noexcept override { return "trawlmeter-verification"; }
    std::string message(int value) const override {
        switch (static_cast<VerificationProblem>(value)) {
        case VerificationProblem::BadServerAddress:
            return "不是 DNS 服务器的地址（应为 地址 或 地址:端口）";
        case VerificationProblem::MalformedRangeFile:
            return "不是有效的爬虫地址段文件";
        case VerificationProblem::RangeFileWithoutPrefixes:
            return "爬虫地址段文件中没有任何地址段";
        case VerificationProblem::UnusableVerdictTable:
            return "验证结果表的结构不对";
        }
        return "未知的问题";
    }
};

} // namespace

const std::error_category& verificationCategory() {
    static const VerificationCategory category;
    return category;
}

} // namespace trawlmeter
