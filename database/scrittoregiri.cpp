#include "database/scrittoregiri.h"

#include "comune/identita.h"
#include "database/archiviotempi.h"

#include <QTimer>

namespace {
QString testoFallimento(const ErroreDatabase &e)
{
    return QStringLiteral("I giri non possono essere salvati nel database: %1\n"
                          "Restano in memoria e saranno salvati appena possibile; il cronometraggio continua.")
        .arg(ErroreDatabase::motivoItaliano(e.codice(), e.descrizione()));
}
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
    db_.apri(percorso_, QString::fromUtf8(identita::password), false);
    return true;
}

bool ScrittoreGiri::scrivi()
{
    if (coda_.isEmpty() || chiuso_) return true;
    try {
        connesso();
        Transazione t(db_);
        for (const Scrittura &s : std::as_const(coda_)) {
            if (s.tipo == Scrittura::Tipo::Giro) ArchivioTempi::inserisciGiro(db_, s.giro);
            else ArchivioTempi::aggiornaGiroVeloce(db_, s.tempo);
        }
        ArchivioTempi::ricostruisciTempoTotale(db_);
        t.conferma();
    } catch (const ErroreDatabase &e) {
        if (!inErrore_) {
            inErrore_ = true;
            emit fallita(testoFallimento(e));
        }
        riprova_->start();
        return false;
    }
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
    } catch (const ErroreDatabase &e) {
        if (errore) *errore = e.messaggio();
        return false;
    }
    emit risultati(leggi());
    return true;
}

quint64 ScrittoreGiri::chiudi()
{
    scrivi();
    riprova_->stop();
    chiuso_ = true;
    db_.chiudi();
    return scritto_;
}

bool ScrittoreGiri::apri(QString *errore)
{
    chiuso_ = false;
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
