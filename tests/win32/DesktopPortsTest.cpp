// What the Windows front end hands to the system's dialogs and shell, checked without showing
// anything: the file dialog's filter text and the local path of a file: address.
#include "win32/OpenFileDialog.h"
#include "win32/ShellUrlOpener.h"

#include <gtest/gtest.h>

#include <string>

namespace trawlmeter::win32 {
namespace {

using namespace std::string_literals;

TEST(OpenFileDialogFilter, SeparatesEveryFieldByANulAndEndsWithTwo) {
    EXPECT_EQ(dialogFilter("IIS Log Files (*.log)|*.log|All Files (*.*)|*.*"),
              L"IIS Log Files (*.log)\0*.log\0All Files (*.*)\0*.*\0\0"s);
    EXPECT_EQ(dialogFilter("日志 (*.log;*.gz)|*.log;*.gz"), L"日志 (*.log;*.gz)\0*.log;*.gz\0\0"s);
}

// The report's address is made from a Windows path the way a POSIX one is: every byte outside
// the unreserved ones percent-encoded, the drive's colon and the backslashes included.
TEST(LocalPathOfFileAddress, UndoesThePercentEncodingOfAWindowsPath) {
    EXPECT_EQ(localPathOf("file://C%3A%5CUsers%5C%E5%BC%A0%E4%B8%89%5Creport.html"),
              "C:\\Users\\张三\\report.html");
    EXPECT_EQ(localPathOf("FILE://C%3a%5cr%20eport.html"), "C:\\r eport.html");
    EXPECT_EQ(localPathOf("file:///C:/logs/report.html"), "C:/logs/report.html");
    EXPECT_EQ(localPathOf("file://%5C%5Cserver%5Cshare%5Creport.html"),
              "\\\\server\\share\\report.html");
}

TEST(LocalPathOfFileAddress, KeepsAPercentThatEncodesNothingAndRefusesOtherAddresses) {
    EXPECT_EQ(localPathOf("file://C%3A%5C100%25%5Ca%2"), "C:\\100%\\a%2");
    EXPECT_EQ(localPathOf("file://C%3A%5Cx%zz"), "C:\\x%zz");
    EXPECT_EQ(localPathOf("https://tm.example.org"), std::nullopt);
    EXPECT_EQ(localPathOf("file:"), std::nullopt);
}

} // namespace
} // namespace trawlmeter::win32
