#include "database/scrittoregiri.h"

#include "comune/identita.h"
#include "database/archiviotempi.h"
#include "database/schema.h"
#include "database/schemagara.h"

#include <QDir>

#include <QTimer>

namespace {
QString testoFallimento(const ErroreDatabase &e)
{
    return QStringLiteral("I giri non possono essere salvati nel database: %1\n"
                          "Restano in memoria e saranno salvati appena possibile; il cronometraggio continua.")
        .arg(ErroreDatabase::motivoItaliano(e.codice(), e.descrizione()));
}

QString nome(const QString &percorso) { return QDir::toNativeSeparators(percorso); }

QHash<QString, int> leggiMassimi(Database &db)
{
    QHash<QString, int> m;
    for (Istruzione q = db.prepara("SELECT pilota, max(giroN) FROM Giri WHERE giroN IS NOT NULL GROUP BY pilota");
         q.passo();)
        m.insert(q.testo(0), int(q.intero(1)));
    return m;
}

const QString restanoInMemoria = QStringLiteral(
    "I giri restano in memoria e saranno salvati appena un database dei tempi valido sarà di nuovo "
    "al suo posto; il cronometraggio continua.");
} // namespace

ScrittoreGiri::ScrittoreGiri(QString percorso, QObject *parent)
    : QObject(parent), percorso_(std::move(percorso)), riprova_(new QTimer(this))
{
    qRegisterMetaType<Risultati>();
    riprova_->setSingleShot(true);
    riprova_->setInterval(500);
    connect(riprova_, &QTimer::timeout, this, &ScrittoreGiri::scrivi);
}

ScrittoreGiri::~ScrittoreGiri() = default;

void ScrittoreGiri::impostaRiprova(int ms) { riprova_->setInterval(ms); }

void ScrittoreGiri::impostaDettaglio(bool conDettaglio)
{
    dettaglio_ = conDettaglio;
    if (dettaglio_) emit risultati(leggi());
}

void ScrittoreGiri::accoda(const QVector<Scrittura> &scritture)
{
    coda_ += scritture;
    programma();
}

// Writes posted together are taken together: the commit runs after the calls
// already queued to this thread.
void ScrittoreGiri::programma()
{
    if (programmato_ || inErrore_ || chiuso_) return;
    programmato_ = true;
    QMetaObject::invokeMethod(this, [this] {
        programmato_ = false;
        scrivi();
    }, Qt::QueuedConnection);
}

bool ScrittoreGiri::connesso()
{
    if (db_.aperto()) return true;
    if (perso_) throw ErroreDatabase(0, QStringLiteral("il file del database non è al suo posto."));
    apriFile();
    return true;
}

// The identity is taken before the first read, so a file swapped in between is seen at the next check.
void ScrittoreGiri::apriFile()
{
    identita_ = IdentitaFile::di(percorso_);
    db_.apri(percorso_, QString::fromUtf8(identita::password), false);
    try {
        versione_ = db_.versioneDati();
        massimi_ = leggiMassimi(db_);
    } catch (...) {
        db_.chiudi();
        throw;
    }
}

// True when the file under the name is the one open, with the lap numbers this
// writer left in it. Otherwise the operator is told and nothing is written.
bool ScrittoreGiri::fileAlSuoPosto()
{
    if (fermo_) return false;
    if (!db_.aperto() && !perso_) return true; // opened by the write, which reports its own failure
    const IdentitaFile ora = IdentitaFile::di(percorso_);
    if (!perso_) {
        if (ora == identita_) {
            try {
                const qint64 versione = db_.versioneDati();
                if (versione == versione_) return true;
                const QHash<QString, int> massimi = leggiMassimi(db_);
                versione_ = versione;
                if (massimi == massimi_) return true; // another connection, laps untouched
                massimi_ = massimi;
            } catch (const ErroreDatabase &) {
                return true; // the write that follows says what is wrong
            }
            fermo_ = true;
            emit daRiallineare(massimi_, QStringLiteral("Il database dei tempi\n%1\nè stato modificato da un altro "
                                                        "programma: i numeri dei giri proseguono da quelli che ora "
                                                        "contiene.").arg(nome(percorso_)));
            return false;
        }
        db_.chiudi();
        perso_ = true;
        avvisoPerso_.clear();
    }
    // Closed because the file moved: reopened once a usable one is back under the name.
    QString motivo;
    if (ora.esiste) {
        try {
            apriFile();
            const QString diverso = schema::differenze(db_);
            if (diverso.isEmpty()) {
                // A file of an earlier version lacks the columns each lap now fills.
                schema::completaGara(db_);
                perso_ = false;
                fermo_ = true;
                inErrore_ = false;
                emit ripresa();
                emit daRiallineare(massimi_, QStringLiteral("Sotto il nome del database dei tempi\n%1\nc'è ora un "
                                                            "altro file, che è in uso da adesso: i giri in attesa vi "
                                                            "sono scritti con i numeri che proseguono dai suoi.")
                                                 .arg(nome(percorso_)));
                return false;
            }
            db_.chiudi();
            motivo = diverso;
        } catch (const ErroreDatabase &e) {
            motivo = ErroreDatabase::motivoItaliano(e.codice(), e.descrizione());
        }
    }
    const QString avviso = ora.esiste
        ? QStringLiteral("Il database dei tempi\n%1\nè stato sostituito da un altro file, che non si può usare: %2\n")
              .arg(nome(percorso_), motivo)
        : QStringLiteral("Il database dei tempi\n%1\nnon c'è più: è stato cancellato, spostato o rinominato.\n")
              .arg(nome(percorso_));
    // Told once for each state (gone, replaced by a file it cannot use), not at every retry.
    const QString stato = ora.esiste ? QStringLiteral("sostituito") : QStringLiteral("sparito");
    if (stato != avvisoPerso_) {
        avvisoPerso_ = stato;
        inErrore_ = true;
        emit fallita(avviso + restanoInMemoria);
    }
    return false;
}

