// The timing device's lap input of the timing window, against the real port on
// pseudo-terminal pairs: the load, the poll, the replies and the marks.
#include "archiviofinto.h"
#include "messaggifinti.h"
#include "orologiomanuale.h"
#include "serial/coppiapty.h"
#include "serial/dispositivosimulato.h"
#include "serial/impostazioniporta.h"
#include "serial/portaqt.h"
#include "serial/portsettlogica.h"
#include "timing/ingressoseriale.h"
#include "timing/rilevago.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The timing window with its port and serial input, Com1 on a pseudo-terminal.
template <typename OrologioT = OrologioManuale> struct Banco {
    QTemporaryDir cartella;
    CoppiaPty pty;
    ImpostazioniPorta store{cartella.filePath(QStringLiteral("utente.ini"))};
    OrologioT orologio;
    MessaggiFinti messaggi;
    ArchivioFinto archivio;
    RilevaGo w{orologio, messaggi, archivio};
    PortaQt porta{store};
    VistaLineeRilevaGo vista{w};
    IngressoSeriale ingresso{porta, w.sessione(), messaggi, store, vista};

    Banco() { porte(QStringLiteral("Com1"), pty.percorso()); }
    void porte(const QString &chiave, const QString &valore) { store.scrivi(QStringLiteral("Porte"), chiave, valore); }
    void proprieta(const QString &chiave, const QString &valore) { store.scrivi(QStringLiteral("Properties"), chiave, valore); }

    // Load as the program does: serial part first, then the lanes and inizializza.
    void carica(const QStringList &piloti)
    {
        ingresso.Form_Load();
        for (int i = 0; i < piloti.size(); ++i) w.sessione().impostaPilota(i, piloti[i]);
        w.inizializza();
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
    }
    // One reply of the device, handled by the window before this returns.
    void risposta(const QByteArray &byte)
    {
        QSignalSpy evento(&porta, &PortaSeriale::onComm);
        QVERIFY(pty.scrivi(byte));
        QVERIFY(evento.wait(2000));
    }
    QString text2() const { return w.text2()->text(); }
    // A key typed by the operator: it starts at the focused control.
    void tasto(Qt::Key k)
    {
        QWidget *fuoco = QApplication::focusWidget();
        QTest::keyClick(fuoco ? fuoco : &w, k);
    }
    QStringList piloti() const
    {
        QStringList p;
        for (const GiroCompletato &g : archivio.giri) p << g.pilota;
        return p;
    }
    // Polls that reached the device within `ms`.
    int interrogazioni(int ms)
    {
        pty.leggi(0);
        QTest::qWait(ms);
        return int(pty.leggi(0).count(' '));
    }
};

} // namespace

class TstIngressoSeriale : public QObject {
    Q_OBJECT
private slots:
    void caricamentoAprePortaEInterroga()
    {
        Banco b;
        b.carica({QStringLiteral("Rossi")});
        QVERIFY(b.messaggi.mostrati.isEmpty());
        QVERIFY(b.porta.portOpen());
        QVERIFY(b.ingresso.timer2().isActive());
        QCOMPARE(b.ingresso.timer2().interval(), 100);
        const int n = b.interrogazioni(1000);
        QVERIFY2(n >= 7 && n <= 13, qPrintable(QString::number(n))); // one blank every 100 ms
        QCOMPARE(b.ingresso.bufferSeriale(), QString());
        for (int k = 0; k < 8; ++k) QVERIFY(b.w.connesso(k)->isHidden() && b.w.nonconnesso(k)->isHidden());
    }

    void impostazioniMemorizzateApplicate()
    {
        Banco b;
        CoppiaPty seconda;
        b.porte(QStringLiteral("Com2"), seconda.percorso());
        b.proprieta(QStringLiteral("Settings"), QStringLiteral("19200,N,8,2"));
        b.proprieta(QStringLiteral("CommPort"), QStringLiteral("2"));
        b.proprieta(QStringLiteral("Handshaking"), QStringLiteral("2")); // read by nobody
        b.carica({QStringLiteral("Rossi")});
        QVERIFY(b.messaggi.mostrati.isEmpty());
        QCOMPARE(b.porta.settings(), QStringLiteral("19200,n,8,2"));
        QCOMPARE(b.porta.commPort(), 2);
        QCOMPARE(b.porta.handshaking(), 0);
        QTest::qWait(250);
        QVERIFY(seconda.leggi(0).contains(' '));
        QCOMPARE(b.pty.leggi(0), QByteArray());
    }

