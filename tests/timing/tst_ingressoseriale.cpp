// The timing device's lap input of the timing window, against the real port on
// pseudo-terminal pairs, with the port and its poll on their own thread as the
// program has them: the load, the poll, the replies and the marks.
#include "archiviofinto.h"
#include "dispositivointhread.h"
#include "messaggifinti.h"
#include "orologiomanuale.h"
#include "serial/dispositivosimulato.h"
#include "serial/impostazioniporta.h"
#include "serial/portaqt.h"
#include "serial/portsettlogica.h"
#include "timing/interrogatoreseriale.h"
#include "timing/lineaseriale.h"
#include "timing/rilevago.h"
#include "timing/tempominimo.h"

#include <QLabel>
#include <QLineEdit>
#include <QtTest>

namespace {

// A lap store that takes its time over every lap, as a slow disk would.
struct ArchivioLento : ArchivioFinto {
    void memorizza(const GiroCompletato &giro) override
    {
        QThread::msleep(40);
        ArchivioFinto::memorizza(giro);
    }
};

// The timing window with its serial input, Com1 on a pseudo-terminal.
template <typename OrologioT = OrologioManuale, typename ArchivioT = ArchivioFinto> struct Banco {
    QTemporaryDir cartella;
    CoppiaPty pty;
    ImpostazioniPorta store{cartella.filePath(QStringLiteral("utente.ini"))};
    OrologioT orologio;
    MessaggiFinti messaggi;
    ArchivioT archivio;
    RilevaGo w{orologio, messaggi, archivio};
    VistaLineeRilevaGo vista{w};
    std::unique_ptr<LineaSeriale> linea;
    int risposte = 0; // replies the window has handled

    explicit Banco(const QString &com1 = {}) { porte(QStringLiteral("Com1"), com1.isEmpty() ? pty.percorso() : com1); }
    void porte(const QString &chiave, const QString &valore) { store.scrivi(QStringLiteral("Porte"), chiave, valore); }
    PortaSeriale &porta() { return linea->porta(); }

    // Load as the program does: serial part first, then the lanes and inizializza.
    void carica(const QStringList &piloti = {QStringLiteral("Rossi")})
    {
        linea = std::make_unique<LineaSeriale>(store, orologio, messaggi, w.sessione(), vista);
        // Queued after the window's own handler of the same reply, so it counts handled replies.
        QObject::connect(&linea->interrogatore(), &InterrogatoreSeriale::risposta, &w, [this] { ++risposte; },
                         Qt::QueuedConnection);
        linea->ingresso().Form_Load();
        for (int i = 0; i < piloti.size(); ++i) w.sessione().impostaPilota(i, piloti[i]);
        w.inizializza();
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
    }
    // One reply of the device, handled by the window before this returns.
    void risposta(const QByteArray &byte)
    {
        const int prima = risposte;
        QVERIFY(pty.scrivi(byte));
        QTRY_VERIFY(risposte > prima);
    }
    bool pollAttivo()
    {
        bool attivo = false;
        QMetaObject::invokeMethod(&linea->interrogatore(), [&] { attivo = linea->interrogatore().timer2().isActive(); },
                                  Qt::BlockingQueuedConnection);
        return attivo;
    }
    bool lampade(bool verde, bool rossa) const
    {
        for (int k = 0; k < 8; ++k)
            if (w.connesso(k)->isHidden() == verde || w.nonconnesso(k)->isHidden() == rossa) return false;
        return true;
    }
    // A key typed by the operator at the focused control, some time after Start.
    void tasto(Qt::Key k, double dopo)
    {
        orologio.avanza(dopo);
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &w, k);
    }
    QStringList piloti() const
    {
        QStringList p;
        for (const GiroCompletato &g : archivio.giri) p << g.pilota;
        return p;
    }
};

// Milliseconds until `n` blanks reached the device, -1 when they do not within 5 s.
qint64 attendiSpazi(CoppiaPty &pty, int n)
{
    pty.leggi(0);
    QElapsedTimer t;
    t.start();
    for (int visti = 0; t.elapsed() < 5000; QTest::qWait(5))
        if ((visti += int(pty.leggi(0).count(' '))) >= n) return t.elapsed();
    return -1;
}

} // namespace

