#include "piattaforma/bloccofile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

BloccoFile::Esito BloccoFile::prendi()
{
    if (maniglia_ >= 0) return Esito::Preso;
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
            maniglia_ = fd;
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

void BloccoFile::rilascia()
{
    if (maniglia_ < 0) return;
    // Removed while still held, so no other program can lock a file that is going away.
    ::unlink(QFile::encodeName(percorso_).constData());
    ::close(int(maniglia_));
    maniglia_ = -1;
}