    void risposte()
    {
        Banco b;
        b.carica({QStringLiteral("Rossi"), QStringLiteral("Bianchi"), QStringLiteral("Verdi")});
        // Before Start the lamps and Text2 follow the device, but nothing is marked.
        b.risposta(QByteArray("\x00", 1));
        QCOMPARE(b.text2(), QStringLiteral("000000000"));
        QVERIFY(b.archivio.giri.isEmpty());

        b.w.sessione().start();
        b.orologio.avanza(10);
        b.risposta("\xFF");
        QCOMPARE(b.text2(), QStringLiteral("011111111"));
        QVERIFY(!b.w.text2()->isEnabled());
        for (int k = 0; k < 8; ++k) QVERIFY(b.w.connesso(k)->isHidden() && !b.w.nonconnesso(k)->isHidden());
        QVERIFY(b.archivio.giri.isEmpty());

        b.risposta("\xFE"); // lane 0 active
        QCOMPARE(b.text2(), QStringLiteral("011111110"));
        QVERIFY(!b.w.connesso(0)->isHidden());
        QVERIFY(!b.w.nonconnesso(0)->isHidden()); // kept, covered by the green lamp
        QCOMPARE(b.piloti(), QStringList{QStringLiteral("Rossi")});
        QCOMPARE(b.w.sessione().corsia(0).numGiri, 1);

        b.orologio.avanza(2);
        b.risposta(QByteArray("\x00", 1)); // every line: lanes with a driver only, lane 7 first
        QCOMPARE(b.text2(), QStringLiteral("000000000"));
        for (int k = 0; k < 8; ++k) QVERIFY(!b.w.connesso(k)->isHidden());
        QCOMPARE(b.piloti().mid(1), (QStringList{"Verdi", "Bianchi", "Rossi"}));
        QCOMPARE(b.ingresso.byteSeriale(), 0);

        b.orologio.avanza(2);
        b.risposta("\xFB\xFE\xFD"); // one read of three bytes: the first only
        QCOMPARE(b.ingresso.bufferSeriale().size(), 3);
        QCOMPARE(b.ingresso.byteSeriale(), 0xFB);
        QCOMPARE(b.text2(), QStringLiteral("011111011"));
        QCOMPARE(b.piloti().size(), 5);
        QCOMPARE(b.piloti().last(), QStringLiteral("Verdi"));
        QVERIFY(b.w.connesso(0)->isHidden() && b.w.connesso(1)->isHidden());

        // An event whose read returns nothing changes nothing.
        b.ingresso.MSComm1_OnComm();
        QCOMPARE(b.text2(), QStringLiteral("011111011"));
        QCOMPARE(b.piloti().size(), 5);

        // Paused: the lamps follow, no mark.
        b.w.sessione().pausa();
        b.orologio.avanza(2);
        b.risposta("\xFE");
        QCOMPARE(b.text2(), QStringLiteral("011111110"));
        QCOMPARE(b.piloti().size(), 5);
    }

    void marcaDalDispositivoEDaTastoInUnSecondo()
    {
        Banco b;
        b.carica({QStringLiteral("Rossi"), QStringLiteral("Bianchi")});
        b.w.sessione().start();
        b.orologio.avanza(5);
        b.risposta("\xFD"); // lane 1 from the device
        QCOMPARE(b.w.sessione().corsia(1).numGiri, 1);
        b.orologio.avanza(0.5f);
        b.tasto(Qt::Key_2); // the same crossing by key: joined into one lap
        QCOMPARE(b.w.sessione().corsia(1).numGiri, 1);
        b.orologio.avanza(0.6f);
        b.tasto(Qt::Key_2);
        QCOMPARE(b.w.sessione().corsia(1).numGiri, 2);
        b.orologio.avanza(0.5f);
        b.risposta("\xFD"); // and the other way round
        QCOMPARE(b.w.sessione().corsia(1).numGiri, 2);
        QCOMPARE(b.archivio.giri.size(), 2);
    }

