#include "archiviofinto.h"
#include "messaggifinti.h"
#include "orologiomanuale.h"
#include "timing/globale.h"
#include "timing/sessione.h"

#include <QSignalSpy>
#include <QtTest>

namespace {
const QStringList nomi{"Alfa", "Beta", "Gamma", "Delta", "Eco"};

// A session of the first `piloti` drivers on a hand-moved clock with canned answers.
struct Banco {
    OrologioManuale orologio{10.0};
    MessaggiFinti messaggi;
    ArchivioFinto archivio;
    Sessione s{orologio, messaggi, archivio};

    explicit Banco(int piloti = 1)
    {
        for (int i = 0; i < piloti; ++i) s.impostaPilota(i, nomi[i]);
        s.inizializza();
    }
    // The session at the instant t: b.a(40).marca(0) is lane 0's mark at 40 s.
    Sessione &a(double t)
    {
        orologio.imposta(t);
        return s;
    }
};
} // namespace

class TstSessione : public QObject {
    Q_OBJECT
private slots:
    // The lanes in use end at the first gap; a stored driver goes on counting, past lap 100 too.
    void inizializzaContaLeCorsieEContinuaIGiri()
    {
        Banco b(0);
        globale().lunghezzaPista = 350;
        b.archivio.giriGiaMemorizzati.insert(QStringLiteral("Beta"), 100);
        b.s.impostaPilota(0, QStringLiteral("Alfa"));
        b.s.impostaPilota(1, QStringLiteral("Beta"));
        b.s.impostaPilota(3, QStringLiteral("Delta")); // after a gap: not in use
        b.s.inizializza();
        QCOMPARE(b.s.numPiloti(), 2);
        QCOMPARE(b.s.corsia(0).numGiri, 0);
        QCOMPARE(b.s.corsia(1).numGiri, 100);
        QVERIFY(b.s.anteprimaTasti());
        b.a(100).start();
        QVERIFY(b.s.corsia(0).btnAbilitato && b.s.corsia(1).btnAbilitato);
        QVERIFY(!b.s.corsia(3).btnAbilitato);
        b.a(130.5f).marca(1);
        QCOMPARE(b.archivio.giri.size(), 1);
        const GiroCompletato &g = b.archivio.giri.first();
        QCOMPARE(g.pilota, QStringLiteral("Beta"));
        QCOMPARE(g.giroN, 101);
        QCOMPARE(g.tempoGiro, 30.5f);
        QCOMPARE(g.tempo, QStringLiteral("00:30,500"));
        QCOMPARE(b.s.corsia(1).tempolast, QStringLiteral("00:30,500"));
        QCOMPARE(b.s.corsia(1).vel, QStringLiteral(" 41.31 Km/h"));
        b.a(132.5f).marca(1);
        QCOMPARE(b.archivio.giri.last().giroN, 102);
        QCOMPARE(b.s.corsia(1).tempiGiro.value(102), 2.0f);
    }

    // The shortest lap, one second unless set: a mark exactly at it is dropped, one just past it taken.
    void lockout_data()
    {
        QTest::addColumn<double>("secondi"); // 0: left at the default
        QTest::newRow("predefinito") << 0.0;
        QTest::newRow("un quarto") << 0.25;
        QTest::newRow("massimo") << 600.0;
    }
    void lockout()
    {
        QFETCH(double, secondi);
        Banco b;
        if (secondi > 0) b.s.impostaLockout(secondi);
        const double l = b.s.lockout(), poco = 1.0 / 1024; // instants stay exact in double
        QCOMPARE(l, secondi > 0 ? secondi : 1.0);
        b.a(50).marca(0); // before Start: no effect at all
        b.a(100).start();
        b.a(100 + l - poco).marca(0); // just inside: Start counts as a mark
        b.a(100 + l).marca(0);        // exactly at
        QCOMPARE(b.archivio.giri.size(), 0);
        b.a(100 + l + poco).marca(0);
        QCOMPARE(b.archivio.giri.size(), 1);
        QCOMPARE(b.s.corsia(0).tempiGiro.value(1), float(l + poco));
        for (double dopo : {poco, l - poco, l, l + poco}) // measured from the accepted mark
            b.a(100 + l + poco + dopo).marca(0);
        QCOMPARE(b.archivio.giri.size(), 2);
        QCOMPARE(b.archivio.giri.last().tempoGiro, float(l + poco));
    }

