#include "support/ForwardingVfs.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <stdexcept>

namespace trawlmeter::testing {

// What SQLite holds on to: the layer it was given and the count of files still open through
// it. It ends with the layer or with the last file closed after the layer, whichever is later.
struct ForwardingVfs::Registration {
    sqlite3_vfs vfs{};
    sqlite3_vfs* system = nullptr;
    // Null once the layer has ended.
    std::atomic<ForwardingVfs*> owner = nullptr;
    const sqlite3_io_methods* methods = nullptr;
    std::mutex mutex;
    long openFiles = 0;
    bool ended = false;
};

namespace {

using File = ForwardingVfs::File;
using Dispatch = ForwardingVfs::Dispatch;

File& ours(sqlite3_file* file) {
    return *reinterpret_cast<File*>(file);
}

sqlite3_file* systemFile(sqlite3_file* file) {
    return ours(file).system;
}

} // namespace

// The hooks run through the owner while it lives.
struct ForwardingVfs::Dispatch {
    static ForwardingVfs* owner(sqlite3_file* file) {
        return ours(file).registration->owner.load(std::memory_order_acquire);
    }
    static int write(sqlite3_file* f, const void* data, int amount, sqlite3_int64 offset) {
        ForwardingVfs* owner = Dispatch::owner(f);
        return owner ? owner->write(ours(f), data, amount, offset)
                     : ForwardingVfs::systemWrite(ours(f), data, amount, offset);
    }
    static int truncate(sqlite3_file* f, sqlite3_int64 size) {
        ForwardingVfs* owner = Dispatch::owner(f);
        return owner ? owner->truncate(ours(f), size)
                     : ForwardingVfs::systemTruncate(ours(f), size);
    }
    static int sync(sqlite3_file* f, int flags) {
        ForwardingVfs* owner = Dispatch::owner(f);
        return owner ? owner->sync(ours(f), flags) : ForwardingVfs::systemSync(ours(f), flags);
    }
    static int close(sqlite3_file* f) {
        sqlite3_file* s = systemFile(f);
        const int rc = s->pMethods ? s->pMethods->xClose(s) : SQLITE_OK;
        ForwardingVfs::Registration* registration = ours(f).registration;
        bool last = false;
        {
            const std::lock_guard lock(registration->mutex);
            last = --registration->openFiles == 0 && registration->ended;
        }
        if (last) {
            delete registration;
        }
        return rc;
    }
    static int open(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags,
                    int* outFlags);
    static int remove(sqlite3_vfs* vfs, const char* path, int syncDirectory) {
        auto* registration = static_cast<ForwardingVfs::Registration*>(vfs->pAppData);
        ForwardingVfs* owner = registration->owner.load(std::memory_order_acquire);
        return owner ? owner->remove(path, syncDirectory)
                     : registration->system->xDelete(registration->system, path, syncDirectory);
    }
};

namespace {

const sqlite3_io_methods kMethods = {
    3,
    &Dispatch::close,
    [](sqlite3_file* f, void* p, int n, sqlite3_int64 o) {
        return systemFile(f)->pMethods->xRead(systemFile(f), p, n, o);
    },
    &Dispatch::write,
    &Dispatch::truncate,
    &Dispatch::sync,
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

// The first version of the methods ends before the shared memory.
const sqlite3_io_methods kMethodsWithoutSharedMemory = [] {
    sqlite3_io_methods methods = kMethods;
    methods.iVersion = 1;
    return methods;
}();

} // namespace

int ForwardingVfs::Dispatch::open(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags,
                                  int* outFlags) {
    auto* registration = static_cast<ForwardingVfs::Registration*>(vfs->pAppData);
    File& our = ours(file);
    our.system = reinterpret_cast<sqlite3_file*>(&our + 1);
    our.registration = registration;
    our.path = name;
    our.flags = flags;
    std::memset(our.system, 0, static_cast<std::size_t>(registration->system->szOsFile));
    const int rc =
        registration->system->xOpen(registration->system, name, our.system, flags, outFlags);
    // SQLite calls xClose only when pMethods is set, so a failed open leaves it empty.
    our.base.pMethods = our.system->pMethods ? registration->methods : nullptr;
    if (our.base.pMethods) {
        {
            const std::lock_guard lock(registration->mutex);
            ++registration->openFiles;
        }
        if (ForwardingVfs* owner = registration->owner.load(std::memory_order_acquire)) {
            owner->opened(our);
        }
    }
    return rc;
}

ForwardingVfs::ForwardingVfs(const char* name, SharedMemory sharedMemory)
    : m_registration(new Registration) {
    m_registration->methods =
        sharedMemory == SharedMemory::None ? &kMethodsWithoutSharedMemory : &kMethods;
    m_registration->system = sqlite3_vfs_find(nullptr);
    if (m_registration->system == nullptr) {
        delete m_registration;
        throw std::runtime_error("no SQLite file layer");
    }
    sqlite3_vfs& vfs = m_registration->vfs;
    vfs = *m_registration->system;
    vfs.pNext = nullptr;
    vfs.zName = name;
    vfs.szOsFile = static_cast<int>(sizeof(File)) + m_registration->system->szOsFile;
    vfs.pAppData = m_registration;
    vfs.xOpen = &Dispatch::open;
    vfs.xDelete = &Dispatch::remove;
    m_registration->owner.store(this, std::memory_order_release);
    sqlite3_vfs_register(&vfs, 1);
}

ForwardingVfs::~ForwardingVfs() {
    sqlite3_vfs_unregister(&m_registration->vfs);
    sqlite3_vfs_register(m_registration->system, 1);
    m_registration->owner.store(nullptr, std::memory_order_release);
    bool last = false;
    {
        const std::lock_guard lock(m_registration->mutex);
        m_registration->ended = true;
        last = m_registration->openFiles == 0;
    }
    if (last) {
        delete m_registration;
    }
}

int ForwardingVfs::write(File& file, const void* data, int amount, sqlite3_int64 offset) {
    return systemWrite(file, data, amount, offset);
}

int ForwardingVfs::truncate(File& file, sqlite3_int64 size) {
    return systemTruncate(file, size);
}

int ForwardingVfs::sync(File& file, int flags) {
    return systemSync(file, flags);
}

int ForwardingVfs::remove(const char* path, int syncDirectory) {
    return systemRemove(path, syncDirectory);
}

int ForwardingVfs::systemWrite(File& file, const void* data, int amount, sqlite3_int64 offset) {
    return file.system->pMethods->xWrite(file.system, data, amount, offset);
}

int ForwardingVfs::systemTruncate(File& file, sqlite3_int64 size) {
    return file.system->pMethods->xTruncate(file.system, size);
}

int ForwardingVfs::systemSync(File& file, int flags) {
    return file.system->pMethods->xSync(file.system, flags);
}

int ForwardingVfs::systemRemove(const char* path, int syncDirectory) const {
    sqlite3_vfs* system = m_registration->system;
    return system->xDelete(system, path, syncDirectory);
}

const char* ForwardingVfs::systemName() const {
    return m_registration->system->zName;
}

} // namespace trawlmeter::testing