    void portaMancanteAlCaricamento()
    {
        Banco b;
        b.porte(QStringLiteral("Com1"), b.cartella.filePath(QStringLiteral("staccata")));
        b.carica({QStringLiteral("Rossi")});
        QCOMPARE(b.messaggi.mostrati.size(), 1);
        QVERIFY2(b.messaggi.ultimo().contains(QStringLiteral("non esiste")), qPrintable(b.messaggi.ultimo()));
        QCOMPARE(b.messaggi.mostrati[0].icona, Messaggi::Icona::Esclamazione);
        QVERIFY(b.messaggi.mostrati[0].titolo.isEmpty());
        QVERIFY(!b.porta.portOpen());
        QVERIFY(!b.ingresso.timer2().isActive());
        // Keys still mark laps.
        b.w.sessione().start();
        b.orologio.avanza(3);
        b.tasto(Qt::Key_1);
        QCOMPARE(b.archivio.giri.size(), 1);
    }

    void portaOccupataAlCaricamento()
    {
        Banco b;
        ImpostazioniPorta altroStore(b.cartella.filePath(QStringLiteral("altro.ini")));
        altroStore.scrivi(QStringLiteral("Porte"), QStringLiteral("Com1"), b.pty.percorso());
        PortaQt altroProgramma(altroStore);
        QVERIFY(altroProgramma.setPortOpen(true));
        b.carica({QStringLiteral("Rossi")});
        QCOMPARE(b.messaggi.mostrati.size(), 1);
        QVERIFY2(b.messaggi.ultimo().contains(QStringLiteral("già in uso")), qPrintable(b.messaggi.ultimo()));
        QVERIFY(!b.ingresso.timer2().isActive());
        b.w.sessione().start();
        b.orologio.avanza(3);
        QTest::mouseClick(b.w.intertempoBtn(0), Qt::LeftButton);
        QCOMPARE(b.archivio.giri.size(), 1);
    }

