#include "win32/WindowProgram.h"

#include <string>

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "app/MainForm.h"
#include "platform/ProgramFolder.h"
#include "platform/StopSignals.h"
#include "platform/WriteFailures.h"
#include "platform/windows/WideText.h"
#include "win32/MainWindow.h"
#include "win32/OpenFileDialog.h"
#include "win32/ShellUrlOpener.h"
#include "win32/WindowEventLoop.h"
#include "win32/WindowMessageBox.h"

namespace trawlmeter::win32 {
namespace {

// A program ended by signal N exits with 128+N, as the batch does and shells report it.
constexpr int kStoppedBySignalBase = 128;
constexpr int kFailed = 1;

// The shell's "open" and the file dialog expect COM on the thread of the window.
class ComApartment {
public:
    ComApartment()
        : m_initialised(SUCCEEDED(
              CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (m_initialised) {
            CoUninitialize();
        }
    }

private:
    bool m_initialised;
};

} // namespace

int runWindowProgram(int showCommand) {
    failWritesInsteadOfDying();
    // Made before any thread starts, as on the other systems.
    StopSignals stopSignals;
    const ComApartment com;
    INITCOMMONCONTROLSEX commonControls{sizeof(commonControls), ICC_STANDARD_CLASSES};
    (void)InitCommonControlsEx(&commonControls);

    WindowMessageBox messageBox;
    WindowEventLoop eventLoop;
    OpenFileDialog fileDialog;
    ShellUrlOpener urlOpener;
    SystemFileWrites fileWrites;
    MainForm form(PlatformPorts{messageBox, eventLoop, fileDialog, urlOpener, fileWrites,
                                executableFolder()});

    MainWindow window(form, &stopSignals);
    if (!window.create()) {
        showFatalFailure("the window could not be created");
        return kFailed;
    }
    eventLoop.setKeyboardWindow(window.handle());
    window.loadAndShow(showCommand);
    messageBox.setOwner(window.handle());
    fileDialog.setOwner(window.handle());
    eventLoop.setRefresh([&window] { window.refreshFromModel(); });
    const int status = eventLoop.run();
    if (const auto signal = window.stopSignal()) {
        return kStoppedBySignalBase + *signal;
    }
    return status;
}

void showFatalFailure(std::string_view what) {
    (void)MessageBoxW(nullptr, windows::wideText("trawlmeter: " + std::string(what)).c_str(),
                      L"Trawlmeter", MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND);
}

} // namespace trawlmeter::win32
