#include "database/schema.h"

#include "database/database.h"
#include "database/posizionearchivio.h"
#include "comune/identita.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace schema {

namespace {

// The whole schema of the timing database, and the one place where its
// choices are made:
// - Classifica lists the drivers in race order: most laps first, then the
//   least total time, then the name. It reads the per-driver lap count and
//   total kept in TotaliPiloti by the triggers on Giri, so rebuilding the
//   standings never rescans Giri. Sums of single-precision lap times are exact
//   in double precision, so these running totals equal a full SUM() exactly.
// - Sunto lists every lap in storing order (Giri.id).
// - Sunto2 is the five fastest laps, fastest first, ties in storing order;
//   its fourth column is the track, Pista.
// - Giri_pilota serves the lap-counter query, Giri_tempo the five fastest.
// - TempoTotale.TempoTotale has no declared type: it takes the seconds or
//   the time text alike.
const char *const sqlSchema = R"SQL(
CREATE TABLE IF NOT EXISTS Piste (
    id INTEGER PRIMARY KEY,
    pista TEXT,
    lunghezza INTEGER);
CREATE TABLE IF NOT EXISTS Giri (
    id INTEGER PRIMARY KEY,
    pilota TEXT,
    giroN INTEGER,
    tempoGiro REAL,
    Tempo TEXT,
    Data TEXT,
    ora TEXT,
    pista TEXT,
    intertempoN INTEGER,
    intertempo REAL);
CREATE TABLE IF NOT EXISTS TempoTotale (
    Pilota TEXT,
    Giri INTEGER,
    TempoTotale);
CREATE TABLE IF NOT EXISTS Tempofast (
    Tempo REAL);
CREATE INDEX IF NOT EXISTS Giri_pilota ON Giri (pilota, giroN);
CREATE INDEX IF NOT EXISTS Giri_tempo ON Giri (tempoGiro);
CREATE TRIGGER IF NOT EXISTS Giri_aggiunto AFTER INSERT ON Giri BEGIN
    INSERT OR IGNORE INTO TotaliPiloti (pilota, giri, totale)
        VALUES (ifnull(NEW.pilota, ''), 0, 0);
    UPDATE TotaliPiloti SET giri = giri + 1, totale = totale + ifnull(NEW.tempoGiro, 0)
        WHERE pilota = ifnull(NEW.pilota, '');
END;
CREATE TRIGGER IF NOT EXISTS Giri_tolto AFTER DELETE ON Giri BEGIN
    UPDATE TotaliPiloti SET giri = giri - 1, totale = totale - ifnull(OLD.tempoGiro, 0)
        WHERE pilota = ifnull(OLD.pilota, '');
    DELETE FROM TotaliPiloti WHERE pilota = ifnull(OLD.pilota, '') AND giri <= 0;
END;
CREATE TRIGGER IF NOT EXISTS Giri_cambiato AFTER UPDATE OF pilota, tempoGiro ON Giri BEGIN
    UPDATE TotaliPiloti SET giri = giri - 1, totale = totale - ifnull(OLD.tempoGiro, 0)
        WHERE pilota = ifnull(OLD.pilota, '');
    DELETE FROM TotaliPiloti WHERE pilota = ifnull(OLD.pilota, '') AND giri <= 0;
    INSERT OR IGNORE INTO TotaliPiloti (pilota, giri, totale)
        VALUES (ifnull(NEW.pilota, ''), 0, 0);
    UPDATE TotaliPiloti SET giri = giri + 1, totale = totale + ifnull(NEW.tempoGiro, 0)
        WHERE pilota = ifnull(NEW.pilota, '');
END;
CREATE VIEW IF NOT EXISTS Classifica AS
    SELECT pilota AS Pilota, giri AS Giri, totale AS TempoTotale
    FROM TotaliPiloti
    ORDER BY giri DESC, totale ASC, pilota ASC;
CREATE VIEW IF NOT EXISTS Sunto AS
    SELECT pilota AS Pilota, giroN AS Giro, Tempo
    FROM Giri
    ORDER BY id;
CREATE VIEW IF NOT EXISTS Sunto2 AS
    SELECT pilota AS Pilota, giroN AS Giro, Tempo, pista AS Pista
    FROM Giri
    WHERE tempoGiro IS NOT NULL
    ORDER BY tempoGiro, id
    LIMIT 5;
)SQL";

const char *const sqlTotali = R"SQL(
CREATE TABLE TotaliPiloti (
    pilota TEXT PRIMARY KEY NOT NULL,
    giri INTEGER NOT NULL,
    totale REAL NOT NULL);
INSERT INTO TotaliPiloti (pilota, giri, totale)
    SELECT ifnull(pilota, ''), count(*), total(tempoGiro) FROM Giri GROUP BY ifnull(pilota, '');
)SQL";

struct PistaIniziale {
    const char *nome;
    int lunghezza;
};
const PistaIniziale catalogoIniziale[] = {
    {"Pista Nord", 1200},
    {"Pista Sud", 850},
    {"Circuito Interno", 400},
};

bool esiste(Database &db, const char *nome)
{
    Istruzione q = db.prepara("SELECT count(*) FROM sqlite_master WHERE name = ?");
    q.lega(1, QString::fromLatin1(nome));
    return q.passo() && q.intero(0) > 0;
}

} // namespace

const std::vector<const char *> &oggettiRichiesti()
{
    static const std::vector<const char *> nomi = {"Piste", "Giri", "TempoTotale", "Tempofast",
                                                   "Classifica", "Sunto", "Sunto2"};
    return nomi;
}

void prepara(Database &db, bool nuovo)
{
    Transazione t(db);
    // The helper table comes first: the triggers write into it, and a file
    // without it gets its totals from the laps it already holds.
    if (!esiste(db, "TotaliPiloti")) {
        db.esegui(QStringLiteral("CREATE TABLE IF NOT EXISTS Giri (id INTEGER PRIMARY KEY, "
                                 "pilota TEXT, giroN INTEGER, tempoGiro REAL, Tempo TEXT, "
                                 "Data TEXT, ora TEXT, pista TEXT, intertempoN INTEGER, "
                                 "intertempo REAL)"));
        db.esegui(QString::fromLatin1(sqlTotali));
    }
    db.esegui(QString::fromLatin1(sqlSchema));
    {
        Istruzione q = db.prepara("SELECT count(*) FROM Tempofast");
        const bool vuota = q.passo() && q.intero(0) == 0;
        if (vuota) db.esegui(QStringLiteral("INSERT INTO Tempofast (Tempo) VALUES (0)"));
    }
    if (nuovo) {
        for (const PistaIniziale &p : catalogoIniziale) {
            Istruzione ins = db.prepara("INSERT INTO Piste (pista, lunghezza) VALUES (?, ?)");
            ins.lega(1, QString::fromUtf8(p.nome)).lega(2, p.lunghezza);
            ins.esegui();
        }
    }
    t.conferma();
}

bool apriDatabase(Database &db, const QString &percorso)
{
    const QFileInfo info(percorso);
    // An empty file holds nothing to lose: the engine would treat it as a new database.
    const bool nuovo = !info.exists() || (info.isFile() && info.size() == 0);
    db.apri(percorso, QString::fromUtf8(identita::password), nuovo);
    try {
        prepara(db, nuovo);
    } catch (...) {
        db.chiudi();
        throw;
    }
    return nuovo;
}

QString percorsoDatabase()
{
    return posizioneArchivio(QCoreApplication::applicationDirPath(),
                             QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .percorso;
}

} // namespace schema
