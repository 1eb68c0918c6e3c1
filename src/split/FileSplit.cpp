#include "app/MainForm.h"

namespace trawlmeter {

void MainForm::FileSplit(const std::string&, const std::string&, std::int32_t, std::int32_t,
                         FinishMessage) {}

} // namespace trawlmeter
