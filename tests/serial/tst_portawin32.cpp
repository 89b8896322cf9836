// The Windows port on a real COM port, wired by the test run to the device simulator
// (SAETTINO_COM_PROVA names the port; the simulator holds line 3 active).
#include "comune/impostazioni.h"
#include "serial/portareale.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <windows.h>

using namespace Qt::StringLiterals;

class TstPortaWin32 : public QObject {
    Q_OBJECT

    // Polls `volte` times; each reply must be the simulator's status byte with line 3 active.
    static QList<qint64> interroga(PortaReale &porta, int volte)
    {
        QList<qint64> ritardi;
        QSignalSpy arrivati(&porta, &PortaSeriale::onComm);
        for (int i = 0; i < volte; ++i) {
            QElapsedTimer t;
            t.start();
            porta.input();
            arrivati.clear();
            if (!porta.output(u" "_s)) return {};
            QString risposta;
            while (risposta.isEmpty() && t.elapsed() < 2000)
                if (arrivati.wait(2000)) risposta = porta.input();
            if (risposta.isEmpty() || (risposta.at(0).unicode() & 0x04) != 0) return {};
            ritardi.append(t.nsecsElapsed() / 1000);
            QTest::qWait(20);
        }
        return ritardi;
    }

private slots:
    void versoIlDispositivo()
    {
        const int com = qEnvironmentVariableIntValue("SAETTINO_COM_PROVA");
        if (com == 0) QSKIP("no COM port wired to the simulator in this run");
        QTemporaryDir cartella;
        Impostazioni store(cartella.filePath(u"utente.ini"_s));
        PortaReale porta(store);

        // What no Windows port takes is refused, and the settings stay.
        QVERIFY(!porta.setSettings(u"9600,n,4,1"_s) && porta.descrizioneErrore().contains(u"4 bit"_s));
        QCOMPARE(porta.settings(), u"9600,n,8,1"_s);
        // A port that does not exist is named in the refusal.
        QVERIFY(porta.setCommPort(200));
        QVERIFY(!porta.setPortOpen(true) && !porta.portOpen());
        QVERIFY2(porta.descrizioneErrore().contains(u"Com200 (COM200) non esiste"_s), qPrintable(porta.descrizioneErrore()));

        QVERIFY(porta.setCommPort(qint16(com)));
        QSignalSpy aperture(&porta, &PortaSeriale::apertaCambiata);
        QVERIFY2(porta.setPortOpen(true), qPrintable(porta.descrizioneErrore()));
        QCOMPARE(aperture.size(), 1);
        QVERIFY(!porta.setCommPort(1) && porta.commPort() == com);
        // The same port a second time is busy (Wine lets any number of handles share a port).
        if (!GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) {
            PortaReale altra(store);
            QVERIFY(altra.setCommPort(qint16(com)));
            QVERIFY(!altra.setPortOpen(true));
            QVERIFY2(altra.descrizioneErrore().contains(u"già in uso"_s), qPrintable(altra.descrizioneErrore()));
        }

        // Every poll is answered; how soon is printed for the record, not judged here.
        QList<qint64> ritardi = interroga(porta, 30);
        QCOMPARE(ritardi.size(), 30);
        // Settings changed while open reach the line, and the device still answers.
        QVERIFY2(porta.setSettings(u"19200,n,8,2"_s), qPrintable(porta.descrizioneErrore()));
        QVERIFY(porta.setHandshaking(0));
        QCOMPARE(interroga(porta, 3).size(), 3);
        // Closed and opened again, the reader starts afresh.
        QVERIFY(porta.setPortOpen(false) && !porta.portOpen());
        QVERIFY(!porta.output(u" "_s));
        QVERIFY2(porta.setPortOpen(true), qPrintable(porta.descrizioneErrore()));
        QCOMPARE(interroga(porta, 3).size(), 3);
        std::sort(ritardi.begin(), ritardi.end());
        qInfo("poll to reply on COM%d: median %.2f ms, max %.2f ms", com, ritardi[ritardi.size() / 2] / 1000.0,
              ritardi.last() / 1000.0);
    }
};

QTEST_MAIN(TstPortaWin32)
#include "tst_portawin32.moc"
