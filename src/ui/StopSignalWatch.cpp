#include "ui/StopSignalWatch.h"

#include <QApplication>
#include <QDialog>
#include <QWidget>

#include <chrono>

namespace trawlmeter::ui {
namespace {
constexpr auto kLookInterval = std::chrono::milliseconds(50);
} // namespace

StopSignalWatch::StopSignalWatch(StopSignals& stopSignals, QWidget& window)
    : m_signals(stopSignals), m_window(window) {
    connect(&m_timer, &QTimer::timeout, this, &StopSignalWatch::look);
    m_timer.start(kLookInterval);
}

void StopSignalWatch::look() {
    if (!m_signal) {
        m_signal = m_signals.take();
        if (!m_signal) {
            return;
        }
    }
    // Until the window has gone: a message box that the ending run shows is closed as well.
    if (QWidget* popup = QApplication::activePopupWidget()) {
        popup->close();
        return;
    }
    if (QWidget* modal = QApplication::activeModalWidget()) {
        // A dialog is answered as by Esc; a message box with only OK takes that too.
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        } else {
            modal->close();
        }
        return;
    }
    if (m_window.isVisible()) {
        m_window.close();
    }
}

} // namespace trawlmeter::ui
