#include "database/archiviotempi.h"
#include "database/database.h"
#include "database/schema.h"
#include "database/testototale.h"
#include "messaggifinti.h"
#include "shell/comune/identita.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString password = QString::fromUtf8(identita::password);

GiroCompletato giro(const QString &pilota, int n, float tempo,
                    const QString &pista = QStringLiteral("Pista Nord"),
                    QDateTime quando = QDateTime(QDate(2026, 12, 5), QTime(9, 5, 3)))
{
    GiroCompletato g;
    g.pilota = pilota;
    g.giroN = n;
    g.tempoGiro = tempo;
    g.tempo = QStringLiteral("testo %1").arg(n);
    g.pista = pista;
    g.quando = quando;
    return g;
}

QList<QVariantList> righe(Database &db, const char *sql)
{
    QList<QVariantList> tutte;
    Istruzione q = db.prepara(sql);
    while (q.passo()) {
        QVariantList r;
        for (int c = 0; c < q.colonne(); ++c) r.append(q.valore(c));
        tutte.append(r);
    }
    return tutte;
}

qint64 conta(Database &db, const char *sql)
{
    Istruzione q = db.prepara(sql);
    return q.passo() ? q.intero(0) : -1;
}
} // namespace

class TestDatabase : public QObject {
    Q_OBJECT
    QTemporaryDir cartella_;
    QString percorso_;
    Database db_;
    MessaggiFinti messaggi_;

private slots:
    void init()
    {
        QVERIFY(cartella_.isValid());
        percorso_ = cartella_.filePath(QStringLiteral("saettinopro-%1.mb")
                                           .arg(QRandomGenerator::global()->generate()));
        messaggi_.mostrati.clear();
        QVERIFY(schema::apriDatabase(db_, percorso_));
    }
    void cleanup() { db_.chiudi(); }

    void fileNuovoCreatoCifrato()
    {
        for (const char *nome : schema::oggettiRichiesti()) {
            Istruzione q = db_.prepara("SELECT count(*) FROM sqlite_master WHERE name = ?");
            q.lega(1, QString::fromLatin1(nome));
            QVERIFY(q.passo());
            QCOMPARE(q.intero(0), 1);
        }
        QCOMPARE(righe(db_, "SELECT Tempo FROM Tempofast"), QList<QVariantList>{{0.0}});
        QVERIFY(conta(db_, "SELECT count(*) FROM Piste") > 0);
        QCOMPARE(righe(db_, "PRAGMA journal_mode").first().first().toString(),
                 QStringLiteral("delete"));
        db_.chiudi();
        QFile f(percorso_);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(!f.read(16).startsWith("SQLite format 3"));
        QVERIFY(!QFile::exists(percorso_ + QStringLiteral("-journal")));

        // Opening it again adds nothing: the starting catalogue comes only once.
        QVERIFY(!schema::apriDatabase(db_, percorso_));
        QCOMPARE(conta(db_, "SELECT count(*) FROM Piste"), 3);
        QCOMPARE(conta(db_, "SELECT count(*) FROM Tempofast"), 1);
    }

