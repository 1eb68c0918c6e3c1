#include "app/MainForm.h"

namespace trawlmeter {

void MainForm::ScanLogChunk(const std::string&) {}

void MainForm::flushHeldLine() {}

} // namespace trawlmeter
