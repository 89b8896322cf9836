#include "aiuti.h"
#include "copiefinte.h"
#include "archiviodiretto.h"
#include "database/archivioasincrono.h"
#include "database/schema.h"
#include "messaggifinti.h"
#include "orologiomanuale.h"
#include "comune/identita.h"

#include <QtTest>
#include <sqlcipher/sqlite3.h>

using namespace Qt::StringLiterals;

namespace {
const QString password = QString::fromUtf8(identita::password);

GiroCompletato giro(const QString &pilota, int n, float tempo)
{
    return {pilota, n, tempo, u"01:23,456"_s, u"Sant'Anna"_s, QDateTime(QDate(2026, 12, 5), QTime(9, 5, 3))};
}

// The Italian message of the engine error `azione` throws; empty when it throws none.
QString erroreDi(const std::function<void()> &azione)
{
    try {
        azione();
    } catch (const ErroreDatabase &e) {
        return e.messaggio();
    }
    return {};
}
} // namespace

class TestDatabase : public QObject {
    Q_OBJECT
    QTemporaryDir cartella_;
    QString percorso_;
    int prova_ = 0;
    Database db_;
    MessaggiFinti messaggi_;
    ArchivioDiretto archivio_{db_};

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
        const char *iniziale = "SELECT (SELECT count(*) FROM Piste), group_concat(Tempo) FROM Tempofast"; // 3 tracks, one row at 0
        QCOMPARE(righe(db_, iniziale), (Righe{{3, u"0.0"_s}}));
        db_.chiudi();
        const QByteArray cifrato = contenuto(percorso_);
        QVERIFY(cifrato.size() >= 1024 && !cifrato.startsWith("SQLite format 3"));
        // Opening it again adds nothing: the starting catalogue comes only once.
        QVERIFY(!schema::apriDatabase(db_, percorso_));
        QCOMPARE(righe(db_, iniziale), (Righe{{3, u"0.0"_s}}));
        // An empty file is a new database, not an error.
        QVERIFY(scriviFile(cartella_.filePath(u"vuoto.mb"_s), {}));
        QVERIFY(schema::apriDatabase(db_, cartella_.filePath(u"vuoto.mb"_s)));
        QCOMPARE(righe(db_, iniziale), (Righe{{3, u"0.0"_s}}));
    }

    void giriContatoriEGiroVeloce()
    {
        archivio_.memorizza(giro(u"Alfa"_s, 3, 83.456f));
        QCOMPARE(righe(db_, "SELECT pilota, giroN, tempoGiro, Tempo, Data, ora, pista, intertempoN, intertempo FROM Giri"),
                 (Righe{{u"Alfa"_s, 3, double(83.456f), u"01:23,456"_s, u"05/12/2026"_s, u"9:5:3"_s,
                         u"Sant'Anna"_s, QVariant(), QVariant()}}));
        // Lap counters continue from the highest stored lap of exactly that driver, names bound as they are.
        for (int n : {7, 12, 9}) archivio_.memorizza(giro(u"D'Artagnan"_s, n, 71.0f));
        archivio_.memorizza(giro(u"D'Artagnan2"_s, 40, 72.0f));
        QCOMPARE(archivio_.contaGiri(u"D'Artagnan"_s), 12);
        QCOMPARE(archivio_.contaGiri(u"d'artagnan"_s), 0);
        QCOMPARE(archivio_.contaGiri(u"' OR 1=1 --"_s), 0);
        // A file that lost its one Tempofast row gets it back instead of failing.
        db_.esegui(u"DELETE FROM Tempofast"_s);
        archivio_.scriviGiroVeloce(40.5f);
        QCOMPARE(righe(db_, "SELECT Tempo FROM Tempofast"), Righe{{40.5}});
        // With no open database the count fails; the program's store tells the operator and
        // counts the laps still waiting (none). A statement alive across closing and
        // reopening (saving a session) is harmless.
        Istruzione q = db_.prepara("SELECT pilota FROM Giri");
        db_.chiudi();
        QVERIFY_THROWS_EXCEPTION(ErroreDatabase, archivio_.contaGiri(u"Alfa"_s));
        QCOMPARE(ArchivioAsincrono(db_, percorso_, messaggi_).contaGiri(u"Alfa"_s), 0);
        QCOMPARE(messaggi_.mostrati.size(), 1);
        QVERIFY(messaggi_.ultimo().startsWith(u"Errore del database: "_s));
        db_.apri(percorso_, password);
        QCOMPARE(archivio_.contaGiri(u"Alfa"_s), 3);
    }

    void classificaInOrdineDiGaraComeUnaRilettura()
    {
        // Beta has most laps; Alfa beats Gamma on time; Delta and Eco tie. Totals are cut, never rounded up.
        for (const auto &[p, n, t] : QList<std::tuple<const char *, int, float>>{
                 {"Gamma", 1, 3000.25f}, {"Gamma", 2, 600.25f}, {"Alfa", 1, 50.0f}, {"Alfa", 2, 50.0f}, {"Eco", 1, 59.9995f},
                 {"Delta", 1, 59.9995f}, {"Beta", 1, 2000.0f}, {"Beta", 2, 2000.0f}, {"Beta", 3, 2000.0f}})
            archivio_.memorizza(giro(QString::fromLatin1(p), n, t));
        const Righe attesi{{u"Beta"_s, 3, u"100:00,000"_s}, {u"Alfa"_s, 2, u"01:40,000"_s}, {u"Gamma"_s, 2, u"60:00,500"_s},
                           {u"Delta"_s, 1, u"00:59,999"_s}, {u"Eco"_s, 1, u"00:59,999"_s}};
        QCOMPARE(righe(db_, "SELECT * FROM TempoTotale ORDER BY rowid"), attesi);
        // A file made before the running totals existed gets them from its laps.
        db_.esegui(u"DROP TABLE TotaliPiloti"_s);
        db_.chiudi();
        QVERIFY(!schema::apriDatabase(db_, percorso_));
        QCOMPARE(righe(db_, "SELECT Pilota, Giri, testoTempo(TempoTotale) FROM Classifica"), attesi);
    }

    void copieDiSicurezza()
    {
        OrologioManuale orologio; // 5 December 2026, 10:00:00
        CopieFinte copie(percorso_, orologio);
        const QDir dir(copie.cartella());
        // Thirty-one older copies, three of them in one second, and files that are not ours,
        // some named almost like a copy.
        QVERIFY(dir.mkpath(u"."_s));
        const QStringList altri{u"appunti.txt"_s, u"saettinopro-2026120-000000.mb"_s,
                                u"saettinopro-20261204-000000-.mb"_s, u"saettinopro-20261204-00000a.mb"_s,
                                u"saettinopro-20261204-000000.mb.bak"_s};
        QStringList vecchie = altri;
        vecchie << u"saettinopro-20261204-000000.mb"_s << u"saettinopro-20261204-000000-9.mb"_s
                << u"saettinopro-20261204-000000-10.mb"_s;
        for (int i = 1; i <= 28; ++i) vecchie.append(u"saettinopro-20261204-0000%1.mb"_s.arg(i, 2, 10, QChar(u'0')));
        for (const QString &n : vecchie) QVERIFY(scriviFile(dir.filePath(n), {}));
        // While the copy is written the file is read-locked: a write of another connection waits.
        archivio_.memorizza(giro(u"Alfa"_s, 1, 40.0f));
        const QByteArray prima = contenuto(percorso_);
        sqlite3_busy_timeout(db_.handle(), 0);
        QString scrittaDurante;
        copie.guasto = [&] {
            scrittaDurante = erroreDi([&] { db_.esegui(u"INSERT INTO Piste (pista) VALUES ('durante')"_s); });
            return QString();
        };
        QCOMPARE(contenuto(copie.copia(nullptr)), prima);
        QVERIFY2(scrittaDurante.endsWith(u"\nDettaglio: database is locked"_s), qPrintable(scrittaDurante));
        copie.guasto = nullptr;
        // The newest thirty stay, ordered by time and then by number; other files are left alone.
        QStringList nomi;
        for (const QString &c : copie.copie()) nomi.append(QFileInfo(c).fileName());
        QCOMPARE(nomi.size(), CopieSicurezza::tenute);
        QCOMPARE(nomi.first(), u"saettinopro-20261205-100000.mb"_s);
        QCOMPARE(nomi.mid(28), (QStringList{u"saettinopro-20261204-000001.mb"_s, u"saettinopro-20261204-000000-10.mb"_s}));
        for (const QString &n : altri) QVERIFY2(dir.exists(n), qPrintable(n));
        QVERIFY(!dir.exists(u"saettinopro-20261204-000000-9.mb"_s));
        // A live file the engine can no longer read is still kept, byte for byte.
        db_.chiudi();
        QVERIFY(scriviFile(percorso_, QByteArray(64, 'x') + contenuto(percorso_).mid(64)));
        QCOMPARE(contenuto(copie.copia(nullptr)), contenuto(percorso_));
    }

    // The common refusals of the engine are told in Italian, its own words kept as a detail at the end.
    void rifiutiDelMotoreInItaliano()
    {
        Database altro;
        const QString estraneo = u"il file non è un database dei tempi, oppure la password non è quella giusta."_s;
        const QList<std::tuple<const char *, std::function<void()>, QString, QString>> casi = {
            {"password", [&] { altro.apri(percorso_, u"sbagliata"_s); }, estraneo, u"file is encrypted or is not a database"_s},
            {"manca", [&] { altro.apri(cartella_.filePath(u"manca.mb"_s), password); },
             u"il file non esiste o non può essere aperto."_s, u"unable to open database file"_s},
            {"disco pieno", [&] { db_.esegui(u"PRAGMA max_page_count = 1; INSERT INTO Giri (pilota) VALUES (zeroblob(300000))"_s); },
             u"il disco è pieno: i dati non sono stati scritti."_s, u"database or disk is full"_s},
            {"sola lettura", [&] { db_.esegui(u"PRAGMA query_only = 1; DELETE FROM Piste"_s); },
             u"il file è in sola lettura: i dati non sono stati scritti."_s, u"attempt to write a readonly database"_s},
            {"occupato", [&] {
                 altro.apri(percorso_, password);
                 altro.esegui(u"BEGIN EXCLUSIVE"_s);
                 db_.esegui(u"PRAGMA query_only = 0; PRAGMA busy_timeout = 0; DELETE FROM Piste"_s);
             }, u"il database è occupato da un'altra operazione; riprovare tra poco."_s, u"database is locked"_s}};
        for (const auto &[nome, azione, frase, motore] : casi) {
            const QString messaggio = erroreDi(azione);
            QVERIFY2(messaggio.startsWith(u"Errore del database: "_s + frase), qPrintable(nome + u": "_s + messaggio));
            QVERIFY2(messaggio.contains(u"\nDettaglio: "_s + motore), qPrintable(messaggio));
        }
        altro.chiudi();
        QCOMPARE(righe(db_, "SELECT count(*) FROM Piste"), Righe{{3}});
    }
};

QTEST_MAIN(TestDatabase)
#include "tst_database.moc"
