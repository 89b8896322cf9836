#include "database/sessionisalvate.h"

#include "database/archivioasincrono.h"
#include "database/copiesicurezza.h"
#include "database/database.h"
#include "comune/dialogofile.h"
#include "database/schema.h"
#include "comune/messaggi.h"
#include "timing/archivio.h"

#include <QCoreApplication>
#include <QPointer>
#include <QFile>
#include <QThread>

using namespace sostituzione;

namespace {
const QString invariati = QStringLiteral("I tempi attuali non sono stati modificati.");
} // namespace

SessioniSalvate::SessioniSalvate(Database &db, QString percorsoDatabase, DialogoFile &dialogo,
                                 Messaggi &messaggi, CopieSicurezza &copie, ArchivioAsincrono *archivio)
    : db_(db), percorso_(std::move(percorsoDatabase)), dialogo_(dialogo), messaggi_(messaggi),
      copie_(copie), archivio_(archivio)
{
}

bool SessioniSalvate::riapri(QString *errore)
{
    try {
        schema::apriDatabase(db_, percorso_);
        return true;
    } catch (const ErroreDatabase &e) {
        if (errore)
            *errore = QStringLiteral("il database dei tempi non si riapre: ")
                + ErroreDatabase::motivoItaliano(e.codice(), e.descrizione());
        return false;
    }
}

SessioniSalvate::Esito SessioniSalvate::salvaIn(const QString &destinazione, QString *errore)
{
    if (stessoFile(destinazione, percorso_)) return Esito::Invariato;
    if (archivio_) archivio_->svuota();
    if (!db_.aperto() && !riapri(errore)) return Esito::NonRiaperto;
    return copiaLetta(db_, percorso_, destinazione, errore) ? Esito::Fatto : Esito::Errore;
}

bool SessioniSalvate::copiaLetta(Database &db, const QString &percorsoDatabase, const QString &destinazione,
                                 QString *errore)
{
    const QString provvisorio = nomeAccanto(destinazione, QStringLiteral("tmp"));
    bool ok = false;
    try {
        // A read lock for the length of the copy: the writer cannot commit halfway through it.
        db.esegui(QStringLiteral("BEGIN"));
        db.prepara("SELECT count(*) FROM sqlite_master").esegui();
        ok = copiaFile(percorsoDatabase, provvisorio, errore);
        db.esegui(QStringLiteral("COMMIT"));
    } catch (const ErroreDatabase &e) {
        if (db.inTransazione()) db.esegui(QStringLiteral("ROLLBACK"));
        if (errore) *errore = ErroreDatabase::motivoItaliano(e.codice(), e.descrizione());
        ok = false;
    }
    if (ok && !rinomina(provvisorio, destinazione, errore)) ok = false;
    if (!ok) QFile::remove(provvisorio);
    return ok;
}

sostituzione::Connessioni SessioniSalvate::connessioni()
{
    const auto chiudi = [this] {
        if (archivio_) archivio_->sospendi(); // after committing what it can
        db_.chiudi();
    };
    const auto riapriTutto = [this](QString *motivo) {
        return riapri(motivo) && (!archivio_ || archivio_->riprendi(motivo));
    };
    return {chiudi, riapriTutto};
}

Risultato SessioniSalvate::caricaDa(const QString &origine)
{
    return sostituisci(origine, percorso_, copie_, connessioni());
}

QString SessioniSalvate::messaggioCarica(const QString &nome, const Risultato &r) const
{
    switch (r.esito) {
    case Esito::Fatto:
        if (r.tolti.isEmpty()) return {};
        return QStringLiteral("I tempi di\n") + nome
             + QStringLiteral("\nsono stati caricati. Il file conteneva oggetti che non sono del programma "
                              "e che potevano alterare i tempi; sono stati tolti:\n")
             + r.tolti.join(QLatin1Char('\n'));
    case Esito::Invariato:
        return QStringLiteral("Il file\n") + nome + QStringLiteral("\n") + r.motivo
             + QStringLiteral(": non c'è niente da caricare.\n") + invariati;
    case Esito::Rifiutato:
        return QStringLiteral("Il file\n") + nome + QStringLiteral("\nnon contiene tempi salvati validi (")
             + r.motivo + QStringLiteral(").\n") + invariati;
    case Esito::CopiaNonRiuscita:
        return QStringLiteral("Impossibile fare la copia di sicurezza dei tempi nella cartella\n")
             + copie_.cartella() + QStringLiteral("\n") + r.motivo
             + QStringLiteral(".\nIl caricamento non è stato fatto. ") + invariati;
    case Esito::Errore:
        return QStringLiteral("Impossibile caricare i tempi da\n") + nome + QStringLiteral("\n") + r.motivo
             + QStringLiteral("\n") + invariati;
    case Esito::Ripristinato:
        return QStringLiteral("Il file\n") + nome + QStringLiteral("\nè stato copiato, ma poi ") + r.motivo
             + QStringLiteral(".\nÈ stato rimesso al suo posto il database di prima. ") + invariati;
    case Esito::NonRiaperto:
        break;
    }
    QString testo = QStringLiteral("Impossibile caricare i tempi da\n") + nome + QStringLiteral("\n") + r.motivo;
    if (!r.copiaSicurezza.isEmpty())
        testo += QStringLiteral("\nI tempi di prima sono nella copia di sicurezza\n") + r.copiaSicurezza;
    return testo;
}

