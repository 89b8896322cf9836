#include "vfsprova.h"

#include <sqlcipher/sqlite3.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

namespace {
std::atomic<int> ritardoMs{0};
std::atomic<int> codiceGuasto{0};
sqlite3_vfs *reale = nullptr;
sqlite3_vfs prova;

struct File {
    sqlite3_file base;
    sqlite3_file *sotto; // the real file, right after this struct
    int flags;
};
sqlite3_file *s(sqlite3_file *f) { return reinterpret_cast<File *>(f)->sotto; }
bool scrivibile(sqlite3_file *f)
{
    return reinterpret_cast<File *>(f)->flags & (SQLITE_OPEN_MAIN_DB | SQLITE_OPEN_MAIN_JOURNAL | SQLITE_OPEN_WAL);
}

int chiudi(sqlite3_file *f) { return s(f)->pMethods->xClose(s(f)); }
int leggi(sqlite3_file *f, void *b, int n, sqlite3_int64 o) { return s(f)->pMethods->xRead(s(f), b, n, o); }
int scrivi(sqlite3_file *f, const void *b, int n, sqlite3_int64 o)
{
    if (codiceGuasto && scrivibile(f)) return codiceGuasto;
    return s(f)->pMethods->xWrite(s(f), b, n, o);
}
int tronca(sqlite3_file *f, sqlite3_int64 n)
{
    if (codiceGuasto && scrivibile(f)) return codiceGuasto;
    return s(f)->pMethods->xTruncate(s(f), n);
}
int sincronizza(sqlite3_file *f, int flags)
{
    if (codiceGuasto && scrivibile(f)) return codiceGuasto;
    if (reinterpret_cast<File *>(f)->flags & SQLITE_OPEN_MAIN_DB && ritardoMs)
        std::this_thread::sleep_for(std::chrono::milliseconds(ritardoMs.load()));
    return s(f)->pMethods->xSync(s(f), flags);
}
int dimensione(sqlite3_file *f, sqlite3_int64 *n) { return s(f)->pMethods->xFileSize(s(f), n); }
int blocca(sqlite3_file *f, int l) { return s(f)->pMethods->xLock(s(f), l); }
int sblocca(sqlite3_file *f, int l) { return s(f)->pMethods->xUnlock(s(f), l); }
int riservato(sqlite3_file *f, int *r) { return s(f)->pMethods->xCheckReservedLock(s(f), r); }
int controllo(sqlite3_file *f, int op, void *a) { return s(f)->pMethods->xFileControl(s(f), op, a); }
int settore(sqlite3_file *f) { return s(f)->pMethods->xSectorSize(s(f)); }
int caratteristiche(sqlite3_file *f) { return s(f)->pMethods->xDeviceCharacteristics(s(f)); }
int shmMap(sqlite3_file *f, int i, int n, int e, void volatile **p) { return s(f)->pMethods->xShmMap(s(f), i, n, e, p); }
int shmLock(sqlite3_file *f, int o, int n, int fl) { return s(f)->pMethods->xShmLock(s(f), o, n, fl); }
void shmBarrier(sqlite3_file *f) { s(f)->pMethods->xShmBarrier(s(f)); }
int shmUnmap(sqlite3_file *f, int d) { return s(f)->pMethods->xShmUnmap(s(f), d); }

const sqlite3_io_methods metodi = {2, chiudi, leggi, scrivi, tronca, sincronizza, dimensione, blocca, sblocca,
                                   riservato, controllo, settore, caratteristiche, shmMap, shmLock, shmBarrier,
                                   shmUnmap, nullptr, nullptr};

int apri(sqlite3_vfs *, const char *nome, sqlite3_file *f, int flags, int *uscita)
{
    auto *p = reinterpret_cast<File *>(f);
    p->sotto = reinterpret_cast<sqlite3_file *>(p + 1);
    p->flags = flags;
    const int rc = reale->xOpen(reale, nome, p->sotto, flags, uscita);
    // Without methods of its own the engine would not close what the real layer opened.
    p->base.pMethods = p->sotto->pMethods ? &metodi : nullptr;
    return rc;
}
} // namespace

namespace vfsprova {
void installa()
{
    if (reale) return;
    reale = sqlite3_vfs_find(nullptr);
    prova = *reale;
    prova.zName = "prova";
    prova.szOsFile = int(sizeof(File)) + reale->szOsFile;
    prova.xOpen = apri;
    prova.pNext = nullptr;
    sqlite3_vfs_register(&prova, 1);
}
void ritardoCommit(int ms) { ritardoMs = ms; }
void guasto(int codice) { codiceGuasto = codice; }
} // namespace vfsprova
