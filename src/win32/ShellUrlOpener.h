#pragma once

#include "platform/Ports.h"

#include <optional>
#include <string>

namespace trawlmeter::win32 {

// Hands a web address to the shell's "open" operation, which starts the user's browser. A
// file: address is opened as the file it names, as Windows opens a document.
class ShellUrlOpener : public UrlOpenerPort {
public:
    bool openUrl(const std::string& url) override;
};

// The local path of a file: address (its percent-encoding undone), or nothing for another
// address.
std::optional<std::string> localPathOf(const std::string& url);

} // namespace trawlmeter::win32