    void valoriMemorizzatiInutilizzabili_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("commPort");
        QTest::addColumn<QString>("parola");
        QTest::newRow("settings rifiutati") << "9600,x,8,1" << "2" << "Parità";
        QTest::newRow("settings spazzatura") << "ciao" << "" << "ciao";
        QTest::newRow("settings con 4 bit") << "9600,n,4,1" << "" << "4 bit";
        QTest::newRow("porta non numerica") << "" << "abc" << "\"abc\"";
        QTest::newRow("porta fuori dai 16 bit") << "" << "99999" << "99999";
        QTest::newRow("porta zero") << "9600,n,8,1" << "0" << "Numero di porta non valido";
        QTest::newRow("porta negativa") << "" << "-3" << "-3";
    }
    void valoriMemorizzatiInutilizzabili()
    {
        QFETCH(QString, settings);
        QFETCH(QString, commPort);
        QFETCH(QString, parola);
        Banco b;
        b.proprieta(QStringLiteral("Settings"), settings);
        b.proprieta(QStringLiteral("CommPort"), commPort);
        b.carica({QStringLiteral("Rossi")});
        QCOMPARE(b.messaggi.mostrati.size(), 1);
        QVERIFY2(b.messaggi.ultimo().contains(parola), qPrintable(b.messaggi.ultimo()));
        QCOMPARE(b.messaggi.mostrati[0].icona, Messaggi::Icona::Esclamazione);
        QVERIFY(!b.porta.portOpen());
        QCOMPARE(b.porta.commPort(), 1); // the load ended before the number was applied
        QVERIFY(!b.ingresso.timer2().isActive());
        QCOMPARE(b.interrogazioni(250), 0);
        // The window goes on without serial input.
        b.w.sessione().start();
        b.orologio.avanza(3);
        b.tasto(Qt::Key_1);
        QCOMPARE(b.archivio.giri.size(), 1);
    }

    void interrogazioneSegueLaPorta()
    {
        Banco b;
        b.carica({QStringLiteral("Rossi")});
        QVERIFY(b.interrogazioni(300) >= 2);
        QVERIFY(b.porta.setPortOpen(false));
        QVERIFY(!b.ingresso.timer2().isActive());
        QCOMPARE(b.interrogazioni(300), 0);
        // Reopened by anyone: the poll comes back by itself.
        QVERIFY(b.porta.setPortOpen(true));
        QVERIFY(b.ingresso.timer2().isActive());
        QVERIFY(b.interrogazioni(300) >= 2);

        // The dialog moves the port to Com2: the device there is polled.
        CoppiaPty seconda;
        b.porte(QStringLiteral("Com2"), seconda.percorso());
        PortSettLogica dialogo(b.porta, b.store, b.messaggi);
        PortSettLogica::Scelte s = dialogo.LoadPropertySettings();
        s.porta = 1;
        QVERIFY(dialogo.cmdOK_Click(s));
        QVERIFY(b.porta.portOpen());
        QVERIFY(b.ingresso.timer2().isActive());
        seconda.leggi(0);
        QTest::qWait(300);
        QVERIFY(seconda.leggi(0).count(' ') >= 2);
        QCOMPARE(b.store.leggi(QStringLiteral("Properties"), QStringLiteral("CommPort")), QStringLiteral("2"));

        // A port that started closed (nothing there at load) is polled once opened.
        Banco tardi;
        tardi.porte(QStringLiteral("Com1"), tardi.cartella.filePath(QStringLiteral("non-ancora")));
        tardi.carica({QStringLiteral("Rossi")});
        QVERIFY(!tardi.ingresso.timer2().isActive());
        tardi.porte(QStringLiteral("Com1"), tardi.pty.percorso());
        QVERIFY(tardi.porta.setPortOpen(true));
        QVERIFY(tardi.interrogazioni(300) >= 2);
    }

    void dispositivoScollegatoDuranteLaSessione()
    {
        Banco b;
        auto adattatore = std::make_unique<CoppiaPty>();
        b.porte(QStringLiteral("Com1"), adattatore->percorso());
        b.carica({QStringLiteral("Rossi")});
        QVERIFY(b.ingresso.timer2().isActive());
        b.w.sessione().start();
        adattatore.reset(); // pulled out
        QTRY_COMPARE(b.messaggi.mostrati.size(), 1);
        QVERIFY2(b.messaggi.ultimo().contains(QStringLiteral("scollegato")), qPrintable(b.messaggi.ultimo()));
        QCOMPARE(b.messaggi.mostrati[0].icona, Messaggi::Icona::Esclamazione);
        QVERIFY(!b.porta.portOpen());
        QVERIFY(!b.ingresso.timer2().isActive());
        QTest::qWait(200);
        QCOMPARE(b.messaggi.mostrati.size(), 1);
        b.orologio.avanza(3);
        b.tasto(Qt::Key_1);
        QCOMPARE(b.archivio.giri.size(), 1);
    }

    void lineaTenutaUnGiroPocoPiuDiUnSecondo()
    {
        // Real time: the device answers every poll while the line of lane 0 is held.
        QTemporaryDir cartella;
        DispositivoSimulato dispositivo;
        ImpostazioniPorta store(cartella.filePath(QStringLiteral("u.ini")));
        store.scrivi(QStringLiteral("Porte"), QStringLiteral("Com1"), dispositivo.percorso());
        OrologioSistema orologio;
        MessaggiFinti messaggi;
        ArchivioFinto archivio;
        RilevaGo w(orologio, messaggi, archivio);
        PortaQt porta(store);
        VistaLineeRilevaGo vista(w);
        IngressoSeriale ingresso(porta, w.sessione(), messaggi, store, vista);
        ingresso.Form_Load();
        w.sessione().impostaPilota(0, QStringLiteral("Rossi"));
        w.inizializza();
        QVERIFY(messaggi.mostrati.isEmpty());

        w.sessione().start();
        dispositivo.tieni(0);
        QTest::qWait(3550);
        dispositivo.rilascia(0);
        QTest::qWait(250);
        const auto giri = archivio.giri;
        // About 1.05-1.1 s each: three laps, two on a machine slowed down by other work.
        QVERIFY2(giri.size() == 3 || giri.size() == 2, qPrintable(QString::number(giri.size())));
        for (const GiroCompletato &g : giri)
            QVERIFY2(g.tempoGiro > 1.0f && g.tempoGiro < 1.5f, qPrintable(QString::number(g.tempoGiro)));
        QVERIFY(w.connesso(0)->isHidden() && !w.nonconnesso(0)->isHidden());
        QCOMPARE(w.text2()->text(), QStringLiteral("011111111"));
    }
};

QTEST_MAIN(TstIngressoSeriale)
#include "tst_ingressoseriale.moc"
