#include "database/sessionisalvate.h"

#include "database/copiesicurezza.h"
#include "database/database.h"
#include "database/dialogofile.h"
#include "database/schema.h"
#include "comune/messaggi.h"
#include "timing/archivio.h"

#include <QFile>

using namespace sostituzione;

namespace {
const QString invariati = QStringLiteral("I tempi attuali non sono stati modificati.");
} // namespace

SessioniSalvate::SessioniSalvate(Database &db, QString percorsoDatabase, DialogoFile &dialogo,
                                 Messaggi &messaggi, CopieSicurezza &copie)
    : db_(db), percorso_(std::move(percorsoDatabase)), dialogo_(dialogo), messaggi_(messaggi),
      copie_(copie)
{
}

bool SessioniSalvate::riapri(QString *errore)
{
    try {
        schema::apriDatabase(db_, percorso_);
        return true;
    } catch (const ErroreDatabase &e) {
        if (errore) *errore = QStringLiteral("il database dei tempi non si riapre: ") + e.descrizione();
        return false;
    }
}

SessioniSalvate::Esito SessioniSalvate::salvaIn(const QString &destinazione, QString *errore)
{
    if (stessoFile(destinazione, percorso_)) return Esito::Invariato;
    const QString provvisorio = nomeAccanto(destinazione, QStringLiteral("tmp"));
    db_.chiudi();
    bool ok = copiaFile(percorso_, provvisorio, errore);
    if (ok && !rinomina(provvisorio, destinazione, errore)) {
        QFile::remove(provvisorio);
        ok = false;
    }
    QString perche;
    if (!riapri(&perche)) {
        if (errore) *errore += (errore->isEmpty() ? QString() : QStringLiteral("\n")) + perche;
        return Esito::NonRiaperto;
    }
    return ok ? Esito::Fatto : Esito::Errore;
}

Risultato SessioniSalvate::caricaDa(const QString &origine)
{
    return sostituisci(origine, percorso_, copie_,
                       {[this] { db_.chiudi(); }, [this](QString *motivo) { return riapri(motivo); }});
}

QString SessioniSalvate::messaggioCarica(const QString &nome, const Risultato &r) const
{
    switch (r.esito) {
    case Esito::Fatto:
    case Esito::Invariato:
        return {};
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
    const QString nome = dialogo_.salva(QString::fromUtf8(titoloSalva), QString::fromUtf8(filtro));
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

void SessioniSalvate::carica(Tabelle *tabelle)
{
    const QString nome = dialogo_.apri(QString::fromUtf8(titoloCarica), QString::fromUtf8(filtro));
    if (!nome.isEmpty()) {
        const QString testo = messaggioCarica(nome, caricaDa(nome));
        if (!testo.isEmpty()) messaggi_.mostra(testo, Messaggi::Pulsanti::Ok, Messaggi::Icona::Esclamazione);
    }
    if (tabelle) tabelle->aggiornaTabella();
}
