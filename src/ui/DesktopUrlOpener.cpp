#include "ui/DesktopUrlOpener.h"

#include <QDesktopServices>
#include <QUrl>

namespace trawlmeter::ui {

bool DesktopUrlOpener::openUrl(const std::string& url) {
    return QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

} // namespace trawlmeter::ui
