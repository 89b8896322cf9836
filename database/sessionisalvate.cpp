#include "database/sessionisalvate.h"

#include "database/archivioasincrono.h"
#include "database/copiesicurezza.h"
#include "database/database.h"
#include "comune/dialogofile.h"
#include "database/schema.h"
#include "comune/messaggi.h"
#include "timing/archivio.h"

#include <QCoreApplication>
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
    const QString provvisorio = nomeAccanto(destinazione, QStringLiteral("tmp"));
    bool ok = false;
    try {
        // A read lock for the length of the copy: the writer cannot commit halfway through it.
        db_.esegui(QStringLiteral("BEGIN"));
        db_.prepara("SELECT count(*) FROM sqlite_master").esegui();
        ok = copiaFile(percorso_, provvisorio, errore);
        db_.esegui(QStringLiteral("COMMIT"));
    } catch (const ErroreDatabase &e) {
        if (db_.inTransazione()) db_.esegui(QStringLiteral("ROLLBACK"));
        if (errore) *errore = e.descrizione();
        ok = false;
    }
    if (ok && !rinomina(provvisorio, destinazione, errore)) ok = false;
    if (!ok) QFile::remove(provvisorio);
    return ok ? Esito::Fatto : Esito::Errore;
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

void SessioniSalvate::caricaPoi(Tabelle *tabelle, std::function<void()> prima, std::function<void(bool)> poi)
{
    const QString nome = dialogo_.apri(QString::fromUtf8(titoloCarica), QString::fromUtf8(filtro));
    if (nome.isEmpty()) {
        if (tabelle) tabelle->aggiornaTabella();
        poi(false);
        return;
    }
    prima();
    // The session objects live as long as the program; this copy carries them to the end.
    auto sessioni = std::make_shared<SessioniSalvate>(*this);
    auto preparato = std::make_shared<sostituzione::Preparato>();
    QThread *lavoro = QThread::create([preparato, nome, percorso = percorso_] {
        *preparato = sostituzione::prepara(nome, percorso);
    });
    lavoro->setObjectName(QStringLiteral("verifica del caricamento"));
    QObject::connect(lavoro, &QThread::finished, QCoreApplication::instance(),
                     [lavoro, sessioni, preparato, nome, tabelle, poi = std::move(poi)] {
                         lavoro->deleteLater();
                         const Risultato r = sostituzione::completa(*preparato, sessioni->percorso_, sessioni->copie_,
                                                                    sessioni->connessioni());
                         poi(sessioni->concludi(nome, r, tabelle));
                     });
    lavoro->start(QThread::LowPriority);
}