class TstIngressoSeriale : public QObject {
    Q_OBJECT
private slots:
    void risposte()
    {
        Banco b;
        b.carica({QStringLiteral("Rossi"), QStringLiteral("Bianchi"), QStringLiteral("Verdi")});
        b.risposta(QByteArray("\x00", 1)); // before Start the lamps and Text2 follow the device, no lap is marked
        QVERIFY(b.archivio.giri.isEmpty() && b.w.text2()->text() == QStringLiteral("000000000"));
        b.w.sessione().start();
        b.orologio.avanza(10);
        b.risposta("\xFF");
        QCOMPARE(b.w.text2()->text(), QStringLiteral("011111111"));
        QVERIFY(b.lampade(false, true));
        b.risposta("\xFE"); // lane 0 active
        QCOMPARE(b.w.text2()->text(), QStringLiteral("011111110"));
        QVERIFY(!b.w.connesso(0)->isHidden() && !b.w.nonconnesso(0)->isHidden()); // red kept, covered by green
        b.tasto(Qt::Key_1, 0.5); // the same crossing by key as well: one lap
        QCOMPARE(b.piloti(), QStringList{QStringLiteral("Rossi")});
        b.tasto(Qt::Key_1, 0.6);
        b.orologio.avanza(0.5);
        b.risposta("\xFE"); // and the other way round
        QCOMPARE(b.piloti(), (QStringList{"Rossi", "Rossi"}));
        b.orologio.avanza(2);
        b.risposta(QByteArray("\x00", 1)); // every line: lanes with a driver only, lane 7 first
        QCOMPARE(b.w.text2()->text(), QStringLiteral("000000000"));
        QVERIFY(b.lampade(true, true));
        QCOMPARE(b.piloti().mid(2), (QStringList{"Verdi", "Bianchi", "Rossi"}));
        b.orologio.avanza(2);
        b.risposta("\xFB\xFE\xFD"); // one read of three bytes: the first only
        QCOMPARE(b.w.text2()->text(), QStringLiteral("011111011"));
        QCOMPARE(b.piloti().mid(5), QStringList{QStringLiteral("Verdi")});
        QVERIFY(b.w.connesso(0)->isHidden() && b.w.connesso(1)->isHidden());
        // An event whose read returns nothing changes nothing.
        auto &interrogatore = b.linea->interrogatore();
        QMetaObject::invokeMethod(&interrogatore, [&] { interrogatore.MSComm1_OnComm(); }, Qt::BlockingQueuedConnection);
        QTest::qWait(50);
        QCOMPARE(b.w.text2()->text(), QStringLiteral("011111011"));
        QCOMPARE(b.piloti().size(), 6);
    }

