#include "copiefinte.h"
#include "database/archiviotempi.h"
#include "database/database.h"
#include "database/schema.h"
#include "database/testototale.h"
#include "messaggifinti.h"
#include "orologiomanuale.h"
#include "comune/identita.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <sqlcipher/sqlite3.h>

using namespace Qt::StringLiterals;

namespace {
const QString password = QString::fromUtf8(identita::password);
using Righe = QList<QVariantList>;
using Testi = QStringList;

QByteArray contenuto(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

GiroCompletato giro(const QString &pilota, int n, float tempo)
{
    return {pilota, n, tempo, u"01:23,456"_s, u"Sant'Anna"_s, QDateTime(QDate(2026, 12, 5), QTime(9, 5, 3))};
}

Righe righe(Database &db, const QString &sql)
{
    Righe tutte;
    for (Istruzione q = db.prepara(sql); q.passo();) {
        tutte.emplaceBack();
        for (int c = 0; c < q.colonne(); ++c) tutte.last().append(q.valore(c));
    }
    return tutte;
}
} // namespace

class TestDatabase : public QObject {
    Q_OBJECT
    QTemporaryDir cartella_;
    QString percorso_;
    int prova_ = 0;
    Database db_;
    MessaggiFinti messaggi_;
    ArchivioTempi archivio_{db_, messaggi_};

private slots:
    void init()
    {
        percorso_ = cartella_.filePath(u"t%1.mb"_s.arg(++prova_));
        messaggi_.mostrati.clear();
        QVERIFY(schema::apriDatabase(db_, percorso_));
    }
    void cleanup() { db_.chiudi(); }

    void fileCifratoCreatoUnaVolta()
    {
        for (const char *nome : schema::oggettiRichiesti())
            QVERIFY2(!righe(db_, u"SELECT 1 FROM sqlite_master WHERE name = '%1'"_s.arg(QLatin1String(nome))).isEmpty(), nome);
        const char *iniziale = "SELECT (SELECT count(*) FROM Piste), group_concat(Tempo) FROM Tempofast"; // 3 tracks, one row at 0
        QCOMPARE(righe(db_, iniziale), (Righe{{3, u"0.0"_s}}));
        db_.chiudi();
        QFile f(percorso_);
        QVERIFY(f.open(QIODevice::ReadOnly) && !f.read(16).startsWith("SQLite format 3"));
        // A wrong password, a file that is no database or a missing one fail at open.
        QVERIFY_THROWS_EXCEPTION(ErroreDatabase, db_.apri(percorso_, u"sbagliata"_s));
        QFile testo(cartella_.filePath(u"testo.mb"_s));
        QVERIFY(testo.open(QIODevice::WriteOnly) && testo.write("non e' un database\n") > 0 && testo.flush());
        QVERIFY_THROWS_EXCEPTION(ErroreDatabase, db_.apri(testo.fileName(), password));
        QVERIFY_THROWS_EXCEPTION(ErroreDatabase, db_.apri(cartella_.filePath(u"manca.mb"_s), password));
        QVERIFY(!QFile::exists(cartella_.filePath(u"manca.mb"_s)) && !db_.aperto());
        // Opening it again adds nothing: the starting catalogue comes only once.
        QVERIFY(!schema::apriDatabase(db_, percorso_));
        QCOMPARE(righe(db_, iniziale), (Righe{{3, u"0.0"_s}}));
        // An empty file is a new database, not an error.
        QVERIFY(testo.resize(0) && schema::apriDatabase(db_, testo.fileName()));
        QCOMPARE(righe(db_, iniziale), (Righe{{3, u"0.0"_s}}));
    }

    void giriContatoriEGiroVeloce()
    {
        archivio_.memorizza(giro(u"Alfa"_s, 3, 83.456f));
        QCOMPARE(righe(db_, "SELECT pilota, giroN, tempoGiro, Tempo, Data, ora, pista, intertempoN, intertempo FROM Giri"),
                 (Righe{{u"Alfa"_s, 3, double(83.456f), u"01:23,456"_s, u"05/12/2026"_s, u"9:5:3"_s,
                         u"Sant'Anna"_s, QVariant(), QVariant()}}));
        QCOMPARE(righe(db_, "SELECT * FROM TempoTotale"), (Righe{{u"Alfa"_s, 1, u"01:23,456"_s}}));
        // Lap counters continue from the highest stored lap of exactly that driver, names bound as they are.
        QCOMPARE(archivio_.contaGiri(u"D'Artagnan"_s), 0);
        for (int n : {7, 12, 9}) archivio_.memorizza(giro(u"D'Artagnan"_s, n, 71.0f));
        archivio_.memorizza(giro(u"D'Artagnan2"_s, 40, 72.0f));
        QCOMPARE(archivio_.contaGiri(u"D'Artagnan"_s), 12);
        QCOMPARE(archivio_.contaGiri(u"d'artagnan"_s), 0);
        QCOMPARE(archivio_.contaGiri(u"' OR 1=1 --"_s), 0);
        archivio_.scriviGiroVeloce(41.25f);
        QCOMPARE(righe(db_, "SELECT Tempo FROM Tempofast"), Righe{{41.25}});
        // A file that lost its one Tempofast row gets it back instead of failing.
        db_.esegui(u"DELETE FROM Tempofast"_s);
        archivio_.scriviGiroVeloce(40.5f);
        QCOMPARE(righe(db_, "SELECT Tempo FROM Tempofast"), Righe{{40.5}});
    }