    // A 10 s pause leaves lap and session clock 10 s shorter than the wall clock.
    void pausaNonConta()
    {
        Banco b(2);
        b.a(10).start();
        b.a(40).marca(0);
        QCOMPARE(b.s.corsia(0).tempolast, QStringLiteral("00:30,000"));
        b.a(50).pausa();
        QVERIFY(!b.s.corsia(0).btnAbilitato && !b.s.timer1Attivo());
        b.a(55).marca(0); // a mark in the pause has no effect at all
        b.s.tick();       // Timer1 is off during the pause: nothing moves
        QCOMPARE(b.archivio.giri.size(), 1);
        QCOMPARE(b.s.tempotot(), QStringLiteral("00:00"));
        b.a(60).riprendi();
        QVERIFY(b.s.corsia(0).btnAbilitato && b.s.corsia(1).fineAbilitato);
        b.a(80).marca(0);
        QCOMPARE(b.s.corsia(0).tempolast, QStringLiteral("00:30,000"));
        b.s.tick();
        QCOMPARE(b.s.tempotot(), QStringLiteral("01:00"));
        // lane 1 has no lap yet: its running clock, from Start, also skips the pause
        QCOMPARE(b.s.corsia(1).tempo, QStringLiteral("01:00,000"));
        b.a(90).marca(1);
        QCOMPARE(b.s.corsia(1).tempolast, QStringLiteral("01:10,000"));
    }

    void limiteDiTempo_data()
    {
        QTest::addColumn<QString>("settempo");
        QTest::addColumn<float>("ancoraInCorsa");  // session seconds still running
        QTest::addColumn<float>("finito");         // session seconds at the end
        QTest::newRow("empty") << QString() << -1.0f << 0.1f;
        QTest::newRow("one and a half") << QStringLiteral("1.5") << 89.9f << 90.0f;
        QTest::newRow("default") << QStringLiteral("99") << 5939.9f << 5940.0f;
    }
    void limiteDiTempo()
    {
        QFETCH(QString, settempo);
        QFETCH(float, ancoraInCorsa);
        QFETCH(float, finito);
        Banco b(2);
        b.a(1000).start();
        b.s.impostaSettempo(settempo); // read at every tick: set after Start, it still counts
        // a pause of 20 s does not count towards the limit
        b.a(1000.05f).pausa();
        b.a(1020.05f).riprendi();
        if (ancoraInCorsa >= 0) {
            b.a(1020 + ancoraInCorsa).tick();
            QVERIFY(b.s.corsia(0).inCorsa);
        }
        b.a(1020 + finito).tick();
        const QString ultimo = b.s.tempotot();
        for (int i = 0; i < 2; ++i) {
            QVERIFY(!b.s.corsia(i).inCorsa && !b.s.corsia(i).btnAbilitato);
            QVERIFY(b.s.corsia(i).fineAbilitato); // Stop stays available
        }
        b.a(1020 + finito + 30).tick();
        QCOMPARE(b.s.tempotot(), ultimo);
        b.a(1020 + finito + 40).marca(0); // ended: a mark has no effect
        // Ended by time, Pause and Resume bring the lanes back; a lane stopped by Stop stays off.
        b.messaggi.risposte = {Messaggi::Risposta::Ok};
        b.s.stop(1);
        b.s.pausa();
        b.a(1020 + finito + 50).riprendi();
        QVERIFY(b.s.corsia(0).btnAbilitato && b.s.corsia(0).fineAbilitato);
        QVERIFY(!b.s.corsia(1).btnAbilitato && !b.s.corsia(1).fineAbilitato);
        // The first mark re-arms the lane and stores nothing; its lap runs in session time,
        // so a pause inside it does not count.
        b.a(1020 + finito + 60).marca(0);
        QVERIFY(b.s.corsia(0).inCorsa && b.archivio.giri.isEmpty());
        b.a(1020 + finito + 100).pausa();
        b.a(1020 + finito + 105).riprendi();
        b.a(1020 + finito + 130).marca(0);
        QCOMPARE(b.archivio.giri.size(), 1);
        QVERIFY(b.archivio.giri[0].giroN == 1 && qAbs(b.archivio.giri[0].tempoGiro - 65.0f) < 1e-3f);
    }

