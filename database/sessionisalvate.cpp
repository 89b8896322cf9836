#include "database/sessionisalvate.h"

#include "database/database.h"
#include "database/dialogofile.h"
#include "database/schema.h"
#include "comune/identita.h"
#include "comune/messaggi.h"
#include "timing/archivio.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <filesystem>

namespace {

bool stessoFile(const QString &a, const QString &b)
{
    const QFileInfo fa(a), fb(b);
    if (!fa.exists() || !fb.exists()) return false;
    return fa.canonicalFilePath() == fb.canonicalFilePath();
}

// A name beside `destinazione` that nobody uses, so the final rename stays in one folder.
QString nomeAccanto(const QString &destinazione)
{
    for (;;) {
        const QString nome = destinazione + QStringLiteral(".tmp-")
            + QString::number(QRandomGenerator::global()->generate(), 36);
        if (!QFileInfo::exists(nome)) return nome;
    }
}

bool copia(const QString &da, const QString &a, QString *errore)
{
    QFile origine(da);
    if (!origine.copy(a)) {
        if (errore) *errore = origine.errorString();
        QFile::remove(a);
        return false;
    }
    // A copy of a write-protected file must still take new laps.
    QFile::setPermissions(a, QFile::permissions(a) | QFile::ReadOwner | QFile::WriteOwner);
    return true;
}

// Replaces `destinazione` in one step: a reader sees the old file or the new one.
bool rinomina(const QString &da, const QString &destinazione, QString *errore)
{
    std::error_code ec;
    std::filesystem::rename(QFile::encodeName(da).toStdString(),
                            QFile::encodeName(destinazione).toStdString(), ec);
    if (ec) {
        if (errore) *errore = QString::fromLocal8Bit(ec.message().c_str());
        QFile::remove(da);
        return false;
    }
    return true;
}

QString password() { return QString::fromUtf8(identita::password); }

} // namespace

SessioniSalvate::SessioniSalvate(Database &db, QString percorsoDatabase, DialogoFile &dialogo,
                                 Messaggi &messaggi)
    : db_(db), percorso_(std::move(percorsoDatabase)), dialogo_(dialogo), messaggi_(messaggi)
{
}

bool SessioniSalvate::riapri(QString *errore)
{
    try {
        schema::apriDatabase(db_, percorso_);
        return true;
    } catch (const ErroreDatabase &e) {
        if (errore) {
            if (!errore->isEmpty()) *errore += QLatin1Char('\n');
            *errore += QStringLiteral("Il database dei tempi non si riapre: ")
                + ErroreDatabase::motivoItaliano(e.codice(), e.descrizione());
        }
        return false;
    }
}

SessioniSalvate::Esito SessioniSalvate::salvaIn(const QString &destinazione, QString *errore)
{
    if (stessoFile(destinazione, percorso_)) return Esito::Invariato;
    const QString provvisorio = nomeAccanto(destinazione);
    db_.chiudi();
    const bool ok = copia(percorso_, provvisorio, errore) && rinomina(provvisorio, destinazione, errore);
    if (!riapri(errore)) return Esito::NonRiaperto;
    return ok ? Esito::Fatto : Esito::Errore;
}

SessioniSalvate::Esito SessioniSalvate::caricaDa(const QString &origine, QString *errore)
{
    if (stessoFile(origine, percorso_)) return Esito::Invariato;
    QString motivo;
    if (!Database::verificaFile(origine, password(), &motivo)) {
        if (errore) *errore = motivo;
        return Esito::Rifiutato;
    }
    // The copy lands beside the database first and is checked again there:
    // the database file is replaced only by a file known to be good.
    const QString provvisorio = nomeAccanto(percorso_);
    if (!copia(origine, provvisorio, errore)) return Esito::Errore;
    if (!Database::verificaFile(provvisorio, password(), &motivo)) {
        QFile::remove(provvisorio);
        if (errore) *errore = motivo;
        return Esito::Rifiutato;
    }
    db_.chiudi();
    const bool ok = rinomina(provvisorio, percorso_, errore);
    if (!riapri(errore)) return Esito::NonRiaperto;
    return ok ? Esito::Fatto : Esito::Errore;
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
        QString errore;
        switch (caricaDa(nome, &errore)) {
        case Esito::Fatto:
        case Esito::Invariato:
            break;
        case Esito::Rifiutato:
            messaggi_.mostra(QStringLiteral("Il file\n") + nome
                                 + QStringLiteral("\nnon contiene tempi salvati validi (") + errore
                                 + QStringLiteral(").\nI tempi attuali non sono stati modificati."),
                             Messaggi::Pulsanti::Ok, Messaggi::Icona::Esclamazione);
            break;
        case Esito::Errore:
            messaggi_.mostra(QStringLiteral("Impossibile caricare i tempi da\n") + nome
                                 + QStringLiteral("\n") + errore
                                 + QStringLiteral("\nI tempi attuali non sono stati modificati."),
                             Messaggi::Pulsanti::Ok, Messaggi::Icona::Esclamazione);
            break;
        case Esito::NonRiaperto:
            messaggi_.mostra(QStringLiteral("Impossibile caricare i tempi da\n") + nome
                                 + QStringLiteral("\n") + errore,
                             Messaggi::Pulsanti::Ok, Messaggi::Icona::Esclamazione);
            break;
        }
    }
    if (tabelle) tabelle->aggiornaTabella();
}
