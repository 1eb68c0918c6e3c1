#include "ui/QtFileDialog.h"

#include "ui/FileFilter.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QIdentityProxyModel>

namespace trawlmeter::ui {

std::optional<std::string> QtFileDialog::chooseFileToOpen(const std::string& filter) {
    const QList<NameFilter> filters = parseFileFilter(filter);
    QStringList descriptions;
    for (const NameFilter& entry : filters) {
        descriptions << entry.description;
    }

    QFileDialog dialog(m_parent.data());
    // Qt's own widgets dialog: its file list can be told what a filter really matches.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);

    // Qt reads a filter's patterns from the brackets of its description, where "*.*"
    // would hide every name without a dot. A pass-through proxy is the public way to
    // reach the dialog's file model and give it the patterns the filter text names.
    auto* proxy = new QIdentityProxyModel(&dialog);
    dialog.setProxyModel(proxy);
    auto* files = qobject_cast<QFileSystemModel*>(proxy->sourceModel());
    const auto usePatternsOf = [&](const QString& description) {
        const auto index = descriptions.indexOf(description);
        if (files != nullptr && index >= 0) {
            files->setNameFilters(filters[index].patterns);
        }
    };
    // Emitted after the dialog has applied its own reading of the chosen filter.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, usePatternsOf);

    if (!descriptions.isEmpty()) {
        dialog.setNameFilters(descriptions);
        dialog.selectNameFilter(descriptions.first());
        usePatternsOf(descriptions.first());
    }
    if (!m_lastChosen.isEmpty()) {
        dialog.setDirectory(QFileInfo(m_lastChosen).absolutePath());
        dialog.selectFile(m_lastChosen);
    }

    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    m_lastChosen = chosen.first();
    return QFile::encodeName(m_lastChosen).toStdString();
}

} // namespace trawlmeter::ui
