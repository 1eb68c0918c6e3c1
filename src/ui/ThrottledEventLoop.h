#pragma once

#include "platform/Ports.h"

#include <QElapsedTimer>

#include <chrono>
#include <functional>

namespace trawlmeter::ui {

// The long loops yield once per step, millions of times in a run. Handling the pending
// events at most once per interval keeps each yield nearly free while the window stays
// live and its counters current to the eye.
class ThrottledEventLoop : public EventLoopPort {
public:
    explicit ThrottledEventLoop(std::chrono::milliseconds interval = std::chrono::milliseconds(15))
        : m_interval(interval.count()) {}

    // Runs before and after each round of event handling to bring the widgets up to the
    // model: before, so input meets widgets that show what the program did (a button the
    // run disabled takes no click); after, so the screen shows what the handlers did.
    void setRefresh(std::function<void()> refresh) { m_refresh = std::move(refresh); }

    void yieldToEvents() override;

private:
    void refresh() const;

    qint64 m_interval;
    QElapsedTimer m_sinceLastRound;
    std::function<void()> m_refresh;
};

} // namespace trawlmeter::ui