    void orologioRossoEMigliorGiro()
    {
        Banco b(2);
        b.a(0.25f).start();
        b.a(30.25f).marca(0); // 30 s: first lap is the best lap and the session's fastest
        QCOMPARE(b.s.corsia(0).bestlapper, QStringLiteral("00:30,000"));
        QCOMPARE(b.archivio.giriVeloci, QList<float>{30.0f});
        b.a(40.25f).marca(1); // Beta 40 s: slower than the session's fastest, nothing written
        QCOMPARE(b.archivio.giriVeloci.size(), 1);
        b.a(60.0f).tick();
        QVERIFY(!b.s.corsia(0).tempoRosso);
        b.a(60.25f).tick();
        QVERIFY(b.s.corsia(0).tempoRosso);
        b.a(61.25f).marca(0); // 31 s: slower, red goes back to black
        QVERIFY(!b.s.corsia(0).tempoRosso);
        QCOMPARE(b.s.corsia(0).bestlapper, QStringLiteral("00:30,000"));
        b.a(65.5f).marca(1); // Beta 25.25 s: new session fastest
        QCOMPARE(b.archivio.giriVeloci, (QList<float>{30.0f, 25.25f}));
        b.a(91.25f).marca(0); // Alfa 30 s again: equal to the best, nothing new
        QCOMPARE(b.archivio.giriVeloci.size(), 2);
        b.a(120.25f).marca(0); // Alfa 29 s: own best, not the session's
        QCOMPARE(b.s.corsia(0).bestlapper, QStringLiteral("00:29,000"));
        QCOMPARE(b.s.corsia(0).migliorGiro, 29.0f);
        QCOMPARE(b.archivio.giriVeloci.size(), 2);
    }

    // After the stored times are cleared the best lap for the red clock is 100 s.
    void dopoLAzzeramento()
    {
        Banco b(3);
        b.a(0.5f).start();
        b.a(20.5f).marca(0);
        b.s.azzeraTempi();
        QCOMPARE(b.s.corsia(0).migliorGiro, 100.0f);
        QCOMPARE(b.s.corsia(0).bestlapper, QStringLiteral("00:20,000"));
        QCOMPARE(b.s.giroVeloce(), 0.0f);
        QVERIFY(b.s.corsia(2).tempoSfondoPulsante);
        b.a(121.0f).marca(0); // 100.5 s: not a best lap
        QCOMPARE(b.s.corsia(0).migliorGiro, 100.0f);
        QCOMPARE(b.archivio.giri.last().giroN, 1);
        QCOMPARE(b.archivio.giriVeloci.size(), 1);
        b.a(221.0f).tick();
        QVERIFY(b.s.corsia(0).tempoRosso);
    }

    void stopConDomanda()
    {
        Banco b(2);
        b.s.start();
        b.messaggi.risposte = {Messaggi::Risposta::Annulla, Messaggi::Risposta::Ok};
        b.s.stop(0);
        QCOMPARE(b.messaggi.mostrati.size(), 1);
        const MessaggiFinti::Mostrato m = b.messaggi.mostrati.first();
        QCOMPARE(m.testo, QStringLiteral("Attenzione: questo comando\r\nbloccherà definitivamente i tempi "
                                         "del pilota.\r\nVuoi continuare?"));
        QVERIFY(m.pulsanti == Messaggi::Pulsanti::OkAnnulla && m.predefinito == 1); // Annulla is the default
        QVERIFY(b.s.corsia(0).inCorsa && b.s.corsia(0).btnAbilitato && b.s.corsia(0).fineAbilitato);
        b.s.stop(1);
        QVERIFY(!b.s.corsia(1).inCorsa && !b.s.corsia(1).btnAbilitato && !b.s.corsia(1).fineAbilitato);
        b.s.pausa();
        b.s.riprendi();
        QVERIFY(b.s.corsia(0).btnAbilitato); // cancelled Stop: still running
        QVERIFY(!b.s.corsia(1).btnAbilitato); // stopped for good
    }

    void tasti()
    {
        Banco b(5);
        QVERIFY(!b.s.tastoGiu(Qt::Key_5, Qt::AltModifier)); // only 1 to 4 start
        QVERIFY(!b.s.tastoGiu(Qt::Key_1, Qt::AltModifier | Qt::ControlModifier));
        QVERIFY(!b.s.tastoGiu(Qt::Key_1, Qt::AltModifier | Qt::KeypadModifier));
        QVERIFY(!b.s.carattereDigitato(QStringLiteral("5"), Qt::NoModifier)); // not started
        QVERIFY(b.a(10).tastoGiu(Qt::Key_3, Qt::AltModifier));
        QVERIFY(b.a(20).carattereDigitato(QStringLiteral("5"), Qt::NoModifier));
        QCOMPARE(b.archivio.giri.last().pilota, QStringLiteral("Eco"));
        QVERIFY(!b.s.carattereDigitato(QStringLiteral("6"), Qt::NoModifier)); // lane 6 unused
        QVERIFY(!b.s.carattereDigitato(QStringLiteral("9"), Qt::NoModifier));
        QVERIFY(!b.s.carattereDigitato(QStringLiteral("2"), Qt::AltModifier));
        QCOMPARE(b.archivio.giri.size(), 1);
        // A second Alt+n neither restarts the session nor completes unstored laps.
        QVERIFY(!b.a(40).tastoGiu(Qt::Key_1, Qt::AltModifier));
        QCOMPARE(b.s.inizioSessione(), 10.0);
        QCOMPARE(b.s.corsia(1).numGiri, 0);
        QCOMPARE(b.s.corsia(0).ultimoSegnale, 10.0);
    }

