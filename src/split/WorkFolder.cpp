#include "app/MainForm.h"

namespace trawlmeter {

void MainForm::CmdCreateTemp_Click() {}
void MainForm::CmdDeleteTemp_Click() {}

} // namespace trawlmeter
