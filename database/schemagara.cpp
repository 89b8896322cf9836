#include "database/schemagara.h"

#include "database/database.h"

namespace schema {

namespace {
// Instants are the program's clock readings (seconds, double precision);
// `stampato` is 1 when the timing device stamped the crossing itself, 0 when
// it was taken as the poll reply, key or click arrived. Lanes count from 0.
// The UNIQUE constraints are rules as much as indexes: one driver per lane and
// one lane per driver in a heat, one entry per name in an event.
const char *const sqlTabelle = R"SQL(
CREATE TABLE IF NOT EXISTS Campionati (
    id INTEGER PRIMARY KEY,
    nome TEXT NOT NULL,
    scarti INTEGER NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS PuntiCampionato (
    campionato INTEGER NOT NULL,
    posizione INTEGER NOT NULL,
    punti INTEGER NOT NULL,
    UNIQUE (campionato, posizione));
CREATE TABLE IF NOT EXISTS Gare (
    id INTEGER PRIMARY KEY,
    nome TEXT NOT NULL,
    data TEXT NOT NULL,
    pista TEXT,
    campionato INTEGER,
    tipo INTEGER NOT NULL DEFAULT 0,
    durata REAL NOT NULL DEFAULT 0,
    giri INTEGER NOT NULL DEFAULT 0,
    grazia REAL NOT NULL DEFAULT 2,
    corsie INTEGER NOT NULL DEFAULT 255,
    falsaPartenza INTEGER NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS Iscritti (
    id INTEGER PRIMARY KEY,
    gara INTEGER NOT NULL,
    nome TEXT NOT NULL,
    chiave TEXT NOT NULL,
    vettura TEXT,
    club TEXT,
    ordine INTEGER NOT NULL DEFAULT 0,
    UNIQUE (gara, chiave));
CREATE TABLE IF NOT EXISTS Manche (
    id INTEGER PRIMARY KEY,
    gara INTEGER NOT NULL,
    numero INTEGER NOT NULL,
    turno INTEGER NOT NULL DEFAULT 0,
    tipo INTEGER NOT NULL DEFAULT 0,
    durata REAL NOT NULL DEFAULT 0,
    giri INTEGER NOT NULL DEFAULT 0,
    grazia REAL NOT NULL DEFAULT 2,
    partenza REAL,
    fine REAL,
    UNIQUE (gara, numero));
CREATE TABLE IF NOT EXISTS MancheCorsie (
    manche INTEGER NOT NULL,
    corsia INTEGER NOT NULL,
    iscritto INTEGER NOT NULL,
    UNIQUE (manche, corsia),
    UNIQUE (manche, iscritto));
CREATE TABLE IF NOT EXISTS EventiManche (
    id INTEGER PRIMARY KEY,
    manche INTEGER NOT NULL,
    tipo TEXT NOT NULL,
    inizio REAL NOT NULL,
    fine REAL,
    corsia INTEGER);
CREATE TABLE IF NOT EXISTS RegistroGara (
    id INTEGER PRIMARY KEY,
    quando TEXT NOT NULL,
    gara INTEGER,
    manche INTEGER,
    pilota TEXT NOT NULL,
    tipo TEXT NOT NULL,
    giri INTEGER NOT NULL DEFAULT 0,
    secondi REAL NOT NULL DEFAULT 0,
    motivo TEXT NOT NULL DEFAULT '',
    annulla INTEGER);
)SQL";

// After the Giri columns exist. Giri_manche holds all a heat's result reads of
// its laps, so an event's result reads no lap rows; practice laps stay out of it.
const char *const sqlIndici = R"SQL(
CREATE INDEX IF NOT EXISTS Giri_manche ON Giri (manche, pilota, giroN, tempoGiro, istante, stampato)
    WHERE manche IS NOT NULL;
CREATE INDEX IF NOT EXISTS EventiManche_manche ON EventiManche (manche);
CREATE INDEX IF NOT EXISTS RegistroGara_gara ON RegistroGara (gara);
CREATE INDEX IF NOT EXISTS RegistroGara_manche ON RegistroGara (manche);
)SQL";

struct ColonnaAggiunta {
    const char *tabella, *nome, *tipo;
};
const ColonnaAggiunta colonneAggiunte[] = {
    {"Giri", "istante", "REAL"},
    {"Giri", "stampato", "INTEGER"},
    {"Giri", "manche", "INTEGER"},
};

bool haColonna(Database &db, const char *tabella, const char *colonna)
{
    // The names are the program's own: PRAGMA takes no parameters.
    Istruzione q = db.prepara(QStringLiteral("PRAGMA table_info(\"%1\")").arg(QLatin1String(tabella)));
    while (q.passo())
        if (q.testo(1).compare(QLatin1String(colonna), Qt::CaseInsensitive) == 0) return true;
    return false;
}

bool manca(Database &db)
{
    for (const ColonnaAggiunta &c : colonneAggiunte)
        if (!haColonna(db, c.tabella, c.nome)) return true;
    const QStringList nomi = tabelleGara() + indiciGara();
    for (const QString &nome : nomi) {
        Istruzione q = db.prepara("SELECT 1 FROM sqlite_master WHERE type IN ('table', 'index') "
                                  "AND lower(name) = lower(?)");
        q.lega(1, nome);
        if (!q.passo()) return true;
    }
    return false;
}
} // namespace

void preparaGara(Database &db)
{
    for (const ColonnaAggiunta &c : colonneAggiunte)
        if (!haColonna(db, c.tabella, c.nome))
            db.esegui(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3")
                          .arg(QLatin1String(c.tabella), QLatin1String(c.nome), QLatin1String(c.tipo)));
    db.esegui(QString::fromLatin1(sqlTabelle));
    db.esegui(QString::fromLatin1(sqlIndici));
}

void completaGara(Database &db)
{
    if (!manca(db)) return;
    Transazione t(db);
    preparaGara(db);
    t.conferma();
}

const QStringList &tabelleGara()
{
    static const QStringList nomi = {"Campionati", "PuntiCampionato", "Gare", "Iscritti",
                                     "Manche", "MancheCorsie", "EventiManche", "RegistroGara"};
    return nomi;
}

const QStringList &indiciGara()
{
    static const QStringList nomi = {"giri_manche", "eventimanche_manche", "registrogara_gara",
                                     "registrogara_manche"};
    return nomi;
}

bool colonnaAggiunta(const QString &tabella, const QString &colonna)
{
    for (const ColonnaAggiunta &c : colonneAggiunte)
        if (tabella.compare(QLatin1String(c.tabella), Qt::CaseInsensitive) == 0
            && colonna.compare(QLatin1String(c.nome), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace schema