    // Laps follow the monotonic clock: a wall-clock step bends none, midnight is crossed, milliseconds are true ones.
    void orologioMonotono()
    {
        qint64 ns = 0;
        QDateTime muro(QDate(2026, 12, 5), QTime(23, 59, 30));
        OrologioSistema orologio([&] { return ns; }, [&] { return muro; });
        MessaggiFinti messaggi;
        ArchivioFinto archivio;
        Sessione s(orologio, messaggi, archivio);
        s.impostaPilota(0, QStringLiteral("Alfa"));
        s.inizializza();
        QCOMPARE(orologio.adesso(), 86370.0);
        s.start();
        ns = 61'234'000'000;         // 61.234 s later...
        muro = muro.addSecs(-3600);  // ...while the wall clock was put back an hour
        s.marca(0);
        ns += 83'456'000'000;        // past midnight
        muro = muro.addSecs(7200);
        s.marca(0);
        QCOMPARE(archivio.giri.size(), 2);
        QCOMPARE(archivio.giri[0].tempo, QStringLiteral("01:01,234"));
        QCOMPARE(archivio.giri[1].tempo, QStringLiteral("01:23,456"));
        QCOMPARE(archivio.giri[1].quando, muro); // the stored date and time are the wall clock's
    }

    // A crossing the device stamped reaches the session later: its lap, the shortest-lap rule
    // and the stored date and time are those of the crossing, not of its arrival.
    void passaggioStampato()
    {
        Banco b;
        b.orologio.impostaData(QDateTime(QDate(2026, 12, 5), QTime(10, 0, 0)));
        b.a(100).start();
        b.a(130.2).marca(0, 130.0, true); // arrives 0.2 s after it was stamped
        QCOMPARE(b.archivio.giri.size(), 1);
        QCOMPARE(b.archivio.giri[0].tempoGiro, 30.0f);
        QVERIFY(b.archivio.giri[0].stampato);
        QCOMPARE(b.archivio.giri[0].istante, 130.0);
        QCOMPARE(b.archivio.giri[0].quando, QDateTime(QDate(2026, 12, 5), QTime(9, 59, 59, 800)));
        b.a(131.3).marca(0, 130.9, true); // 0.9 s after the last one: within the shortest lap
        QCOMPARE(b.archivio.giri.size(), 1);
        b.a(131.4).marca(0, 131.05, true);
        QCOMPARE(b.archivio.giri.size(), 2);
        QCOMPARE(b.archivio.giri[1].tempoGiro, 1.05f);
    }

    // A race heat uses exactly its lanes, gaps and all (a broken lane, fewer drivers than
    // lanes): the device's lines and the keys are the real lane numbers.
    void corsieDellaManche()
    {
        Banco b(0);
        b.archivio.giriGiaMemorizzati.insert(QStringLiteral("Gamma"), 7);
        const QStringList piloti{"Alfa", "", "Gamma", "", "", "Zeta"};
        for (int i : {0, 2, 5}) b.s.impostaPilota(i, piloti[i]);
        b.s.inizializza(0b100101);
        QCOMPARE(b.s.numPiloti(), 3);
        QCOMPARE(b.s.corsieInUso(), (QVector<int>{0, 2, 5}));
        QVERIFY(!b.s.corsia(1).inUso && b.s.corsia(5).inUso);
        QCOMPARE(b.s.corsia(2).numGiri, 7);
        b.a(100).start();
        QVERIFY(b.s.corsia(5).btnAbilitato && !b.s.corsia(1).btnAbilitato && !b.s.corsia(3).btnAbilitato);
        QVERIFY(b.a(130).carattereDigitato(QStringLiteral("6"), Qt::NoModifier));
        QVERIFY(!b.a(131).carattereDigitato(QStringLiteral("2"), Qt::NoModifier));
        b.a(132).marca(2);
        QCOMPARE(b.archivio.giri.size(), 2);
        QCOMPARE(b.archivio.giri[0].pilota, QStringLiteral("Zeta"));
        QCOMPARE(b.archivio.giri[1].giroN, 8);
        // Pause, resume and the limit reach the lanes in use and no other.
        b.a(140).pausa();
        QVERIFY(!b.s.corsia(5).btnAbilitato);
        b.a(150).riprendi();
        QVERIFY(b.s.corsia(0).btnAbilitato && b.s.corsia(5).btnAbilitato && !b.s.corsia(1).btnAbilitato);
        b.s.impostaSettempo(QStringLiteral("1"));
        b.a(171).tick();
        QVERIFY(!b.s.corsia(0).inCorsa && !b.s.corsia(2).inCorsa && !b.s.corsia(5).inCorsa);
        b.s.azzeraTempi();
        QVERIFY(b.s.corsia(5).numGiri == 0 && b.s.corsia(5).migliorGiro == 100 && b.s.corsia(1).migliorGiro == 0);
    }