    void classificaInOrdineDiGaraComeUnaRilettura()
    {
        // Beta has most laps; Alfa beats Gamma on time; Delta and Eco tie.
        for (const auto &[p, n, t] : QList<std::tuple<const char *, int, float>>{
                 {"Gamma", 1, 3000.25f}, {"Gamma", 2, 600.25f}, {"Alfa", 1, 50.0f}, {"Alfa", 2, 50.0f}, {"Eco", 1, 59.9995f},
                 {"Delta", 1, 59.9995f}, {"Beta", 1, 2000.0f}, {"Beta", 2, 2000.0f}, {"Beta", 3, 2000.0f}})
            archivio_.memorizza(giro(QString::fromLatin1(p), n, t));
        QCOMPARE(righe(db_, "SELECT * FROM TempoTotale ORDER BY rowid"),
                 (Righe{{u"Beta"_s, 3, u"100:00,000"_s}, {u"Alfa"_s, 2, u"01:40,000"_s}, {u"Gamma"_s, 2, u"60:00,500"_s},
                        {u"Delta"_s, 1, u"00:59,999"_s}, {u"Eco"_s, 1, u"00:59,999"_s}}));
        QCOMPARE(testoTempoTotale(59.9995), u"00:59,999"_s); // cut, never rounded up
        // Laps inserted, removed and changed behind the store's back: the totals still match a full rescan.
        db_.esegui(u"WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 599) "
                   "INSERT INTO Giri (pilota, giroN, tempoGiro) SELECT CASE i % 4 WHEN 3 THEN 'D''Arco' "
                   "ELSE char(65 + i % 4) END, i, 20 + i * 7919 % 100003 / 997.0 FROM n"_s);
        db_.esegui(u"DELETE FROM Giri WHERE giroN % 7 = 0; UPDATE Giri SET pilota = 'E' WHERE giroN % 11 = 0; "
                   "DELETE FROM Giri WHERE pilota = 'C'"_s);
        archivio_.memorizza(giro(u"A"_s, 9999, 61.5f));
        const Righe attesi = righe(db_, "SELECT pilota, count(*), testoTempo(sum(tempoGiro)) FROM Giri "
                                        "GROUP BY pilota ORDER BY count(*) DESC, sum(tempoGiro), pilota");
        QCOMPARE(attesi.size(), 9);
        QCOMPARE(righe(db_, "SELECT * FROM TempoTotale ORDER BY rowid"), attesi);
        // A file made before the running totals existed gets them from its laps.
        db_.esegui(u"DROP TABLE TotaliPiloti"_s);
        db_.chiudi();
        QVERIFY(!schema::apriDatabase(db_, percorso_));
        QCOMPARE(righe(db_, "SELECT Pilota, Giri, testoTempo(TempoTotale) FROM Classifica"), attesi);
    }

    void erroreDelMotoreLasciaIDatiComeErano()
    {
        archivio_.memorizza(giro(u"Alfa"_s, 1, 80.0f));
        const Righe prima = righe(db_, "SELECT * FROM Giri, TempoTotale, TotaliPiloti");
        // The standings rebuild fails after the lap row has gone in.
        db_.esegui(u"CREATE TRIGGER guasto BEFORE INSERT ON TempoTotale "
                   "BEGIN SELECT RAISE(ABORT, 'disco pieno per prova'); END"_s);
        archivio_.memorizza(giro(u"Alfa"_s, 2, 81.0f));
        QCOMPARE(messaggi_.ultimo(), u"Errore del database: disco pieno per prova"_s);
        QCOMPARE(righe(db_, "SELECT * FROM Giri, TempoTotale, TotaliPiloti"), prima);
        db_.esegui(u"DROP TRIGGER guasto"_s);
        archivio_.memorizzaOEccezione(giro(u"Alfa"_s, 2, 81.0f));
        QCOMPARE(righe(db_, "SELECT Giri FROM TempoTotale"), Righe{{2}});
        // With no open database every operation reports and nothing ends; a statement
        // alive across closing and reopening (saving a session) is harmless.
        Istruzione q = db_.prepara("SELECT pilota FROM Giri");
        db_.chiudi();
        QCOMPARE(archivio_.contaGiri(u"Alfa"_s), 0);
        archivio_.memorizza(giro(u"Alfa"_s, 3, 81.0f));
        archivio_.scriviGiroVeloce(1.0f);
        QCOMPARE(messaggi_.mostrati.size(), 4); // the failed rebuild, then one per call
        QVERIFY(messaggi_.ultimo().startsWith(u"Errore del database: "_s));
        db_.apri(percorso_, password);
    }

