#include "app/MainForm.h"

namespace trawlmeter {
namespace {
constexpr const char* kLogFilter = "IIS Log Files (*.log)|*.log|All Files (*.*)|*.*";
}

void MainForm::CmdSelectrezOve_Click() {
    // A cancel keeps whatever the path box holds, typed or chosen.
    if (auto chosen = m_ports.fileDialog.chooseFileToOpen(kLogFilter)) {
        TxtrezOveFile.setText(std::move(*chosen));
    }
}

} // namespace trawlmeter
