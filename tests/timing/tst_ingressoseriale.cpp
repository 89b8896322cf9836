// The timing device's lap input of the timing window, against the real port on
// pseudo-terminal pairs, with the port and its poll on their own thread as the
// program has them: the load, the poll, the replies and the marks.
#include "archiviofinto.h"
#include "dispositivointhread.h"
#include "messaggifinti.h"
#include "orologiomanuale.h"
#include "dispositivo/simulatore/dispositivosimulato.h"
#include "comune/impostazioni.h"
#include "serial/portareale.h"
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
    Impostazioni store{cartella.filePath(QStringLiteral("utente.ini"))};
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
        // The program asks for the extended protocol first; a classic device is polled after.
        if (porta().portOpen()) QTRY_VERIFY_WITH_TIMEOUT(modo() != CollegamentoDispositivo::Modo::Domanda, 5000);
    }
    CollegamentoDispositivo::Modo modo()
    {
        auto m = CollegamentoDispositivo::Modo::Fermo;
        QMetaObject::invokeMethod(&linea->interrogatore(), [&] { m = linea->interrogatore().modo(); },
                                  Qt::BlockingQueuedConnection);
        return m;
    }
    // The notices of one kind, as the operator read them.
    QStringList avvisi(const QString &chiave) const
    {
        QStringList t;
        for (const auto &m : messaggi.mostrati)
            if (m.chiave == chiave) t << m.testo;
        return t;
    }
    // The reply to the next blank, as a classic device gives it.
    void rispondi(const QByteArray &byte)
    {
        pty.leggi(0);
        QByteArray visti;
        QTRY_VERIFY((visti += pty.leggi(5)).contains(' '));
        QVERIFY(pty.scrivi(byte));
    }
    // One reply, handled by the window before this returns.
    void risposta(const QByteArray &byte)
    {
        const int prima = risposte;
        rispondi(byte);
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
        QCOMPARE(b.piloti(), QStringList{QStringLiteral("Rossi")});
        b.orologio.avanza(2);
        b.risposta(QByteArray("\x00", 1)); // every line: lanes with a driver only, lane 7 first
        QCOMPARE(b.w.text2()->text(), QStringLiteral("000000000"));
        QVERIFY(b.lampade(true, true));
        QCOMPARE(b.piloti().mid(1), (QStringList{"Verdi", "Bianchi", "Rossi"}));
        b.orologio.avanza(2);
        // Three bytes for one blank are no reply: not even the first is a status.
        b.rispondi("\xFB\xFE\xFD");
        QTest::qWait(300);
        QCOMPARE(b.w.text2()->text(), QStringLiteral("000000000"));
        QCOMPARE(b.piloti().size(), 4);
        // An event whose read returns nothing changes nothing.
        auto &interrogatore = b.linea->interrogatore();
        QMetaObject::invokeMethod(&interrogatore, [&] { interrogatore.MSComm1_OnComm(); }, Qt::BlockingQueuedConnection);
        QTest::qWait(50);
        QCOMPARE(b.w.text2()->text(), QStringLiteral("000000000"));
        QCOMPARE(b.piloti().size(), 4);
        // Once the line has kept to one byte a blank for a second, replies are read again.
        QTest::qWait(1100);
        b.risposta("\xFB");
        QCOMPARE(b.w.text2()->text(), QStringLiteral("011111011"));
        QCOMPARE(b.piloti().mid(4), QStringList{QStringLiteral("Verdi")});
        // One bad reply is no faulty line (the second without replies was a silence, told and over).
        for (const auto &m : b.messaggi.mostrati) QVERIFY2(m.chiave == u"silenzio", qPrintable(m.testo));
    }

    // A port that cannot be used at load is told once, and the load goes no further.
    void portaInutilizzabileAlCaricamento()
    {
        // Settings and CommPort as stored, and a word of the message.
        for (const auto &[settings, commPort, parola] : QList<std::tuple<QString, QString, QString>>{
                 {"", "", "già in uso"}, {"9600,x,8,1", "2", "Parità"}, {"", "99999", "99999"},
                 {"9600,n,8,1", "0", "Numero di porta non valido"}}) {
            Banco b;
            b.store.scrivi(QStringLiteral("Properties"), QStringLiteral("Settings"), settings);
            b.store.scrivi(QStringLiteral("Properties"), QStringLiteral("CommPort"), commPort);
            PortaReale altroProgramma(b.store);
            if (parola == u"già in uso") QVERIFY(altroProgramma.setPortOpen(true));
            b.carica();
            QCOMPARE(b.messaggi.mostrati.size(), 1);
            QVERIFY2(b.messaggi.ultimo().contains(parola), qPrintable(b.messaggi.ultimo()));
            QCOMPARE(b.messaggi.mostrati[0].icona, Messaggi::Icona::Esclamazione);
            QVERIFY(b.messaggi.mostrati[0].titolo.isEmpty()); // the application's title
            QVERIFY(!b.porta().portOpen() && !b.pollAttivo());
            QCOMPARE(b.porta().commPort(), 1); // the load ended before a number was applied
        }
    }

    void interrogazioneSegueLaPorta()
    {
        // The stored settings are applied at load, Handshaking is read by nobody.
        Banco b;
        auto seconda = std::make_unique<CoppiaPty>();
        b.porte(QStringLiteral("Com2"), seconda->percorso());
        b.store.scrivi(QStringLiteral("Properties"), QStringLiteral("Settings"), QStringLiteral("19200,N,8,2"));
        b.store.scrivi(QStringLiteral("Properties"), QStringLiteral("CommPort"), QStringLiteral("2"));
        b.store.scrivi(QStringLiteral("Properties"), QStringLiteral("Handshaking"), QStringLiteral("2"));
        b.carica();
        QVERIFY(b.messaggi.mostrati.isEmpty());
        QCOMPARE(b.porta().settings(), QStringLiteral("19200,n,8,2"));
        QCOMPARE(b.porta().handshaking(), 0);
        // A blank every 100 ms to the device of Com2 only: eight of them span at least six intervals.
        const qint64 ms = attendiSpazi(*seconda, 8);
        QVERIFY2(ms >= 550, qPrintable(QString::number(ms)));
        QVERIFY(!b.pty.leggi(0).contains(' '));
        // That device is pulled out during the session with line 1 held: told once, in a notice that
        // waits for nobody (keys go on marking laps while it shows: tst_rilevago), and the lamp goes to rest.
        b.w.sessione().start();
        QVERIFY(seconda->scrivi("\xFE"));
        QTRY_VERIFY(!b.w.connesso(0)->isHidden());
        seconda.reset();
        QTRY_VERIFY(b.lampade(false, true));
        QTRY_COMPARE(b.messaggi.mostrati.size(), 1);
        QVERIFY2(b.messaggi.ultimo().contains(QStringLiteral("scollegato")), qPrintable(b.messaggi.ultimo()));
        QVERIFY(b.messaggi.mostrati[0].avviso && b.messaggi.mostrati[0].icona == Messaggi::Icona::Esclamazione);
        QVERIFY(!b.porta().portOpen() && !b.pollAttivo());
        QTest::qWait(200);
        QCOMPARE(b.messaggi.mostrati.size(), 1); // not a stream of read errors
    }

    // Real time: the window's thread stops for a second, the poll does not, and the
    // eight lines of a reply that came meanwhile are all marked at the instant it
    // arrived, however long the store then takes over each lap.
    void unIstantePerRisposta()
    {
        OrologioSistema orologio;
        DispositivoInThread dispositivo(orologio);
        Banco<OrologioSistema, ArchivioLento> b(dispositivo.percorso());
        b.carica({"A", "B", "C", "D", "E", "F", "G", "H"});
        b.w.sessione().start();
        QTest::qWait(1100); // past the shortest lap
        const double inizio = orologio.adesso();
        std::thread passaggio([&] { QThread::msleep(400); dispositivo.impulso(0x00); });
        QThread::msleep(1000); // the window is busy for a second
        const double fine = orologio.adesso();
        passaggio.join();
        QTRY_COMPARE(b.archivio.giri.size(), 8);
        for (const GiroCompletato &g : b.archivio.giri) QCOMPARE(g.tempoGiro, b.archivio.giri.first().tempoGiro);
        int polls = 0;
        for (double t : dispositivo.interrogazioni()) polls += t > inizio && t < fine;
        QVERIFY2(polls >= 8, qPrintable(QString::number(polls)));
        // The laps end when the device reported them, not when the window got round to it.
        const double arrivo = dispositivo.passaggi().value(0);
        QVERIFY2(arrivo > inizio && arrivo < fine - 0.3, qPrintable(QString::number(arrivo - inizio)));
        const double segnato = b.w.sessione().corsia(1).ultimoPassaggio;
        QVERIFY2(qAbs(segnato - arrivo) < 0.02, qPrintable(QString::number(segnato - arrivo)));
    }

    // Real time: the simulated device answers every poll while the line of lane 0
    // is held; each lap comes at the first poll past the shortest lap stored (half a second).
    void lineaTenutaUnGiroAlTempoMinimo()
    {
        DispositivoSimulato dispositivo;
        Banco<OrologioSistema> b(dispositivo.percorso());
        b.store.scrivi(TempoMinimoGiro::sezione, TempoMinimoGiro::chiave, QStringLiteral("0,5"));
        new TempoMinimoGiro(b.store, b.messaggi, b.w);
        b.carica();
        b.w.sessione().start();
        dispositivo.tieni(0);
        QTRY_VERIFY_WITH_TIMEOUT(b.archivio.giri.size() >= 2, 10000);
        dispositivo.rilascia(0);
        // Past the shortest lap, at the next poll: up to 0.1 s more (more on a busy machine).
        for (const GiroCompletato &g : b.archivio.giri)
            QVERIFY2(g.tempoGiro > 0.5 && g.tempoGiro < 0.95, qPrintable(QString::number(g.tempoGiro)));
    }

    void dispositivoMuto_data()
    {
        QTest::addColumn<bool>("esteso");
        QTest::newRow("classico") << false;
        QTest::newRow("esteso") << true;
    }
    // The simulator, classic or extended: its laps. Then it stops answering with a line held:
    // after about a second the lamp goes to rest and a notice says it does not answer; when it
    // answers again, that notice is replaced by one that says so. The outputs reach a device
    // of the extended protocol only.
    void dispositivoMuto()
    {
        QFETCH(bool, esteso);
        DispositivoSimulato dispositivo;
        if (esteso) dispositivo.impostaEsteso();
        Banco<OrologioSistema> b(dispositivo.percorso());
        b.carica();
        QCOMPARE(b.modo(), esteso ? CollegamentoDispositivo::Modo::Esteso : CollegamentoDispositivo::Modo::Classico);
        QTRY_COMPARE(b.avvisi(QStringLiteral("dispositivo")).size(), int(esteso)); // named once
        // Laps: of the device's stamps when it has them, to the millisecond.
        QVector<quint64> stampe;
        QObject::connect(&dispositivo, &DispositivoSimulato::passaggioStampato, [&](int, quint64 t) { stampe << t; });
        b.w.sessione().start();
        for (int i = 0; i < 3; ++i) {
            QTest::qWait(1200);
            dispositivo.impulso(0);
        }
        QTRY_COMPARE(b.archivio.giri.size(), 3);
        for (int i = 1; i < 3; ++i) {
            QCOMPARE(b.archivio.giri[i].stampato, esteso);
            if (esteso) QVERIFY(qAbs(b.archivio.giri[i].tempoGiro - (stampe[i] - stampe[i - 1]) / 2e6) < 0.001);
        }
        dispositivo.tieni(0);
        QTest::qWait(400); // classic statuses come up to two polls late
        QTRY_VERIFY(!b.w.connesso(0)->isHidden());
        dispositivo.impostaMuto(true);
        QElapsedTimer t;
        t.start();
        QTRY_VERIFY(b.w.connesso(0)->isHidden());
        QVERIFY2(t.elapsed() > 700, qPrintable(QString::number(t.elapsed())));
        QTRY_COMPARE(b.avvisi(QStringLiteral("silenzio")).size(), 1);
        QVERIFY2(b.messaggi.ultimo().contains(u"su Com1 non risponde"), qPrintable(b.messaggi.ultimo()));
        QTest::qWait(1500);
        QCOMPARE(b.avvisi(QStringLiteral("silenzio")).size(), 1); // once
        dispositivo.impostaMuto(false);
        QTRY_COMPARE(b.avvisi(QStringLiteral("silenzio")).size(), 2);
        QVERIFY(b.avvisi(QStringLiteral("silenzio"))[1].contains(u"risponde di nuovo"));
        QTRY_VERIFY(!b.w.connesso(0)->isHidden());
        QCOMPARE(b.linea->impostaUscite(0x15, true), esteso);
        QTRY_COMPARE(dispositivo.luci(), quint8(esteso ? 0x15 : 0));
    }
};

QTEST_MAIN(TstIngressoSeriale)
#include "tst_ingressoseriale.moc"
