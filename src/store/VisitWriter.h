#pragma once

#include "analysis/FieldLayout.h"
#include "platform/Database.h"
#include "platform/Failure.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace trawlmeter::store {

// Where a failure left the visits: for a refused visit, the sequence number it was added with,
// its item, and the tables of the visits added after it, which were dropped unstored; for a
// refused commit, the sequence number and item it was handed with, and the tables of the visits
// after it.
struct LostVisits {
    std::uint64_t sequence = 0;
    std::string item;
    std::vector<std::size_t> droppedTables;
};

// Stores visits on a thread of its own, in the order they are added, so that the database's
// work overlaps the scan. While it lives, only its thread uses the database: every write,
// commit and rollback goes through it, and a caller waits only where it must (a commit, a full
// queue), running `whileWaiting` every few milliseconds meanwhile. After a failure every later
// visit is dropped and the uncommitted ones are rolled back, as a synchronous store would have
// stopped at the visit that failed.
class VisitWriter {
public:
    VisitWriter(db::Database& database, std::vector<std::shared_ptr<db::Recordset>> tables,
                std::function<void()> whileWaiting);
    VisitWriter(const VisitWriter&) = delete;
    VisitWriter& operator=(const VisitWriter&) = delete;
    // Waits for what was added to be written or dropped; commits nothing.
    ~VisitWriter();

    // Queues a visit of table `table` (a position in the writer's tables), cut by `layout`,
    // with the name of its crawler in the crawler column where there is one.
    // Once a visit or a commit has failed, that failure, and the visit is not queued.
    [[nodiscard]] Expected<void> add(std::size_t table, std::string_view item,
                                     const std::shared_ptr<const analysis::FieldLayout>& layout,
                                     std::uint64_t sequence, std::string_view crawler = {});
    // Commits every visit added so far without waiting for it, marked with the scan's
    // `sequence` and `item` at that point; gives the commit's number for waitForCommit().
    std::uint64_t handCommit(std::uint64_t sequence, std::string_view item);
    // Waits for commit number `commit` to be done: nothing when it went, even if something
    // after it failed since.
    [[nodiscard]] Expected<void> waitForCommit(std::uint64_t commit);
    // Commits every visit added so far and waits for it.
    [[nodiscard]] Expected<void> commit(std::uint64_t sequence, std::string_view item);
    // Drops every visit added since the last commit, waiting for it.
    void rollback();
    // What the failure, once there is one, left unstored; nothing before.
    std::optional<LostVisits> lostVisits() const;

private:
    struct Entry {
        std::uint32_t offset;
        std::uint32_t length;
        // The crawler's name follows the item in the texts.
        std::uint32_t crawlerLength;
        std::uint32_t table;
        std::uint64_t sequence;
    };
    // Visits one after another, cut by one layout; a commit or a rollback after them.
    struct Batch {
        std::shared_ptr<const analysis::FieldLayout> layout;
        std::string texts;
        std::vector<Entry> entries;
        enum class Then { Nothing, Commit, Rollback } then = Then::Nothing;
        // For a commit: where the scan stood when it was handed.
        std::uint64_t commitSequence = 0;
        std::string commitItem;
    };

    // An empty batch, with the buffers of one written before where there is one.
    Batch spareBatch();
    void hand(Batch batch);
    // Waits, with the window kept live, until `done` holds (checked under the lock).
    template <typename Done> void waitUntil(Done done);
    void work();
    void store(Batch& batch);
    void fail(Failure failure, LostVisits lost, const Batch& batch, std::size_t droppedFrom);
    // Adds the tables of the batch's visits from `from` on to those the failure dropped.
    static void countDropped(const Batch& batch, std::size_t from, LostVisits& lost);

    db::Database& m_database;
    std::vector<std::shared_ptr<db::Recordset>> m_tables;
    std::function<void()> m_whileWaiting;

    // The batch being filled, on the caller's side.
    Batch m_filling;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_progress;
    std::deque<Batch> m_queue;
    std::vector<Batch> m_spares;
    bool m_busy = false;
    bool m_closing = false;
    // The writer's thread sleeps, waiting to be woken.
    bool m_idle = false;
    std::optional<Failure> m_failure;
    LostVisits m_lost;
    // Commits handed (on the caller's side) and done (under the lock).
    std::uint64_t m_commitsHanded = 0;
    std::uint64_t m_commitsDone = 0;
    // Set with m_failure, read without the lock at every visit added.
    std::atomic<bool> m_failed = false;
    std::thread m_thread;
};

} // namespace trawlmeter::store
