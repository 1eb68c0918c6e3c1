#include "app/MainForm.h"

namespace trawlmeter {

void MainForm::CmdAnalysis_Click() {}

} // namespace trawlmeter
