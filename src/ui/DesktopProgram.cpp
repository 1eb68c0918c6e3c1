#include "ui/DesktopProgram.h"

#include "app/MainForm.h"
#include "platform/ProgramFolder.h"
#include "platform/StopSignals.h"
#include "platform/WriteFailures.h"
#include "ui/DesktopUrlOpener.h"
#include "ui/MainWindow.h"
#include "ui/QtFileDialog.h"
#include "ui/QtMessageBox.h"
#include "ui/StopSignalWatch.h"
#include "ui/ThrottledEventLoop.h"

#include <QApplication>

namespace trawlmeter::ui {
namespace {
// A program ended by signal N exits with 128+N, as the batch does and shells report it.
constexpr int kStoppedBySignalBase = 128;
} // namespace

int runDesktopProgram(int argc, char** argv) {
    failWritesInsteadOfDying();
    // Held back before Qt starts threads of its own, which take the process's mask with them.
    StopSignals stopSignals;
    QApplication application(argc, argv);
    // The program ends with its window, not when the load's message box (the only window
    // at that moment) is closed.
    QApplication::setQuitOnLastWindowClosed(false);

    QtMessageBox messageBox;
    ThrottledEventLoop eventLoop;
    QtFileDialog fileDialog;
    DesktopUrlOpener urlOpener;
    SystemFileWrites fileWrites;
    MainForm form(PlatformPorts{messageBox, eventLoop, fileDialog, urlOpener, fileWrites,
                                executableFolder()});

    MainWindow window(form);
    QObject::connect(&window, &MainWindow::unloaded, &application, &QCoreApplication::quit);
    window.loadAndShow();
    messageBox.setDialogParent(&window);
    fileDialog.setDialogParent(&window);
    eventLoop.setRefresh([&window] { window.refreshFromModel(); });
    // Signals that came while the load ran are taken now.
    const StopSignalWatch watch(stopSignals, window);
    const int status = QApplication::exec();
    if (const auto signal = watch.stopSignal()) {
        return kStoppedBySignalBase + *signal;
    }
    return status;
}

} // namespace trawlmeter::ui
