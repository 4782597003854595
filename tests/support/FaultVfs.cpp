#include "support/FaultVfs.h"

#include <cstring>
#include <sqlite3.h>

namespace {

struct State {
    sqlite3_vfs *base = nullptr;
    sqlite3_vfs shim{};
    int armedAt = 0;
    int seen = 0;
    bool fired = false;
    int code = SQLITE_IOERR;
} state;

struct ShimFile {
    sqlite3_file file; // must come first: SQLite sees this
    sqlite3_file *real;
};

sqlite3_file *real(sqlite3_file *file) {
    return reinterpret_cast<ShimFile *>(file)->real;
}

// True when this point is the one that must fail.
bool failsHere() {
    if (state.armedAt == 0)
        return false;
    if (++state.seen != state.armedAt)
        return false;
    state.fired = true;
    return true;
}

int shimClose(sqlite3_file *file) {
    const int rc = real(file)->pMethods ? real(file)->pMethods->xClose(real(file)) : SQLITE_OK;
    sqlite3_free(real(file));
    return rc;
}
int shimRead(sqlite3_file *f, void *buffer, int amount, sqlite3_int64 offset) {
    return real(f)->pMethods->xRead(real(f), buffer, amount, offset);
}
int shimWrite(sqlite3_file *f, const void *buffer, int amount, sqlite3_int64 offset) {
    if (failsHere())
        return state.code == SQLITE_FULL ? SQLITE_FULL : SQLITE_IOERR_WRITE;
    return real(f)->pMethods->xWrite(real(f), buffer, amount, offset);
}
int shimTruncate(sqlite3_file *f, sqlite3_int64 size) {
    return real(f)->pMethods->xTruncate(real(f), size);
}
int shimSync(sqlite3_file *f, int flags) {
    if (failsHere())
        return state.code == SQLITE_FULL ? SQLITE_FULL : SQLITE_IOERR_FSYNC;
    return real(f)->pMethods->xSync(real(f), flags);
}
int shimFileSize(sqlite3_file *f, sqlite3_int64 *size) {
    return real(f)->pMethods->xFileSize(real(f), size);
}
int shimLock(sqlite3_file *f, int level) {
    if (failsHere())
        return SQLITE_IOERR_LOCK;
    return real(f)->pMethods->xLock(real(f), level);
}
int shimUnlock(sqlite3_file *f, int level) {
    return real(f)->pMethods->xUnlock(real(f), level);
}
int shimCheckReservedLock(sqlite3_file *f, int *out) {
    return real(f)->pMethods->xCheckReservedLock(real(f), out);
}
int shimFileControl(sqlite3_file *f, int op, void *arg) {
    return real(f)->pMethods->xFileControl(real(f), op, arg);
}
int shimSectorSize(sqlite3_file *f) {
    return real(f)->pMethods->xSectorSize(real(f));
}
int shimDeviceCharacteristics(sqlite3_file *f) {
    return real(f)->pMethods->xDeviceCharacteristics(real(f));
}

// Version 1: no shared memory (the catalogue keeps its rollback journal) and no memory mapping.
const sqlite3_io_methods kMethods = {1,
                                     shimClose,
                                     shimRead,
                                     shimWrite,
                                     shimTruncate,
                                     shimSync,
                                     shimFileSize,
                                     shimLock,
                                     shimUnlock,
                                     shimCheckReservedLock,
                                     shimFileControl,
                                     shimSectorSize,
                                     shimDeviceCharacteristics,
                                     nullptr,
                                     nullptr,
                                     nullptr,
                                     nullptr,
                                     nullptr,
                                     nullptr};

int shimOpen(sqlite3_vfs *, sqlite3_filename name, sqlite3_file *file, int flags, int *outFlags) {
    auto *shim = reinterpret_cast<ShimFile *>(file);
    shim->file.pMethods = nullptr;
    shim->real = static_cast<sqlite3_file *>(sqlite3_malloc(state.base->szOsFile));
    if (!shim->real)
        return SQLITE_NOMEM;
    std::memset(shim->real, 0, size_t(state.base->szOsFile));
    const int rc = state.base->xOpen(state.base, name, shim->real, flags, outFlags);
    if (rc != SQLITE_OK) {
        sqlite3_free(shim->real);
        return rc;
    }
    shim->file.pMethods = &kMethods;
    return SQLITE_OK;
}

} // namespace

FaultVfs::FaultVfs() {
    state = State();
    state.base = sqlite3_vfs_find(nullptr);
    state.shim = *state.base;
    state.shim.iVersion = 1;
    state.shim.zName = "vadrel-faults";
    state.shim.szOsFile = int(sizeof(ShimFile));
    state.shim.xOpen = shimOpen;
    // Everything else (delete, access, full path, randomness, time) is the base layer's own, which
    // reads only its own fields of the copy.
    sqlite3_vfs_register(&state.shim, 1);
}

FaultVfs::~FaultVfs() {
    sqlite3_vfs_unregister(&state.shim);
    sqlite3_vfs_register(state.base, 1);
}

void FaultVfs::failAt(int n, Failure failure) {
    state.armedAt = n;
    state.seen = 0;
    state.fired = false;
    state.code = failure == Failure::Full ? SQLITE_FULL : SQLITE_IOERR;
}

bool FaultVfs::fired() const {
    return state.fired;
}

int FaultVfs::pointsSeen() const {
    return state.seen;
}
