#include "piattaforma/bloccofile.h"

#include <QDir>

#include <windows.h>

BloccoFile::Esito BloccoFile::prendi()
{
    if (maniglia_ != -1) return Esito::Preso;
    const std::wstring nome = QDir::toNativeSeparators(percorso_).toStdWString();
    HANDLE h = CreateFileW(nome.c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        errore_ = qt_error_string(int(GetLastError()));
        return Esito::Impossibile;
    }
    // One byte far past the text: the lock is the system's, the text stays readable.
    OVERLAPPED dove{};
    dove.OffsetHigh = 1;
    if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &dove)) {
        const DWORD e = GetLastError();
        CloseHandle(h);
        if (e == ERROR_LOCK_VIOLATION || e == ERROR_IO_PENDING) return Esito::Occupato;
        errore_ = qt_error_string(int(e));
        return Esito::Impossibile;
    }
    maniglia_ = reinterpret_cast<qintptr>(h);
    const QByteArray testo = chiLoTiene();
    DWORD scritti = 0;
    if (SetEndOfFile(h)) WriteFile(h, testo.constData(), DWORD(testo.size()), &scritti, nullptr);
    return Esito::Preso;
}

void BloccoFile::rilascia()
{
    if (maniglia_ == -1) return;
    CloseHandle(reinterpret_cast<HANDLE>(maniglia_));
    maniglia_ = -1;
    // Another program may have it open already: then the file simply stays.
    DeleteFileW(QDir::toNativeSeparators(percorso_).toStdWString().c_str());
}