    void portaInutilizzabileAlCaricamento_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("commPort");
        QTest::addColumn<QString>("parola");
        QTest::newRow("porta mancante") << "" << "" << "non esiste";
        QTest::newRow("porta occupata") << "" << "" << "già in uso";
        QTest::newRow("settings rifiutati") << "9600,x,8,1" << "2" << "Parità";
        QTest::newRow("settings con 4 bit") << "9600,n,4,1" << "" << "4 bit";
        QTest::newRow("porta fuori dai 16 bit") << "" << "99999" << "99999";
        QTest::newRow("porta zero") << "9600,n,8,1" << "0" << "Numero di porta non valido";
    }
    void portaInutilizzabileAlCaricamento()
    {
        QFETCH(QString, settings);
        QFETCH(QString, commPort);
        QFETCH(QString, parola);
        Banco b;
        b.store.scrivi(QStringLiteral("Properties"), QStringLiteral("Settings"), settings);
        b.store.scrivi(QStringLiteral("Properties"), QStringLiteral("CommPort"), commPort);
        if (parola == u"non esiste") b.porte(QStringLiteral("Com1"), b.cartella.filePath(QStringLiteral("staccata")));
        PortaQt altroProgramma(b.store);
        if (parola == u"già in uso") QVERIFY(altroProgramma.setPortOpen(true));
        b.carica();
        QCOMPARE(b.messaggi.mostrati.size(), 1);
        QVERIFY2(b.messaggi.ultimo().contains(parola), qPrintable(b.messaggi.ultimo()));
        QCOMPARE(b.messaggi.mostrati[0].icona, Messaggi::Icona::Esclamazione);
        QVERIFY(b.messaggi.mostrati[0].titolo.isEmpty()); // the application's title
        QVERIFY(!b.porta().portOpen());
        QCOMPARE(b.porta().commPort(), 1); // the load ended before a number was applied
        QVERIFY(!b.pollAttivo());
        // The window goes on without serial input: keys still mark laps.
        b.w.sessione().start();
        b.tasto(Qt::Key_1, 3);
        QCOMPARE(b.archivio.giri.size(), 1);
        // Once there is a port to open, opening it starts the poll.
        altroProgramma.setPortOpen(false);
        b.porte(QStringLiteral("Com1"), b.pty.percorso());
        QVERIFY(b.porta().setPortOpen(true));
        QVERIFY(attendiSpazi(b.pty, 2) >= 0);
    }

    void interrogazioneSegueLaPorta()
    {
        // The stored settings are applied at load, Handshaking is read by nobody.
        Banco b;
        CoppiaPty seconda;
        b.porte(QStringLiteral("Com2"), seconda.percorso());
        b.store.scrivi(QStringLiteral("Properties"), QStringLiteral("Settings"), QStringLiteral("19200,N,8,2"));
        b.store.scrivi(QStringLiteral("Properties"), QStringLiteral("CommPort"), QStringLiteral("2"));
        b.store.scrivi(QStringLiteral("Properties"), QStringLiteral("Handshaking"), QStringLiteral("2"));
        b.carica();
        QVERIFY(b.messaggi.mostrati.isEmpty());
        QCOMPARE(b.porta().settings(), QStringLiteral("19200,n,8,2"));
        QCOMPARE(b.porta().handshaking(), 0);
        QVERIFY(b.lampade(false, false));
        // A blank every 100 ms to the device of Com2 only: eight of them span at least six intervals.
        const qint64 ms = attendiSpazi(seconda, 8);
        QVERIFY2(ms >= 550, qPrintable(QString::number(ms)));
        QVERIFY(!b.pty.leggi(0).contains(' '));
        QVERIFY(b.porta().setPortOpen(false));
        QVERIFY(!b.pollAttivo());
        for (int i = 0; i < 10 && !seconda.leggi(100).isEmpty(); ++i) { } // what was already on its way
        QTest::qWait(300);
        QVERIFY(!seconda.leggi(0).contains(' '));
        QVERIFY(b.porta().setPortOpen(true)); // reopened by anyone: the poll comes back by itself
        QVERIFY(attendiSpazi(seconda, 2) >= 0);
        // The dialog moves the port to Com3: the device there is polled.
        auto terza = std::make_unique<CoppiaPty>();
        b.porte(QStringLiteral("Com3"), terza->percorso());
        PortSettLogica dialogo(b.porta(), b.store, b.messaggi);
        PortSettLogica::Scelte s = dialogo.LoadPropertySettings();
        s.porta = 2;
        QVERIFY(dialogo.cmdOK_Click(s));
        QVERIFY(attendiSpazi(*terza, 2) >= 0);
        // That device is pulled out during the session: told once, in a notice that
        // waits for nobody, and keys go on marking laps.
        b.w.sessione().start();
        terza.reset();
        QTRY_COMPARE(b.messaggi.mostrati.size(), 1);
        QVERIFY2(b.messaggi.ultimo().contains(QStringLiteral("scollegato")), qPrintable(b.messaggi.ultimo()));
        QVERIFY(b.messaggi.mostrati[0].avviso && b.messaggi.mostrati[0].icona == Messaggi::Icona::Esclamazione);
        QVERIFY(!b.porta().portOpen() && !b.pollAttivo());
        QTest::qWait(200);
        QCOMPARE(b.messaggi.mostrati.size(), 1); // not a stream of read errors
        b.tasto(Qt::Key_1, 3);
        QCOMPARE(b.archivio.giri.size(), 1);
    }

    // Real time: the eight lines of one reply are marked at the instant the reply
    // arrived, however long the store takes over each lap.
    void unIstantePerRisposta()
    {
        OrologioSistema orologio;
        DispositivoInThread dispositivo(orologio);
        Banco<OrologioSistema, ArchivioLento> b(dispositivo.percorso());
        b.carica({"A", "B", "C", "D", "E", "F", "G", "H"});
        b.w.sessione().start();
        for (int passaggio = 1; passaggio <= 2; ++passaggio) {
            QTest::qWait(1100);
            dispositivo.impulso(0x00);
            QTRY_COMPARE(b.archivio.giri.size(), 8 * passaggio);
        }
        for (int i = 0; i < 16; i += 8) {
            const auto giri = b.archivio.giri.mid(i, 8);
            for (const GiroCompletato &g : giri) QCOMPARE(g.tempoGiro, giri.first().tempoGiro);
        }
        QCOMPARE(b.archivio.giri[8].giroN, 2);
    }

    // Real time: the window's thread stops for a second, the poll does not, and a
    // crossing reported meanwhile keeps the instant it arrived.
    void interrogazioneConLaFinestraFerma()
    {
        OrologioSistema orologio;
        DispositivoInThread dispositivo(orologio);
        Banco<OrologioSistema> b(dispositivo.percorso());
        b.carica({"A", "B"});
        b.w.sessione().start();
        QTRY_VERIFY(dispositivo.interrogazioni().size() >= 2);
        QTest::qWait(1200);
        const double inizio = orologio.adesso();
        std::thread passaggio([&] { QThread::msleep(400); dispositivo.impulso(0xFD); });
        QThread::msleep(1000); // the window is busy for a second
        const double fine = orologio.adesso();
        passaggio.join();
        QTRY_COMPARE(b.archivio.giri.size(), 1);
        QVector<double> polls;
        for (double t : dispositivo.interrogazioni())
            if (t > inizio && t < fine) polls << t;
        QVERIFY2(polls.size() >= 8, qPrintable(QString::number(polls.size())));
        // The lap ends when the device reported it, not when the window got round to it.
        const double arrivo = dispositivo.passaggi().value(0);
        QVERIFY2(arrivo > inizio && arrivo < fine - 0.3, qPrintable(QString::number(arrivo - inizio)));
        const double segnato = b.w.sessione().corsia(1).ultimoPassaggio;
        QVERIFY2(qAbs(segnato - arrivo) < 0.02, qPrintable(QString::number(segnato - arrivo)));
    }

    // Real time: the simulated device answers every poll while the line of lane 0
    // is held; each lap comes at the first poll past the shortest lap stored.
    void lineaTenutaUnGiroAlTempoMinimo_data()
    {
        QTest::addColumn<QString>("salvato");
        QTest::addColumn<double>("secondi");
        QTest::newRow("un secondo") << "" << 1.0;
        QTest::newRow("mezzo secondo") << "0,5" << 0.5;
        QTest::newRow("un secondo e mezzo") << "1.5" << 1.5;
    }
    void lineaTenutaUnGiroAlTempoMinimo()
    {
        QFETCH(QString, salvato);
        QFETCH(double, secondi);
        DispositivoSimulato dispositivo;
        Banco<OrologioSistema> b(dispositivo.percorso());
        b.store.scrivi(TempoMinimoGiro::sezione, TempoMinimoGiro::chiave, salvato);
        new TempoMinimoGiro(b.store, b.messaggi, b.w);
        b.carica();
        b.w.sessione().start();
        dispositivo.tieni(0);
        QTRY_VERIFY_WITH_TIMEOUT(b.archivio.giri.size() >= 2, 10000);
        dispositivo.rilascia(0);
        // Past the shortest lap, at the next poll: up to 0.1 s more (more on a busy machine).
        for (const GiroCompletato &g : b.archivio.giri)
            QVERIFY2(g.tempoGiro > secondi && g.tempoGiro < secondi + 0.45, qPrintable(QString::number(g.tempoGiro)));
        QTRY_COMPARE(b.w.text2()->text(), QStringLiteral("011111111"));
    }
};

QTEST_MAIN(TstIngressoSeriale)
#include "tst_ingressoseriale.moc"
