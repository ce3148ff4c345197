#pragma once
// A file layer for the database engine that passes everything to the real one and counts
// the operations that change files (writes, syncs, truncations, deletions). At a chosen
// operation it either kills the process (SIGKILL, as a crash would) or makes every write
// from there on fail as on a full disk, until room() is called.
//
// Install it before the first connection opens: it becomes the engine's default.
#include <sqlcipher/sqlite3.h>
#include <csignal>
#include <cstring>

namespace faultvfs {

enum class Fault { None, Kill, DiskFull };

struct State {
    long operations = 0;
    long at = 0;
    Fault fault = Fault::None;
    bool full = false;
};

inline State &state()
{
    static State s;
    return s;
}

inline sqlite3_vfs *&realVfs()
{
    static sqlite3_vfs *v = nullptr;
    return v;
}

// Counts one changing operation; true when it must fail as on a full disk.
inline bool count(bool isWrite)
{
    State &s = state();
    ++s.operations;
    if (s.fault != Fault::None && s.operations >= s.at) {
        if (s.fault == Fault::Kill)
            ::raise(SIGKILL);
        s.full = true;
    }
    return isWrite && s.full;
}

struct File {
    sqlite3_file base;
    sqlite3_file *real;
};

inline sqlite3_file *real(sqlite3_file *f) { return reinterpret_cast<File *>(f)->real; }

inline const sqlite3_io_methods *methods()
{
    static const sqlite3_io_methods m = [] {
        sqlite3_io_methods io{};
        io.iVersion = 3;
        io.xClose = [](sqlite3_file *f) { return real(f)->pMethods->xClose(real(f)); };
        io.xRead = [](sqlite3_file *f, void *b, int n, sqlite3_int64 o) { return real(f)->pMethods->xRead(real(f), b, n, o); };
        io.xWrite = [](sqlite3_file *f, const void *b, int n, sqlite3_int64 o) {
            if (count(true))
                return SQLITE_FULL;
            return real(f)->pMethods->xWrite(real(f), b, n, o);
        };
        io.xTruncate = [](sqlite3_file *f, sqlite3_int64 size) {
            count(false);
            return real(f)->pMethods->xTruncate(real(f), size);
        };
        io.xSync = [](sqlite3_file *f, int flags) {
            count(false);
            return real(f)->pMethods->xSync(real(f), flags);
        };
        io.xFileSize = [](sqlite3_file *f, sqlite3_int64 *size) { return real(f)->pMethods->xFileSize(real(f), size); };
        io.xLock = [](sqlite3_file *f, int l) { return real(f)->pMethods->xLock(real(f), l); };
        io.xUnlock = [](sqlite3_file *f, int l) { return real(f)->pMethods->xUnlock(real(f), l); };
        io.xCheckReservedLock = [](sqlite3_file *f, int *out) { return real(f)->pMethods->xCheckReservedLock(real(f), out); };
        io.xFileControl = [](sqlite3_file *f, int op, void *arg) { return real(f)->pMethods->xFileControl(real(f), op, arg); };
        io.xSectorSize = [](sqlite3_file *f) { return real(f)->pMethods->xSectorSize(real(f)); };
        io.xDeviceCharacteristics = [](sqlite3_file *f) { return real(f)->pMethods->xDeviceCharacteristics(real(f)); };
        io.xShmMap = [](sqlite3_file *f, int pg, int sz, int ext, void volatile **pp) {
            return real(f)->pMethods->xShmMap(real(f), pg, sz, ext, pp);
        };
        io.xShmLock = [](sqlite3_file *f, int off, int n, int flags) { return real(f)->pMethods->xShmLock(real(f), off, n, flags); };
        io.xShmBarrier = [](sqlite3_file *f) { real(f)->pMethods->xShmBarrier(real(f)); };
        io.xShmUnmap = [](sqlite3_file *f, int del) { return real(f)->pMethods->xShmUnmap(real(f), del); };
        io.xFetch = [](sqlite3_file *f, sqlite3_int64 o, int n, void **pp) { return real(f)->pMethods->xFetch(real(f), o, n, pp); };
        io.xUnfetch = [](sqlite3_file *f, sqlite3_int64 o, void *p) { return real(f)->pMethods->xUnfetch(real(f), o, p); };
        return io;
    }();
    return &m;
}

// Installs the layer as the default (once) and sets what happens at which operation.
inline void install(Fault fault = Fault::None, long at = 0)
{
    static sqlite3_vfs vfs;
    if (!realVfs()) {
        realVfs() = sqlite3_vfs_find(nullptr);
        sqlite3_vfs *r = realVfs();
        std::memset(&vfs, 0, sizeof vfs);
        vfs.iVersion = 2;
        vfs.szOsFile = int(sizeof(File)) + r->szOsFile;
        vfs.mxPathname = r->mxPathname;
        vfs.zName = "faultvfs";
        vfs.xOpen = [](sqlite3_vfs *, const char *name, sqlite3_file *f, int flags, int *outFlags) {
            auto *p = reinterpret_cast<File *>(f);
            p->real = reinterpret_cast<sqlite3_file *>(p + 1);
            const int rc = realVfs()->xOpen(realVfs(), name, p->real, flags, outFlags);
            p->base.pMethods = p->real->pMethods ? methods() : nullptr;
            return rc;
        };
        vfs.xDelete = [](sqlite3_vfs *, const char *name, int syncDir) {
            count(false);
            return realVfs()->xDelete(realVfs(), name, syncDir);
        };
        vfs.xAccess = [](sqlite3_vfs *, const char *name, int flags, int *out) {
            return realVfs()->xAccess(realVfs(), name, flags, out);
        };
        vfs.xFullPathname = [](sqlite3_vfs *, const char *name, int n, char *out) {
            return realVfs()->xFullPathname(realVfs(), name, n, out);
        };
        vfs.xDlOpen = [](sqlite3_vfs *, const char *name) { return realVfs()->xDlOpen(realVfs(), name); };
        vfs.xDlError = [](sqlite3_vfs *, int n, char *out) { realVfs()->xDlError(realVfs(), n, out); };
        vfs.xDlSym = [](sqlite3_vfs *, void *h, const char *sym) { return realVfs()->xDlSym(realVfs(), h, sym); };
        vfs.xDlClose = [](sqlite3_vfs *, void *h) { realVfs()->xDlClose(realVfs(), h); };
        vfs.xRandomness = [](sqlite3_vfs *, int n, char *out) { return realVfs()->xRandomness(realVfs(), n, out); };
        vfs.xSleep = [](sqlite3_vfs *, int us) { return realVfs()->xSleep(realVfs(), us); };
        vfs.xCurrentTime = [](sqlite3_vfs *, double *t) { return realVfs()->xCurrentTime(realVfs(), t); };
        vfs.xGetLastError = [](sqlite3_vfs *, int n, char *out) { return realVfs()->xGetLastError(realVfs(), n, out); };
        vfs.xCurrentTimeInt64 = [](sqlite3_vfs *, sqlite3_int64 *t) { return realVfs()->xCurrentTimeInt64(realVfs(), t); };
        sqlite3_vfs_register(&vfs, 1);
    }
    State &s = state();
    s.operations = 0;
    s.fault = fault;
    s.at = at;
    s.full = false;
}

// The disk has room again: writes pass from now on.
inline void room()
{
    state().fault = Fault::None;
    state().full = false;
}

inline long operations() { return state().operations; }

} // namespace faultvfs
