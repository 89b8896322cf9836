#include "database/schema.h"

#include "database/archiviotempi.h"
#include "database/database.h"
#include "database/posizionearchivio.h"
#include "database/schemagara.h"
#include "comune/identita.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QHash>
#include <QStringList>
#include <QVector>
#include <optional>

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
// - Giri_pilota serves the lap-counter query, Giri_tempo the five fastest,
//   Giri_pilota_tempo each driver's fastest lap (the live results page).
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
CREATE INDEX IF NOT EXISTS Giri_pilota_tempo ON Giri (pilota, tempoGiro);
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

// One column as PRAGMA table_info gives it.
struct Colonna {
    QString nome, tipo;
    bool nonNullo = false, conDefault = false;
    int chiave = 0;
};

struct Oggetto {
    bool vista = false;
    QVector<Colonna> colonne;
};

// The tables and views the program reads; the running totals table and the
// race tables are checked only when the file has them, as older files get
// them on opening.
QStringList nomiControllati()
{
    QStringList nomi;
    for (const char *n : oggettiRichiesti()) nomi.append(QString::fromLatin1(n));
    nomi.append(QStringLiteral("TotaliPiloti"));
    nomi.append(tabelleGara());
    return nomi;
}

bool facoltativo(const QString &nome)
{
    return nome == QLatin1String("TotaliPiloti") || tabelleGara().contains(nome);
}

std::optional<Oggetto> leggiOggetto(Database &db, const QString &nome)
{
    Oggetto o;
    {
        Istruzione q = db.prepara("SELECT type FROM sqlite_master "
                                  "WHERE type IN ('table', 'view') AND lower(name) = lower(?)");
        q.lega(1, nome);
        if (!q.passo()) return std::nullopt;
        o.vista = q.testo(0) == QLatin1String("view");
    }
    // The name is one of the program's own, never typed text: PRAGMA takes no parameters.
    Istruzione q = db.prepara(QStringLiteral("PRAGMA table_info(\"%1\")").arg(nome));
    while (q.passo())
        o.colonne.append({q.testo(1), q.testo(2).trimmed(), q.intero(3) != 0, !q.nullo(4),
                          static_cast<int>(q.intero(5))});
    return o;
}

// The schema as prepara() makes it, built once on an in-memory database.
const QHash<QString, Oggetto> &riferimento()
{
    static const QHash<QString, Oggetto> oggetti = [] {
        Database db;
        db.apri(QStringLiteral(":memory:"), QString(), true);
        prepara(db, true);
        QHash<QString, Oggetto> letti;
        for (const QString &nome : nomiControllati()) letti.insert(nome, *leggiOggetto(db, nome));
        return letti;
    }();
    return oggetti;
}

QString tipoLeggibile(const QString &tipo)
{
    return tipo.isEmpty() ? QStringLiteral("senza tipo") : tipo;
}

} // namespace

