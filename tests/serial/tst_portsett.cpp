// The port settings dialog against a substitute port (a pseudo-terminal takes
// neither even parity nor 7 data bits) and a settings file in a temporary folder.
#include "messaggifinti.h"
#include "portafinta.h"
#include "serial/impostazioniporta.h"
#include "serial/portsett.h"

#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

namespace {
struct Banco {
    QTemporaryDir cartella;
    ImpostazioniPorta store{cartella.filePath(QStringLiteral("utente.ini"))};
    PortaFinta porta;
    MessaggiFinti messaggi;
    QString letto(const char *chiave) const { return store.leggi(QStringLiteral("Properties"), QString::fromUtf8(chiave)); }
    QString memorizzato() const { return letto("Settings") + u'|' + letto("CommPort") + u'|' + letto("Handshaking"); }
};
} // namespace

class TstPortSett : public QObject {
    Q_OBJECT
private slots:
    void okEAnnulla_data()
    {
        QTest::addColumn<QString>("prima");     // settings|port|flow|state the port has when the dialog opens
        QTest::addColumn<QString>("scelte");    // port|speed|data bits|parity|stop bits|flow, "" untouched
        QTest::addColumn<QStringList>("registro");
        QTest::addColumn<QString>("messaggio"); // a part of the one shown, "" for none
        QTest::addColumn<QString>("memorizzato");
        QTest::addColumn<QString>("dopo");      // port number and state afterwards
        // Untouched lists give back what they were preselected with; the same number neither closes nor reopens.
        QTest::newRow("9600,n,8,1") << "9600,n,8,1|1|0|chiusa" << "|||||"
            << QStringList{"settings 9600,N,8,1", "handshaking 0"} << "" << "9600,n,8,1|1|0" << "1 chiusa";
        QTest::newRow("115200,e,7,1.5") << "115200,e,7,1.5|16|3|aperta" << "|||||"
            << QStringList{"settings 115200,E,7,1.5", "handshaking 3"} << "" << "115200,e,7,1.5|16|3" << "16 aperta";
        QTest::newRow("tutto cambiato") << "57600,m,6,2|1|0|chiusa" << "Com2|19200|8|Odd|1,5|1"
            << QStringList{"commPort 2", "settings 19200,O,8,1.5", "handshaking 1"} << "" << "19200,o,8,1.5|2|1" << "2 chiusa";
        QTest::newRow("altra porta") << "9600,n,8,1|1|0|aperta" << "Com3|||||"
            << QStringList{"chiudi", "commPort 3", "apri", "settings 9600,N,8,1", "handshaking 0"} << "" << "9600,n,8,1|3|0" << "3 aperta";
        // Each failing step stops there; a port that does not open gets its old number back and stays closed.
        QTest::newRow("porta che non si apre") << "9600,n,8,1|1|0|aperta" << "Com5|19200||||"
            << QStringList{"chiudi", "commPort 5", "apri", "commPort 1"} << "La porta Com5 non esiste." << "||" << "1 chiusa";
        QTest::newRow("4 bit") << "9600,n,8,1|1|0|aperta" << "Com2||4|||"
            << QStringList{"chiudi", "commPort 2", "apri", "settings 9600,N,4,1"} << "4 bit" << "||" << "2 aperta";
        // A value without a list entry leaves that list unselected; so does a text too short to hold it.
        QTest::newRow("velocità senza voce") << "12345,m,6,1|1|1|aperta" << "|||||"
            << QStringList{"settings ,M,6,1"} << "Velocità" << "||" << "1 aperta";
        QTest::newRow("testo corto") << "1|1|0|aperta" << "|||||" << QStringList{"settings ,,,1"} << "Velocità" << "||" << "1 aperta";
        QTest::newRow("flusso") << "9600,n,8,1|1|0|aperta" << "|||||3"
            << QStringList{"settings 9600,N,8,1", "handshaking 3"} << "Flusso rifiutato" << "||" << "1 aperta";
        // Annulla after every list and the flow were changed: nothing done, nothing stored.
        QTest::newRow("annulla") << "9600,n,8,1|1|0|aperta" << "Com10|110|4|Even|2|2" << QStringList{} << "" << "||" << "1 aperta";
    }
    void okEAnnulla()
    {
        QFETCH(QString, prima);
        QFETCH(QString, scelte);
        QFETCH(QString, messaggio);
        Banco b;
        const QStringList stato = prima.split(u'|');
        b.porta.testo = stato[0];
        b.porta.numero = stato[1].toShort();
        b.porta.flusso = stato[2].toInt();
        b.porta.aperta = stato[3] == u"aperta";
        b.porta.porteMancanti = {5};
        b.porta.rifiutaFlusso = messaggio.startsWith(u'F');
        PortSett d(b.porta, b.store, b.messaggi);
        d.show();
        for (int i = 1; i < 4; ++i) { // top to bottom, not squeezed into each other by the small fixed size
            QVERIFY(d.optFlow(i)->y() > d.optFlow(i - 1)->geometry().bottom()
                    && d.optFlow(i)->height() >= d.optFlow(i)->sizeHint().height());
        }
        const QStringList voci = scelte.split(u'|');
        const QList<QComboBox *> liste{d.cboPort(), d.cboSpeed(), d.cboDataBits(), d.cboParity(), d.cboStopBits()};
        for (int i = 0; i < liste.size(); ++i)
            if (!voci[i].isEmpty()) liste[i]->setCurrentText(voci[i]);
        if (!voci[5].isEmpty()) {
            QTest::mouseClick(d.optFlow((voci[5].toInt() + 1) % 4), Qt::LeftButton);
            QTest::mouseClick(d.optFlow(voci[5].toInt()), Qt::LeftButton); // the last click decides
        }
        const bool annulla = QTest::currentDataTag() == QByteArrayLiteral("annulla");
        if (annulla) {
            QTest::keyClick(&d, Qt::Key_Escape); // no key is bound to Annulla
            QVERIFY(d.isVisible());
            QTest::mouseClick(d.cmdCancel(), Qt::LeftButton);
        } else {
            QTest::keyClick(&d, Qt::Key_Return); // Enter presses OK
        }
        QTEST(b.porta.registro, "registro");
        QTEST(b.memorizzato(), "memorizzato");
        QTEST(QStringLiteral("%1 %2").arg(b.porta.commPort()).arg(b.porta.portOpen() ? "aperta" : "chiusa"), "dopo");
        QCOMPARE(d.result(), int(messaggio.isEmpty() && !annulla ? QDialog::Accepted : QDialog::Rejected));
        QCOMPARE(d.isVisible(), !messaggio.isEmpty()); // a failure leaves the dialog open
        QCOMPARE(b.messaggi.mostrati.size(), messaggio.isEmpty() ? 0 : 1);
        if (messaggio.isEmpty()) return;
        QVERIFY2(b.messaggi.ultimo().contains(messaggio), qPrintable(b.messaggi.ultimo()));
        QCOMPARE(b.messaggi.mostrati[0].icona, Messaggi::Icona::Esclamazione);
        QVERIFY(b.messaggi.mostrati[0].titolo.isEmpty()); // the application's title
    }
};

QTEST_MAIN(TstPortSett)
#include "tst_portsett.moc"
