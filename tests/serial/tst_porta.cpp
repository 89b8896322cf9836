// The real port over QSerialPort against a pseudo-terminal; the settings store.
#include "aiuti.h"
#include "serial/coppiapty.h"
#include "comune/impostazioni.h"
#include "serial/portareale.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TstPorta : public QObject {
    Q_OBJECT
private slots:
    // One port from a settings file written by hand: closed, then on a pseudo-terminal. Bytes both
    // ways are exercised by the poll, which runs on this port.
    void dallaPortaChiusaAllaAperta()
    {
        QTemporaryDir cartella;
        const QString ini = cartella.filePath(u"a-mano.ini"_s);
        QVERIFY(scriviFile(ini, "[Properties]\nSettings=19200,o,8,1.5\n\n[Porte]\nCom3=/dev/ttyUSB0\n"));
        Impostazioni store(ini);
        // Without quotes the INI reader sees a list; it comes back as the text it was.
        QCOMPARE(store.testo(u"Properties"_s, u"Settings"_s), u"19200,o,8,1.5"_s);
        QCOMPARE(dispositivoPorta(3, store), u"/dev/ttyUSB0"_s);
        QCOMPARE(dispositivoPorta(16, store), u"/dev/ttyS15"_s);
        PortaReale porta(store);
        // Malformed texts, and what no port here can do, are refused and change nothing.
        for (const auto &[testo, parola] : QList<std::pair<QString, QString>>{
                 {"", "separati"}, {"96OO,n,8,1", "Velocità"}, {"0,n,8,1", "Velocità"}, {"9600,x,8,1", "Parità"},
                 {"9600,n,9,1", "dati"}, {"9600,n,8,3", "stop"}, {"9600,n,4,1", "4 bit di dati"}, {"9600,n,8,1.5", "1,5 bit di stop"}}) {
            QVERIFY2(!porta.setSettings(testo), qPrintable(testo));
            QVERIFY2(porta.descrizioneErrore().contains(parola), qPrintable(porta.descrizioneErrore()));
            QCOMPARE(porta.settings(), u"9600,n,8,1"_s);
        }
        // Closed, a port takes what only the device can judge, in canonical form.
        QVERIFY(porta.setSettings(u" 19200 , E ,7, 2 "_s));
        QCOMPARE(porta.settings(), u"19200,e,7,2"_s);
        // A missing device names the port and tells where to point it.
        store.scrivi(u"Porte"_s, u"Com1"_s, cartella.filePath(u"nessuno"_s));
        QVERIFY(!porta.setPortOpen(true) && !porta.portOpen());
        const QString d = porta.descrizioneErrore();
        QVERIFY2(d.contains(u"Com1"_s) && d.contains(u"non esiste"_s) && d.contains(u"[Porte]"_s), qPrintable(d));
        // On a terminal, settings it does not take (set while closed) make the opening fail.
        CoppiaPty pty;
        QVERIFY2(pty.valida(), qPrintable(pty.errore()));
        store.scrivi(u"Porte"_s, u"Com1"_s, pty.percorso());
        QVERIFY2(!porta.setPortOpen(true) && porta.descrizioneErrore().contains(u"19200,e,7,2"_s), qPrintable(porta.descrizioneErrore()));
        QVERIFY2(porta.setSettings(u"19200,n,8,2"_s) && porta.setPortOpen(true), qPrintable(porta.descrizioneErrore()));
        // Open, a change goes to the device at once: what it ignores is refused and the old settings stay.
        QVERIFY(!porta.setSettings(u"9600,e,8,1"_s) && !porta.descrizioneErrore().isEmpty());
        QCOMPARE(porta.settings(), u"19200,n,8,2"_s);
        QVERIFY(porta.portOpen());
    }
};

QTEST_MAIN(TstPorta)
#include "tst_porta.moc"
