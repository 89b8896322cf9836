#include "piattaforma/file.h"

#include <QDir>
#include <QFileDevice>

#include <io.h>
#include <windows.h>

IdentitaFile IdentitaFile::di(const QString &percorso)
{
    IdentitaFile id;
    const QString nativo = QDir::toNativeSeparators(percorso);
    HANDLE h = CreateFileW(reinterpret_cast<const wchar_t *>(nativo.utf16()), 0,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return id;
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(h, &info)) {
        id.esiste = true;
        id.dispositivo = info.dwVolumeSerialNumber;
        id.numero = (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    }
    CloseHandle(h);
    return id;
}

namespace file {

bool sincronizza(QFileDevice &file, QString *errore, bool *pieno)
{
    // A file opened by name has its system handle behind the C library's descriptor.
    const int fd = file.handle();
    if (fd < 0) return true;
    const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    if (h == INVALID_HANDLE_VALUE || FlushFileBuffers(h)) return true;
    const DWORD e = GetLastError();
    if (pieno) *pieno = e == ERROR_DISK_FULL || e == ERROR_HANDLE_DISK_FULL;
    if (errore) *errore = qt_error_string(int(e));
    return false;
}

bool apertoSostituibile() { return false; }

bool collegamentoFisso(const QString &esistente, const QString &nuovo)
{
    return CreateHardLinkW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(nuovo).utf16()),
                           reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(esistente).utf16()), nullptr);
}

bool creaFifo(const QString &) { return false; }

QString dispositivoInfinito() { return {}; }

} // namespace file
