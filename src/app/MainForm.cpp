#include "app/MainForm.h"

#include "app/CrawlerEngines.h"
#include "app/FormLayout.h"
#include "app/Messages.h"
#include "platform/PathText.h"

namespace trawlmeter {

MainForm::MainForm(PlatformPorts ports)
    : Label1(controlSpec("Label1")), TxtrezOveFile(controlSpec("TxtrezOveFile")),
      CmdSelectrezOve(controlSpec("CmdSelectrezOve")), CmdAnalysis(controlSpec("CmdAnalysis")),
      Frame3(controlSpec("Frame3")), Label2(controlSpec("Label2")), Label3(controlSpec("Label3")),
      Frame1(controlSpec("Frame1")), LabelBaidu(controlSpec("LabelBaidu")),
      TxtBaiduCnt(controlSpec("TxtBaiduCnt")), LabelGoogle(controlSpec("LabelGoogle")),
      TxtGoogleCnt(controlSpec("TxtGoogleCnt")), LabelYahoo(controlSpec("LabelYahoo")),
      TxtYahooCnt(controlSpec("TxtYahooCnt")), LabelSogou(controlSpec("LabelSogou")),
      TxtSogouCnt(controlSpec("TxtSogouCnt")), LabelMsn(controlSpec("LabelMsn")),
      TxtMsnCnt(controlSpec("TxtMsnCnt")), LabelAll(controlSpec("LabelAll")),
      TxtLineCnt(controlSpec("TxtLineCnt")), Label4(controlSpec("Label4")),
      Frame2(controlSpec("Frame2")), CmdSaveBaidu(controlSpec("CmdSaveBaidu")),
      CmdSaveGoogle(controlSpec("CmdSaveGoogle")), CmdSaveYahoo(controlSpec("CmdSaveYahoo")),
      CmdSaveMsn(controlSpec("CmdSaveMsn")), CmdSaveSogou(controlSpec("CmdSaveSogou")),
      TxtLstiisFileCnt(controlSpec("TxtLstiisFileCnt")), TxtFileName(controlSpec("TxtFileName")),
      LstiisFile(controlSpec("LstiisFile")), CmdGetiisFile(controlSpec("CmdGetiisFile")),
      CmdFileSplit(controlSpec("CmdFileSplit")), CmdCreateTemp(controlSpec("CmdCreateTemp")),
      CmdDeleteTemp(controlSpec("CmdDeleteTemp")), CommonDialog1(controlSpec("CommonDialog1")),
      TxtContent(controlSpec("TxtContent")), MnuCrawlerReport(kCrawlerReportEntry),
      m_ports(std::move(ports)), m_run(kCrawlerTokenSearch) {}

MainForm::~MainForm() = default;

std::vector<Control*> MainForm::controls() {
    return {&Label1,        &TxtrezOveFile, &CmdSelectrezOve,  &CmdAnalysis,   &Frame3,
            &Label2,        &Label3,        &Frame1,           &LabelBaidu,    &TxtBaiduCnt,
            &LabelGoogle,   &TxtGoogleCnt,  &LabelYahoo,       &TxtYahooCnt,   &LabelSogou,
            &TxtSogouCnt,   &LabelMsn,      &TxtMsnCnt,        &LabelAll,      &TxtLineCnt,
            &Label4,        &Frame2,        &CmdSaveBaidu,     &CmdSaveGoogle, &CmdSaveYahoo,
            &CmdSaveMsn,    &CmdSaveSogou,  &TxtLstiisFileCnt, &TxtFileName,   &LstiisFile,
            &CmdGetiisFile, &CmdFileSplit,  &CmdCreateTemp,    &CmdDeleteTemp, &CommonDialog1,
            &TxtContent};
}

std::string MainForm::programPath(std::string_view name) const {
    // Appended whatever the folder ends in, a separator included.
    return m_ports.programFolder + kPathSeparator + std::string(name);
}

void MainForm::DoEvents() {
    m_ports.eventLoop.yieldToEvents();
}

void MainForm::tell(const std::string& prompt, std::optional<Failure> failure) {
    m_shownFailure = std::move(failure);
    m_ports.messageBox.showMessage(prompt, kOkOnly, messages::kTitle);
}

} // namespace trawlmeter
