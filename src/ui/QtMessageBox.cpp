#include "ui/QtMessageBox.h"

#include <QMessageBox>

namespace trawlmeter::ui {
namespace {

QMessageBox::Icon iconForStyle(int style) {
    switch (style & 0x70) {
    case 16:
        return QMessageBox::Critical;
    case 32:
        return QMessageBox::Question;
    case 48:
        return QMessageBox::Warning;
    case 64:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

} // namespace

void QtMessageBox::showMessage(const std::string& prompt, int style, const std::string& title) {
    QMessageBox box(iconForStyle(style), QString::fromStdString(title),
                    QString::fromStdString(prompt), QMessageBox::Ok, m_parent.data());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace trawlmeter::ui