    void aperturaVerificata()
    {
        db_.chiudi();
        try {
            db_.apri(percorso_, QStringLiteral("sbagliata"));
            QFAIL("a wrong password must fail at open");
        } catch (const ErroreDatabase &e) {
            QCOMPARE(e.codice(), 26);
            QVERIFY(e.messaggio().startsWith(QStringLiteral("Errore del database: ")));
        }
        QVERIFY(!db_.aperto());

        const QString testo = cartella_.filePath(QStringLiteral("testo.mb"));
        QFile f(testo);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("questo non e' un database\n", 26);
        f.close();
        QVERIFY_THROWS_EXCEPTION(ErroreDatabase, db_.apri(testo, password));
        QVERIFY_THROWS_EXCEPTION(ErroreDatabase,
                                 db_.apri(cartella_.filePath(QStringLiteral("manca.mb")), password));
        QVERIFY(!QFile::exists(cartella_.filePath(QStringLiteral("manca.mb"))));

        QString perche;
        QVERIFY(Database::verificaFile(percorso_, password, &perche));
        QVERIFY(!Database::verificaFile(percorso_, QStringLiteral("altra"), &perche));
        QVERIFY(!Database::verificaFile(testo, password, &perche));
        // A database of the right password but without the timing tables is refused.
        const QString altro = cartella_.filePath(QStringLiteral("altro.mb"));
        db_.apri(altro, password, true);
        db_.esegui(QStringLiteral("CREATE TABLE Piste (x)"));
        db_.chiudi();
        QVERIFY(!Database::verificaFile(altro, password, &perche));
        QVERIFY(perche.contains(QStringLiteral("Giri")));

        // An empty file is a new database, not an error.
        const QString vuoto = cartella_.filePath(QStringLiteral("vuoto.mb"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QFile(vuoto).open(QIODevice::WriteOnly);
        QVERIFY(schema::apriDatabase(db_, vuoto));
        QCOMPARE(conta(db_, "SELECT count(*) FROM Tempofast"), 1);
    }

    void chiusuraERiaperturaConIstruzioniInGiro()
    {
        ArchivioTempi archivio(db_, messaggi_);
        archivio.memorizzaOEccezione(giro(QStringLiteral("Alfa"), 1, 80.0f));
        const quint64 prima = db_.generazione();
        {
            Istruzione q = db_.prepara("SELECT pilota FROM Giri");
            QVERIFY(q.passo());
            // Saving a session: close, copy the file, reopen the same object.
            db_.chiudi();
            const QString copia = cartella_.filePath(QStringLiteral("copia.qlt"));
            QFile::remove(copia);
            QVERIFY(QFile::copy(percorso_, copia));
            QVERIFY(Database::verificaFile(copia, password));
            db_.apri(percorso_, password);
        }
        QVERIFY(db_.generazione() != prima);
        archivio.memorizzaOEccezione(giro(QStringLiteral("Alfa"), 2, 81.0f));
        QCOMPARE(archivio.contaGiriOEccezione(QStringLiteral("Alfa")), 2);
    }

    void testoDeiTotali_data()
    {
        QTest::addColumn<double>("t");
        QTest::addColumn<QString>("testo");
        QTest::newRow("un'ora e mezzo secondo") << 3600.5 << "60:00,500";
        QTest::newRow("taglia, non arrotonda") << 59.9995 << "00:59,999";
        QTest::newRow("minuto pieno") << 60.0 << "01:00,000";
        QTest::newRow("zero") << 0.0 << "00:00,000";
        QTest::newRow("cento minuti") << 6000.0 << "100:00,000";
        QTest::newRow("somma di float") << double(83.456f) << "01:23,456";
        QTest::newRow("negativo") << -1.0 << "-01:59,000";
    }
    void testoDeiTotali()
    {
        QFETCH(double, t);
        QFETCH(QString, testo);
        QCOMPARE(testoTempoTotale(t), testo);
    }

    void rigaDelGiroMemorizzato()
    {
        ArchivioTempi archivio(db_, messaggi_);
        GiroCompletato g;
        g.pilota = QStringLiteral("Alfa");
        g.giroN = 3;
        g.tempoGiro = 83.456f;
        g.tempo = QStringLiteral("01:23,456");
        g.pista = QStringLiteral("Pista Nord");
        g.quando = QDateTime(QDate(2026, 12, 5), QTime(9, 5, 3));
        archivio.memorizza(g);
        QVERIFY(messaggi_.mostrati.isEmpty());
        const auto r = righe(db_, "SELECT pilota, giroN, tempoGiro, Tempo, Data, ora, pista, "
                                  "intertempoN, intertempo FROM Giri");
        QCOMPARE(r.size(), 1);
        QCOMPARE(r[0][0].toString(), QStringLiteral("Alfa"));
        QCOMPARE(r[0][1].toInt(), 3);
        QCOMPARE(r[0][2].toDouble(), double(83.456f));
        QCOMPARE(r[0][3].toString(), QStringLiteral("01:23,456"));
        QCOMPARE(r[0][4].toString(), QStringLiteral("05/12/2026"));
        QCOMPARE(r[0][5].toString(), QStringLiteral("9:5:3"));
        QCOMPARE(r[0][6].toString(), QStringLiteral("Pista Nord"));
        QVERIFY(r[0][7].isNull());
        QVERIFY(r[0][8].isNull());
        QCOMPARE(righe(db_, "SELECT * FROM TempoTotale"),
                 (QList<QVariantList>{{QStringLiteral("Alfa"), 1, QStringLiteral("01:23,456")}}));
        // Two calls with the same lap number store two rows.
        archivio.memorizza(g);
        QCOMPARE(conta(db_, "SELECT count(*) FROM Giri WHERE giroN = 3"), 2);
        // Late in the evening the hour has two digits and nothing is padded.
        archivio.memorizza(giro(QStringLiteral("Beta"), 1, 90.0f, QStringLiteral("X"),
                                QDateTime(QDate(2027, 1, 31), QTime(21, 40, 0))));
        QCOMPARE(righe(db_, "SELECT Data, ora FROM Giri WHERE pilota = 'Beta'"),
                 (QList<QVariantList>{{QStringLiteral("31/01/2027"), QStringLiteral("21:40:0")}}));
    }

    void classificaInOrdineDiGaraComeTesto()
    {
        ArchivioTempi archivio(db_, messaggi_);
        // Gamma: 2 laps, 3600.5 s; Alfa: 2 laps, 100 s; Beta: 3 laps; Delta and Eco tie.
        archivio.memorizza(giro(QStringLiteral("Gamma"), 1, 3000.25f));
        archivio.memorizza(giro(QStringLiteral("Gamma"), 2, 600.25f));
        archivio.memorizza(giro(QStringLiteral("Alfa"), 1, 50.0f));
        archivio.memorizza(giro(QStringLiteral("Alfa"), 2, 50.0f));
        archivio.memorizza(giro(QStringLiteral("Eco"), 1, 59.9995f));
        archivio.memorizza(giro(QStringLiteral("Delta"), 1, 59.9995f));
        for (int n = 1; n <= 3; ++n) archivio.memorizza(giro(QStringLiteral("Beta"), n, 500.0f));
        QCOMPARE(righe(db_, "SELECT * FROM TempoTotale ORDER BY rowid"),
                 (QList<QVariantList>{
                     {QStringLiteral("Beta"), 3, QStringLiteral("25:00,000")},
                     {QStringLiteral("Alfa"), 2, QStringLiteral("01:40,000")},
                     {QStringLiteral("Gamma"), 2, QStringLiteral("60:00,500")},
                     {QStringLiteral("Delta"), 1, testoTempoTotale(double(59.9995f))},
                     {QStringLiteral("Eco"), 1, testoTempoTotale(double(59.9995f))},
                 }));
        QVERIFY(messaggi_.mostrati.isEmpty());
    }

    void totaliComeUnaRiletturaCompleta()
    {
        ArchivioTempi archivio(db_, messaggi_);
        QRandomGenerator caso(42);
        const QStringList nomi = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"),
                                  QStringLiteral("D'Arco")};
        {
            Transazione t(db_);
            for (int i = 0; i < 3000; ++i) {
                const float tempo = 20.0f + float(caso.bounded(100000)) / 997.0f;
                Istruzione ins = db_.prepara("INSERT INTO Giri (pilota, giroN, tempoGiro) VALUES (?, ?, ?)");
                ins.lega(1, nomi[caso.bounded(nomi.size())]).lega(2, i).lega(3, double(tempo));
                ins.esegui();
            }
            t.conferma();
        }
        // Laps removed and changed behind the store's back keep the totals right too.
        db_.esegui(QStringLiteral("DELETE FROM Giri WHERE giroN % 7 = 0"));
        db_.esegui(QStringLiteral("UPDATE Giri SET pilota = 'E' WHERE giroN % 11 = 0"));
        db_.esegui(QStringLiteral("DELETE FROM Giri WHERE pilota = 'C'"));
        archivio.memorizza(giro(QStringLiteral("A"), 9999, 61.5f));
        const auto attesi = righe(db_, "SELECT pilota, count(*), testoTempo(sum(tempoGiro)) FROM Giri "
                                       "GROUP BY pilota ORDER BY count(*) DESC, sum(tempoGiro), pilota");
        QCOMPARE(righe(db_, "SELECT * FROM TempoTotale ORDER BY rowid"), attesi);
        QCOMPARE(conta(db_, "SELECT count(*) FROM TempoTotale WHERE Pilota = 'C'"), 0);
    }

    void contatoriGiriEApostrofi()
    {
        ArchivioTempi archivio(db_, messaggi_);
        const QString nome = QStringLiteral("D'Artagnan");
        QCOMPARE(archivio.contaGiri(nome), 0);
        archivio.memorizza(giro(nome, 7, 70.0f, QStringLiteral("Pista dell'Orso")));
        archivio.memorizza(giro(nome, 12, 71.0f, QStringLiteral("Altra")));
        archivio.memorizza(giro(nome, 9, 72.0f));
        archivio.memorizza(giro(QStringLiteral("D'Artagnan2"), 40, 72.0f));
        QCOMPARE(archivio.contaGiri(nome), 12);
        QCOMPARE(archivio.contaGiri(QStringLiteral("d'artagnan")), 0);
        QCOMPARE(archivio.contaGiri(QStringLiteral("' OR 1=1 --")), 0);
        QVERIFY(messaggi_.mostrati.isEmpty());
        QCOMPARE(conta(db_, "SELECT count(*) FROM Giri WHERE pista = 'Pista dell''Orso'"), 1);
    }

    void giroVeloce()
    {
        ArchivioTempi archivio(db_, messaggi_);
        archivio.scriviGiroVeloce(41.25f);
        QCOMPARE(righe(db_, "SELECT Tempo FROM Tempofast"), QList<QVariantList>{{41.25}});
        // A file that lost its one row gets it back instead of failing.
        db_.esegui(QStringLiteral("DELETE FROM Tempofast"));
        archivio.scriviGiroVeloce(40.5f);
        QCOMPARE(righe(db_, "SELECT Tempo FROM Tempofast"), QList<QVariantList>{{40.5}});
        QVERIFY(messaggi_.mostrati.isEmpty());
    }

    void erroreDelMotoreLasciaIDatiComeErano()
    {
        ArchivioTempi archivio(db_, messaggi_);
        archivio.memorizza(giro(QStringLiteral("Alfa"), 1, 80.0f));
        const auto giriPrima = righe(db_, "SELECT * FROM Giri");
        const auto totalePrima = righe(db_, "SELECT * FROM TempoTotale");
        // The standings rebuild fails after the lap row has gone in.
        db_.esegui(QStringLiteral("CREATE TRIGGER guasto BEFORE INSERT ON TempoTotale "
                                  "BEGIN SELECT RAISE(ABORT, 'disco pieno per prova'); END"));
        archivio.memorizza(giro(QStringLiteral("Alfa"), 2, 81.0f));
        QCOMPARE(messaggi_.mostrati.size(), 1);
        QCOMPARE(messaggi_.ultimo(),
                 QStringLiteral("Errore del database: disco pieno per prova"));
        QVERIFY(!db_.inTransazione());
        QCOMPARE(righe(db_, "SELECT * FROM Giri"), giriPrima);
        QCOMPARE(righe(db_, "SELECT * FROM TempoTotale"), totalePrima);
        QCOMPARE(archivio.contaGiri(QStringLiteral("Alfa")), 1);
        QCOMPARE(righe(db_, "SELECT giri, totale FROM TotaliPiloti"), (QList<QVariantList>{{1, 80.0}}));

        db_.esegui(QStringLiteral("DROP TRIGGER guasto"));
        archivio.memorizza(giro(QStringLiteral("Alfa"), 2, 81.0f));
        QCOMPARE(conta(db_, "SELECT Giri FROM TempoTotale"), 2);

        // With no open database every operation reports and nothing ends.
        db_.chiudi();
        messaggi_.mostrati.clear();
        QCOMPARE(archivio.contaGiri(QStringLiteral("Alfa")), 0);
        archivio.memorizza(giro(QStringLiteral("Alfa"), 3, 81.0f));
        archivio.scriviGiroVeloce(1.0f);
        QCOMPARE(messaggi_.mostrati.size(), 3);
        QVERIFY(messaggi_.ultimo().startsWith(QStringLiteral("Errore del database: ")));
    }

    void indiciUsati()
    {
        auto piano = [this](const char *sql) {
            QString testo;
            Istruzione q = db_.prepara(QStringLiteral("EXPLAIN QUERY PLAN ") + QString::fromUtf8(sql));
            while (q.passo()) testo += q.testo(3) + QLatin1Char('\n');
            return testo;
        };
        const QString conteggio = piano("SELECT giroN FROM Giri WHERE pilota = 'x' AND giroN IS NOT NULL "
                                        "ORDER BY giroN DESC LIMIT 1");
        QVERIFY2(conteggio.contains(QStringLiteral("Giri_pilota")) && !conteggio.contains(QStringLiteral("TEMP B-TREE")),
                 qPrintable(conteggio));
        const QString veloci = piano("SELECT * FROM Sunto2");
        QVERIFY2(veloci.contains(QStringLiteral("Giri_tempo")) && !veloci.contains(QStringLiteral("TEMP B-TREE")),
                 qPrintable(veloci));
        const QString classifica = piano("SELECT * FROM Classifica");
        QVERIFY2(!classifica.contains(QStringLiteral("TABLE Giri")), qPrintable(classifica));
    }

    void fileSenzaTabellaDeiTotali()
    {
        // A file made before the running totals existed gets them from its laps.
        ArchivioTempi archivio(db_, messaggi_);
        archivio.memorizza(giro(QStringLiteral("Alfa"), 1, 80.0f));
        archivio.memorizza(giro(QStringLiteral("Alfa"), 2, 70.5f));
        db_.esegui(QStringLiteral("DROP TABLE TotaliPiloti"));
        db_.chiudi();
        QVERIFY(!schema::apriDatabase(db_, percorso_));
        QCOMPARE(righe(db_, "SELECT * FROM Classifica"),
                 (QList<QVariantList>{{QStringLiteral("Alfa"), 2, 150.5}}));
    }
};

QTEST_MAIN(TestDatabase)
#include "tst_database.moc"
