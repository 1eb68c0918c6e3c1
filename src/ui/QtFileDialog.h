#pragma once

#include "platform/Ports.h"

#include <QPointer>
#include <QString>
#include <QWidget>

namespace trawlmeter::ui {

// The modal file-open dialog. It shows the filters in the given order with the first one
// selected, opens in the folder of the file chosen last (with that file selected) and
// returns the chosen file's full path, or nothing on a cancel.
class QtFileDialog : public FileDialogPort {
public:
    void setDialogParent(QWidget* parent) { m_parent = parent; }
    std::optional<std::string> chooseFileToOpen(const std::string& filter) override;

private:
    QPointer<QWidget> m_parent;
    QString m_lastChosen;
};

} // namespace trawlmeter::ui
