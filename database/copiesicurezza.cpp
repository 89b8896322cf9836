#include "database/copiesicurezza.h"

#include "database/database.h"
#include "comune/identita.h"
#include "comune/messaggi.h"
#include "piattaforma/file.h"
#include "timing/orologio.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <algorithm>
#include <functional>
#include <optional>
#include <vector>
#include <sqlcipher/sqlite3.h>

namespace {

constexpr qint64 bloccoMassimo = 1 << 20;

// A copy's name, "saettinopro-AAAAMMGG-hhmmss[-n].mb", gives its place among the copies:
// by the time in the name, then by the number added to a name already taken in the same
// second (1 when there is none). Any other name is not a copy. Read by hand, not by a
// regular expression: copies are listed on worker threads, and a thread that matched one
// leaves a destructor that faults when the thread ends on Windows.
std::optional<std::pair<QString, int>> chiave(const QString &nome)
{
    static const QString inizio = QStringLiteral("saettinopro-"), fine = QStringLiteral(".mb");
    if (!nome.startsWith(inizio) || !nome.endsWith(fine)) return std::nullopt;
    const QStringView corpo = QStringView(nome).mid(inizio.size(), nome.size() - inizio.size() - fine.size());
    const auto cifre = [](QStringView s) {
        return !s.isEmpty() && std::all_of(s.begin(), s.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    };
    if (corpo.size() < 15 || corpo[8] != u'-' || !cifre(corpo.first(8)) || !cifre(corpo.mid(9, 6)))
        return std::nullopt;
    if (corpo.size() == 15) return std::pair{corpo.toString(), 1};
    if (corpo[15] != u'-' || !cifre(corpo.mid(16))) return std::nullopt;
    return std::pair{corpo.first(15).toString(), corpo.mid(16).toInt()};
}

// The bytes of the live file, read so that no writer can change them halfway.
// A connection of its own holds a read lock (BEGIN and a read) for as long as
// this object lives, and the bytes come through that connection's own file
// handle: opening and closing another descriptor on the file would drop every
// lock this process holds on it. A file the engine cannot read at all cannot
// be written by anyone either, and is read as plain bytes. Closing the
// connection ends the read transaction and so the lock.
class Lettura {
public:
    explicit Lettura(const QString &percorso) : diretto_(percorso) {}

    // Empty when ready, otherwise why the file cannot be read.
    QString inizia()
    {
        try {
            db_.apri(diretto_.fileName(), QString::fromUtf8(identita::password), false);
            db_.esegui(QStringLiteral("BEGIN"));
            Istruzione q = db_.prepara("SELECT count(*) FROM sqlite_master");
            q.passo();
        } catch (const ErroreDatabase &e) {
            if (e.codice() != SQLITE_NOTADB && e.codice() != SQLITE_CORRUPT)
                return QStringLiteral("il database dei tempi non si legge (") + e.descrizione()
                     + QLatin1Char(')');
            db_.chiudi();
            if (!diretto_.open(QIODevice::ReadOnly))
                return CopieSicurezza::motivo(diretto_.error(), diretto_.errorString());
            return {};
        }
        if (sqlite3_file_control(db_.handle(), "main", SQLITE_FCNTL_FILE_POINTER, &file_) != SQLITE_OK
            || !file_ || !file_->pMethods)
            return QStringLiteral("il database dei tempi non si legge");
        return {};
    }

    qint64 dimensione()
    {
        if (!file_) return diretto_.size();
        sqlite3_int64 n = 0;
        return file_->pMethods->xFileSize(file_, &n) == SQLITE_OK ? n : -1;
    }

    bool leggi(qint64 da, QByteArray &blocco)
    {
        if (!file_)
            return diretto_.seek(da) && diretto_.read(blocco.data(), blocco.size()) == blocco.size();
        return file_->pMethods->xRead(file_, blocco.data(), static_cast<int>(blocco.size()), da) == SQLITE_OK;
    }

private:
    Database db_;
    QFile diretto_;
    sqlite3_file *file_ = nullptr;
};

QByteArray impronta(QFile &file)
{
    QCryptographicHash h(QCryptographicHash::Sha256);
    return file.seek(0) && h.addData(&file) ? h.result() : QByteArray();
}

} // namespace

CopieSicurezza::CopieSicurezza(QString percorsoDatabase, Orologio &orologio)
    : percorso_(std::move(percorsoDatabase)), orologio_(orologio)
{
}

QString CopieSicurezza::cartella() const
{
    return QFileInfo(percorso_).absoluteDir().filePath(QStringLiteral("backup"));
}

QStringList CopieSicurezza::copie() const
{
    const QDir dir(cartella());
    std::vector<std::pair<std::pair<QString, int>, QString>> trovate; // each name read once
    for (const QString &n : dir.entryList(QDir::Files))
        if (auto k = chiave(n)) trovate.emplace_back(std::move(*k), n);
    std::sort(trovate.begin(), trovate.end(), std::greater<>());
    QStringList nomi;
    for (const auto &[k, n] : trovate) nomi.append(dir.filePath(n));
    return nomi;
}

QString CopieSicurezza::motivo(QFileDevice::FileError errore, const QString &sistema)
{
    QString testo;
    switch (errore) {
    case QFileDevice::ResourceError: testo = QStringLiteral("spazio su disco esaurito"); break;
    case QFileDevice::OpenError: testo = QStringLiteral("il file non si apre"); break;
    case QFileDevice::ReadError: testo = QStringLiteral("errore di lettura"); break;
    case QFileDevice::WriteError: testo = QStringLiteral("errore di scrittura"); break;
    case QFileDevice::PermissionsError: testo = QStringLiteral("permesso negato"); break;
    case QFileDevice::RenameError: testo = QStringLiteral("il file non si rinomina"); break;
    default: testo = QStringLiteral("errore del disco"); break;
    }
    return sistema.isEmpty() ? testo : testo + QStringLiteral(" (") + sistema + QLatin1Char(')');
}

QString CopieSicurezza::scrivi(QFile &copia, const QByteArray &blocco)
{
    if (copia.write(blocco) == blocco.size()) return {};
    return motivo(copia.error(), copia.errorString());
}

QString CopieSicurezza::copia(QString *errore)
{
    QFile provvisoria;
    auto ko = [&](const QString &motivo) {
        if (provvisoria.exists()) provvisoria.remove();
        if (errore) *errore = motivo;
        return QString();
    };
    if (!QFileInfo(percorso_).isFile())
        return ko(QStringLiteral("il database dei tempi non c'è (") + percorso_ + QLatin1Char(')'));
    const QDir dir(cartella());
    if (!QDir().mkpath(dir.path())) return ko(QStringLiteral("la cartella non si crea"));
    do {
        provvisoria.setFileName(dir.filePath(QStringLiteral(".saettinopro-%1.tmp")
                                                 .arg(QRandomGenerator::global()->generate(), 0, 36)));
    } while (provvisoria.exists());
    {
        Lettura lettura(percorso_);
        if (const QString perche = lettura.inizia(); !perche.isEmpty()) return ko(perche);
        if (!provvisoria.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return ko(motivo(provvisoria.error(), provvisoria.errorString()));
        const qint64 dimensione = lettura.dimensione();
        if (dimensione < 0) return ko(QStringLiteral("il database dei tempi non si legge"));
        QCryptographicHash letta(QCryptographicHash::Sha256);
        QByteArray blocco;
        for (qint64 da = 0; da < dimensione; da += blocco.size()) {
            blocco.resize(std::min(bloccoMassimo, dimensione - da));
            if (!lettura.leggi(da, blocco)) return ko(QStringLiteral("errore di lettura del database dei tempi"));
            letta.addData(blocco);
            if (const QString perche = scrivi(provvisoria, blocco); !perche.isEmpty()) return ko(perche);
        }
        if (!provvisoria.flush()) return ko(motivo(provvisoria.error(), provvisoria.errorString()));
        // On the disk before it gets its name: a copy under that name is a whole copy.
        QString perche;
        bool pieno = false;
        if (!file::sincronizza(provvisoria, &perche, &pieno))
            return ko(motivo(pieno ? QFileDevice::ResourceError : QFileDevice::WriteError, perche));
        provvisoria.close();
        // Read back what the disk holds and compare it with what was read.
        if (!provvisoria.open(QIODevice::ReadOnly) || provvisoria.size() != dimensione
            || impronta(provvisoria) != letta.result())
            return ko(QStringLiteral("la copia riletta non è uguale al database"));
        provvisoria.close();
    }
    const QString base = QStringLiteral("saettinopro-")
                       + orologio_.dataOra().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (int n = 1;; ++n) {
        const QString nome = dir.filePath(base + (n > 1 ? QStringLiteral("-%1").arg(n) : QString())
                                          + QStringLiteral(".mb"));
        if (QFileInfo::exists(nome)) continue;
        if (!provvisoria.rename(nome)) return ko(motivo(provvisoria.error(), provvisoria.errorString()));
        sfoltisci(nome);
        return nome;
    }
}

void CopieSicurezza::sfoltisci(const QString &appenaFatta)
{
    const QStringList tutte = copie();
    // A clock set back may name the new copy older than the rest: it stays all the same.
    for (qsizetype i = tenute; i < tutte.size(); ++i)
        if (tutte[i] != appenaFatta) QFile::remove(tutte[i]);
}

bool CopieSicurezza::copiaOAvvisa(Messaggi &messaggi, const QString &seguito)
{
    QString perche;
    if (!copia(&perche).isEmpty()) return true;
    messaggi.mostra(QStringLiteral("Impossibile fare la copia di sicurezza dei tempi nella cartella\n")
                        + cartella() + QStringLiteral("\n") + perche + QStringLiteral(".\n") + seguito,
                    Messaggi::Pulsanti::Ok, Messaggi::Icona::Esclamazione);
    return false;
}

bool CopieSicurezza::copiaAllAvvio(Messaggi &messaggi)
{
    return copiaOAvvisa(messaggi, QStringLiteral("Il programma continua senza questa copia; i tempi "
                                                 "attuali non sono stati modificati."));
}
