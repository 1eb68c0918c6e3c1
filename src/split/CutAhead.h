#pragma once

#include "platform/Failure.h"
#include "split/ChunkCutter.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace trawlmeter::split {

// Cuts a log's chunks on a thread of its own while the caller scans those before, so the copy
// or the decompression overlaps the scan. The cut stays at most `bound` chunk files ahead of
// the chunks the caller has let go of: as the caller deletes each chunk before letting go of it,
// the work folder never holds more than `bound` chunks, whatever the log's size. A chunk is
// handed over only once it is whole and closed; when the cut fails, the chunks before the
// failure stay whole for the caller and the chunk in hand is removed.
class CutAhead {
public:
    // Starts the cut's thread; `bound` is at least 1. When no thread can be started, waitFor()
    // gives the system's reason.
    CutAhead(ChunkCutter cutter, std::int64_t bound);
    CutAhead(const CutAhead&) = delete;
    CutAhead& operator=(const CutAhead&) = delete;
    // Stops the cut, as stop() does.
    ~CutAhead();

    // How many chunks the log gives, where that is known before its end.
    std::optional<std::int64_t> chunkCount() const { return m_chunkCount; }

    enum class Chunk { Whole, PastTheEnd };
    // Waits until chunk `number` is whole, or the log has ended before it, running
    // `whileWaiting` every few milliseconds meanwhile. When the cut failed or was stopped at
    // this chunk or before: why (Problem::Stopped for a stop), and that stays so.
    [[nodiscard]] Expected<Chunk> waitFor(std::int64_t number,
                                          const std::function<void()>& whileWaiting);
    // The caller is done with chunks 0 to `number` and has removed them: as many more may be
    // cut.
    void letGo(std::int64_t number);
    // Ends the cut: the chunk in hand is removed, the whole ones stay. Returns once the thread
    // has ended, which is within one chunk's work.
    void stop();

private:
    void work();

    ChunkCutter m_cutter;
    const std::int64_t m_bound;
    const std::optional<std::int64_t> m_chunkCount;

    mutable std::mutex m_mutex;
    std::condition_variable m_progress;
    std::condition_variable m_room;
    // Chunks cut whole, and chunks the caller let go of.
    std::int64_t m_cut = 0;
    std::int64_t m_letGo = 0;
    bool m_ended = false;
    std::optional<Failure> m_failure;
    // Read by the cut between its steps, without the lock.
    std::atomic<bool> m_stopping = false;
    std::thread m_thread;
};

} // namespace trawlmeter::split
