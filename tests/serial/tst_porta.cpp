// The real port over QSerialPort against pseudo-terminal pairs; the settings store.
#include "aiuti.h"
#include "serial/coppiapty.h"
#include "serial/impostazioniporta.h"
#include "serial/portaqt.h"

#include <QTemporaryDir>
#include <QTest>

class TstPorta : public QObject {
    Q_OBJECT
    QTemporaryDir cartella_;

private slots:
    // A settings file written by hand, and a port that stays closed.
    void portaChiusa()
    {
        const QString ini = cartella_.filePath(QStringLiteral("a-mano.ini"));
        QVERIFY(scriviFile(ini, "[Properties]\nSettings=19200,o,8,1.5\n\n[Porte]\nCom3=/dev/ttyUSB0\n"));
        ImpostazioniPorta store(ini);
        store.scrivi(QStringLiteral("Porte"), QStringLiteral("Com1"), cartella_.filePath(QStringLiteral("nessuno")));
        // Without quotes the INI reader sees a list; it comes back as the text it was.
        QCOMPARE(store.leggi(QStringLiteral("Properties"), QStringLiteral("Settings")), QStringLiteral("19200,o,8,1.5"));
        QCOMPARE(dispositivoPorta(3, store), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(dispositivoPorta(16, store), QStringLiteral("/dev/ttyS15"));
        PortaQt porta(store);
        // Malformed texts, and what no port here can do, are refused and change nothing.
        for (const auto &[testo, parola] : QList<std::pair<QString, QString>>{
                 {"", "separati"}, {"96OO,n,8,1", "Velocità"}, {"0,n,8,1", "Velocità"}, {"9600,x,8,1", "Parità"},
                 {"9600,n,9,1", "dati"}, {"9600,n,8,3", "stop"}, {"9600,n,4,1", "4 bit di dati"}, {"9600,n,8,1.5", "1,5 bit di stop"}}) {
            QVERIFY2(!porta.setSettings(testo), qPrintable(testo));
            QVERIFY2(porta.descrizioneErrore().contains(parola), qPrintable(porta.descrizioneErrore()));
            QCOMPARE(porta.settings(), QStringLiteral("9600,n,8,1"));
        }
        // Closed, a port takes what only the device can judge, in canonical form.
        QVERIFY(porta.setSettings(QStringLiteral(" 19200 , E ,7, 2 ")));
        QCOMPARE(porta.settings(), QStringLiteral("19200,e,7,2"));
        QVERIFY(!porta.setCommPort(0) && !porta.setCommPort(256) && !porta.setHandshaking(4) && porta.setHandshaking(3));
        QVERIFY(!porta.output(QStringLiteral(" ")));
        // A missing device names the port and tells where to point it; so does a file that is no terminal.
        QVERIFY(!porta.setPortOpen(true) && !porta.portOpen());
        const QString d = porta.descrizioneErrore();
        QVERIFY2(d.contains(QStringLiteral("Com1")) && d.contains(QStringLiteral("non esiste")) && d.contains(QStringLiteral("[Porte]")), qPrintable(d));
        store.scrivi(QStringLiteral("Porte"), QStringLiteral("Com1"), store.percorso());
        QVERIFY(!porta.setPortOpen(true));
        QVERIFY2(porta.descrizioneErrore().contains(QStringLiteral("non è una porta seriale")), qPrintable(porta.descrizioneErrore()));
    }

    // Settings and refusals of an open port; bytes both ways are exercised by the poll, which runs on this port.
    void portaSuUnoPseudoTerminale()
    {
        CoppiaPty pty;
        QVERIFY2(pty.valida(), qPrintable(pty.errore()));
        ImpostazioniPorta store(cartella_.filePath(QStringLiteral("pty.ini")));
        store.scrivi(QStringLiteral("Porte"), QStringLiteral("Com1"), pty.percorso());
        PortaQt porta(store);
        QVERIFY2(porta.setPortOpen(true), qPrintable(porta.descrizioneErrore()));
        QVERIFY(!porta.setPortOpen(true) && porta.descrizioneErrore().contains(QStringLiteral("già aperta")));
        QVERIFY(!porta.setCommPort(2));
        // Applied at once while open; what the device ignores is refused and the old settings stay.
        QVERIFY2(porta.setSettings(QStringLiteral("19200,n,8,2")), qPrintable(porta.descrizioneErrore()));
        for (const char *rifiutato : {"9600,e,8,1", "9600,n,7,1", "9600,o,8,1", "9600,n,5,1"}) {
            QVERIFY2(!porta.setSettings(QString::fromUtf8(rifiutato)) && !porta.descrizioneErrore().isEmpty(), rifiutato);
            QCOMPARE(porta.settings(), QStringLiteral("19200,n,8,2"));
        }
        QVERIFY(porta.setHandshaking(2) && porta.setHandshaking(3) && porta.setHandshaking(0) && porta.portOpen());
        // Set while closed, settings the device does not take make the opening fail.
        QVERIFY(porta.setPortOpen(false) && porta.setSettings(QStringLiteral("9600,o,8,1")));
        QVERIFY(!porta.setPortOpen(true) && !porta.portOpen());
        QVERIFY2(porta.descrizioneErrore().contains(QStringLiteral("9600,o,8,1")), qPrintable(porta.descrizioneErrore()));
        QVERIFY(porta.setSettings(QStringLiteral("9600,n,8,1")) && porta.setPortOpen(true));
    }
};

QTEST_MAIN(TstPorta)
#include "tst_porta.moc"