    // Race mode: Start, Pausa and Riprendi only ask race control; before lights out a crossing
    // is told, never a lap; the session limit ends nothing; a lap across a track call is no
    // best lap of the driver nor of the session; the next heat starts from a clean window.
    void modoGara()
    {
        Banco b(2);
        b.s.impostaGara(true);
        QVERIFY(b.s.corsia(0).btnAbilitato && b.s.corsia(1).btnAbilitato); // heard for false starts
        QSignalSpy start(&b.s, &Sessione::richiestaStart), prima(&b.s, &Sessione::passaggioPrimaDelVia),
            pausa(&b.s, &Sessione::richiestaPausa), ripresa(&b.s, &Sessione::richiestaRipresa);
        b.a(10).start();
        QVERIFY(b.s.tastoGiu(Qt::Key_1, Qt::AltModifier));
        QCOMPARE(start.size(), 2);
        QVERIFY(b.s.startAbilitato());
        QVERIFY(b.a(12).carattereDigitato(QStringLiteral("2"), Qt::NoModifier));
        QCOMPARE(prima.size(), 1);
        QCOMPARE(prima[0].value(0).toInt(), 1);
        QCOMPARE(prima[0].value(1).toDouble(), 12.0);
        QVERIFY(b.archivio.giri.isEmpty());
        b.a(20).via();
        QCOMPARE(b.s.inizioSessione(), 20.0);
        b.a(50).marca(0); // 30 s, the best
        b.s.impostaSettempo(QStringLiteral("0"));
        b.a(55).tick();
        QVERIFY(b.s.corsia(0).inCorsa && b.s.corsia(1).btnAbilitato);
        b.a(60).pausa();
        QCOMPARE(pausa.size(), 1);
        QVERIFY(!b.s.riprendiVisibile());
        b.a(60).neutralizza();
        QVERIFY(b.s.riprendiVisibile() && !b.s.corsia(0).btnAbilitato);
        b.a(61).marca(0);
        QCOMPARE(b.archivio.giri.size(), 1); // no crossing is taken during the call
        b.s.riprendi();
        QCOMPARE(ripresa.size(), 1);
        QVERIFY(b.s.riprendiVisibile());
        b.a(100).fineNeutralizzazione(); // a 40 s call
        b.a(105).marca(0);               // 15 s of racing across the call: counted, no best lap
        QCOMPARE(b.s.corsia(0).numGiri, 2);
        QCOMPARE(b.s.corsia(0).tempolast, QStringLiteral("00:15,000"));
        QCOMPARE(b.s.corsia(0).bestlapper, QStringLiteral("00:30,000"));
        QCOMPARE(b.s.giroVeloce(), 30.0f);
        b.a(125).marca(0);
        QCOMPARE(b.s.corsia(0).bestlapper, QStringLiteral("00:20,000"));
        b.a(130).marca(1); // lane 1's first lap also ran across the call
        QCOMPARE(b.s.corsia(1).bestlapper, QStringLiteral("00:00,000"));
        b.s.ricomincia();
        QVERIFY(b.s.startAbilitato() && b.s.corsieInUso().isEmpty() && !b.s.corsia(0).inUso);
        QVERIFY(b.s.corsia(0).nome == QStringLiteral("Pilota 1:") && b.s.corsia(0).tempolast == QStringLiteral("00:00,000"));
        QVERIFY(b.s.gara() && b.s.giroVeloce() == 20.0f && b.s.inizioSessione() == 0);
    }
};

QTEST_APPLESS_MAIN(TstSessione)
#include "tst_sessione.moc"
