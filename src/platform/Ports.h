#pragma once

#include "platform/FileWrites.h"

#include <optional>
#include <string>

// The services the desktop supplies. The core owns these interfaces; the Qt front end
// implements them for real and tests use scripted fakes.
namespace trawlmeter {

// Message-box styles: 0 is an OK button only, no icon.
inline constexpr int kOkOnly = 0;

// The box is modal and returns when it is closed.
class MessageBoxPort {
public:
    virtual ~MessageBoxPort() = default;
    virtual void showMessage(const std::string& prompt, int style, const std::string& title) = 0;
};

// Handles every pending paint and input event, running their handlers to the end.
class EventLoopPort {
public:
    virtual ~EventLoopPort() = default;
    virtual void yieldToEvents() = 0;
    // The same while the window waits for work done on another thread: a few hundred calls a
    // second at most, where yieldToEvents() may come millions of times.
    virtual void yieldWhileWaiting() { yieldToEvents(); }
};

// A modal file-open dialog. `filter` alternates descriptions and patterns separated by "|"
// ("IIS Log Files (*.log)|*.log|All Files (*.*)|*.*"), the first filter selected.
// Returns the chosen full path, or nothing when the operator cancelled.
class FileDialogPort {
public:
    virtual ~FileDialogPort() = default;
    virtual std::optional<std::string> chooseFileToOpen(const std::string& filter) = 0;
};

// Hands a web address to the desktop's "open" operation; false when it refused.
class UrlOpenerPort {
public:
    virtual ~UrlOpenerPort() = default;
    virtual bool openUrl(const std::string& url) = 0;
};

struct PlatformPorts {
    MessageBoxPort& messageBox;
    EventLoopPort& eventLoop;
    FileDialogPort& fileDialog;
    UrlOpenerPort& urlOpener;
    FileWritePort& fileWrites;
    // The folder of the program's executable, without a trailing separator unless it is a root.
    std::string programFolder;
};

} // namespace trawlmeter
