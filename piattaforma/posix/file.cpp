#include "piattaforma/file.h"

#include <QFile>
#include <QFileDevice>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

IdentitaFile IdentitaFile::di(const QString &percorso)
{
    IdentitaFile id;
    struct stat st {};
    if (::stat(QFile::encodeName(percorso).constData(), &st) != 0 || !S_ISREG(st.st_mode)) return id;
    id.esiste = true;
    id.dispositivo = quint64(st.st_dev);
    id.numero = quint64(st.st_ino);
    return id;
}

namespace file {

bool sincronizza(QFileDevice &file, QString *errore, bool *pieno)
{
    if (::fsync(file.handle()) == 0) return true;
    if (pieno) *pieno = errno == ENOSPC;
    if (errore) *errore = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

bool apertoSostituibile() { return true; }

bool collegamentoFisso(const QString &esistente, const QString &nuovo)
{
    return ::link(QFile::encodeName(esistente).constData(), QFile::encodeName(nuovo).constData()) == 0;
}

bool creaFifo(const QString &percorso) { return ::mkfifo(QFile::encodeName(percorso).constData(), 0600) == 0; }

QString dispositivoInfinito() { return QStringLiteral("/dev/zero"); }

} // namespace file
