#pragma once

#include "platform/Ports.h"

namespace trawlmeter::ui {

// Hands a web address to the desktop's browser.
class DesktopUrlOpener : public UrlOpenerPort {
public:
    bool openUrl(const std::string& url) override;
};

} // namespace trawlmeter::ui
