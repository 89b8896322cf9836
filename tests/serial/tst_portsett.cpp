// The port settings dialog against a substitute port (a pseudo-terminal takes
// neither even parity nor 7 data bits) and a settings file in a temporary folder.
#include "messaggifinti.h"
#include "portafinta.h"
#include "serial/impostazioniporta.h"
#include "serial/portsett.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

class TstPortSett : public QObject {
    Q_OBJECT

    struct Banco {
        QTemporaryDir cartella;
        ImpostazioniPorta store{cartella.filePath(QStringLiteral("utente.ini"))};
        PortaFinta porta;
        MessaggiFinti messaggi;
        QString letto(const char *chiave) const { return store.leggi(QStringLiteral("Properties"), QString::fromUtf8(chiave)); }
        bool nienteMemorizzato() const
        {
            return letto("Settings").isEmpty() && letto("CommPort").isEmpty() && letto("Handshaking").isEmpty();
        }
    };

    static QString scelta(const QComboBox *c) { return c->currentIndex() < 0 ? QString() : c->currentText(); }

private slots:
    void controlliDellaFinestra()
    {
        Banco b;
        PortSett d(b.porta, b.store, b.messaggi);
        d.show();
        QCOMPARE(d.windowTitle(), QStringLiteral("Proprietà porta di comunicazione"));
        QCOMPARE(d.size(), QSize(320, 284));
        auto *tab = d.findChild<QTabWidget *>(QStringLiteral("tabSettings"));
        QVERIFY(tab);
        QCOMPARE(tab->count(), 1);
        QCOMPARE(tab->tabText(0), QStringLiteral("Proprietà"));
        QCOMPARE(tab->widget(0)->objectName(), QStringLiteral("fraSettings"));

        const QList<std::pair<QString, QString>> cornici{{QStringLiteral("Frame2"), QStringLiteral("Porta :")},
                                                         {QStringLiteral("Frame1"), QStringLiteral("Velocità massima")},
                                                         {QStringLiteral("fraConnection"), QStringLiteral("Impostazioni connessione")},
                                                         {QStringLiteral("Frame5"), QStringLiteral("&Controllo di flusso")}};
        for (const auto &[nome, titolo] : cornici) {
            auto *g = d.findChild<QGroupBox *>(nome);
            QVERIFY2(g, qPrintable(nome));
            QCOMPARE(g->title(), titolo);
        }
        QCOMPARE(d.findChild<QLabel *>(QStringLiteral("Label3"))->text(), QStringLiteral("Bit di dati:"));
        QCOMPARE(d.findChild<QLabel *>(QStringLiteral("Label4"))->text(), QStringLiteral("Parità:"));
        QCOMPARE(d.findChild<QLabel *>(QStringLiteral("Label5"))->text(), QStringLiteral("Bit di stop:"));

        const auto voci = [](const QComboBox *c) {
            QStringList v;
            for (int i = 0; i < c->count(); ++i) v << c->itemText(i);
            return v;
        };
        QStringList porte;
        for (int n = 1; n <= 16; ++n) porte << QStringLiteral("Com%1").arg(n);
        QCOMPARE(voci(d.cboPort()), porte);
        QCOMPARE(voci(d.cboSpeed()).join(u' '),
                 QStringLiteral("110 300 600 1200 2400 4800 9600 14400 19200 28800 38400 56000 57600 115200 128000 256000"));
        QCOMPARE(voci(d.cboDataBits()).join(u' '), QStringLiteral("4 5 6 7 8"));
        QCOMPARE(voci(d.cboParity()).join(u' '), QStringLiteral("Even Odd Nessuna Mark Space"));
        QCOMPARE(voci(d.cboStopBits()).join(u' '), QStringLiteral("1 1,5 2"));
        for (QComboBox *c : {d.cboPort(), d.cboSpeed(), d.cboDataBits(), d.cboParity(), d.cboStopBits()})
            QVERIFY(!c->isEditable());
        const QStringList flussi{QStringLiteral("Nessuno"), QStringLiteral("Xon/Xoff"), QStringLiteral("RTS"), QStringLiteral("Xon/RTS")};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(d.optFlow(i)->objectName(), QStringLiteral("optFlow_%1").arg(i));
            QCOMPARE(d.optFlow(i)->text(), flussi[i]);
            if (i > 0) QVERIFY(d.optFlow(i)->y() > d.optFlow(i - 1)->y()); // top to bottom
            // The small design size must not squeeze the options into each other.
            QVERIFY(d.optFlow(i)->height() >= d.optFlow(i)->sizeHint().height());
        }
        QCOMPARE(d.cmdOK()->text(), QStringLiteral("OK"));
        QVERIFY(d.cmdOK()->isDefault());
        QCOMPARE(d.cmdCancel()->text(), QStringLiteral("Annulla"));
    }

    void preselezione_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<int>("commPort");
        QTest::addColumn<int>("flusso");
        QTest::addColumn<QStringList>("attese"); // port, speed, data bits, parity, stop bits
        QTest::newRow("9600,n,8,1") << "9600,n,8,1" << 1 << 0
                                    << QStringList{"Com1", "9600", "8", "Nessuna", "1"};
        QTest::newRow("115200,e,7,1.5") << "115200,e,7,1.5" << 16 << 3
                                        << QStringList{"Com16", "115200", "7", "Even", "1,5"};
        QTest::newRow("110,s,5,2") << "110,s,5,2" << 4 << 2 << QStringList{"Com4", "110", "5", "Space", "2"};
        // Values without a list entry: the list stays without a selection.
        QTest::newRow("fuori lista") << "12345,m,6,1" << 20 << 1 << QStringList{"", "", "6", "Mark", "1"};
    }
    void preselezione()
    {
        QFETCH(QString, settings);
        QFETCH(int, commPort);
        QFETCH(int, flusso);
        QFETCH(QStringList, attese);
        Banco b;
        b.porta.prepara(settings, qint16(commPort), flusso, false);
        PortSett d(b.porta, b.store, b.messaggi);
        d.show();
        QCOMPARE(scelta(d.cboPort()), attese[0]);
        QCOMPARE(scelta(d.cboSpeed()), attese[1]);
        QCOMPARE(scelta(d.cboDataBits()), attese[2]);
        QCOMPARE(scelta(d.cboParity()), attese[3]);
        QCOMPARE(scelta(d.cboStopBits()), attese[4]);
        QVERIFY(d.optFlow(flusso)->isChecked());
        QCOMPARE(d.logica().selectedFlow(), flusso);
        QVERIFY(b.porta.registro.isEmpty()); // opening only reads
    }

    void preselezioneDiUnTestoStrano()
    {
        // An upper-case parity letter or a short text never crash the dialog.
        for (const QString &testo : {QStringLiteral("9600,N,8,1"), QStringLiteral("1"), QStringLiteral("")}) {
            Banco b;
            b.porta.settingsForzati = testo;
            PortSett d(b.porta, b.store, b.messaggi);
        d.show();
            QVERIFY2(d.cboParity()->currentIndex() == -1, qPrintable(testo));
            QCOMPARE(d.cboPort()->currentText(), QStringLiteral("Com1"));
        }
    }

    void okApplicaEMemorizza()
    {
        Banco b;
        b.porta.prepara(QStringLiteral("9600,n,8,1"), 1, 0, false);
        PortSett d(b.porta, b.store, b.messaggi);
        d.show();
        d.cboPort()->setCurrentText(QStringLiteral("Com2"));
        d.cboSpeed()->setCurrentText(QStringLiteral("19200"));
        d.cboDataBits()->setCurrentText(QStringLiteral("8"));
        d.cboParity()->setCurrentText(QStringLiteral("Odd"));
        d.cboStopBits()->setCurrentText(QStringLiteral("1,5"));
        QTest::mouseClick(d.optFlow(2), Qt::LeftButton);
        QTest::mouseClick(d.optFlow(1), Qt::LeftButton); // the last click decides
        QTest::mouseClick(d.cmdOK(), Qt::LeftButton);

        QCOMPARE(d.result(), int(QDialog::Accepted));
        QVERIFY(b.messaggi.mostrati.isEmpty());
        QCOMPARE(b.porta.registro, (QStringList{"commPort 2", "settings 19200,O,8,1.5", "handshaking 1"}));
        QCOMPARE(b.letto("Settings"), QStringLiteral("19200,o,8,1.5"));
        QCOMPARE(b.letto("CommPort"), QStringLiteral("2"));
        QCOMPARE(b.letto("Handshaking"), QStringLiteral("1"));
    }

    void okSenzaToccareNullaMemorizzaIValoriCorrenti()
    {
        Banco b;
        b.porta.prepara(QStringLiteral("57600,m,7,2"), 7, 3, true);
        PortSett d(b.porta, b.store, b.messaggi);
        d.show();
        QTest::keyClick(&d, Qt::Key_Return); // Enter presses OK
        QCOMPARE(d.result(), int(QDialog::Accepted));
        // Same port number: the port is neither closed nor reopened.
        QVERIFY(!b.porta.registro.contains(QStringLiteral("chiudi")));
        QVERIFY(b.porta.portOpen());
        QCOMPARE(b.letto("Settings"), QStringLiteral("57600,m,7,2"));
        QCOMPARE(b.letto("CommPort"), QStringLiteral("7"));
        QCOMPARE(b.letto("Handshaking"), QStringLiteral("3"));
    }

    void altraPortaConPortaAperta()
    {
        Banco b;
        b.porta.prepara(QStringLiteral("9600,n,8,1"), 1, 0, true);
        PortSett d(b.porta, b.store, b.messaggi);
        d.show();
        d.cboPort()->setCurrentIndex(2);
        QTest::mouseClick(d.cmdOK(), Qt::LeftButton);
        QCOMPARE(b.porta.registro.mid(0, 3), (QStringList{"chiudi", "commPort 3", "apri"}));
        QVERIFY(b.porta.portOpen());
        QCOMPARE(b.porta.commPort(), 3);
        QCOMPARE(b.letto("CommPort"), QStringLiteral("3"));
    }

    void altraPortaCheNonSiApre()
    {
        Banco b;
        b.porta.prepara(QStringLiteral("9600,n,8,1"), 1, 0, true);
        b.porta.porteMancanti = {5};
        PortSett d(b.porta, b.store, b.messaggi);
        d.show();
        d.cboPort()->setCurrentIndex(4);
        d.cboSpeed()->setCurrentText(QStringLiteral("19200"));
        QTest::mouseClick(d.cmdOK(), Qt::LeftButton);

        QCOMPARE(b.messaggi.mostrati.size(), 1);
        QCOMPARE(b.messaggi.ultimo(), QStringLiteral("La porta Com5 non esiste."));
        QCOMPARE(b.messaggi.mostrati[0].icona, Messaggi::Icona::Esclamazione);
        QVERIFY(b.messaggi.mostrati[0].titolo.isEmpty()); // the application's title
        QCOMPARE(b.porta.commPort(), 1);   // the old number is back
        QVERIFY(!b.porta.portOpen());      // and the port stays closed
        QCOMPARE(b.porta.settings(), QStringLiteral("9600,n,8,1")); // later steps never ran
        QVERIFY(b.nienteMemorizzato());
        QVERIFY(d.isVisible() || d.result() != QDialog::Accepted); // the dialog stays open
        QCOMPARE(d.result(), int(QDialog::Rejected));
    }

    void impostazioniRifiutate()
    {
        Banco b;
        b.porta.prepara(QStringLiteral("9600,n,8,1"), 1, 0, false);
        b.porta.settingsRifiutati = {QStringLiteral("9600,N,4,1")};
        PortSett d(b.porta, b.store, b.messaggi);
        d.show();
        d.cboPort()->setCurrentIndex(1);
        d.cboDataBits()->setCurrentText(QStringLiteral("4"));
        QTest::mouseClick(d.cmdOK(), Qt::LeftButton);
        QCOMPARE(b.messaggi.ultimo(), QStringLiteral("Impostazioni rifiutate: 9600,N,4,1"));
        QCOMPARE(b.porta.commPort(), 2); // the port change stays in force
        QVERIFY(!b.porta.registro.join(u';').contains(QStringLiteral("handshaking")));
        QVERIFY(b.nienteMemorizzato());
        QCOMPARE(d.result(), int(QDialog::Rejected));
    }

    void listaSenzaSceltaDaUnCampoVuoto()
    {
        Banco b;
        b.porta.prepara(QStringLiteral("12345,n,8,1"), 1, 0, false);
        PortSett d(b.porta, b.store, b.messaggi);
        d.show();
        QCOMPARE(d.cboSpeed()->currentIndex(), -1);
        QTest::mouseClick(d.cmdOK(), Qt::LeftButton);
        QCOMPARE(b.porta.registro.last(), QStringLiteral("settings ,N,8,1"));
        QVERIFY(b.messaggi.ultimo().contains(QStringLiteral("Velocità")));
        QVERIFY(b.nienteMemorizzato());
    }

    void controlloDiFlussoRifiutato()
    {
        Banco b;
        b.porta.rifiutaHandshaking = true;
        PortSett d(b.porta, b.store, b.messaggi);
        d.show();
        QTest::mouseClick(d.optFlow(3), Qt::LeftButton);
        QTest::mouseClick(d.cmdOK(), Qt::LeftButton);
        QCOMPARE(b.messaggi.ultimo(), QStringLiteral("Flusso rifiutato"));
        QVERIFY(b.nienteMemorizzato());
    }

    void annullaNonToccaNiente()
    {
        Banco b;
        b.porta.prepara(QStringLiteral("9600,n,8,1"), 1, 0, true);
        PortSett d(b.porta, b.store, b.messaggi);
        d.show();
        d.cboPort()->setCurrentIndex(9);
        d.cboSpeed()->setCurrentIndex(0);
        d.cboDataBits()->setCurrentIndex(0);
        d.cboParity()->setCurrentIndex(0);
        d.cboStopBits()->setCurrentIndex(2);
        QTest::mouseClick(d.optFlow(2), Qt::LeftButton);
        QTest::keyClick(&d, Qt::Key_Escape); // no key is bound to Annulla
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QVERIFY(d.isVisible());
        QTest::mouseClick(d.cmdCancel(), Qt::LeftButton);
        QVERIFY(!d.isVisible());
        QVERIFY(b.porta.registro.isEmpty());
        QVERIFY(b.porta.portOpen());
        QCOMPARE(b.porta.settings(), QStringLiteral("9600,n,8,1"));
        QVERIFY(b.nienteMemorizzato());
    }

    void escNonChiude()
    {
        Banco b;
        PortSett d(b.porta, b.store, b.messaggi);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QTest::keyClick(&d, Qt::Key_Escape);
        QVERIFY(d.isVisible());
    }
};

QTEST_MAIN(TstPortSett)
#include "tst_portsett.moc"
