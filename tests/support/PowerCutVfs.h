#pragma once

#include "support/ForwardingVfs.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace trawlmeter::testing {

// The system's SQLite file layer over a disk that a power cut can interrupt. What SQLite writes
// into a database, its write-ahead log or its journal under `folder` reaches the files at once,
// as the kernel's cache would show it, but counts as on the disk only once that file is synced;
// a deletion once any file is (a journalling file system commits the directory with the next
// sync). At any moment, the files a power cut would leave can be laid out elsewhere. No sync
// waits for the real disk, in the folder or out of it.
class PowerCutVfs : public ForwardingVfs {
public:
    enum class Kind { Write, Truncate, Sync, Delete };
    // One change to a file of the folder, counted from 1 over all of them.
    struct Change {
        long number;
        Kind kind;
        // The file's name within the folder.
        std::string file;
    };
    // What of the writes since a file's last sync reaches the disk.
    enum class Loss {
        // None of them.
        Everything,
        // All of them.
        Nothing,
        // Per 512-byte sector, none, all or the first few of those that touched it, chosen at
        // random; now and then a sector's written bytes as garbage, as a write the power cut
        // short; each truncation and deletion lands or not.
        Torn,
    };

    explicit PowerCutVfs(std::filesystem::path folder,
                         SharedMemory sharedMemory = SharedMemory::Forwarded);

    // Runs before each change is made, on the thread that makes it.
    void beforeEachChange(std::function<void(const Change&)> observer);
    long changes() const;
    // Lays out in the folder `into`, in place of what it held, the files as a power cut now
    // would leave them; a file left empty is not laid out. `seed` makes a torn loss repeatable.
    void layOutAfterPowerCut(const std::filesystem::path& into, Loss loss,
                             std::uint32_t seed) const;
    // True when the named file has writes that are not on the disk yet.
    bool hasUnsyncedWrites(const std::string& file) const;

private:
    struct Pending {
        Kind kind;
        std::int64_t offset;
        // Written bytes; empty for a truncation (to `offset`) or a deletion.
        std::string bytes;
    };
    struct FileOnDisk {
        std::string synced;
        std::vector<Pending> pending;
    };

    void opened(const File& file) override;
    int write(File& file, const void* data, int amount, sqlite3_int64 offset) override;
    int truncate(File& file, sqlite3_int64 size) override;
    int sync(File& file, int flags) override;
    int remove(const char* path, int syncDirectory) override;

    // The name within the folder of a file to keep, or empty.
    std::string tracked(const char* path) const;
    void announce(Kind kind, const std::string& file);
    static void land(std::string& content, const Pending& change);
    std::string afterPowerCut(const FileOnDisk& file, Loss loss, std::uint32_t seed) const;

    std::string m_folder;
    std::function<void(const Change&)> m_observer;
    mutable std::mutex m_mutex;
    long m_changes = 0;
    std::map<std::string, FileOnDisk> m_files;
};

} // namespace trawlmeter::testing