QString differenze(Database &db)
{
    for (const QString &nome : nomiControllati()) {
        const Oggetto atteso = riferimento().value(nome);
        const QString che = atteso.vista ? QStringLiteral("la vista ") : QStringLiteral("la tabella ");
        const QString nella = atteso.vista ? QStringLiteral("nella vista ") : QStringLiteral("nella tabella ");
        std::optional<Oggetto> trovato;
        try {
            trovato = leggiOggetto(db, nome);
        } catch (const ErroreDatabase &e) {
            return che + nome + QStringLiteral(" non si legge (") + e.descrizione() + QLatin1Char(')');
        }
        if (!trovato) {
            if (facoltativo(nome)) continue;
            return QStringLiteral("manca ") + che + nome;
        }
        if (trovato->vista != atteso.vista)
            return nome + (atteso.vista ? QStringLiteral(" è una tabella invece di una vista")
                                        : QStringLiteral(" è una vista invece di una tabella"));
        if (atteso.vista) {
            QStringList voluti, avuti;
            for (const Colonna &c : atteso.colonne) voluti.append(c.nome);
            for (const Colonna &c : trovato->colonne) avuti.append(c.nome);
            if (voluti.join(u',').compare(avuti.join(u','), Qt::CaseInsensitive) != 0)
                return nella + nome + QStringLiteral(" le colonne sono ") + avuti.join(QStringLiteral(", "))
                     + QStringLiteral(" invece di ") + voluti.join(QStringLiteral(", "));
            continue;
        }
        QHash<QString, Colonna> colonne;
        for (const Colonna &c : trovato->colonne) colonne.insert(c.nome.toLower(), c);
        for (const Colonna &voluta : atteso.colonne) {
            const auto c = colonne.constFind(voluta.nome.toLower());
            if (c == colonne.cend()) {
                if (colonnaAggiunta(nome, voluta.nome)) continue;
                return nella + nome + QStringLiteral(" manca la colonna ") + voluta.nome;
            }
            if (c->tipo.compare(voluta.tipo, Qt::CaseInsensitive) != 0)
                return nella + nome + QStringLiteral(" la colonna ") + voluta.nome + QStringLiteral(" è ")
                     + tipoLeggibile(c->tipo) + QStringLiteral(" invece di ") + tipoLeggibile(voluta.tipo);
            if (c->chiave != voluta.chiave)
                return nella + nome + QStringLiteral(" la chiave primaria non è quella del programma");
            if (c->nonNullo != voluta.nonNullo)
                return nella + nome + QStringLiteral(" la colonna ") + voluta.nome
                     + (voluta.nonNullo ? QStringLiteral(" ammette valori vuoti")
                                        : QStringLiteral(" non ammette valori vuoti"));
            colonne.erase(c);
        }
        // A column of its own is harmless unless it refuses the rows the program writes.
        for (const Colonna &in_piu : std::as_const(colonne)) {
            if (in_piu.chiave)
                return nella + nome + QStringLiteral(" la chiave primaria non è quella del programma");
            if (in_piu.nonNullo && !in_piu.conDefault)
                return nella + nome + QStringLiteral(" la colonna in più ") + in_piu.nome
                     + QStringLiteral(" non ammette valori vuoti");
        }
    }
    return {};
}

QStringList ricostruisci(Database &db)
{
    static const QStringList propri = QStringList{"giri_pilota", "giri_tempo", "giri_pilota_tempo", "giri_aggiunto",
                                                  "giri_tolto", "giri_cambiato", "classifica", "sunto", "sunto2"}
                                      + indiciGara();
    Transazione t(db);
    QList<std::pair<QString, QString>> presenti; // type, name
    {
        Istruzione q = db.prepara("SELECT type, name FROM sqlite_master "
                                  "WHERE type IN ('trigger', 'view', 'index') AND sql IS NOT NULL");
        while (q.passo()) presenti.append({q.testo(0), q.testo(1)});
    }
    QStringList tolti;
    for (const auto &[tipo, nome] : std::as_const(presenti)) {
        // A name read from the file: quoted as an identifier, never pasted as it is.
        const QString quotato = QLatin1Char('"') + QString(nome).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
        db.esegui(QStringLiteral("DROP %1 IF EXISTS %2").arg(tipo.toUpper(), quotato));
        if (propri.contains(nome.toLower())) continue;
        const QString che = tipo == QLatin1String("trigger") ? QStringLiteral("trigger ")
                          : tipo == QLatin1String("view")    ? QStringLiteral("vista ")
                                                              : QStringLiteral("indice ");
        tolti.append(che + nome);
    }
    db.esegui(QStringLiteral("DROP TABLE IF EXISTS TotaliPiloti"));
    db.esegui(QString::fromLatin1(sqlTotali));
    db.esegui(QString::fromLatin1(sqlSchema));
    preparaGara(db);
    ArchivioTempi::ricostruisciTempoTotale(db);
    db.esegui(QStringLiteral("DELETE FROM Tempofast"));
    db.esegui(QStringLiteral("INSERT INTO Tempofast (Tempo) "
                             "SELECT ifnull(min(tempoGiro), 0) FROM Giri WHERE tempoGiro > 0"));
    t.conferma();
    return tolti;
}

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
    preparaGara(db);
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
