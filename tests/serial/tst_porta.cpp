// The real port over QSerialPort, against pseudo-terminal pairs; the settings
// string and the per-user store.
#include "serial/coppiapty.h"
#include "serial/impostazioniporta.h"
#include "serial/impostazioniserie.h"
#include "serial/portaqt.h"

#include <QElapsedTimer>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// What reaches the device side within `ms`, with the event loop running
// (QSerialPort writes from the loop).
static QByteArray arrivati(CoppiaPty &pty, int almeno, int ms = 2000)
{
    QByteArray letti;
    QElapsedTimer t;
    t.start();
    while (letti.size() < almeno && t.elapsed() < ms) {
        QTest::qWait(5);
        letti += pty.leggi(0);
    }
    return letti;
}

class TstPorta : public QObject {
    Q_OBJECT

    QTemporaryDir cartella_;

    // A store whose Com1 is the given device.
    std::unique_ptr<ImpostazioniPorta> storeCon(const QString &com1, const QString &nome = QStringLiteral("porte.ini"))
    {
        auto store = std::make_unique<ImpostazioniPorta>(cartella_.filePath(nome));
        store->scrivi(QStringLiteral("Porte"), QStringLiteral("Com1"), com1);
        return store;
    }

private slots:
    void settingsInFormaCanonica_data()
    {
        QTest::addColumn<QString>("testo");
        QTest::addColumn<QString>("canonico");
        QTest::newRow("base") << "9600,n,8,1" << "9600,n,8,1";
        QTest::newRow("maiuscole") << "19200,O,8,1.5" << "19200,o,8,1.5";
        QTest::newRow("spazi") << " 115200 , E ,7, 2 " << "115200,e,7,2";
        QTest::newRow("4 bit") << "110,m,4,1" << "110,m,4,1";
    }
    void settingsInFormaCanonica()
    {
        QFETCH(QString, testo);
        QFETCH(QString, canonico);
        ImpostazioniSerie imp;
        QString errore;
        QVERIFY2(analizzaSettings(testo, imp, errore), qPrintable(errore));
        QCOMPARE(imp.testo(), canonico);
    }

    void settingsMalformati_data()
    {
        QTest::addColumn<QString>("testo");
        QTest::addColumn<QString>("parola"); // the field the description names
        QTest::newRow("vuoto") << "" << "separati";
        QTest::newRow("tre campi") << "9600,n,8" << "separati";
        QTest::newRow("velocità") << "96OO,n,8,1" << "Velocità";
        QTest::newRow("velocità zero") << "0,n,8,1" << "Velocità";
        QTest::newRow("velocità vuota") << ",N,8,1" << "Velocità";
        QTest::newRow("parità") << "9600,x,8,1" << "Parità";
        QTest::newRow("dati") << "9600,n,9,1" << "dati";
        QTest::newRow("stop") << "9600,n,8,3" << "stop";
        QTest::newRow("stop con virgola") << "9600,n,8,1,5" << "separati";
    }
    void settingsMalformati()
    {
        QFETCH(QString, testo);
        QFETCH(QString, parola);
        ImpostazioniSerie imp;
        imp.velocita = 1234;
        QString errore;
        QVERIFY(!analizzaSettings(testo, imp, errore));
        QVERIFY2(errore.contains(parola), qPrintable(errore));
        QCOMPARE(imp.velocita, 1234); // a refusal changes nothing
    }

    void regolaDellePosizioni()
    {
        const auto campi = [](const QString &t) {
            const CampiSettings c = dividiSettings(t);
            return QStringList{c.velocita, c.parita, c.datiBit, c.stopBit};
        };
        QCOMPARE(campi(QStringLiteral("9600,n,8,1")), (QStringList{"9600", "n", "8", "1"}));
        QCOMPARE(campi(QStringLiteral("115200,e,7,1.5")), (QStringList{"115200", "e", "7", "1.5"}));
        QCOMPARE(campi(QStringLiteral("110,s,5,2")), (QStringList{"110", "s", "5", "2"}));
        // Too short to hold four fields: nothing read out of bounds.
        QCOMPARE(campi(QStringLiteral("1")), (QStringList{"", "", "", "1"}));
        QCOMPARE(campi(QString()), (QStringList{"", "", "", ""}));
        QCOMPARE(campi(QStringLiteral("1.5")), (QStringList{"", "", "", "1.5"}));
    }

