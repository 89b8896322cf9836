// The lap store's writer on its own thread, on a real encrypted file: group
// commits in order, failures that keep every lap, and a process killed while
// laps stream in.
#include "aiuti.h"
#include "copiefinte.h"
#include "database/archivioasincrono.h"
#include "database/cancellatempi.h"
#include "database/database.h"
#include "database/schema.h"
#include "messaggifinti.h"
#include "orologiomanuale.h"
#include "piattaforma/file.h"
#include "timing/sessione.h"
#include "vfsprova.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <sqlcipher/sqlite3.h>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {
// A database file, the program's reading connection, the writer and a started session of four drivers.
struct Banco {
    QTemporaryDir cartella;
    QString percorso = cartella.filePath(u"saettinopro.mb"_s);
    Database letture;
    MessaggiFinti messaggi;
    OrologioManuale manuale{100.0};
    Orologio &orologio;
    std::unique_ptr<ArchivioAsincrono> archivio;
    std::unique_ptr<Sessione> sessione;

    // On `file` when given, timed by `reale` when given, else by the hand-moved clock.
    explicit Banco(const QString &file = {}, Orologio *reale = nullptr) : orologio(reale ? *reale : manuale)
    {
        if (!file.isEmpty()) percorso = file;
        schema::apriDatabase(letture, percorso);
        archivio = std::make_unique<ArchivioAsincrono>(letture, percorso, messaggi);
        archivio->scrittore()->impostaRiprova(50);
        sessione = std::make_unique<Sessione>(orologio, messaggi, *archivio);
        QObject::connect(archivio.get(), &ArchivioAsincrono::giriRiallineati, sessione.get(), &Sessione::riallineaGiri);
        for (int i = 0; i < 4; ++i) sessione->impostaPilota(i, u"Pilota %1"_s.arg(i + 1));
        sessione->inizializza();
        sessione->start();
    }
    // Lane i crosses the line `dopo` seconds later.
    void passa(int i, double dopo)
    {
        manuale.avanza(dopo);
        sessione->marca(i);
    }
    // The file as a fresh connection reads it, checked against the laps it holds.
    static void coerente(Database &db) { totaliCoerenti(db); }
};

// The child of `uccisoAVenti`: a session that marks a lap every few milliseconds
// and prints "giro <write> <driver> <lap>" for each lap handed over and
// "ok <write>" for each commit the writer confirmed.
int figlio(const QString &percorso)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each line goes out whole as it is printed
    Banco b(percorso);
    QObject::connect(b.archivio->scrittore(), &ScrittoreGiri::scritte,
                     [](quint64 n) { std::printf("ok %llu\n", static_cast<unsigned long long>(n)); });
    QTimer passo;
    int k = 0;
    QObject::connect(&passo, &QTimer::timeout, [&] {
        b.passa(k % 4, 1.5 + (k * 7 % 13) * 0.25);
        const Scrittura s = b.archivio->inAttesa().last();
        std::printf("giro %llu %d %d\n", static_cast<unsigned long long>(s.numero), k++ % 4 + 1, s.giro.giroN);
    });
    passo.start(2);
    std::printf("pronto\n");
    return QCoreApplication::exec();
}
} // namespace

