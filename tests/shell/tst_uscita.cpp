// The program ended from outside (SIGTERM, SIGINT, SIGHUP) while laps wait behind
// a file another program holds: they reach the text file, the lock goes, exit code 0.
#include "aiuti.h"
#include "piattaforma/bloccofile.h"
#include "shell/applicazione.h"
#include "piattaforma/segnaliuscita.h"
#include "timing/rilevago.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {
// The child: the program's own pieces on `percorso`, its lock held as at start; it
// marks four laps and prints "pronto <laps waiting>".
int figlio(const QString &percorso)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    BloccoFile blocco(percorso + u".lock"_s);
    if (blocco.prendi() != BloccoFile::Esito::Preso) return 3;
    QTimer rispondi; // no message box may hold the child up
    QObject::connect(&rispondi, &QTimer::timeout, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) box->accept();
    });
    rispondi.start(20);
    Applicazione app(percorso);
    SegnaliUscita segnali;
    app.seguiUscite(segnali);
    QObject::connect(&app, &Applicazione::terminata, qApp, &QCoreApplication::exit);
    app.avvia();
    RilevaAvvio *avvio = app.rilevaAvvio();
    avvio->datiTxt(0)->setText(u"Alfa"_s);
    avvio->datiTxt(1)->setText(u"Beta"_s);
    QTest::keyClick(avvio->datiTxt(0), Qt::Key_Return);
    for (int i = 0; i < 500 && !app.rilevaGo(); ++i) QTest::qWait(10);
    if (!app.rilevaGo()) return 4;
    RilevaGo *go = app.rilevaGo();
    go->partiBtn()->click();
    for (int giro = 0; giro < 2; ++giro) {
        QTest::qWait(1150); // past the lock-out
        go->sessione().marca(0);
        go->sessione().marca(1);
    }
    std::printf("pronto %d\n", app.archivio().giriInAttesa());
    return QApplication::exec();
}
} // namespace

class TestUscita : public QObject {
    Q_OBJECT
private slots:
    void segnale_data()
    {
        QTest::addColumn<int>("segnale");
        QTest::addColumn<bool>("bloccato");
        QTest::newRow("SIGTERM, file bloccato") << int(SIGTERM) << true;
        QTest::newRow("SIGINT") << int(SIGINT) << false;
        QTest::newRow("SIGHUP") << int(SIGHUP) << false;
    }
    void segnale()
    {
        QFETCH(int, segnale);
        QFETCH(bool, bloccato);
        QTemporaryDir cartella;
        const QString percorso = cartella.filePath(u"saettinopro.mb"_s);
        Database altro; // another program, which holds the file while the laps are made
        QProcess figlio;
        figlio.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        figlio.start(QCoreApplication::applicationFilePath(), {u"--figlio"_s, percorso});
        QVERIFY(figlio.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(percorso), 10000);
        if (bloccato) {
            QTest::qWait(500); // the schema is in
            altro.apri(percorso, u"lampionearancio"_s);
            altro.esegui(u"BEGIN IMMEDIATE"_s);
        }
        QByteArray uscita;
        QTRY_VERIFY_WITH_TIMEOUT((uscita += figlio.readAllStandardOutput()).contains("pronto"), 15000);
        QVERIFY2(uscita.contains(bloccato ? "pronto 4" : "pronto"), uscita.constData());
        ::kill(pid_t(figlio.processId()), segnale);
        QVERIFY(figlio.waitForFinished(15000));
        QCOMPARE(figlio.exitStatus(), QProcess::NormalExit);
        QCOMPARE(figlio.exitCode(), 0);
        if (bloccato) altro.esegui(u"ROLLBACK"_s);
        QVERIFY(!QFile::exists(percorso + u".lock"_s)); // released, not left for the next start to take over
        const QStringList testo = QDir(cartella.path()).entryList({u"saettinopro-giri-non-salvati-*.txt"_s});
        Database db;
        db.apri(percorso, u"lampionearancio"_s);
        const int salvati = righe(db, "SELECT count(*) FROM Giri").value(0).value(0).toInt();
        if (!bloccato) {
            QCOMPARE(salvati, 4);
            QVERIFY(testo.isEmpty());
            return;
        }
        QCOMPARE(salvati, 0);
        QCOMPARE(testo.size(), 1);
        const QStringList linee = QString::fromUtf8(contenuto(cartella.filePath(testo.first()))).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(linee.filter(QRegularExpression(u"^(Alfa|Beta);[12];"_s)).size(), 4);
    }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--figlio") == 0) return figlio(QString::fromLocal8Bit(argv[2]));
    TestUscita t;
    return QTest::qExec(&t, argc, argv);
}
#include "tst_uscita.moc"
