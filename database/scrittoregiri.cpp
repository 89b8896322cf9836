#include "database/scrittoregiri.h"

#include "comune/identita.h"
#include "database/archiviotempi.h"
#include "database/cancellatempi.h"
#include "database/copiesicurezza.h"
#include "database/giriditesto.h"
#include "database/schema.h"
#include "database/schemagara.h"
#include "timing/orologio.h"

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

void ScrittoreGiri::impostaCopie(CopieSicurezza *copie) { copie_ = copie; }

CopieSicurezza &ScrittoreGiri::copie()
{
    if (copie_) return *copie_;
    static OrologioSistema orologio;
    if (!copieProprie_) copieProprie_ = std::make_unique<CopieSicurezza>(percorso_, orologio);
    return *copieProprie_;
}

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
            const QString persi = recuperaMancanti();
            emit daRiallineare(massimi_, QStringLiteral("Il database dei tempi\n%1\nè stato modificato da un altro "
                                                        "programma: i numeri dei giri proseguono da quelli che ora "
                                                        "contiene.").arg(nome(percorso_)) + persi);
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
                const QString persi = recuperaMancanti();
                emit ripresa();
                emit daRiallineare(massimi_, QStringLiteral("Sotto il nome del database dei tempi\n%1\nc'è ora un "
                                                            "altro file, che è in uso da adesso: i giri in attesa vi "
                                                            "sono scritti con i numeri che proseguono dai suoi.")
                                                 .arg(nome(percorso_)) + persi);
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
        while (!coda_.isEmpty()) {
            if (!scriviParte()) {
                riprova_->start();
                return false;
            }
        }
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
    if (inErrore_) {
        inErrore_ = false;
        emit ripresa();
    }
    emit risultati(leggi());
    return true;
}

// One transaction: the writes up to the next reset, or a reset with the writes
// that follow it up to the one after. A reset clears nothing until the file as it
// stands is backed up; until then it waits, as a lap that cannot be written does.
bool ScrittoreGiri::scriviParte()
{
    const bool azzera = coda_.first().tipo == Scrittura::Tipo::Azzera;
    if (azzera && copiato_ != coda_.first().numero) {
        QString motivo;
        if (copie().copia(&motivo).isEmpty()) {
            if (!inErrore_) {
                inErrore_ = true;
                emit fallita(QStringLiteral("La cancellazione dei tempi non è ancora stata fatta: impossibile fare la "
                                            "copia di sicurezza nella cartella\n%1\n%2.\nSarà fatta appena la copia "
                                            "riuscirà; i giri segnati dopo restano in memoria e il cronometraggio "
                                            "continua.")
                                 .arg(nome(copie().cartella()), motivo));
            }
            return false;
        }
        copiato_ = coda_.first().numero;
    }
    qsizetype fine = 1;
    while (fine < coda_.size() && coda_[fine].tipo != Scrittura::Tipo::Azzera) ++fine;
    QVector<Impegnato> nuovi;
    Transazione t(db_);
    for (qsizetype i = 0; i < fine; ++i) {
        const Scrittura &s = coda_[i];
        if (s.tipo == Scrittura::Tipo::Giro) {
            archivioTempi::inserisciGiro(db_, s.giro);
            nuovi.append({db_.ultimoId(), s.giro});
        } else if (s.tipo == Scrittura::Tipo::GiroVeloce) {
            archivioTempi::aggiornaGiroVeloce(db_, s.tempo);
        } else if (s.svuota) {
            s.svuota(db_);
        } else {
            CancellaTempi::svuotaTabelle(db_, true);
        }
    }
    archivioTempi::ricostruisciTempoTotale(db_);
    t.conferma();
    if (azzera) { // the laps cleared on purpose are nobody's loss
        massimi_.clear();
        impegnati_.clear();
    }
    for (const Impegnato &g : std::as_const(nuovi))
        massimi_[g.giro.pilota] = qMax(massimi_.value(g.giro.pilota), g.giro.giroN);
    impegnati_ += nuovi;
    if (impegnati_.size() > ricordatiMassimo) impegnati_.remove(0, impegnati_.size() - ricordatiMassimo);
    scritto_ = coda_[fine - 1].numero;
    coda_.remove(0, fine);
    emit scritte(scritto_);
    return true;
}

