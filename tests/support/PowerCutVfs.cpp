#include "support/PowerCutVfs.h"

#include "support/TestFolder.h"

#include <algorithm>
#include <fstream>
#include <random>

namespace trawlmeter::testing {
namespace {

constexpr std::int64_t kSector = 512;
// The files whose loss a power cut decides; temporary files die with the program anyway.
constexpr int kKeptFiles = SQLITE_OPEN_MAIN_DB | SQLITE_OPEN_WAL | SQLITE_OPEN_MAIN_JOURNAL;

} // namespace

PowerCutVfs::PowerCutVfs(std::filesystem::path folder, SharedMemory sharedMemory)
    : ForwardingVfs("trawlmeter-power-cut", sharedMemory),
      m_folder(std::filesystem::weakly_canonical(folder).string() + "/") {}

void PowerCutVfs::beforeEachChange(std::function<void(const Change&)> observer) {
    const std::lock_guard lock(m_mutex);
    m_observer = std::move(observer);
}

long PowerCutVfs::changes() const {
    const std::lock_guard lock(m_mutex);
    return m_changes;
}

bool PowerCutVfs::hasUnsyncedWrites(const std::string& file) const {
    const std::lock_guard lock(m_mutex);
    const auto found = m_files.find(file);
    return found != m_files.end() &&
           std::any_of(found->second.pending.begin(), found->second.pending.end(),
                       [](const Pending& change) { return change.kind == Kind::Write; });
}

std::string PowerCutVfs::tracked(const char* path) const {
    if (path == nullptr) {
        return {};
    }
    const std::string_view full(path);
    if (!full.starts_with(m_folder)) {
        return {};
    }
    std::string name(full.substr(m_folder.size()));
    const std::lock_guard lock(m_mutex);
    return m_files.contains(name) ? name : std::string();
}

void PowerCutVfs::announce(Kind kind, const std::string& file) {
    std::function<void(const Change&)> observer;
    long number = 0;
    {
        const std::lock_guard lock(m_mutex);
        number = ++m_changes;
        observer = m_observer;
    }
    if (observer) {
        observer({number, kind, file});
    }
}

void PowerCutVfs::opened(const File& file) {
    if (file.path == nullptr || (file.flags & kKeptFiles) == 0) {
        return;
    }
    const std::string_view full(file.path);
    if (!full.starts_with(m_folder)) {
        return;
    }
    const std::string name(full.substr(m_folder.size()));
    const std::lock_guard lock(m_mutex);
    // A file met for the first time is on the disk as it is: it was there before.
    if (!m_files.contains(name)) {
        m_files[name].synced = readWholeFile(file.path);
    }
}

int PowerCutVfs::write(File& file, const void* data, int amount, sqlite3_int64 offset) {
    const std::string name = tracked(file.path);
    if (name.empty()) {
        return systemWrite(file, data, amount, offset);
    }
    announce(Kind::Write, name);
    const int rc = systemWrite(file, data, amount, offset);
    if (rc == SQLITE_OK) {
        const std::lock_guard lock(m_mutex);
        m_files[name].pending.push_back(
            {Kind::Write, offset,
             std::string(static_cast<const char*>(data), static_cast<std::size_t>(amount))});
    }
    return rc;
}

int PowerCutVfs::truncate(File& file, sqlite3_int64 size) {
    const std::string name = tracked(file.path);
    if (name.empty()) {
        return systemTruncate(file, size);
    }
    announce(Kind::Truncate, name);
    const int rc = systemTruncate(file, size);
    if (rc == SQLITE_OK) {
        const std::lock_guard lock(m_mutex);
        m_files[name].pending.push_back({Kind::Truncate, size, {}});
    }
    return rc;
}

int PowerCutVfs::sync(File& file, int /*flags*/) {
    // The disk is the one this layer keeps: waiting for the real one would only take time.
    const std::string name = tracked(file.path);
    if (name.empty()) {
        return SQLITE_OK;
    }
    announce(Kind::Sync, name);
    const std::lock_guard lock(m_mutex);
    for (auto& [other, onDisk] : m_files) {
        auto& pending = onDisk.pending;
        // The synced file reaches the disk whole; of the others, their deletions do.
        const auto upTo =
            other == name
                ? pending.end()
                : std::find_if(pending.rbegin(), pending.rend(), [](const Pending& change) {
                      return change.kind == Kind::Delete;
                  }).base();
        for (auto change = pending.begin(); change != upTo; ++change) {
            land(onDisk.synced, *change);
        }
        pending.erase(pending.begin(), upTo);
    }
    return SQLITE_OK;
}

int PowerCutVfs::remove(const char* path, int syncDirectory) {
    const std::string name = tracked(path);
    if (name.empty()) {
        return systemRemove(path, syncDirectory);
    }
    announce(Kind::Delete, name);
    const int rc = systemRemove(path, syncDirectory);
    if (rc == SQLITE_OK) {
        const std::lock_guard lock(m_mutex);
        FileOnDisk& onDisk = m_files[name];
        if (syncDirectory != 0) {
            onDisk = {};
        } else {
            onDisk.pending.push_back({Kind::Delete, 0, {}});
        }
    }
    return rc;
}

void PowerCutVfs::land(std::string& content, const Pending& change) {
    switch (change.kind) {
    case Kind::Write: {
        const auto end = static_cast<std::size_t>(change.offset) + change.bytes.size();
        if (content.size() < end) {
            content.resize(end, '\0');
        }
        std::copy(change.bytes.begin(), change.bytes.end(),
                  content.begin() + static_cast<std::ptrdiff_t>(change.offset));
        break;
    }
    case Kind::Truncate:
        content.resize(static_cast<std::size_t>(change.offset));
        break;
    case Kind::Delete:
        content.clear();
        break;
    case Kind::Sync:
        break;
    }
}

std::string PowerCutVfs::afterPowerCut(const FileOnDisk& file, Loss loss,
                                       std::uint32_t seed) const {
    std::string content = file.synced;
    if (loss == Loss::Everything) {
        return content;
    }
    std::mt19937 random(seed);
    const auto sectors = [](const Pending& write) {
        const std::int64_t end = write.offset + static_cast<std::int64_t>(write.bytes.size());
        return std::pair(write.offset / kSector, (end + kSector - 1) / kSector);
    };
    // How many of the writes that touched a sector reach it, in their order: a sector the cache
    // wrote back between two of them holds the first.
    std::map<std::int64_t, int> touches;
    for (const Pending& change : file.pending) {
        if (change.kind == Kind::Write) {
            for (auto [sector, end] = sectors(change); sector < end; ++sector) {
                ++touches[sector];
            }
        }
    }
    std::map<std::int64_t, int> landing;
    std::map<std::int64_t, bool> garbled;
    for (const auto& [sector, count] : touches) {
        int landed = count;
        if (loss == Loss::Torn) {
            const auto choice = random() % 3;
            landed = choice == 0   ? 0
                     : choice == 1 ? count
                                   : static_cast<int>(random() % static_cast<unsigned>(count + 1));
            garbled[sector] = landed > 0 && random() % 16 == 0;
        }
        landing[sector] = landed;
    }
    std::map<std::int64_t, int> seen;
    for (const Pending& change : file.pending) {
        if (change.kind != Kind::Write) {
            if (loss == Loss::Nothing || random() % 2 == 0) {
                land(content, change);
            }
            continue;
        }
        for (auto [sector, end] = sectors(change); sector < end; ++sector) {
            if (seen[sector]++ >= landing[sector]) {
                continue;
            }
            const std::int64_t from = std::max(change.offset, sector * kSector);
            const std::int64_t to =
                std::min(change.offset + static_cast<std::int64_t>(change.bytes.size()),
                         (sector + 1) * kSector);
            Pending piece{Kind::Write, from,
                          change.bytes.substr(static_cast<std::size_t>(from - change.offset),
                                              static_cast<std::size_t>(to - from))};
            if (garbled[sector]) {
                for (char& byte : piece.bytes) {
                    byte = static_cast<char>(random() & 0xff);
                }
            }
            land(content, piece);
        }
    }
    return content;
}

void PowerCutVfs::layOutAfterPowerCut(const std::filesystem::path& into, Loss loss,
                                      std::uint32_t seed) const {
    // The folder stays: removing and making one again waits for the file system's journal.
    std::filesystem::create_directories(into);
    for (const auto& entry : std::filesystem::directory_iterator(into)) {
        std::filesystem::remove_all(entry.path());
    }
    const std::lock_guard lock(m_mutex);
    std::uint32_t fileSeed = seed;
    for (const auto& [name, onDisk] : m_files) {
        const std::string content = afterPowerCut(onDisk, loss, fileSeed++ * 2654435761u);
        if (!content.empty()) {
            std::ofstream(into / name, std::ios::binary)
                .write(content.data(), static_cast<std::streamsize>(content.size()));
        }
    }
}

} // namespace trawlmeter::testing
