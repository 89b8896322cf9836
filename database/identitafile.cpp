#include "database/identitafile.h"

#include <QDir>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <QFile>
#include <sys/stat.h>
#endif

IdentitaFile IdentitaFile::di(const QString &percorso)
{
    IdentitaFile id;
#ifdef Q_OS_WIN
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
#else
    struct stat st {};
    if (::stat(QFile::encodeName(percorso).constData(), &st) != 0 || !S_ISREG(st.st_mode)) return id;
    id.esiste = true;
    id.dispositivo = quint64(st.st_dev);
    id.numero = quint64(st.st_ino);
#endif
    return id;
}
