#include "WindowTestSupport.h"

#include "ui/FileFilter.h"
#include "ui/QtFileDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QKeyEvent>
#include <QListView>
#include <QPushButton>
#include <QTimer>

namespace trawlmeter::ui::testing {
namespace {

TEST(FileFilter, ReadsDescriptionsAndPatternsAndLetsStarDotStarMatchEveryName) {
    const auto filters = parseFileFilter("IIS Log Files (*.log)|*.log|All Files (*.*)|*.*|Text");
    ASSERT_EQ(filters.size(), 2);
    EXPECT_EQ(filters[0].description, "IIS Log Files (*.log)");
    EXPECT_EQ(filters[0].patterns, QStringList{"*.log"});
    EXPECT_EQ(filters[1].description, "All Files (*.*)");
    EXPECT_EQ(filters[1].patterns, QStringList{"*"});
    EXPECT_EQ(parseFileFilter("Logs|*.log; *.txt")[0].patterns, QStringList({"*.log", "*.txt"}));
}

// Runs `inspect` inside the next modal file dialog once it is on the screen.
void whenDialogOpens(const std::function<void(QFileDialog&)>& inspect) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, inspect] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            poll->deleteLater();
            poll->stop();
            inspect(*dialog);
        }
    });
    poll->start(10);
}

// The names the dialog lists for its folder, once they are what is expected or time is up.
QStringList listedNames(QFileDialog& dialog, const QStringList& expected) {
    auto* list = dialog.findChild<QListView*>("listView");
    QStringList names;
    waitUntil([&] {
        names.clear();
        for (int row = 0; row < list->model()->rowCount(list->rootIndex()); ++row) {
            names << list->model()->index(row, 0, list->rootIndex()).data().toString();
        }
        names.sort();
        return names == expected;
    });
    return names;
}

TEST(FileOpenDialog, OffersBothFiltersRemembersTheLastFileAndListsDotlessNamesUnderAllFiles) {
    TestFolder folder;
    for (const char* name : {"ex080715.log", "README", "notes.txt"}) {
        folder.writeFile(name, "x");
    }
    const QString log = QString::fromStdString((folder / "ex080715.log").string());
    const std::string filter = "IIS Log Files (*.log)|*.log|All Files (*.*)|*.*";
    QtFileDialog port;

    whenDialogOpens([&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.nameFilters(), QStringList({"IIS Log Files (*.log)", "All Files (*.*)"}));
        EXPECT_EQ(dialog.selectedNameFilter(), "IIS Log Files (*.log)");
        dialog.setDirectory(QString::fromStdString(folder.str()));
        dialog.selectFile(log);
        dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open)->click();
    });
    EXPECT_EQ(port.chooseFileToOpen(filter), log.toStdString());

    whenDialogOpens([&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.selectedFiles(), QStringList{log});
        EXPECT_EQ(listedNames(dialog, {"ex080715.log"}), QStringList{"ex080715.log"});
        // Choose the second filter the way the operator does.
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        QApplication::sendEvent(dialog.findChild<QComboBox*>("fileTypeCombo"), &down);
        const QStringList everyFile{"README", "ex080715.log", "notes.txt"};
        EXPECT_EQ(listedNames(dialog, everyFile), everyFile);
        dialog.reject();
    });
    EXPECT_EQ(port.chooseFileToOpen(filter), std::nullopt);
}

} // namespace
} // namespace trawlmeter::ui::testing
