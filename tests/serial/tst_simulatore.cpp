// The device simulator as the saettino-simulatore program an operator starts,
// answering polls through the real port.
#include "serial/impostazioniporta.h"
#include "serial/portaqt.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TstSimulatore : public QObject {
    Q_OBJECT
private slots:
    void programmaDaRigaDiComando()
    {
        QTemporaryDir cartella;
        const QString ini = cartella.filePath(QStringLiteral("utente.ini"));
        ImpostazioniPorta store(ini);
        store.scrivi(QStringLiteral("Porte"), QStringLiteral("Com1"), QStringLiteral("/dev/ttyUSB0"));
        // Line 6 held, a short pass on line 2 that ends by itself, then line 4 held as well.
        QFile programma(cartella.filePath(QStringLiteral("giri.txt")));
        QVERIFY(programma.open(QIODevice::WriteOnly) && programma.write("# prova\n0 +6, 2\n1000\t+4 # dopo il passaggio\n") > 0);
        programma.close();
        QProcess processo;
        processo.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/saettino-simulatore"),
                       {"--com", "1", "--impostazioni", ini, "--programma", programma.fileName(), "--durata", "20000"});
        QByteArray uscita;
        QTRY_VERIFY((uscita += processo.readAll()).contains("Linee attive: 4 6\n"));
        QVERIFY2(uscita.contains("Linee attive: 6\nLinee attive: 2 6\nLinee attive: 6\nLinee attive: 4 6\n"), uscita.constData());
        QVERIFY2(uscita.startsWith("Dispositivo: /dev/"), uscita.constData());
        // Com1 points at the simulator while it runs...
        QCOMPARE(store.leggi(QStringLiteral("Porte"), QStringLiteral("Com1")), QString::fromLocal8Bit(uscita.split('\n')[0]).section(u' ', 1));
        // Each blank is answered with the line state; anything else is no poll.
        PortaQt porta(store);
        QVERIFY2(porta.setPortOpen(true), qPrintable(porta.descrizioneErrore()));
        QByteArray risposte;
        QVERIFY(porta.output(QStringLiteral("   x\r\n")));
        QTRY_VERIFY((risposte += porta.input().toLatin1()).size() >= 3);
        QCOMPARE(risposte, QByteArray("\xD7\xD7\xD7"));
        porta.setPortOpen(false);
        processo.terminate();
        QVERIFY(processo.waitForFinished(5000));
        QVERIFY(processo.exitStatus() == QProcess::NormalExit && processo.exitCode() == 0);
        // ...and goes back to what it was when it ends.
        QCOMPARE(store.leggi(QStringLiteral("Porte"), QStringLiteral("Com1")), QStringLiteral("/dev/ttyUSB0"));
        QVERIFY(processo.readAll().contains("Interrogazioni ricevute: 3"));
    }
};

QTEST_MAIN(TstSimulatore)
#include "tst_simulatore.moc"
