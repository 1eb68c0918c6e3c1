#pragma once

#include "platform/Ports.h"

#include <QPointer>
#include <QWidget>

namespace trawlmeter::ui {

// The modal message box. Style 0 is an OK button and no icon; the icon bits 16, 32, 48 and
// 64 pick the critical, question, warning and information icons. Only OK is offered.
class QtMessageBox : public MessageBoxPort {
public:
    // Centres later boxes over `parent`; without one they stand alone (as at load).
    void setDialogParent(QWidget* parent) { m_parent = parent; }
    void showMessage(const std::string& prompt, int style, const std::string& title) override;

private:
    QPointer<QWidget> m_parent;
};

} // namespace trawlmeter::ui