class TestScrittore : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { vfsprova::installa(); }
    void cleanup() { vfsprova::guasto(0); }

    // A full disk: the laps wait in memory, told once, and once it has room they go
    // in, in order, all in one commit, with no lap number skipped.
    void unGuastoTieneIGiriEUnaRiprovaLiScriveUnaVolta()
    {
        Banco b;
        QList<int> mostrati;
        connect(b.archivio.get(), &ArchivioAsincrono::giriInAttesaDaMostrare, this, [&](int n) { mostrati << n; });
        b.passa(0, 2);
        QVERIFY(b.archivio->svuota());
        vfsprova::guasto(SQLITE_FULL);
        for (int k = 1; k < 9; ++k) b.passa(k % 2, 2); // timing goes on meanwhile
        QTRY_COMPARE(b.messaggi.mostrati.size(), 1);   // told once, not once per lap
        QTest::qWait(300);                               // several retries later
        QCOMPARE(b.messaggi.mostrati.size(), 1);
        const auto avviso = b.messaggi.mostrati.first();
        QVERIFY2(avviso.avviso && avviso.testo.contains(u"full"_s), qPrintable(avviso.testo));
        QCOMPARE(b.archivio->giriInAttesa(), 8);
        QTRY_COMPARE(mostrati.value(mostrati.size() - 1), 8);
        QVERIFY(!b.archivio->svuota());
        // The next lap numbers count the laps still waiting.
        QCOMPARE(b.archivio->contaGiri(u"Pilota 2"_s), 4);
        QCOMPARE(righe(b.letture, "SELECT count(*) FROM Giri"), Righe{{1}});
        std::atomic<int> commit{0}; // counted on the writer's thread, as they happen
        connect(b.archivio->scrittore(), &ScrittoreGiri::scritte, this, [&] { ++commit; }, Qt::DirectConnection);
        vfsprova::guasto(0);
        QTRY_COMPARE(b.archivio->giriInAttesa(), 0);
        QTRY_COMPARE(mostrati.last(), 0);
        QCOMPARE(commit, 1);
        QCOMPARE(righe(b.letture, "SELECT pilota, giroN FROM Giri ORDER BY id"),
                 (Righe{{u"Pilota 1"_s, 1}, {u"Pilota 2"_s, 1}, {u"Pilota 1"_s, 2}, {u"Pilota 2"_s, 2},
                        {u"Pilota 1"_s, 3}, {u"Pilota 2"_s, 3}, {u"Pilota 1"_s, 4}, {u"Pilota 2"_s, 4},
                        {u"Pilota 1"_s, 5}}));
        Banco::coerente(b.letture);
    }

    // Real time: another program holds the file's lock for 1.5 s while the four lanes
    // cross together twice. No lap is lost, and no mark waits for the disk: the lane
    // marked after another gets the same instant, not one the lock held back.
    void unAltroProgrammaTieneIlFile()
    {
        OrologioSistema orologio;
        Banco b({}, &orologio);
        const double partenza = b.sessione->corsia(0).ultimoPassaggio;
        std::atomic<bool> bloccato{false};
        std::thread altroProgramma([&] {
            Database altro;
            altro.apri(b.percorso, u"lampionearancio"_s);
            altro.esegui(u"BEGIN EXCLUSIVE"_s);
            bloccato = true;
            QThread::msleep(1500);
            altro.esegui(u"COMMIT"_s);
        });
        QTRY_VERIFY(bloccato);
        QList<double> quando;
        for (int passaggio = 0; passaggio < 2; ++passaggio) {
            QTest::qWait(1100);
            quando << orologio.adesso();
            for (int i = 0; i < 4; ++i) b.sessione->marca(i);
        }
        altroProgramma.join();
        QVERIFY(b.archivio->svuota());
        const Righe giri = righe(b.letture, "SELECT pilota, giroN, tempoGiro FROM Giri");
        QCOMPARE(giri.size(), 8);
        for (const QVariantList &g : giri) {
            const int n = g[1].toInt();
            const double atteso = quando[n - 1] - (n == 1 ? partenza : quando[0]);
            QVERIFY2(qAbs(g[2].toDouble() - atteso) < 0.02,
                     qPrintable(u"%1 lap %2: %3 s against %4 s"_s.arg(g[0].toString()).arg(n).arg(g[2].toDouble()).arg(atteso)));
        }
        Banco::coerente(b.letture);
    }

    // The live file deleted, renamed over by an older copy, or overwritten in place
    // by it: the operator is told which, the laps wait, and once a usable file is
    // under the name they go into it with numbers that follow its own, as do the lanes.
    // The laps committed to the file before that the copy lacks go to the text file
    // of unsaved laps, and the operator is told how many and where.
    void fileSpostato_data()
    {
        QTest::addColumn<QString>("modo");
        QTest::addColumn<QString>("detto");
        QTest::newRow("cancellato") << u"cancella"_s << u"non c'è più: è stato cancellato, spostato o rinominato"_s;
        QTest::newRow("rinominato sopra") << u"rinomina"_s << u"c'è ora un altro file, che è in uso da adesso"_s;
        QTest::newRow("sovrascritto") << u"sovrascrivi"_s << u"è stato modificato da un altro programma"_s;
    }
    void fileSpostato()
    {
        QFETCH(QString, modo);
        QFETCH(QString, detto);
        Banco b;
        const QString vecchia = b.cartella.filePath(u"vecchia.mb"_s);
        for (int k = 0; k < 4; ++k) b.passa(k % 2, 20 + k); // two laps each
        QVERIFY(b.archivio->svuota());
        QVERIFY(QFile::copy(b.percorso, vecchia));
        for (int k = 0; k < 6; ++k) b.passa(k % 2, 20 + k); // laps 3-5 each
        QVERIFY(b.archivio->svuota());
        const QByteArray copia = contenuto(vecchia);
        // Where a file another handle holds open cannot be deleted or renamed over, only overwriting is left.
        if (!file::apertoSostituibile() && modo != u"sovrascrivi") QSKIP("an open file cannot be deleted or replaced here");
        if (modo == u"cancella") {
            QVERIFY(QFile::remove(b.percorso));
        } else if (modo == u"rinomina") {
            QVERIFY(QFile::copy(vecchia, b.percorso + u".nuovo"_s));
            QVERIFY(::rename(QFile::encodeName(b.percorso + u".nuovo"_s), QFile::encodeName(b.percorso)) == 0);
        } else {
            QVERIFY(scriviFile(b.percorso, copia));
        }
        for (int k = 0; k < 4; ++k) b.passa(k % 2, 30 + k); // timing goes on: laps 6-7 each
        QTRY_VERIFY(!b.messaggi.mostrati.isEmpty());
        const QString avviso = b.messaggi.mostrati.first().testo;
        QVERIFY2(b.messaggi.mostrati.first().avviso && avviso.contains(detto), qPrintable(avviso));
        if (modo == u"cancella") {
            QTest::qWait(300); // retries meanwhile, told once
            QCOMPARE(b.messaggi.mostrati.size(), 1);
            QCOMPARE(b.archivio->giriInAttesa(), 4);
            QVERIFY(QFile::copy(vecchia, b.percorso)); // a usable file is back under the name
            QTRY_VERIFY(b.messaggi.ultimo().contains(u"c'è ora un altro file"_s));
        }
        QTRY_COMPARE(b.archivio->giriInAttesa(), 0);
        // Laps 3-5 of both drivers were committed to the file that is gone.
        const QStringList testo = QDir(b.cartella.path()).entryList({u"saettinopro-giri-non-salvati-*.txt"_s});
        QCOMPARE(testo.size(), 1);
        const QString dettoPersi = b.messaggi.ultimo();
        QVERIFY2(dettoPersi.contains(u"6 giri salvati nel file di prima mancano in questo: sono stati scritti nel file di testo\n"_s
                                 + QDir::toNativeSeparators(b.cartella.filePath(testo.first()))), qPrintable(dettoPersi));
        QStringList persi = QString::fromUtf8(contenuto(b.cartella.filePath(testo.first()))).split(u'\n', Qt::SkipEmptyParts).mid(2);
        for (QString &r : persi) r = r.section(u';', 0, 2);
        QCOMPARE(persi, (QStringList{u"Pilota 1;3;43"_s, u"Pilota 2;3;41"_s, u"Pilota 1;4;43"_s, u"Pilota 2;4;45"_s,
                                     u"Pilota 1;5;47"_s, u"Pilota 2;5;49"_s}));
        // The waiting laps follow the file's two; the lanes go on from there.
        QCOMPARE(b.sessione->corsia(0).numGiri, 4);
        b.passa(0, 40);
        QVERIFY(b.archivio->svuota());
        Database db;
        db.apri(b.percorso, u"lampionearancio"_s);
        QCOMPARE(righe(db, "SELECT pilota, giroN FROM Giri WHERE giroN > 2 ORDER BY id"),
                 (Righe{{u"Pilota 1"_s, 3}, {u"Pilota 2"_s, 3}, {u"Pilota 1"_s, 4}, {u"Pilota 2"_s, 4}, {u"Pilota 1"_s, 5}}));
        Banco::coerente(db);
    }

    // "Canc.Database" with a lap marked while its question is open and one right after
    // the answer: the first is backed up and cleared with the rest, the second is lap 1
    // of the cleared file, and lap numbers agree with the lanes. A backup that cannot be
    // made holds the reset back, told once, with the laps after it, until it can.
    void azzeramentoInOrdine_data()
    {
        QTest::addColumn<bool>("discoPieno");
        QTest::newRow("copia fatta") << false;
        QTest::newRow("copia prima impossibile") << true;
    }
    void azzeramentoInOrdine()
    {
        QFETCH(bool, discoPieno);
        struct DomandaConGiro : MessaggiFinti {
            std::function<void()> durante;
            Risposta mostra(const QString &t, Pulsanti p, Icona i, const QString &ti, int d) override
            {
                durante();
                return MessaggiFinti::mostra(t, p, i, ti, d);
            }
        } domanda;
        Banco b;
        CopieFinte copie(b.percorso, b.manuale);
        b.archivio->impostaCopie(&copie);
        for (int k = 0; k < 6; ++k) b.passa(k % 2, 20 + k); // laps 1-3 of the first two drivers
        QVERIFY(b.archivio->svuota());
        if (discoPieno) copie.guasto = [] { return CopieFinte::discoPieno(); };
        domanda.durante = [&] { b.passa(0, 30); }; // the first driver's lap 4
        CancellaTempi cancella(b.letture, b.percorso, domanda, *b.sessione, copie, b.archivio.get());
        QVERIFY(cancella.cancellaTempi(nullptr));
        QCOMPARE(b.sessione->corsia(0).numGiri, 0);
        b.passa(1, 30); // before the writer has answered
        if (discoPieno) {
            QTRY_COMPARE(b.messaggi.mostrati.size(), 1);
            QVERIFY2(b.messaggi.ultimo().startsWith(u"La cancellazione dei tempi non è ancora stata fatta"_s), qPrintable(b.messaggi.ultimo()));
            QTest::qWait(200); // retried meanwhile, told once
            QCOMPARE(b.messaggi.mostrati.size(), 1);
            QCOMPARE(b.archivio->giriInAttesa(), 1);
            QCOMPARE(righe(b.letture, "SELECT count(*) FROM Giri"), Righe{{7}});
            copie.guasto = nullptr;
        }
        QTRY_COMPARE(b.archivio->giriInAttesa(), 0);
        Database copia;
        copia.apri(copie.copie().value(0), u"lampionearancio"_s);
        QCOMPARE(righe(copia, "SELECT count(*) FROM Giri"), Righe{{7}});
        b.passa(0, 30);
        QVERIFY(b.archivio->svuota());
        QCOMPARE(righe(b.letture, "SELECT pilota, giroN FROM Giri ORDER BY id"), (Righe{{u"Pilota 2"_s, 1}, {u"Pilota 1"_s, 1}}));
        QVERIFY(b.sessione->corsia(0).numGiri == 1 && b.sessione->corsia(1).numGiri == 1);
        Banco::coerente(b.letture);
    }

    // Killed with SIGKILL at 20 random moments while laps stream in: each file
    // reopens consistent, with every committed lap and at most the uncommitted missing.
    void uccisoAVenti()
    {
        QTemporaryDir cartella;
        auto *caso = QRandomGenerator::global();
        for (int prova = 0; prova < 20; ++prova) {
            const QString percorso = cartella.filePath(u"ucciso%1.mb"_s.arg(prova));
            QProcess figlio;
            figlio.start(QCoreApplication::applicationFilePath(), {u"--figlio"_s, percorso});
            QVERIFY(figlio.waitForStarted());
            QByteArray uscita;
            QTRY_VERIFY_WITH_TIMEOUT((uscita += figlio.readAllStandardOutput()).contains("pronto"), 10000);
            QTest::qWait(int(caso->bounded(20, 300)));
            figlio.kill(); // SIGKILL, or TerminateProcess: no chance to tidy up
            QVERIFY(figlio.waitForFinished());
            uscita += figlio.readAllStandardOutput();
            QList<QByteArrayList> giri;
            quint64 confermati = 0;
            for (const QByteArray &riga : uscita.split('\n')) {
                if (riga.startsWith("giro ")) giri.append(riga.split(' '));
                if (riga.startsWith("ok ")) confermati = riga.mid(3).toULongLong();
            }
            Database db;
            db.apri(percorso, u"lampionearancio"_s);
            Banco::coerente(db);
            // What was confirmed is there; what is missing is only the tail that was not.
            int attesi = 0;
            for (const QByteArrayList &g : giri) attesi += g[1].toULongLong() <= confermati;
            const int salvati = righe(db, "SELECT count(*) FROM Giri").value(0).value(0).toInt();
            QVERIFY2(salvati >= attesi && salvati <= giri.size(),
                     qPrintable(u"run %1: %2 saved, %3 confirmed, %4 made"_s.arg(prova).arg(salvati).arg(attesi).arg(giri.size())));
            // Exactly the first laps made, in the order they were made.
            Righe primi;
            for (int i = 0; i < salvati; ++i) primi.append({u"Pilota "_s + QString::fromLatin1(giri[i][2]), giri[i][3].toInt()});
            QCOMPARE(righe(db, "SELECT pilota, giroN FROM Giri ORDER BY id"), primi);
        }
    }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--figlio") == 0) return figlio(QString::fromLocal8Bit(argv[2]));
    TestScrittore t;
    return QTest::qExec(&t, argc, argv);
}
#include "tst_scrittore.moc"
