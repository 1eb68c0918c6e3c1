#include "app/MainForm.h"

namespace trawlmeter {

void MainForm::CmdFileSplit_Click() {}
void MainForm::CmdGetiisFile_Click() {}

} // namespace trawlmeter
