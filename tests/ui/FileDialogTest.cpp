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

using trawlmeter::testing::TestFolder;

TEST(FileFilter, ReadsAlternatingDescriptionsAndPatterns) {
    const auto filters = parseFileFilter("IIS Log Files (*.log)|*.log|All Files (*.*)|*.*");
    ASSERT_EQ(filters.size(), 2);
    EXPECT_EQ(filters[0].description, "IIS Log Files (*.log)");
    EXPECT_EQ(filters[0].patterns, QStringList{"*.log"});
    EXPECT_EQ(filters[1].description, "All Files (*.*)");
    // "*.*" means every file; as a wildcard it would miss names without a dot.
    EXPECT_EQ(filters[1].patterns, QStringList{"*"});
}

TEST(FileFilter, SplitsSeveralPatternsAndDropsADescriptionWithoutOne) {
    const auto filters = parseFileFilter("Logs|*.log; *.txt|Lonely");
    ASSERT_EQ(filters.size(), 1);
    EXPECT_EQ(filters[0].patterns, QStringList({"*.log", "*.txt"}));
    EXPECT_TRUE(parseFileFilter("").isEmpty());
}

// Runs `inspect` inside the next modal dialog of the given type, once it is on the screen.
template <class Dialog> void whenModalOpens(std::function<void(Dialog&)> inspect) {
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, inspect] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (dialog != nullptr && dialog->isVisible()) {
            poll->stop();
            poll->deleteLater();
            inspect(*dialog);
        }
    });
    poll->start();
}

// The file names the dialog's file list shows for its current folder, once it has read it.
QStringList listedNames(QFileDialog& dialog, const QStringList& expected) {
    auto* list = dialog.findChild<QListView*>("listView");
    QStringList names;
    const auto read = [&] {
        names.clear();
        const QAbstractItemModel* model = list->model();
        for (int row = 0; row < model->rowCount(list->rootIndex()); ++row) {
            names << model->index(row, 0, list->rootIndex()).data().toString();
        }
        names.sort();
        return names == expected;
    };
    waitUntil(read);
    return names;
}

TEST(FileOpenDialog, OffersBothFiltersRemembersTheLastFileAndShowsDotlessFilesUnderAllFiles) {
    TestFolder folder;
    folder.writeFile("ex080715.log", "log");
    folder.writeFile("README", "no dot in the name");
    folder.writeFile("notes.txt", "text");
    const QString log = QString::fromStdString((folder / "ex080715.log").string());
    const QString folderPath = QString::fromStdString(folder.str());
    QtFileDialog port;
    const std::string filter = "IIS Log Files (*.log)|*.log|All Files (*.*)|*.*";

    whenModalOpens<QFileDialog>([&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.nameFilters(), QStringList({"IIS Log Files (*.log)", "All Files (*.*)"}));
        EXPECT_EQ(dialog.selectedNameFilter(), "IIS Log Files (*.log)");
        dialog.setDirectory(folderPath);
        dialog.selectFile(log);
        auto* buttons = dialog.findChild<QDialogButtonBox*>("buttonBox");
        buttons->button(QDialogButtonBox::Open)->click();
    });
    EXPECT_EQ(port.chooseFileToOpen(filter), log.toStdString());

    whenModalOpens<QFileDialog>([&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.directory().absolutePath(), folderPath);
        EXPECT_EQ(dialog.selectedFiles(), QStringList{log});
        EXPECT_EQ(dialog.selectedNameFilter(), "IIS Log Files (*.log)");
        EXPECT_EQ(listedNames(dialog, {"ex080715.log"}), QStringList{"ex080715.log"});

        // Choose the second filter the way the operator does.
        auto* filters = dialog.findChild<QComboBox*>("fileTypeCombo");
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        QApplication::sendEvent(filters, &down);
        EXPECT_EQ(dialog.selectedNameFilter(), "All Files (*.*)");
        const QStringList everyFile{"README", "ex080715.log", "notes.txt"};
        EXPECT_EQ(listedNames(dialog, everyFile), everyFile);
        dialog.reject();
    });
    EXPECT_EQ(port.chooseFileToOpen(filter), std::nullopt);
}

} // namespace
} // namespace trawlmeter::ui::testing
