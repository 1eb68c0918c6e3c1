#include "store/VisitWriter.h"

#include "store/VisitColumns.h"
#include "store/VisitRecord.h"

#include <chrono>
#include <exception>
#include <utility>

namespace trawlmeter::store {
namespace {

// A batch goes to the writer at this many visits or bytes; this many batches may wait.
constexpr std::size_t kBatchVisits = 64;
constexpr std::size_t kBatchBytes = std::size_t{512} * 1024;
constexpr std::size_t kWaitingBatches = 64;
// How long the caller waits between two runs of whileWaiting.
constexpr auto kWaitStep = std::chrono::milliseconds(5);

} // namespace

template <typename Done> void VisitWriter::waitUntil(Done done) {
    std::unique_lock lock(m_mutex);
    while (!done()) {
        lock.unlock();
        if (m_whileWaiting) {
            m_whileWaiting();
        }
        lock.lock();
        m_progress.wait_for(lock, kWaitStep, done);
    }
}

void VisitWriter::countDropped(const Batch& batch, std::size_t from, LostVisits& lost) {
    for (std::size_t i = from; i < batch.entries.size(); ++i) {
        lost.droppedTables.push_back(batch.entries[i].table);
    }
}

VisitWriter::VisitWriter(db::Database& database, std::vector<std::shared_ptr<db::Recordset>> tables,
                         std::function<void()> whileWaiting)
    : m_database(database), m_tables(std::move(tables)), m_whileWaiting(std::move(whileWaiting)),
      m_thread([this] { work(); }) {}

VisitWriter::~VisitWriter() {
    hand(std::move(m_filling));
    {
        const std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

Expected<void> VisitWriter::add(std::size_t table, std::string_view item,
                                const std::shared_ptr<const analysis::FieldLayout>& layout,
                                std::uint64_t sequence, std::string_view crawler) {
    if (!m_filling.entries.empty() &&
        (m_filling.layout != layout || m_filling.entries.size() >= kBatchVisits ||
         m_filling.texts.size() >= kBatchBytes)) {
        hand(std::exchange(m_filling, spareBatch()));
    }
    if (m_failed.load(std::memory_order_acquire)) {
        // What was added since goes with the failure.
        hand(std::exchange(m_filling, spareBatch()));
        const std::lock_guard lock(m_mutex);
        return tl::unexpected(*m_failure);
    }
    if (m_filling.entries.empty()) {
        m_filling.layout = layout;
    }
    m_filling.entries.push_back({static_cast<std::uint32_t>(m_filling.texts.size()),
                                 static_cast<std::uint32_t>(item.size()),
                                 static_cast<std::uint32_t>(crawler.size()),
                                 static_cast<std::uint32_t>(table), sequence});
    m_filling.texts.append(item);
    m_filling.texts.append(crawler);
    return {};
}

std::uint64_t VisitWriter::handCommit(std::uint64_t sequence, std::string_view item) {
    Batch batch = std::exchange(m_filling, spareBatch());
    batch.then = Batch::Then::Commit;
    batch.commitSequence = sequence;
    batch.commitItem = item;
    hand(std::move(batch));
    return ++m_commitsHanded;
}

Expected<void> VisitWriter::waitForCommit(std::uint64_t commit) {
    waitUntil([this, commit] { return m_commitsDone >= commit || m_failure; });
    const std::lock_guard lock(m_mutex);
    if (m_commitsDone >= commit) {
        return {};
    }
    return tl::unexpected(*m_failure);
}

Expected<void> VisitWriter::commit(std::uint64_t sequence, std::string_view item) {
    const std::uint64_t commit = handCommit(sequence, item);
    return waitForCommit(commit);
}

void VisitWriter::rollback() {
    Batch batch = std::exchange(m_filling, spareBatch());
    batch.then = Batch::Then::Rollback;
    hand(std::move(batch));
    waitUntil([this] { return m_queue.empty() && !m_busy; });
}

VisitWriter::Batch VisitWriter::spareBatch() {
    const std::lock_guard lock(m_mutex);
    if (m_spares.empty()) {
        return Batch{};
    }
    Batch spare = std::move(m_spares.back());
    m_spares.pop_back();
    return spare;
}

std::optional<LostVisits> VisitWriter::lostVisits() const {
    const std::lock_guard lock(m_mutex);
    if (!m_failure) {
        return std::nullopt;
    }
    return m_lost;
}

void VisitWriter::hand(Batch batch) {
    if (batch.entries.empty() && batch.then == Batch::Then::Nothing) {
        return;
    }
    std::unique_lock lock(m_mutex);
    // A full queue holds the caller back, with its window kept live.
    while (m_queue.size() >= kWaitingBatches && !m_failure) {
        lock.unlock();
        if (m_whileWaiting) {
            m_whileWaiting();
        }
        lock.lock();
        m_progress.wait_for(lock, kWaitStep, [this] { return m_queue.size() < kWaitingBatches; });
    }
    if (m_failure) {
        // Nothing more is stored; the visits count as dropped and the rollback has been done.
        countDropped(batch, 0, m_lost);
        return;
    }
    m_queue.push_back(std::move(batch));
    // Waking costs a system call: only a sleeping writer needs it.
    const bool wake = m_idle;
    lock.unlock();
    if (wake) {
        m_wake.notify_one();
    }
}

void VisitWriter::work() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_idle = true;
        m_wake.wait(lock, [this] { return !m_queue.empty() || m_closing; });
        m_idle = false;
        if (m_queue.empty()) {
            return;
        }
        Batch batch = std::move(m_queue.front());
        m_queue.pop_front();
        m_busy = true;
        // After a failure the queue is empty: fail() counted what waited in it as dropped.
        lock.unlock();
        try {
            store(batch);
        } catch (const std::exception& exception) {
            // Memory that ran out while a record was made: the batch is lost from its start,
            // which the window is put back to, as for a refused visit.
            const bool visits = !batch.entries.empty();
            const std::uint64_t sequence =
                visits ? batch.entries.front().sequence : batch.commitSequence;
            std::string item = visits ? batch.texts.substr(batch.entries.front().offset,
                                                           batch.entries.front().length)
                                      : batch.commitItem;
            fail(failureOf(exception), {sequence, std::move(item), {}}, batch, visits ? 1 : 0);
        }
        // Its buffers take the next batch without growing again.
        batch.layout.reset();
        batch.texts.clear();
        batch.entries.clear();
        batch.then = Batch::Then::Nothing;
        batch.commitItem.clear();
        lock.lock();
        if (m_spares.size() < kWaitingBatches) {
            m_spares.push_back(std::move(batch));
        }
        m_busy = false;
        m_progress.notify_all();
    }
}

void VisitWriter::store(Batch& batch) {
    for (std::size_t i = 0; i < batch.entries.size(); ++i) {
        const Entry& entry = batch.entries[i];
        auto& recordset = *m_tables[entry.table];
        const std::string_view item(batch.texts.data() + entry.offset, entry.length);
        recordset.AddNew();
        fillVisitRecord(recordset, item, *batch.layout);
        if (entry.crawlerLength > 0) {
            // The start-up check saw to the column.
            (void)recordset.setField(
                kCrawlerColumn, std::string_view(item.data() + item.size(), entry.crawlerLength));
        }
        auto written = recordset.Update();
        recordset.Close();
        if (!written) {
            fail(std::move(written.error()), {entry.sequence, std::string(item), {}}, batch, i + 1);
            return;
        }
    }
    if (batch.then == Batch::Then::Commit) {
        if (auto committed = m_database.commit(); !committed) {
            fail(std::move(committed.error()), {batch.commitSequence, batch.commitItem, {}}, batch,
                 batch.entries.size());
            return;
        }
        const std::lock_guard lock(m_mutex);
        ++m_commitsDone;
    } else if (batch.then == Batch::Then::Rollback) {
        m_database.rollback();
    }
}

void VisitWriter::fail(Failure failure, LostVisits lost, const Batch& batch,
                       std::size_t droppedFrom) {
    m_database.rollback();
    const std::lock_guard lock(m_mutex);
    countDropped(batch, droppedFrom, lost);
    for (const Batch& waiting : m_queue) {
        countDropped(waiting, 0, lost);
    }
    m_queue.clear();
    m_failure = std::move(failure);
    m_lost = std::move(lost);
    m_failed.store(true, std::memory_order_release);
}

} // namespace trawlmeter::store
