#include "app/Messages.h"

#include <gtest/gtest.h>

#include <string>
#include <system_error>

namespace trawlmeter {
namespace {

TEST(MessagesTest, NamesShowControlsEscapedAndEverythingElseAsItIs) {
    const std::pair<std::string, std::string> names[] = {
        {"/logs/u_ex080715.log", "/logs/u_ex080715.log"},
        {"D:\\日志\\网站 一月.log", "D:\\日志\\网站 一月.log"},
        {"x\x1b[2J\x1b[H.log", "x\\x1B[2J\\x1B[H.log"},
        {"a.log\n提示: 分析完成", "a.log\\x0A提示: 分析完成"},
        {"c1\xc2\x9b"
         "31m.log",
         "c1\\u009B31m.log"},
        {"gol.\xe2\x80\xaelog", "gol.\\u202Elog"},
        {"raw\x9b\xcd\xf8.log", "raw\\x9B\\xCD\\xF8.log"},
        {"del\x7f\t", "del\\x7F\\x09"},
    };
    for (const auto& [name, shown] : names) {
        EXPECT_EQ(messages::shown(name), shown);
        const Failure failure{std::make_error_code(std::errc::io_error), name, {}};
        EXPECT_EQ(messages::logUnreadable(failure),
                  "无法读取日志文件：" + shown + "（" + failure.code.message() + "）");
    }
    EXPECT_EQ(messages::logMissing("gone\r.log"), "日志文件不存在：gone\\x0D.log");
}

} // namespace
} // namespace trawlmeter
