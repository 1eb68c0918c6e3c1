#include "split/CutAhead.h"

#include "platform/Problem.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <system_error>

namespace trawlmeter::split {
namespace {

// How long a caller waits between two runs of whileWaiting.
constexpr auto kWaitStep = std::chrono::milliseconds(5);

} // namespace

CutAhead::CutAhead(ChunkCutter cutter, std::int64_t bound)
    : m_cutter(std::move(cutter)), m_bound(std::max<std::int64_t>(bound, 1)),
      m_chunkCount(m_cutter.chunkCount()) {
    try {
        m_thread = std::thread([this] { work(); });
    } catch (const std::system_error& error) {
        // Without a thread nothing is cut: the run stops at its first chunk and says why.
        m_failure = failureOf(error, m_cutter.chunkFile(0));
    }
}

CutAhead::~CutAhead() {
    stop();
}

void CutAhead::stop() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping.store(true, std::memory_order_relaxed);
    }
    m_room.notify_one();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void CutAhead::letGo(std::int64_t number) {
    {
        const std::lock_guard lock(m_mutex);
        m_letGo = std::max(m_letGo, number + 1);
    }
    m_room.notify_one();
}

Expected<CutAhead::Chunk> CutAhead::waitFor(std::int64_t number,
                                            const std::function<void()>& whileWaiting) {
    std::unique_lock lock(m_mutex);
    const auto known = [this, number] { return number < m_cut || m_ended || m_failure; };
    while (!known()) {
        lock.unlock();
        if (whileWaiting) {
            whileWaiting();
        }
        lock.lock();
        m_progress.wait_for(lock, kWaitStep, known);
    }
    if (number < m_cut) {
        return Chunk::Whole;
    }
    if (m_failure) {
        return tl::unexpected(*m_failure);
    }
    return Chunk::PastTheEnd;
}

void CutAhead::work() {
    const ChunkCutter::KeepGoing keepGoing = [this] {
        return !m_stopping.load(std::memory_order_relaxed);
    };
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            m_room.wait(lock, [this] {
                return m_stopping.load(std::memory_order_relaxed) || m_cut - m_letGo < m_bound;
            });
            if (m_stopping.load(std::memory_order_relaxed)) {
                m_failure = Failure{Problem::Stopped, {}, {}};
                break;
            }
        }
        Expected<bool> cut = false;
        try {
            cut = m_cutter.cutNext(keepGoing);
        } catch (const std::exception& exception) {
            cut = tl::unexpected(failureOf(exception));
        }
        const std::lock_guard lock(m_mutex);
        if (!cut) {
            m_failure = std::move(cut.error());
        } else if (*cut) {
            ++m_cut;
        } else {
            m_ended = true;
        }
        m_progress.notify_all();
        if (m_failure || m_ended) {
            return;
        }
    }
    m_progress.notify_all();
}

} // namespace trawlmeter::split
