#include "platform/FileProblems.h"

#include <string>

namespace trawlmeter {
namespace {

class FileProblemCategory : public std::error_category {
public:
    const char* name() const noexcept override { return "trawlmeter.file"; }
    std::string message(int value) const override {
        switch (static_cast<FileProblem>(value)) {
        case FileProblem::NotARegularFile:
            return "不是普通文件";
        case FileProblem::ShrankWhileRead:
            return "文件在读取过程中变短了";
        case FileProblem::IsASymbolicLink:
            return "是一个符号链接";
        case FileProblem::NotAFolder:
            return "不是文件夹";
        }
        return "未知的问题";
    }
};

} // namespace

const std::error_category& fileProblemCategory() {
    static const FileProblemCategory category;
    return category;
}

} // namespace trawlmeter
