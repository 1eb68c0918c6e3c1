#include "app/MainForm.h"

namespace trawlmeter {

void MainForm::exportVisit(std::string_view) {}

void MainForm::CmdSaveBaidu_Click() {
    exportVisit("baidu");
}
void MainForm::CmdSaveGoogle_Click() {
    exportVisit("google");
}
void MainForm::CmdSaveYahoo_Click() {
    exportVisit("yahoo");
}
void MainForm::CmdSaveSogou_Click() {
    exportVisit("sogou");
}
void MainForm::CmdSaveMsn_Click() {
    exportVisit("msn");
}

} // namespace trawlmeter
