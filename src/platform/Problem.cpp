#include "platform/Problem.h"

#include <string>

namespace trawlmeter {
namespace {

class ProblemCategory : public std::error_category {
public:
    const char* name() const noexcept override { return "trawlmeter"; }
    std::string message(int value) const override {
        switch (static_cast<Problem>(value)) {
        case Problem::NotARegularFile:
            return "不是普通文件";
        case Problem::ShrankWhileRead:
            return "文件在读取过程中变短了";
        case Problem::IsASymbolicLink:
            return "是一个符号链接";
        case Problem::NotAFolder:
            return "不是文件夹";
        }
        return "未知的问题";
    }
};

} // namespace

const std::error_category& problemCategory() {
    static const ProblemCategory category;
    return category;
}

} // namespace trawlmeter
