#pragma once

#include "platform/StopSignals.h"

#include <QObject>
#include <QTimer>

#include <optional>

class QWidget;

namespace trawlmeter::ui {

// Takes SIGINT, SIGTERM and SIGHUP, held back by `stopSignals`, as a close of `window`: a run in
// hand ends at its next yield, keeping what it stored and removing its work folder, and the
// program ends with the window. The signals are looked for a few times a second, in the run's
// yields as when the program is idle. A dialog or menu that is open meanwhile is closed first,
// as it would hold the close up until someone answered it.
class StopSignalWatch : public QObject {
    Q_OBJECT

public:
    StopSignalWatch(StopSignals& stopSignals, QWidget& window);

    // The stop signal taken, if any.
    std::optional<int> stopSignal() const { return m_signal; }

private:
    void look();

    StopSignals& m_signals;
    QWidget& m_window;
    QTimer m_timer;
    std::optional<int> m_signal;
};

} // namespace trawlmeter::ui
