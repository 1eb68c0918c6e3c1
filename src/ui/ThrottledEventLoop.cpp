#include "ui/ThrottledEventLoop.h"

#include <QCoreApplication>
#include <QEventLoop>

namespace trawlmeter::ui {

void ThrottledEventLoop::yieldToEvents() {
    if (m_sinceLastRound.isValid() && m_sinceLastRound.elapsed() < m_interval) {
        return;
    }
    refresh();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    refresh();
    // Counted from the end of the round, so a modal dialog opened inside it does not
    // make the next yield handle events again at once.
    m_sinceLastRound.start();
}

void ThrottledEventLoop::refresh() const {
    if (m_refresh) {
        m_refresh();
    }
}

} // namespace trawlmeter::ui
