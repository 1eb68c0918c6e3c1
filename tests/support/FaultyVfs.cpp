#include "support/FaultyVfs.h"

#include <cstring>
#include <stdexcept>

namespace trawlmeter::testing {

// The system's file, which lives right behind ours in the memory SQLite gives the file.
struct FaultyVfs::File {
    sqlite3_file base;
    sqlite3_file* system;
    FaultyVfs* owner;
    bool database;
};

namespace {

sqlite3_file* systemFile(sqlite3_file* file) {
    return reinterpret_cast<FaultyVfs::File*>(file)->system;
}

// Every call but a write goes straight through.
const sqlite3_io_methods kMethods = {
    3,
    [](sqlite3_file* f) {
        sqlite3_file* s = systemFile(f);
        const int rc = s->pMethods ? s->pMethods->xClose(s) : SQLITE_OK;
        return rc;
    },
    [](sqlite3_file* f, void* p, int n, sqlite3_int64 o) {
        return systemFile(f)->pMethods->xRead(systemFile(f), p, n, o);
    },
    nullptr, // set in the constructor below
    [](sqlite3_file* f, sqlite3_int64 size) {
        return systemFile(f)->pMethods->xTruncate(systemFile(f), size);
    },
    [](sqlite3_file* f, int flags) { return systemFile(f)->pMethods->xSync(systemFile(f), flags); },
    [](sqlite3_file* f, sqlite3_int64* size) {
        return systemFile(f)->pMethods->xFileSize(systemFile(f), size);
    },
    [](sqlite3_file* f, int lock) { return systemFile(f)->pMethods->xLock(systemFile(f), lock); },
    [](sqlite3_file* f, int lock) { return systemFile(f)->pMethods->xUnlock(systemFile(f), lock); },
    [](sqlite3_file* f, int* out) {
        return systemFile(f)->pMethods->xCheckReservedLock(systemFile(f), out);
    },
    [](sqlite3_file* f, int op, void* arg) {
        return systemFile(f)->pMethods->xFileControl(systemFile(f), op, arg);
    },
    [](sqlite3_file* f) { return systemFile(f)->pMethods->xSectorSize(systemFile(f)); },
    [](sqlite3_file* f) { return systemFile(f)->pMethods->xDeviceCharacteristics(systemFile(f)); },
    [](sqlite3_file* f, int page, int size, int extend, void volatile** out) {
        return systemFile(f)->pMethods->xShmMap(systemFile(f), page, size, extend, out);
    },
    [](sqlite3_file* f, int offset, int n, int flags) {
        return systemFile(f)->pMethods->xShmLock(systemFile(f), offset, n, flags);
    },
    [](sqlite3_file* f) { systemFile(f)->pMethods->xShmBarrier(systemFile(f)); },
    [](sqlite3_file* f, int deleteFlag) {
        return systemFile(f)->pMethods->xShmUnmap(systemFile(f), deleteFlag);
    },
    // No memory-mapped reads: every page then comes through xRead.
    [](sqlite3_file*, sqlite3_int64, int, void** out) {
        *out = nullptr;
        return SQLITE_OK;
    },
    [](sqlite3_file*, sqlite3_int64, void*) { return SQLITE_OK; },
};

sqlite3_io_methods methodsWithWrite(int (*write)(sqlite3_file*, const void*, int, sqlite3_int64)) {
    sqlite3_io_methods methods = kMethods;
    methods.xWrite = write;
    return methods;
}

} // namespace

FaultyVfs::FaultyVfs() : m_system(sqlite3_vfs_find(nullptr)) {
    if (m_system == nullptr) {
        throw std::runtime_error("no SQLite file layer");
    }
    m_vfs = *m_system;
    m_vfs.zName = "trawlmeter-faulty";
    m_vfs.szOsFile = static_cast<int>(sizeof(File)) + m_system->szOsFile;
    m_vfs.pAppData = this;
    m_vfs.xOpen = &FaultyVfs::open;
    sqlite3_vfs_register(&m_vfs, 1);
}

FaultyVfs::~FaultyVfs() {
    sqlite3_vfs_unregister(&m_vfs);
    sqlite3_vfs_register(m_system, 1);
}

int FaultyVfs::open(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags,
                    int* outFlags) {
    static const sqlite3_io_methods methods = methodsWithWrite(&FaultyVfs::write);
    auto* self = static_cast<FaultyVfs*>(vfs->pAppData);
    auto* ours = reinterpret_cast<File*>(file);
    ours->system = reinterpret_cast<sqlite3_file*>(ours + 1);
    ours->owner = self;
    ours->database = (flags & SQLITE_OPEN_MAIN_DB) != 0;
    std::memset(ours->system, 0, static_cast<std::size_t>(self->m_system->szOsFile));
    const int rc = self->m_system->xOpen(self->m_system, name, ours->system, flags, outFlags);
    // SQLite calls xClose only when pMethods is set, so a failed open leaves it empty.
    ours->base.pMethods = ours->system->pMethods ? &methods : nullptr;
    return rc;
}

int FaultyVfs::write(sqlite3_file* file, const void* data, int amount, sqlite3_int64 offset) {
    auto* ours = reinterpret_cast<File*>(file);
    FaultyVfs& self = *ours->owner;
    const bool counted = ours->database || !self.m_databaseOnly;
    if (counted && ++self.m_writes >= self.m_failFrom) {
        return self.m_code;
    }
    return ours->system->pMethods->xWrite(ours->system, data, amount, offset);
}

} // namespace trawlmeter::testing
