#include "app/FormLayout.h"

#include <array>
#include <stdexcept>
#include <string>

namespace trawlmeter {
namespace {

using K = ControlKind;

constexpr std::array kLayout{
    // Shown on the window.
    ControlSpec{"Label1", K::Label, "", "日志文件：", 360, 360, 975, 255, 1, true, true},
    ControlSpec{"TxtrezOveFile", K::TextBox, "", "", 1320, 240, 4815, 375, 22, true, true},
    ControlSpec{"CmdSelectrezOve", K::Button, "", "选择日志文件", 4680, 960, 1455, 495, 15, true,
                true},
    ControlSpec{"CmdAnalysis", K::Button, "", "开始分析", 4680, 1560, 1455, 495, 0, true, true},
    ControlSpec{"Frame3", K::Frame, "", "运行状态", 240, 840, 4215, 1215, 27, true, true},
    ControlSpec{"Label2", K::Label, "Frame3", "准备中", 240, 360, 3735, 255, 29, true, true},
    ControlSpec{"Label3", K::Label, "Frame3", "准备中", 240, 840, 3735, 255, 28, true, true},
    ControlSpec{"Frame1", K::Frame, "", "日志记录数统计", 240, 2280, 5895, 1575, 2, true, true},
    ControlSpec{"LabelBaidu", K::Label, "Frame1", "Baidu：", 240, 360, 735, 255, 3, true, true},
    ControlSpec{"TxtBaiduCnt", K::TextBox, "Frame1", "0", 1080, 352, 1335, 270, 16, true, true},
    ControlSpec{"LabelGoogle", K::Label, "Frame1", "Google：", 240, 720, 735, 255, 4, true, true},
    ControlSpec{"TxtGoogleCnt", K::TextBox, "Frame1", "0", 1080, 712, 1335, 270, 20, true, true},
    ControlSpec{"LabelYahoo", K::Label, "Frame1", "Yahoo：", 240, 1088, 735, 255, 6, true, true},
    ControlSpec{"TxtYahooCnt", K::TextBox, "Frame1", "0", 1080, 1080, 1335, 270, 19, true, true},
    ControlSpec{"LabelSogou", K::Label, "Frame1", "Sogou：", 3480, 360, 615, 255, 5, true, true},
    ControlSpec{"TxtSogouCnt", K::TextBox, "Frame1", "0", 4200, 352, 1335, 270, 17, true, true},
    ControlSpec{"LabelMsn", K::Label, "Frame1", "Msn：", 3480, 720, 495, 255, 7, true, true},
    ControlSpec{"TxtMsnCnt", K::TextBox, "Frame1", "0", 4200, 712, 1335, 270, 18, true, true},
    ControlSpec{"LabelAll", K::Label, "Frame1", "All：", 3480, 1080, 495, 255, 8, true, true},
    ControlSpec{"TxtLineCnt", K::TextBox, "Frame1", "0", 4200, 1072, 1335, 270, 21, true, true},
    ControlSpec{"Label4", K::Label, "", kCreditLine, 2760, 4080, 3375, 255, 34, true, true},
    // The hidden group: never shown, its buttons serve as the program's internal commands.
    ControlSpec{"Frame2", K::Frame, "", "", 6840, 2400, 8055, 5295, 9, false, true},
    ControlSpec{"CmdSaveBaidu", K::Button, "Frame2", "Save To Baidu", 360, 360, 2055, 375, 14,
                false, true},
    ControlSpec{"CmdSaveGoogle", K::Button, "Frame2", "Save To Google", 360, 840, 2055, 375, 13,
                false, true},
    ControlSpec{"CmdSaveYahoo", K::Button, "Frame2", "Save To Yahoo", 360, 1320, 2055, 375, 10,
                false, true},
    ControlSpec{"CmdSaveMsn", K::Button, "Frame2", "Save To Msn", 360, 1800, 2055, 375, 11, false,
                true},
    ControlSpec{"CmdSaveSogou", K::Button, "Frame2", "Save To Sogou", 360, 2280, 2055, 375, 12,
                false, true},
    ControlSpec{"TxtLstiisFileCnt", K::TextBox, "Frame2", "", 360, 2760, 735, 375, 30, false, true},
    ControlSpec{"TxtFileName", K::TextBox, "Frame2", "", 360, 3240, 2415, 375, 33, false, true},
    ControlSpec{"LstiisFile", K::ListBox, "Frame2", "", 360, 3720, 2415, 750, 32, false, false},
    ControlSpec{"CmdGetiisFile", K::Button, "Frame2", "列举切割后的文件", 360, 4560, 2415, 495, 31,
                false, true},
    ControlSpec{"CmdFileSplit", K::Button, "Frame2", "开始分割", 2640, 360, 1815, 375, 25, false,
                true},
    ControlSpec{"CmdCreateTemp", K::Button, "Frame2", "创建temp文件夹", 2640, 840, 1815, 375, 24,
                false, true},
    ControlSpec{"CmdDeleteTemp", K::Button, "Frame2", "删除temp文件夹", 2640, 1320, 1815, 375, 23,
                false, true},
    ControlSpec{"CommonDialog1", K::FileDialog, "Frame2", "", 2640, 2160, kNoSize, kNoSize, kNoTab,
                false, true},
    ControlSpec{"TxtContent", K::TextBox, "Frame2", "", 4560, 360, 3255, 2295, 26, false, true},
};

} // namespace

std::span<const ControlSpec> formLayout() {
    return kLayout;
}

const ControlSpec& controlSpec(std::string_view name) {
    for (const auto& row : kLayout) {
        if (row.name == name) {
            return row;
        }
    }
    throw std::out_of_range("no control named " + std::string(name));
}

} // namespace trawlmeter
