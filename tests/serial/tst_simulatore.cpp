// The device simulator: in-process against the real port, and the
// saettino-simulatore program as an operator starts it.
#include "serial/dispositivosimulato.h"
#include "serial/impostazioniporta.h"
#include "serial/portaqt.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TstSimulatore : public QObject {
    Q_OBJECT

    QTemporaryDir cartella_;

    // One poll through the real port and the byte that answers it.
    static int interroga(PortaQt &porta)
    {
        porta.input();
        QSignalSpy eventi(&porta, &PortaSeriale::onComm);
        porta.output(QStringLiteral(" "));
        if (!eventi.wait(2000)) return -1;
        const QString r = porta.input();
        return r.isEmpty() ? -1 : r.at(0).unicode();
    }

    static QString simulatore()
    {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/saettino-simulatore");
    }

private slots:
    void rispondeAOgniSpazio()
    {
        DispositivoSimulato dispositivo;
        QVERIFY2(dispositivo.valido(), qPrintable(dispositivo.errore()));
        ImpostazioniPorta store(cartella_.filePath(QStringLiteral("a.ini")));
        store.scrivi(QStringLiteral("Porte"), QStringLiteral("Com1"), dispositivo.percorso());
        PortaQt porta(store);
        QVERIFY2(porta.setPortOpen(true), qPrintable(porta.descrizioneErrore()));

        QCOMPARE(interroga(porta), 0xFF);
        QVERIFY(dispositivo.comando(QStringLiteral("+3")));
        QCOMPARE(interroga(porta), 0xFB);
        QVERIFY(dispositivo.comando(QStringLiteral("+1, +8")));
        QCOMPARE(interroga(porta), 0x7A);
        QVERIFY(dispositivo.comando(QStringLiteral("-3")));
        QCOMPARE(interroga(porta), 0x7E);
        QVERIFY(dispositivo.comando(QStringLiteral("-")));
        QCOMPARE(interroga(porta), 0xFF);

        // Three polls in one write: three replies.
        QSignalSpy risposte(&dispositivo, &DispositivoSimulato::interrogato);
        porta.output(QStringLiteral("   "));
        QTRY_COMPARE(risposte.size(), 3);
        // Anything else is no poll.
        porta.output(QStringLiteral("x\r\n"));
        QTest::qWait(50);
        QCOMPARE(risposte.size(), 3);
        QCOMPARE(dispositivo.interrogazioni(), 8);
    }

    void passaggioBreve()
    {
        DispositivoSimulato dispositivo;
        dispositivo.impostaImpulso(120);
        QSignalSpy linee(&dispositivo, &DispositivoSimulato::lineeCambiate);
        QVERIFY(dispositivo.comando(QStringLiteral("5")));
        QCOMPARE(dispositivo.statoByte(), quint8(0xEF));
        QTRY_COMPARE_WITH_TIMEOUT(dispositivo.statoByte(), quint8(0xFF), 1000);
        QTRY_COMPARE(linee.size(), 2); // on, then off by itself
        // A held line outlives a pass on it.
        dispositivo.tieni(4);
        dispositivo.comando(QStringLiteral("5"));
        QTest::qWait(200);
        QCOMPARE(dispositivo.statoByte(), quint8(0xEF));
    }

    void comandiNonCapiti()
    {
        DispositivoSimulato dispositivo;
        for (const QString &c : {QStringLiteral("9"), QStringLiteral("+"), QStringLiteral("3 x"), QStringLiteral("")})
            QVERIFY2(!dispositivo.comando(c), qPrintable(c));
        QCOMPARE(dispositivo.statoByte(), quint8(0xFF)); // "3 x" did not half-run
        QString errore;
        QVERIFY(!dispositivo.programma(QStringLiteral("100 +1\nciao\n"), &errore));
        QVERIFY(errore.contains(QStringLiteral("riga 2")));
        QVERIFY(!dispositivo.programma(QStringLiteral("-5 +1"), &errore));
    }

    void programmaNelTempo()
    {
        DispositivoSimulato dispositivo;
        QSignalSpy fine(&dispositivo, &DispositivoSimulato::programmaFinito);
        QVERIFY(dispositivo.programma(QStringLiteral("# prova\n0 +2\n150\t+4   # due linee\n300 -\n")));
        QTest::qWait(60);
        QCOMPARE(dispositivo.statoByte(), quint8(0xFD));
        QTest::qWait(150);
        QCOMPARE(dispositivo.statoByte(), quint8(0xF5));
        QVERIFY(fine.wait(1000));
        QCOMPARE(dispositivo.statoByte(), quint8(0xFF));
    }

    void programmaDaRigaDiComando()
    {
        QVERIFY2(QFileInfo::exists(simulatore()), "saettino-simulatore is built with the project");
        const QString ini = cartella_.filePath(QStringLiteral("utente.ini"));
        ImpostazioniPorta store(ini);
        store.scrivi(QStringLiteral("Porte"), QStringLiteral("Com1"), QStringLiteral("/dev/ttyUSB0"));
        const QString programma = cartella_.filePath(QStringLiteral("giri.txt"));
        QFile f(programma);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("0 +6\n");
        f.close();

        QProcess processo;
        processo.start(simulatore(), {QStringLiteral("--com"), QStringLiteral("1"), QStringLiteral("--impostazioni"), ini,
                                      QStringLiteral("--programma"), programma, QStringLiteral("--durata"),
                                      QStringLiteral("20000")});
        QVERIFY(processo.waitForStarted());
        QVERIFY(processo.waitForReadyRead(5000));
        const QString prima = QString::fromLocal8Bit(processo.readLine()).trimmed();
        QVERIFY2(prima.startsWith(QStringLiteral("Dispositivo: /dev/")), qPrintable(prima));
        const QString percorso = prima.section(u' ', 1);
        // Com1 points at the simulator while it runs...
        QTRY_COMPARE(store.leggi(QStringLiteral("Porte"), QStringLiteral("Com1")), percorso);

        PortaQt porta(store);
        QVERIFY2(porta.setPortOpen(true), qPrintable(porta.descrizioneErrore()));
        QTRY_COMPARE(interroga(porta), 0xDF);
        porta.setPortOpen(false);

        processo.terminate();
        QVERIFY(processo.waitForFinished(5000));
        QCOMPARE(processo.exitStatus(), QProcess::NormalExit);
        QCOMPARE(processo.exitCode(), 0);
        // ...and goes back to what it was when it ends.
        QCOMPARE(store.leggi(QStringLiteral("Porte"), QStringLiteral("Com1")), QStringLiteral("/dev/ttyUSB0"));
        QVERIFY(processo.readAll().contains("Interrogazioni ricevute:"));
    }
};

QTEST_MAIN(TstSimulatore)
#include "tst_simulatore.moc"
