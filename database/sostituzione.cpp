#include "database/sostituzione.h"

#include "database/copiesicurezza.h"
#include "database/database.h"
#include "database/schema.h"
#include "comune/identita.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <filesystem>

namespace sostituzione {

namespace {
std::filesystem::path nativo(const QString &percorso)
{
    return std::filesystem::path(QFile::encodeName(percorso).toStdString());
}

// Keeps the database as it is under a second name, for going back: a second
// link to the same file when the file system has them, a copy otherwise.
bool tieniDaParte(const QString &percorso, const QString &accanto, QString *errore)
{
    std::error_code ec;
    std::filesystem::create_hard_link(nativo(percorso), nativo(accanto), ec);
    return !ec || copiaFile(percorso, accanto, errore);
}
// The database alone, without its free pages or anything past its last page:
// the engine writes it page by page into a new file, as VACUUM would.
bool copiaCompatta(const QString &da, const QString &a, const QString &password, QString *errore)
{
    // The connection may not create files: the new one is made empty first.
    if (QFile nuovo(a); !nuovo.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        if (errore) *errore = CopieSicurezza::motivo(nuovo.error(), nuovo.errorString());
        return false;
    }
    try {
        Database origine;
        origine.apri(da, password);
        {
            Istruzione unisci = origine.prepara("ATTACH DATABASE ? AS compatta KEY ?");
            unisci.lega(1, a).lega(2, password);
            unisci.esegui();
        }
        origine.prepara("SELECT sqlcipher_export('compatta')").esegui();
        origine.esegui(QStringLiteral("DETACH DATABASE compatta"));
        return true;
    } catch (const ErroreDatabase &e) {
        if (errore) *errore = ErroreDatabase::motivoItaliano(e.codice(), e.descrizione());
        QFile::remove(a);
        return false;
    }
}

// Triggers, views, indexes and derived tables as the program makes them.
bool rifaiDerivati(const QString &percorso, const QString &password, QStringList *tolti, QString *errore)
{
    try {
        Database db;
        db.apri(percorso, password);
        *tolti = schema::ricostruisci(db);
        return true;
    } catch (const ErroreDatabase &e) {
        if (errore)
            *errore = QStringLiteral("le tabelle e le viste del programma non si rifanno: ")
                    + ErroreDatabase::motivoItaliano(e.codice(), e.descrizione());
        return false;
    }
}
} // namespace

bool stessoFile(const QString &a, const QString &b)
{
    // The same file under any name: another path, a link, a second hard link.
    std::error_code ec;
    return std::filesystem::equivalent(nativo(a), nativo(b), ec) && !ec;
}

QString nomeAccanto(const QString &destinazione, const QString &etichetta)
{
    for (;;) {
        const QString nome = destinazione + QLatin1Char('.') + etichetta + QLatin1Char('-')
            + QString::number(QRandomGenerator::global()->generate(), 36);
        if (!QFileInfo::exists(nome)) return nome;
    }
}

bool copiaFile(const QString &da, const QString &a, QString *errore)
{
    QFile origine(da);
    if (!origine.copy(a)) {
        if (errore) *errore = CopieSicurezza::motivo(origine.error(), origine.errorString());
        QFile::remove(a);
        return false;
    }
    // A copy of a write-protected file must still take new laps.
    QFile::setPermissions(a, QFile::permissions(a) | QFile::ReadOwner | QFile::WriteOwner);
    return true;
}

bool rinomina(const QString &da, const QString &destinazione, QString *errore)
{
    std::error_code ec;
    std::filesystem::rename(nativo(da), nativo(destinazione), ec);
    if (ec && errore) *errore = QString::fromLocal8Bit(ec.message().c_str());
    return !ec;
}

Preparato prepara(const QString &origine, const QString &percorsoDatabase, CopieSicurezza *copie)
{
    Preparato p;
    Risultato &r = p.risultato;
    auto esito = [&](Esito e, const QString &motivo) {
        r.esito = e;
        r.motivo = motivo;
        return p;
    };
    const QString password = QString::fromUtf8(identita::password);

    // The chosen file, then its copy beside the database with everything derived made
    // again, must be sound.
    if (stessoFile(origine, percorsoDatabase))
        return esito(Esito::Invariato, QStringLiteral("è il database dei tempi in uso"));
    QString motivo;
    qint64 liberi = 0;
    if (!Database::verificaFile(origine, password, &motivo, &liberi)) return esito(Esito::Rifiutato, motivo);
    const QString nuovo = nomeAccanto(percorsoDatabase, QStringLiteral("nuovo"));
    r.compattato = liberi >= minimoDaCompattare && liberi * 4 >= QFileInfo(origine).size();
    if (!(r.compattato ? copiaCompatta(origine, nuovo, password, &motivo) : copiaFile(origine, nuovo, &motivo)))
        return esito(Esito::Errore, motivo);
    if (!rifaiDerivati(nuovo, password, &r.tolti, &motivo) || !Database::verificaFile(nuovo, password, &motivo)) {
        QFile::remove(nuovo);
        return esito(Esito::Rifiutato, motivo);
    }
    if (copie && QFileInfo::exists(percorsoDatabase)) {
        r.copiaSicurezza = copie->copia(&motivo);
        if (r.copiaSicurezza.isEmpty()) {
            QFile::remove(nuovo);
            return esito(Esito::CopiaNonRiuscita, motivo);
        }
    }
    p.nuovo = nuovo;
    return p;
}

Risultato sostituisci(const QString &origine, const QString &percorsoDatabase,
                      CopieSicurezza &copie, const Connessioni &connessioni)
{
    return completa(prepara(origine, percorsoDatabase), percorsoDatabase, copie, connessioni);
}

Risultato completa(const Preparato &preparato, const QString &percorsoDatabase, CopieSicurezza &copie,
                   const Connessioni &connessioni)
{
    Risultato r = preparato.risultato;
    if (r.esito != Esito::Fatto) return r;
    const QString &nuovo = preparato.nuovo;
    QString motivo;
    auto esito = [&](Esito e, const QString &perche = {}) {
        r.esito = e;
        if (!perche.isEmpty()) r.motivo = perche;
        return r;
    };
    // Reopening after a step that left the database as it was: only a
    // failure to reopen changes the outcome.
    auto riapriComePrima = [&](Esito e, const QString &perche) {
        QString ancora;
        if (connessioni.riapri(&ancora)) return esito(e, perche);
        return esito(Esito::NonRiaperto, perche + QLatin1Char('\n') + ancora);
    };

    // 2. With every connection closed, a backup of the database as it is now
    //    (a database file that is not there has nothing to lose).
    connessioni.chiudi();
    const bool esiste = QFileInfo::exists(percorsoDatabase);
    if (esiste && r.copiaSicurezza.isEmpty()) r.copiaSicurezza = copie.copia(&motivo);
    if (esiste && r.copiaSicurezza.isEmpty()) {
        QFile::remove(nuovo);
        return riapriComePrima(Esito::CopiaNonRiuscita, motivo);
    }

    // 3. The database kept aside, then replaced in one rename.
    const QString precedente = nomeAccanto(percorsoDatabase, QStringLiteral("prec"));
    if (esiste && !tieniDaParte(percorsoDatabase, precedente, &motivo)) {
        QFile::remove(nuovo);
        return riapriComePrima(Esito::Errore, motivo);
    }
    if (!rinomina(nuovo, percorsoDatabase, &motivo)) {
        QFile::remove(nuovo);
        QFile::remove(precedente);
        return riapriComePrima(Esito::Errore, motivo);
    }

    // 4. Reopened, or else the previous file back in its place and reopened.
    if (connessioni.riapri(&motivo)) {
        QFile::remove(precedente);
        return esito(Esito::Fatto, QString());
    }
    const QString nonRiaperto = motivo;
    if (!QFileInfo::exists(precedente)) return esito(Esito::NonRiaperto, nonRiaperto);
    if (!rinomina(precedente, percorsoDatabase, &motivo))
        return esito(Esito::NonRiaperto, nonRiaperto + QLatin1Char('\n') + motivo);
    if (connessioni.riapri(&motivo)) return esito(Esito::Ripristinato, nonRiaperto);
    return esito(Esito::NonRiaperto, nonRiaperto + QLatin1Char('\n') + motivo);
}

} // namespace sostituzione