// The laps committed to the file this writer knew that the file now under the
// name lacks (a copy renamed or written over it, laps deleted by another
// program) go to the text file of unsaved laps. What to tell the operator.
QString ScrittoreGiri::recuperaMancanti()
{
    QStringList righe;
    try {
        for (const Impegnato &g : std::as_const(impegnati_))
            if (!archivioTempi::contieneGiro(db_, g.giro)) righe << giriDiTesto::riga(g.giro);
    } catch (const ErroreDatabase &) {
        // A file that cannot be read holds none of them.
        righe.clear();
        for (const Impegnato &g : std::as_const(impegnati_)) righe << giriDiTesto::riga(g.giro);
    }
    impegnati_.clear();
    if (righe.isEmpty()) return {};
    const QString file = giriDiTesto::scrivi(
        giriDiTesto::riservaNome(percorso_),
        QStringLiteral("Giri salvati nel database %1 e assenti dal file che lo ha sostituito").arg(nome(percorso_)), righe);
    const QString quanti = righe.size() == 1 ? QStringLiteral("Un giro salvato nel file di prima manca")
                                             : QStringLiteral("%1 giri salvati nel file di prima mancano").arg(righe.size());
    return file.isEmpty() ? QStringLiteral("\n%1 in questo e non è stato possibile scriverli in un file di testo.").arg(quanti)
                          : QStringLiteral("\n%1 in questo: sono stati scritti nel file di testo\n%2").arg(quanti, nome(file));
}

// After work of its own on the file (a correction, a reset) the laps remembered
// are the file's again: renumbered, merged or gone as it now holds them.
void ScrittoreGiri::rileggiImpegnati()
{
    if (impegnati_.isEmpty()) return;
    QHash<qint64, GiroCompletato> ancora;
    Istruzione q = db_.prepara("SELECT id, pilota, giroN, tempoGiro, Tempo FROM Giri WHERE id >= ?");
    q.lega(1, impegnati_.first().id);
    while (q.passo()) ancora.insert(q.intero(0), {q.testo(1), int(q.intero(2)), float(q.reale(3)), q.testo(4), {}, {}});
    QVector<Impegnato> rimasti;
    for (Impegnato g : std::as_const(impegnati_)) {
        const auto ora = ancora.constFind(g.id);
        if (ora == ancora.constEnd() || ora->pilota != g.giro.pilota) continue;
        g.giro.giroN = ora->giroN;
        g.giro.tempoGiro = ora->tempoGiro;
        g.giro.tempo = ora->tempo;
        rimasti.append(g);
    }
    impegnati_ = rimasti;
}

quint64 ScrittoreGiri::svuota()
{
    scrivi();
    return scritto_;
}

bool ScrittoreGiri::esegui(const std::function<void(Database &)> &lavoro, QString *errore, bool soloLettura)
{
    if (!scrivi() && !soloLettura) {
        if (errore) *errore = QStringLiteral("%1 giri sono ancora in attesa di salvataggio.").arg(coda_.size());
        return false;
    }
    try {
        connesso();
        lavoro(db_);
        if (soloLettura) return true;
        massimi_ = leggiMassimi(db_); // a reset or a correction renumbers laps
        rileggiImpegnati();
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
    impegnati_.clear(); // what the file before held is in its backup
    try {
        connesso();
    } catch (const ErroreDatabase &e) {
        if (errore) *errore = e.messaggio();
        riprova_->start();
        return false;
    }
    // Laps made while the file was replaced go into the new one with numbers that
    // follow its own (its commit sends its results); with nothing to commit, whoever
    // follows the detail (the live page) is sent them all the same.
    if (!coda_.isEmpty()) {
        fermo_ = true;
        emit daRiallineare(massimi_, QString());
    } else if (dettaglio_) {
        emit risultati(leggi());
    }
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
