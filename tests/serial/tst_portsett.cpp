// The port settings dialog against a substitute port (a pseudo-terminal takes
// neither even parity nor 7 data bits) and a settings file in a temporary folder.
#include "messaggifinti.h"
#include "portafinta.h"
#include "comune/impostazioni.h"
#include "serial/portsett.h"

#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

class TstPortSett : public QObject {
    Q_OBJECT
private slots:
    // prima: settings|port|flow|state of the port when the dialog opens; scelte: port|speed|data bits|parity|
    // stop bits|flow, "" untouched; registro: what was done to the port; messaggio: a part of the one shown,
    // "" for none; dopo: the port afterwards, as "prima" ("=" unchanged), stored too when OK succeeds.
    void okEAnnulla_data()
    {
        for (const char *colonna : {"prima", "scelte", "registro", "messaggio", "dopo"}) QTest::addColumn<QString>(colonna);
        // Untouched lists give back what they were preselected with; the same number neither closes nor reopens.
        QTest::newRow("115200,e,7,1.5") << "115200,e,7,1.5|16|3|aperta" << "|||||" << "settings 115200,E,7,1.5; handshaking 3" << "" << "=";
        QTest::newRow("tutto cambiato") << "57600,m,6,2|1|0|chiusa" << "Com2|19200|8|Odd|1,5|1"
                                        << "commPort 2; settings 19200,O,8,1.5; handshaking 1" << "" << "19200,o,8,1.5|2|1|chiusa";
        QTest::newRow("altra porta") << "9600,n,8,1|1|0|aperta" << "Com3|||||"
                                     << "chiudi; commPort 3; apri; settings 9600,N,8,1; handshaking 0" << "" << "9600,n,8,1|3|0|aperta";
        // Each failing step stops there; a port that does not open gets its old number back and stays closed.
        QTest::newRow("porta che non si apre") << "9600,n,8,1|1|0|aperta" << "Com5|19200||||" << "chiudi; commPort 5; apri; commPort 1"
                                               << "La porta Com5 non esiste." << "9600,n,8,1|1|0|chiusa";
        QTest::newRow("4 bit") << "9600,n,8,1|1|0|aperta" << "Com2||4|||" << "chiudi; commPort 2; apri; settings 9600,N,4,1" << "4 bit"
                               << "9600,n,8,1|2|0|aperta";
        // A value without a list entry leaves that list unselected, and OK refuses the empty field.
        QTest::newRow("velocità senza voce") << "12345,m,6,1|1|1|aperta" << "|||||" << "settings ,M,6,1" << "Velocità" << "=";
        QTest::newRow("flusso") << "9600,n,8,1|1|0|aperta" << "|||||3" << "settings 9600,N,8,1; handshaking 3" << "Flusso rifiutato" << "=";
        // Annulla after every list and the flow were changed: nothing done, nothing stored.
        QTest::newRow("annulla") << "9600,n,8,1|1|0|aperta" << "Com10|110|4|Even|2|2" << "" << "" << "=";
    }
    void okEAnnulla()
    {
        QFETCH(QString, prima);
        QFETCH(QString, scelte);
        QFETCH(QString, messaggio);
        QFETCH(QString, dopo);
        QTemporaryDir cartella;
        Impostazioni store(cartella.filePath(QStringLiteral("utente.ini")));
        MessaggiFinti messaggi;
        PortaFinta porta;
        const QStringList valori = prima.split(u'|');
        porta.testo = valori[0];
        porta.numero = valori[1].toShort();
        porta.flusso = valori[2].toInt();
        porta.aperta = valori[3] == u"aperta";
        porta.porteMancanti = {5};
        porta.rifiutaFlusso = messaggio.startsWith(u'F');
        PortSett d(porta, store, messaggi);
        d.show();
        const QStringList voci = scelte.split(u'|');
        const QList<QComboBox *> liste{d.cboPort(), d.cboSpeed(), d.cboDataBits(), d.cboParity(), d.cboStopBits()};
        for (int i = 0; i < liste.size(); ++i) liste[i]->setCurrentText(voci[i]); // "" matches no entry
        if (!voci[5].isEmpty()) // the last click decides
            for (int i : {voci[5].toInt() + 1, voci[5].toInt()}) QTest::mouseClick(d.optFlow(i % 4), Qt::LeftButton);
        QTest::keyClick(&d, Qt::Key_Escape); // no key is bound to Annulla: the dialog stays open
        const bool annulla = QTest::currentDataTag() == QByteArrayLiteral("annulla");
        if (annulla) QTest::mouseClick(d.cmdCancel(), Qt::LeftButton);
        else QTest::keyClick(&d, Qt::Key_Return); // Enter presses OK
        QTEST(porta.registro.join(u"; "), "registro");
        if (dopo == u"=") dopo = prima;
        QCOMPARE(QStringLiteral("%1|%2|%3|%4").arg(porta.testo).arg(porta.numero).arg(porta.flusso).arg(porta.aperta ? "aperta" : "chiusa"), dopo);
        const bool riuscito = messaggio.isEmpty() && !annulla;
        const auto letto = [&](const char *chiave) { return store.testo(QStringLiteral("Properties"), QString::fromUtf8(chiave)); };
        QCOMPARE(letto("Settings") + u'|' + letto("CommPort") + u'|' + letto("Handshaking"), riuscito ? dopo.section(u'|', 0, 2) : "||");
        QCOMPARE(d.isVisible(), !messaggio.isEmpty()); // a failure leaves the dialog open
        QCOMPARE(messaggi.mostrati.size(), messaggio.isEmpty() ? 0 : 1);
        QVERIFY2(messaggi.ultimo().contains(messaggio), qPrintable(messaggi.ultimo()));
        // With the exclamation icon and the application's title.
        for (const auto &m : messaggi.mostrati) QVERIFY(m.icona == Messaggi::Icona::Esclamazione && m.titolo.isEmpty());
    }
};

QTEST_MAIN(TstPortSett)
#include "tst_portsett.moc"
