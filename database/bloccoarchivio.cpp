#include "database/bloccoarchivio.h"
#include "comune/identita.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSysInfo>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
// Who holds the lock, for a person who opens the file; the lock never reads it.
QByteArray chiLoTiene()
{
    return QByteArray::number(QCoreApplication::applicationPid()) + '\n' + QSysInfo::machineHostName().toUtf8() + '\n';
}
} // namespace

BloccoArchivio::BloccoArchivio(const QString &percorsoDatabase)
    : percorso_(percorsoDatabase + QStringLiteral(".lock"))
{
}

BloccoArchivio::~BloccoArchivio() { rilascia(); }

QString BloccoArchivio::testoOccupato()
{
    return QString::fromUtf8(identita::titolo) + QStringLiteral(" è già in esecuzione su questo archivio");
}

QString BloccoArchivio::testoImpossibile() const
{
    return QStringLiteral("Impossibile creare il file di blocco dell'archivio dei tempi\n%1\n(%2).\n\n"
                          "Senza il blocco un secondo programma potrebbe scrivere sullo stesso archivio, "
                          "quindi l'archivio non viene aperto. Liberare spazio sul disco o rendere "
                          "scrivibile la cartella, poi riavviare il programma.")
        .arg(QDir::toNativeSeparators(percorso_), errore_);
}

#ifdef _WIN32

BloccoArchivio::Esito BloccoArchivio::prendi()
{
    if (maniglia_) return Esito::Preso;
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
    maniglia_ = h;
    const QByteArray testo = chiLoTiene();
    DWORD scritti = 0;
    if (SetEndOfFile(h)) WriteFile(h, testo.constData(), DWORD(testo.size()), &scritti, nullptr);
    return Esito::Preso;
}

void BloccoArchivio::rilascia()
{
    if (!maniglia_) return;
    CloseHandle(static_cast<HANDLE>(maniglia_));
    maniglia_ = nullptr;
    // Another program may have it open already: then the file simply stays.
    DeleteFileW(QDir::toNativeSeparators(percorso_).toStdWString().c_str());
}

#else

BloccoArchivio::Esito BloccoArchivio::prendi()
{
    if (descrittore_ >= 0) return Esito::Preso;
    const QByteArray nome = QFile::encodeName(percorso_);
    // A holder that ends removes the file; the lock taken must be on the file under the name.
    for (int tentativo = 0; tentativo < 10; ++tentativo) {
        int fd = ::open(nome.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        const int perche = errno;
        // A leftover lock file this user may only read still takes a lock.
        if (fd < 0 && (perche == EACCES || perche == EROFS || perche == EPERM))
            fd = ::open(nome.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            errore_ = qt_error_string(perche);
            return Esito::Impossibile;
        }
        struct stat tipo {};
        if (::fstat(fd, &tipo) != 0 || !S_ISREG(tipo.st_mode)) {
            ::close(fd);
            errore_ = qt_error_string(EISDIR);
            return Esito::Impossibile;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int e = errno;
            ::close(fd);
            if (e == EWOULDBLOCK) return Esito::Occupato;
            errore_ = qt_error_string(e);
            return Esito::Impossibile;
        }
        struct stat aperto {}, nominato {};
        if (::fstat(fd, &aperto) == 0 && ::stat(nome.constData(), &nominato) == 0 && aperto.st_dev == nominato.st_dev
            && aperto.st_ino == nominato.st_ino) {
            descrittore_ = fd;
            const QByteArray testo = chiLoTiene();
            if (::ftruncate(fd, 0) == 0) {
                [[maybe_unused]] const auto n = ::write(fd, testo.constData(), size_t(testo.size()));
            }
            return Esito::Preso;
        }
        ::close(fd);
    }
    errore_ = QStringLiteral("il file di blocco viene tolto e rifatto di continuo");
    return Esito::Impossibile;
}

void BloccoArchivio::rilascia()
{
    if (descrittore_ < 0) return;
    // Removed while still held, so no other program can lock a file that is going away.
    ::unlink(QFile::encodeName(percorso_).constData());
    ::close(descrittore_);
    descrittore_ = -1;
}

#endif