void SessioniSalvate::salva(Tabelle &tabelle)
{
    // No extension is added; an existing file is replaced only when the operator says so.
    const QString nome = nomeDaScrivere(dialogo_, messaggi_, QString::fromUtf8(titoloSalva), QString::fromUtf8(filtro));
    if (!nome.isEmpty()) {
        QString errore;
        const Esito esito = salvaIn(nome, &errore);
        if (esito == Esito::Errore || esito == Esito::NonRiaperto) {
            messaggi_.mostra(QStringLiteral("Impossibile salvare i tempi in\n") + nome
                                 + QStringLiteral("\n") + errore,
                             Messaggi::Pulsanti::Ok, Messaggi::Icona::Esclamazione);
        }
    }
    tabelle.aggiornaTabella();
}

void SessioniSalvate::salvaPoi(Tabelle &tabelle, QObject *guardia, std::function<void()> prima,
                               std::function<void()> poi)
{
    if (!archivio_) {
        salva(tabelle);
        poi();
        return;
    }
    const QString nome = nomeDaScrivere(dialogo_, messaggi_, QString::fromUtf8(titoloSalva), QString::fromUtf8(filtro));
    auto fine = [tabelle = &tabelle, guardia = QPointer<QObject>(guardia), poi = std::move(poi)] {
        if (guardia) tabelle->aggiornaTabella();
        poi();
    };
    if (nome.isEmpty() || stessoFile(nome, percorso_)) return fine();
    prima();
    // The writer's connection copies the file once the laps before it are in; it may wait
    // for another program's lock, this thread never does.
    auto errore = std::make_shared<QString>();
    archivio_->eseguiPoi(
        nullptr,
        [percorso = percorso_, nome, errore](Database &db) {
            db.impostaAttesa(ScrittoreGiri::attesaNormaleMs);
            if (!copiaLetta(db, percorso, nome, errore.get())) throw ErroreDatabase(0, *errore);
        },
        [messaggi = &messaggi_, nome, errore, fine](bool fatto, const QString &perche) {
            if (!fatto)
                messaggi->mostra(QStringLiteral("Impossibile salvare i tempi in\n") + nome + QStringLiteral("\n")
                                     + (errore->isEmpty() ? perche : *errore),
                                 Messaggi::Pulsanti::Ok, Messaggi::Icona::Esclamazione);
            fine();
        },
        true);
}

bool SessioniSalvate::concludi(const QString &nome, const Risultato &r, Tabelle *tabelle)
{
    const bool caricato = r.esito == Esito::Fatto;
    const QString testo = messaggioCarica(nome, r);
    if (!testo.isEmpty())
        messaggi_.mostra(testo, Messaggi::Pulsanti::Ok,
                         caricato ? Messaggi::Icona::Informazione : Messaggi::Icona::Esclamazione);
    if (tabelle) tabelle->aggiornaTabella();
    return caricato;
}

bool SessioniSalvate::carica(Tabelle *tabelle)
{
    const QString nome = dialogo_.apri(QString::fromUtf8(titoloCarica), QString::fromUtf8(filtro));
    if (nome.isEmpty()) {
        if (tabelle) tabelle->aggiornaTabella();
        return false;
    }
    return concludi(nome, caricaDa(nome), tabelle);
}

std::function<void()> SessioniSalvate::caricaPoi(Tabelle *tabelle, std::function<void()> prima,
                                                std::function<void(bool)> poi, QObject *guardia)
{
    const QString nome = dialogo_.apri(QString::fromUtf8(titoloCarica), QString::fromUtf8(filtro));
    if (nome.isEmpty()) {
        if (tabelle) tabelle->aggiornaTabella();
        poi(false);
        return {};
    }
    prima();
    // What the Load's steps share across threads; the session objects live as long as
    // the program, and this copy carries them to the end.
    struct Stato {
        SessioniSalvate sessioni;
        QString nome;
        sostituzione::Preparato preparato;
        QThread *lavoro = nullptr;
        bool abbandonato = false;
        bool finito = false;
    };
    auto stato = std::make_shared<Stato>(Stato{*this, nome, {}});
    const bool conGuardia = guardia != nullptr;
    auto concludiCaricamento = [stato, tabelle, guardia = QPointer<QObject>(guardia), conGuardia, poi = std::move(poi)] {
        stato->lavoro->deleteLater();
        if (stato->abbandonato) return;
        stato->finito = true;
        SessioniSalvate &s = stato->sessioni;
        Tabelle *griglie = conGuardia && !guardia ? nullptr : tabelle;
        const Risultato r = sostituzione::completa(stato->preparato, s.percorso_, s.copie_, s.connessioni());
        // A Load refused before the file was touched leaves the writer to reopen the same file.
        if (s.archivio_ && s.archivio_->sospeso()) s.archivio_->riprendiPoi();
        poi(s.concludi(stato->nome, r, griglie));
    };
    // Checked, copied and backed up on a thread of its own once the writer is closed,
    // so the backup holds every lap committed before the Load.
    auto avvia = [stato, concludiCaricamento] {
        if (stato->abbandonato) return;
        stato->lavoro = QThread::create([stato] {
            stato->preparato = sostituzione::prepara(stato->nome, stato->sessioni.percorso_, &stato->sessioni.copie_);
        });
        stato->lavoro->setObjectName(QStringLiteral("verifica del caricamento"));
        QObject::connect(stato->lavoro, &QThread::finished, QCoreApplication::instance(), concludiCaricamento);
        stato->lavoro->start(QThread::LowPriority);
    };
    if (archivio_) archivio_->sospendiPoi(nullptr, avvia);
    else avvia();
    return [stato] {
        if (stato->abbandonato || stato->finito) return;
        stato->abbandonato = true;
        if (!stato->lavoro) return;
        stato->lavoro->wait();
        if (!stato->preparato.nuovo.isEmpty()) QFile::remove(stato->preparato.nuovo);
    };
}