    void storeDellUtente()
    {
        // The user's store, redirected into the temporary folder.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, cartella_.filePath(QStringLiteral("utente")));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, cartella_.filePath(QStringLiteral("utente")));
        ImpostazioniPorta store;
        QCOMPARE(store.leggi(QStringLiteral("Properties"), QStringLiteral("Settings")), QString());
        store.scrivi(QStringLiteral("Properties"), QStringLiteral("Settings"), QStringLiteral("9600,n,8,1"));
        QVERIFY(store.percorso().contains(QStringLiteral("SaettinoPro")));
        QVERIFY(store.percorso().contains(QStringLiteral("Saettino Professional")));
        QSettings letto(QStringLiteral("SaettinoPro"), QStringLiteral("Saettino Professional"));
        QCOMPARE(letto.value(QStringLiteral("Properties/Settings")).toString(), QStringLiteral("9600,n,8,1"));
    }

    void storeScrittoAMano()
    {
        const QString file = cartella_.filePath(QStringLiteral("a-mano.ini"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Properties]\nSettings=19200,o,8,1.5\nCommPort=3\n\n[Porte]\nCom3=/dev/ttyUSB0\n");
        f.close();
        ImpostazioniPorta store(file);
        // Without quotes the INI reader sees a list; it comes back as the text it was.
        QCOMPARE(store.leggi(QStringLiteral("Properties"), QStringLiteral("Settings")), QStringLiteral("19200,o,8,1.5"));
        QCOMPARE(store.leggi(QStringLiteral("Properties"), QStringLiteral("CommPort")), QStringLiteral("3"));
        QCOMPARE(store.leggi(QStringLiteral("Properties"), QStringLiteral("Handshaking")), QString());
        QCOMPARE(dispositivoPorta(3, store), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(dispositivoPorta(1, store), QStringLiteral("/dev/ttyS0"));
        QCOMPARE(dispositivoPorta(16, store), QStringLiteral("/dev/ttyS15"));
    }

    void rifiutiDellaPortaChiusa()
    {
        ImpostazioniPorta store(cartella_.filePath(QStringLiteral("vuoto.ini")));
        PortaQt porta(store);
        QVERIFY(!porta.setSettings(QStringLiteral("9600,n,4,1")));
        QVERIFY(porta.descrizioneErrore().contains(QStringLiteral("4 bit di dati")));
        QVERIFY(!porta.setSettings(QStringLiteral("9600,n,8,1.5"))); // termios has no 1.5 stop bits
        QVERIFY(porta.descrizioneErrore().contains(QStringLiteral("1,5 bit di stop")));
        QVERIFY(!porta.setSettings(QStringLiteral("abc")));
        QCOMPARE(porta.settings(), QStringLiteral("9600,n,8,1"));
        // Closed, a port takes what only the device can judge; the device judges at opening.
        QVERIFY(porta.setSettings(QStringLiteral("19200,E,7,2")));
        QCOMPARE(porta.settings(), QStringLiteral("19200,e,7,2"));
        QVERIFY(porta.descrizioneErrore().isEmpty());
        QVERIFY(!porta.setCommPort(0));
        QVERIFY(!porta.setCommPort(256));
        QVERIFY(porta.setCommPort(20));
        QCOMPARE(porta.commPort(), 20);
        QVERIFY(!porta.setHandshaking(4));
        QVERIFY(porta.setHandshaking(3));
        QVERIFY(!porta.output(QStringLiteral(" ")));
        QCOMPARE(porta.input(), QString());
        QVERIFY(porta.setPortOpen(false)); // closing a closed port is no error
    }

    void scambioDiByte()
    {
        CoppiaPty pty;
        QVERIFY2(pty.valida(), qPrintable(pty.errore()));
        auto store = storeCon(pty.percorso());
        PortaQt porta(*store);
        QSignalSpy stato(&porta, &PortaSeriale::apertaCambiata);
        QSignalSpy eventi(&porta, &PortaSeriale::onComm);
        QVERIFY2(porta.setPortOpen(true), qPrintable(porta.descrizioneErrore()));
        QVERIFY(porta.portOpen());
        QCOMPARE(stato.size(), 1);
        QCOMPARE(stato.at(0).at(0).toBool(), true);

        QVERIFY(porta.output(QStringLiteral(" ")));
        QCOMPARE(arrivati(pty, 1), QByteArray(" "));
        QVERIFY(porta.output(QString(QChar(0xFF)) + QChar(0)));
        QCOMPARE(arrivati(pty, 2), QByteArray("\xFF\x00", 2));

        // Bytes from the device: one character per byte, any value, input emptied.
        QVERIFY(pty.scrivi(QByteArray("\xFE\x00\x80", 3)));
        QTRY_VERIFY(eventi.size() >= 1);
        QTest::qWait(20);
        const QString letto = porta.input();
        QCOMPARE(letto.size(), 3);
        QCOMPARE(letto.at(0).unicode(), 0xFE);
        QCOMPARE(letto.at(1).unicode(), 0x00);
        QCOMPARE(letto.at(2).unicode(), 0x80);
        QCOMPARE(porta.input(), QString());

        QVERIFY(porta.setPortOpen(false));
        QVERIFY(!porta.portOpen());
        QCOMPARE(stato.size(), 2);
        QCOMPARE(stato.at(1).at(0).toBool(), false);
    }

    void rifiutiDellAperturaEDellaPortaAperta()
    {
        CoppiaPty pty;
        QVERIFY(pty.valida());
        auto store = storeCon(pty.percorso(), QStringLiteral("aperta.ini"));
        PortaQt porta(*store);
        QVERIFY(porta.setPortOpen(true));

        QVERIFY(!porta.setPortOpen(true));
        QVERIFY(porta.descrizioneErrore().contains(QStringLiteral("già aperta")));
        QVERIFY(!porta.setCommPort(2));
        QCOMPARE(porta.commPort(), 1);

        // The same device from a second port object: busy.
        PortaQt seconda(*store);
        QSignalSpy stato(&seconda, &PortaSeriale::apertaCambiata);
        QVERIFY(!seconda.setPortOpen(true));
        QVERIFY2(seconda.descrizioneErrore().contains(QStringLiteral("già in uso")), qPrintable(seconda.descrizioneErrore()));
        QVERIFY(!seconda.portOpen());
        QCOMPARE(stato.size(), 0);

        // Settings applied at once while open; what the device does not take is refused
        // and the previous settings stay in force.
        QVERIFY2(porta.setSettings(QStringLiteral("19200,n,8,2")), qPrintable(porta.descrizioneErrore()));
        QCOMPARE(porta.settings(), QStringLiteral("19200,n,8,2"));
        for (const QString &rifiutato : {QStringLiteral("9600,e,8,1"), QStringLiteral("9600,n,7,1"),
                                         QStringLiteral("9600,o,8,1"), QStringLiteral("9600,n,5,1")}) {
            QVERIFY2(!porta.setSettings(rifiutato), qPrintable(rifiutato));
            QVERIFY(!porta.descrizioneErrore().isEmpty());
            QCOMPARE(porta.settings(), QStringLiteral("19200,n,8,2"));
        }
        QVERIFY(porta.setHandshaking(2));
        QVERIFY(porta.setHandshaking(3));
        QVERIFY(porta.setHandshaking(0));
        QVERIFY(porta.portOpen());
        QVERIFY(porta.output(QStringLiteral(" ")));
        QCOMPARE(arrivati(pty, 1), QByteArray(" "));
    }

    void aperturaConImpostazioniCheIlDispositivoNonPrende()
    {
        CoppiaPty pty;
        auto store = storeCon(pty.percorso(), QStringLiteral("parita.ini"));
        PortaQt porta(*store);
        QVERIFY(porta.setSettings(QStringLiteral("9600,o,8,1")));
        QSignalSpy stato(&porta, &PortaSeriale::apertaCambiata);
        QVERIFY(!porta.setPortOpen(true));
        QVERIFY2(porta.descrizioneErrore().contains(QStringLiteral("9600,o,8,1")), qPrintable(porta.descrizioneErrore()));
        QVERIFY(!porta.portOpen());
        QCOMPARE(stato.size(), 0);
        // Once the settings suit the device the same port opens.
        QVERIFY(porta.setSettings(QStringLiteral("9600,n,8,1")));
        QVERIFY(porta.setPortOpen(true));
    }

    void portaMancante()
    {
        auto store = storeCon(cartella_.filePath(QStringLiteral("nessun-dispositivo")), QStringLiteral("mancante.ini"));
        PortaQt porta(*store);
        QVERIFY(!porta.setPortOpen(true));
        const QString d = porta.descrizioneErrore();
        QVERIFY2(d.contains(QStringLiteral("Com1")) && d.contains(QStringLiteral("non esiste")), qPrintable(d));
        QVERIFY2(d.contains(QStringLiteral("[Porte]")), qPrintable(d)); // tells where to point it
        QVERIFY(!porta.portOpen());

        // Not a terminal at all.
        store->scrivi(QStringLiteral("Porte"), QStringLiteral("Com1"), store->percorso());
        QVERIFY(!porta.setPortOpen(true));
        QVERIFY2(porta.descrizioneErrore().contains(QStringLiteral("non è una porta seriale")), qPrintable(porta.descrizioneErrore()));
    }

    void dispositivoCheSparisce()
    {
        auto pty = std::make_unique<CoppiaPty>();
        auto store = storeCon(pty->percorso(), QStringLiteral("sparisce.ini"));
        PortaQt porta(*store);
        QVERIFY(porta.setPortOpen(true));
        QSignalSpy stato(&porta, &PortaSeriale::apertaCambiata);
        QSignalSpy persa(&porta, &PortaSeriale::lineaPersa);
        QSignalSpy eventi(&porta, &PortaSeriale::onComm);
        pty.reset(); // the adapter is pulled out
        QTRY_VERIFY_WITH_TIMEOUT(!porta.portOpen(), 3000);
        QTest::qWait(100);
        // Closed once and reported once, not an endless stream of read errors.
        QCOMPARE(stato.size(), 1);
        QCOMPARE(persa.size(), 1);
        QVERIFY(eventi.size() <= 1);
        QCOMPARE(stato.at(0).at(0).toBool(), false);
        QVERIFY(porta.descrizioneErrore().contains(QStringLiteral("non è più disponibile")));
    }

    void numeroDiPortaSceglieIlDispositivoAllApertura()
    {
        CoppiaPty uno, due;
        auto store = storeCon(uno.percorso(), QStringLiteral("due.ini"));
        store->scrivi(QStringLiteral("Porte"), QStringLiteral("Com2"), due.percorso());
        PortaQt porta(*store);
        QVERIFY(porta.setCommPort(2));
        QVERIFY(porta.setPortOpen(true));
        QCOMPARE(porta.dispositivo(), due.percorso());
        QVERIFY(porta.output(QStringLiteral(" ")));
        QCOMPARE(arrivati(due, 1), QByteArray(" "));
        QCOMPARE(uno.leggi(0), QByteArray());
    }
};

QTEST_MAIN(TstPorta)
#include "tst_porta.moc"