    void copieDiSicurezza()
    {
        OrologioManuale orologio(0, QDateTime(QDate(2026, 12, 5), QTime(10, 0, 0)));
        CopieFinte copie(percorso_, orologio);
        const QDir dir(copie.cartella());
        // Thirty older copies, three of them in one second, and a file that is not ours.
        QVERIFY(dir.mkpath(u"."_s));
        Testi vecchie{u"saettinopro-20261204-000000.mb"_s, u"saettinopro-20261204-000000-9.mb"_s,
                      u"saettinopro-20261204-000000-10.mb"_s, u"appunti.txt"_s};
        for (int i = 1; i <= 27; ++i) vecchie.append(u"saettinopro-20261204-0000%1.mb"_s.arg(i, 2, 10, QChar(u'0')));
        for (const QString &n : vecchie) QFile(dir.filePath(n)).open(QIODevice::WriteOnly);
        // While the copy is written the file is read-locked: a write of another connection waits.
        archivio_.memorizza(giro(u"Alfa"_s, 1, 40.0f));
        const QByteArray prima = contenuto(percorso_);
        sqlite3_busy_timeout(db_.handle(), 0);
        QString scrittaDurante;
        copie.guasto = [&] {
            try {
                db_.esegui(u"INSERT INTO Piste (pista) VALUES ('durante')"_s);
            } catch (const ErroreDatabase &e) {
                scrittaDurante = e.descrizione();
            }
            return QString();
        };
        QString errore;
        const QString prima1 = copie.copia(&errore);
        QCOMPARE(scrittaDurante, u"database is locked"_s);
        QCOMPARE(contenuto(prima1), prima);
        copie.guasto = nullptr;
        db_.esegui(u"INSERT INTO Piste (pista) VALUES ('dopo')"_s);
        const QString prima2 = copie.copia(&errore);
        QCOMPARE(contenuto(prima2), contenuto(percorso_));
        // The newest thirty stay, ordered by time and then by number; other files are left alone.
        Testi nomi;
        for (const QString &c : copie.copie()) nomi.append(QFileInfo(c).fileName());
        QCOMPARE(nomi.size(), CopieSicurezza::tenute);
        QCOMPARE(nomi.mid(0, 2), (Testi{u"saettinopro-20261205-100000-2.mb"_s, u"saettinopro-20261205-100000.mb"_s}));
        QCOMPARE(nomi.mid(28), (Testi{u"saettinopro-20261204-000001.mb"_s, u"saettinopro-20261204-000000-10.mb"_s}));
        QVERIFY(dir.exists(u"appunti.txt"_s) && !dir.exists(u"saettinopro-20261204-000000-9.mb"_s));
        // A live file the engine can no longer read is still kept, byte for byte.
        db_.chiudi();
        QFile rovinato(percorso_);
        QVERIFY(rovinato.open(QIODevice::ReadWrite) && rovinato.write(QByteArray(64, 'x')) == 64);
        rovinato.close();
        QCOMPARE(contenuto(copie.copia(&errore)), contenuto(percorso_));
    }

    void indiciUsati()
    {
        // The lap-counter query, the five fastest laps and a driver's best lap (the live
        // page) walk an index with no sorting of their own; the standings never rescan the laps.
        for (const auto &[sql, indice] : QList<std::pair<const char *, const char *>>{
                 {"SELECT giroN FROM Giri WHERE pilota = 'x' AND giroN IS NOT NULL ORDER BY giroN DESC LIMIT 1", "Giri_pilota"},
                 {"SELECT * FROM Sunto2 LIMIT 5", "Giri_tempo"}, {"SELECT * FROM Classifica", nullptr},
                 {"SELECT Tempo FROM Giri WHERE pilota = 'x' AND tempoGiro IS NOT NULL ORDER BY tempoGiro, id LIMIT 1",
                  "Giri_pilota_tempo"}}) {
            QString piano;
            for (const auto &r : righe(db_, u"EXPLAIN QUERY PLAN "_s + QLatin1String(sql))) piano += r.value(3).toString() + u'\n';
            QVERIFY2(indice ? piano.contains(QLatin1String(indice)) && !piano.contains(u"TEMP B-TREE"_s)
                            : !piano.contains(u"TABLE Giri"_s), qPrintable(piano));
        }
    }
};

QTEST_MAIN(TestDatabase)
#include "tst_database.moc"
