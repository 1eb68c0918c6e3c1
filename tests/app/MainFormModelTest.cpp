#include "app/FormLayout.h"
#include "app/MainForm.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

namespace trawlmeter {
namespace {

struct NewForm : ::testing::Test {
    testing::FakePlatform platform;
    MainForm form{platform.ports("/nowhere")};
};

TEST_F(NewForm, ShowsTheInitialTexts) {
    EXPECT_EQ(kMainWindow.caption, "Trawlmeter V1.0 --20080715");
    EXPECT_EQ(form.Label2.Caption(), "准备中");
    EXPECT_EQ(form.Label3.Caption(), "准备中");
    for (const TextBox* counter : {&form.TxtBaiduCnt, &form.TxtGoogleCnt, &form.TxtYahooCnt,
                                   &form.TxtSogouCnt, &form.TxtMsnCnt, &form.TxtLineCnt}) {
        EXPECT_EQ(counter->Text(), "0") << counter->layoutRow().name;
    }
    EXPECT_EQ(form.TxtrezOveFile.Text(), "");
    EXPECT_EQ(form.TxtContent.Text(), "");
    EXPECT_EQ(form.TxtFileName.Text(), "");
    EXPECT_EQ(form.TxtLstiisFileCnt.Text(), "");
    EXPECT_EQ(form.LstiisFile.ListCount(), 0);
    EXPECT_EQ(form.LstiisFile.ListIndex(), -1);
    EXPECT_EQ(form.Label1.Caption(), "日志文件：");
    EXPECT_EQ(form.CmdAnalysis.Caption(), "开始分析");
    EXPECT_TRUE(form.CmdAnalysis.Enabled());
    EXPECT_EQ(form.Label4.Caption().rfind("Powered by ", 0), 0u);
}

TEST_F(NewForm, HoldsEveryControlOfTheLayoutOnce) {
    const auto controls = form.controls();
    ASSERT_EQ(controls.size(), formLayout().size());
    for (size_t i = 0; i < controls.size(); ++i) {
        EXPECT_EQ(controls[i]->layoutRow().name, formLayout()[i].name);
    }
}

TEST_F(NewForm, HidesTheWholeSecondGroup) {
    for (const auto& row : formLayout()) {
        if (row.container == "Frame2" || row.name == "Frame2") {
            EXPECT_FALSE(row.visible) << row.name;
        } else {
            EXPECT_TRUE(row.visible) << row.name;
        }
    }
    EXPECT_FALSE(form.LstiisFile.layoutRow().enabled);
}

TEST_F(NewForm, ShownControlsLieInsideTheInnerArea) {
    for (const auto& row : formLayout()) {
        if (row.visible && row.container.empty()) {
            EXPECT_LE(row.left + row.width, kMainWindow.innerWidth) << row.name;
            EXPECT_LE(row.top + row.height, kMainWindow.innerHeight) << row.name;
        }
    }
}

TEST(ListBoxModel, KeepsTheCurrentItemWhenAnIndexIsOutOfRange) {
    testing::FakePlatform platform;
    MainForm form(platform.ports("/nowhere"));
    auto& list = form.LstiisFile;
    EXPECT_FALSE(list.setListIndex(0));
    list.AddItem("rezOve.000");
    list.AddItem("rezOve.001");
    EXPECT_EQ(list.ListIndex(), -1);
    EXPECT_EQ(list.Text(), "");
    EXPECT_TRUE(list.setListIndex(1));
    EXPECT_EQ(list.Text(), "rezOve.001");
    EXPECT_FALSE(list.setListIndex(2));
    EXPECT_FALSE(list.setListIndex(-1));
    EXPECT_EQ(list.ListIndex(), 1);
    list.Clear();
    EXPECT_EQ(list.ListCount(), 0);
    EXPECT_EQ(list.ListIndex(), -1);
}

TEST(TextBoxModel, ReturnsExactlyWhatWasWritten) {
    testing::FakePlatform platform;
    MainForm form(platform.ports("/nowhere"));
    form.TxtBaiduCnt.setText(" 12 apples ");
    EXPECT_EQ(form.TxtBaiduCnt.Text(), " 12 apples ");
    form.TxtContent.setText("hidden text");
    EXPECT_EQ(form.TxtContent.Text(), "hidden text");
}

} // namespace
} // namespace trawlmeter