void ScrittoreGiri::rinumera(const QVector<Scrittura> &coda)
{
    coda_ = coda;
    fermo_ = false;
    if (inErrore_) riprova_->start();
    else programma();
}

bool ScrittoreGiri::scrivi()
{
    if (coda_.isEmpty() || chiuso_) return true;
    const int attesa = attesaForzata_ >= 0 ? attesaForzata_ : inErrore_ ? attesaRiprovaMs : attesaNormaleMs;
    if (db_.aperto()) db_.impostaAttesa(attesa);
    if (!fileAlSuoPosto()) {
        if (!fermo_) riprova_->start();
        return false;
    }
    try {
        connesso();
        db_.impostaAttesa(attesa);
        Transazione t(db_);
        for (const Scrittura &s : std::as_const(coda_)) {
            if (s.tipo == Scrittura::Tipo::Giro) ArchivioTempi::inserisciGiro(db_, s.giro);
            else ArchivioTempi::aggiornaGiroVeloce(db_, s.tempo);
        }
        ArchivioTempi::ricostruisciTempoTotale(db_);
        t.conferma();
    } catch (const ErroreDatabase &e) {
        // A write refused because the file moved is told as that, not as a read-only file.
        if (db_.aperto()) db_.impostaAttesa(0); // the lock that failed the write is not waited for twice
        if (fileAlSuoPosto() && !inErrore_) {
            inErrore_ = true;
            emit fallita(testoFallimento(e));
        }
        if (!fermo_) riprova_->start();
        return false;
    }
    for (const Scrittura &s : std::as_const(coda_))
        if (s.tipo == Scrittura::Tipo::Giro) massimi_[s.giro.pilota] = qMax(massimi_.value(s.giro.pilota), s.giro.giroN);
    scritto_ = coda_.last().numero;
    coda_.clear();
    if (inErrore_) {
        inErrore_ = false;
        emit ripresa();
    }
    emit scritte(scritto_);
    emit risultati(leggi());
    return true;
}

quint64 ScrittoreGiri::svuota()
{
    scrivi();
    return scritto_;
}

bool ScrittoreGiri::esegui(const std::function<void(Database &)> &lavoro, QString *errore)
{
    if (!scrivi()) {
        if (errore) *errore = QStringLiteral("%1 giri sono ancora in attesa di salvataggio.").arg(coda_.size());
        return false;
    }
    try {
        connesso();
        lavoro(db_);
        massimi_ = leggiMassimi(db_); // a reset or a correction renumbers laps
    } catch (const ErroreDatabase &e) {
        if (errore) *errore = e.messaggio();
        return false;
    }
    emit risultati(leggi());
    return true;
}

quint64 ScrittoreGiri::chiudi(int attesaMs)
{
    attesaForzata_ = attesaMs;
    scrivi();
    attesaForzata_ = -1;
    riprova_->stop();
    chiuso_ = true;
    db_.chiudi();
    return scritto_;
}

bool ScrittoreGiri::apri(QString *errore)
{
    chiuso_ = false;
    perso_ = false; // the file was replaced on purpose (Load): counted afresh
    try {
        connesso();
    } catch (const ErroreDatabase &e) {
        if (errore) *errore = e.messaggio();
        riprova_->start();
        return false;
    }
    // A commit sends the new file's results; with nothing to commit, whoever
    // follows the detail (the live page) is sent them all the same.
    const bool daScrivere = !coda_.isEmpty();
    scrivi();
    if (dettaglio_ && !daScrivere) emit risultati(leggi());
    return true;
}

Risultati ScrittoreGiri::leggi()
{
    Risultati r;
    try {
        if (chiuso_) r.aperto = false;
        else if (perso_ || fermo_) r.errore = QStringLiteral("il database dei tempi non è al suo posto.");
        else if (connesso()) {
            r = leggiRisultati(db_);
            r.conDettaglio = dettaglio_;
            if (dettaglio_) r.dettaglio = leggiDettaglio(db_);
        }
    } catch (const ErroreDatabase &e) {
        r = Risultati{};
        r.aperto = db_.aperto();
        if (r.aperto) r.errore = e.messaggio();
    }
    r.numero = ++letture_;
    return r;
}
