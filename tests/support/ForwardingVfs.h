#pragma once

#include <sqlite3.h>

namespace trawlmeter::testing {

// The system's SQLite file layer, forwarded call by call, with the calls that change a file
// handed to a subclass first. It is the default layer while it lives, so every database opened
// meanwhile goes through it. A connection may outlive it: its files then go straight to the
// system's layer, and what SQLite was given stays until the last of them is closed.
class ForwardingVfs {
public:
    struct Registration;
    // One open file: ours, and the system's right behind it in the memory SQLite gives the file.
    struct File {
        sqlite3_file base;
        sqlite3_file* system;
        Registration* registration;
        // The full path, valid until the file is closed (null for a nameless temporary file).
        const char* path;
        // SQLite's open flags: SQLITE_OPEN_MAIN_DB, SQLITE_OPEN_WAL, ...
        int flags;
    };
    // SQLite's entry points.
    struct Dispatch;

    ForwardingVfs(const ForwardingVfs&) = delete;
    ForwardingVfs& operator=(const ForwardingVfs&) = delete;
    virtual ~ForwardingVfs();

    // The name of the system's layer, to open a database around this one.
    const char* systemName() const;

    // Without shared memory between connections SQLite cannot keep a write-ahead log, as on
    // some network file systems.
    enum class SharedMemory { Forwarded, None };

protected:
    explicit ForwardingVfs(const char* name, SharedMemory sharedMemory = SharedMemory::Forwarded);

    virtual void opened(const File& /*file*/) {}
    virtual int write(File& file, const void* data, int amount, sqlite3_int64 offset);
    virtual int truncate(File& file, sqlite3_int64 size);
    virtual int sync(File& file, int flags);
    // `syncDirectory` asks for the deletion itself to be made durable.
    virtual int remove(const char* path, int syncDirectory);

    // The system's layer, for what a subclass passes on.
    static int systemWrite(File& file, const void* data, int amount, sqlite3_int64 offset);
    static int systemTruncate(File& file, sqlite3_int64 size);
    static int systemSync(File& file, int flags);
    int systemRemove(const char* path, int syncDirectory) const;

private:
    Registration* m_registration;
};

} // namespace trawlmeter::testing
