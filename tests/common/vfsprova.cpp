#include "vfsprova.h"

#include <sqlcipher/sqlite3.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

namespace {
std::atomic<int> ritardoMs{0}, codiceGuasto{0}, letturaMs{0};
std::mutex guardiaLente;
std::string parteLente;
sqlite3_vfs *reale = nullptr;
sqlite3_vfs prova;

// Kept right after the real layer's file: the methods it gave the file, and a
// copy of them whose writes and syncs pass through here first (a full disk
// still lets a file shrink).
struct Aggiunta {
    const sqlite3_io_methods *reali;
    sqlite3_io_methods metodi;
    int flags; // what the file was opened as
    bool lento; // its reads are slowed down
};
// Where the real layer's file ends, rounded up for what follows it.
int scarto() { return (reale->szOsFile + 7) / 8 * 8; }
Aggiunta &aggiunta(sqlite3_file *f) { return *reinterpret_cast<Aggiunta *>(reinterpret_cast<char *>(f) + scarto()); }
// The files a broken disk refuses to write, and the code it answers for them (0 when it works).
constexpr int scrivibili = SQLITE_OPEN_MAIN_DB | SQLITE_OPEN_MAIN_JOURNAL | SQLITE_OPEN_WAL;
int rotto(sqlite3_file *f) { return aggiunta(f).flags & scrivibili ? codiceGuasto.load() : 0; }

int scrivi(sqlite3_file *f, const void *b, int n, sqlite3_int64 o) { return rotto(f) ? rotto(f) : aggiunta(f).reali->xWrite(f, b, n, o); }
int leggi(sqlite3_file *f, void *b, int n, sqlite3_int64 o)
{
    if (aggiunta(f).lento && letturaMs) std::this_thread::sleep_for(std::chrono::milliseconds(letturaMs.load()));
    return aggiunta(f).reali->xRead(f, b, n, o);
}
int sincronizza(sqlite3_file *f, int flags)
{
    if (const int rc = rotto(f)) return rc;
    if (aggiunta(f).flags & SQLITE_OPEN_MAIN_DB && ritardoMs)
        std::this_thread::sleep_for(std::chrono::milliseconds(ritardoMs.load()));
    return aggiunta(f).reali->xSync(f, flags);
}

int apri(sqlite3_vfs *, const char *nome, sqlite3_file *f, int flags, int *uscita)
{
    const int rc = reale->xOpen(reale, nome, f, flags, uscita);
    // Whatever the real layer opened, even on failure, is closed through its methods.
    if (!f->pMethods) return rc;
    // The real methods but for writes and syncs, which come here first.
    bool lento = false;
    {
        std::lock_guard blocco(guardiaLente);
        lento = nome && flags & SQLITE_OPEN_MAIN_DB && !parteLente.empty() && std::strstr(nome, parteLente.c_str());
    }
    Aggiunta &a = aggiunta(f) = {f->pMethods, *f->pMethods, flags, lento};
    a.metodi.xWrite = scrivi;
    a.metodi.xRead = leggi;
    a.metodi.xSync = sincronizza;
    f->pMethods = &a.metodi;
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
    prova.szOsFile = scarto() + int(sizeof(Aggiunta));
    prova.xOpen = apri;
    sqlite3_vfs_register(&prova, 1);
}
void ritardoCommit(int ms) { ritardoMs = ms; }
void guasto(int codice) { codiceGuasto = codice; }
void rallentaLetture(const char *parte, int ms)
{
    std::lock_guard blocco(guardiaLente);
    parteLente = parte ? parte : "";
    letturaMs = ms;
}
} // namespace vfsprova
