#include "app/MainForm.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

namespace trawlmeter {
namespace {

TEST(LogSelection, PutsTheChosenPathInTheBoxAndKeepsTheBoxOnCancel) {
    testing::FakePlatform platform;
    MainForm form(platform.ports("/program"));
    platform.dialogAnswers = {"/logs/ex080715.log", std::nullopt, "/logs/other file.txt"};

    form.CmdSelectrezOve_Click();
    EXPECT_EQ(form.TxtrezOveFile.Text(), "/logs/ex080715.log");

    form.TxtrezOveFile.setText("/typed/by hand.log");
    form.CmdSelectrezOve_Click();
    EXPECT_EQ(form.TxtrezOveFile.Text(), "/typed/by hand.log");

    form.CmdSelectrezOve_Click();
    EXPECT_EQ(form.TxtrezOveFile.Text(), "/logs/other file.txt");

    ASSERT_EQ(platform.dialogFilters.size(), 3u);
    for (const auto& filter : platform.dialogFilters) {
        EXPECT_EQ(filter, "IIS Log Files (*.log)|*.log|All Files (*.*)|*.*");
    }
    EXPECT_TRUE(platform.messages.empty());
}

} // namespace
} // namespace trawlmeter
