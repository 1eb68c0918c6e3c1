#include "ui/DesktopProgram.h"

#include "app/MainForm.h"
#include "platform/ProgramFolder.h"
#include "ui/DesktopUrlOpener.h"
#include "ui/MainWindow.h"
#include "ui/QtFileDialog.h"
#include "ui/QtMessageBox.h"
#include "ui/ThrottledEventLoop.h"

#include <QApplication>

namespace trawlmeter::ui {

int runDesktopProgram(int argc, char** argv) {
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
    return QApplication::exec();
}

} // namespace trawlmeter::ui
