#include "archiviofinto.h"
#include "gara/cronacamanche.h"
#include "gara/neutralizzazione.h"
#include "gara/partenza.h"
#include "messaggifinti.h"
#include "orologiomanuale.h"
#include "timing/sessione.h"

#include <QSignalSpy>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {
// The hold before lights out, fixed; remembers what it was asked.
struct CasualeFisso : FonteCasuale {
    double valore = 1.5;
    double minimo = -1, massimo = -1;
    double tra(double a, double b) override
    {
        minimo = a;
        massimo = b;
        return valore;
    }
};

QList<int> interi(const QSignalSpy &spy)
{
    QList<int> l;
    for (const QList<QVariant> &s : spy) l << s.first().toInt();
    return l;
}

struct Partenza {
    OrologioManuale orologio{1000.0};
    CasualeFisso casuale;
    ProceduraPartenza p{orologio, casuale};
    Partenza()
    {
        ProceduraPartenza::Impostazioni i;
        i.secondiContoAllaRovescia = 3;
        i.attesaMinima = 0.5;
        i.attesaMassima = 2.5;
        p.imposta(i);
    }
    void a(double t)
    {
        orologio.imposta(t);
        p.aggiorna();
    }
};
} // namespace

class TstProcedure : public QObject {
    Q_OBJECT
private slots:
    void sequenzaDellaPartenza()
    {
        Partenza b;
        QSignalSpy conto(&b.p, &ProceduraPartenza::contoAllaRovescia), luci(&b.p, &ProceduraPartenza::luci),
            via(&b.p, &ProceduraPartenza::via), corrente(&b.p, &ProceduraPartenza::alimentazione);
        b.p.avvia();
        QCOMPARE(interi(conto), QList<int>{3});
        QCOMPARE(b.p.prossimoCambio(), 1001.0);
        b.a(1002.5);
        QCOMPARE(interi(conto), (QList<int>{3, 2, 1}));
        b.a(1003);
        QCOMPARE(b.p.fase(), ProceduraPartenza::Fase::Luci);
        b.a(1007);
        QCOMPARE(interi(luci), (QList<int>{0, 1, 2, 3, 4, 5}));
        QCOMPARE(b.p.fase(), ProceduraPartenza::Fase::Attesa);
        QCOMPARE(b.casuale.minimo, 0.5);
        QCOMPARE(b.casuale.massimo, 2.5);
        b.a(1008.49);
        QVERIFY(via.isEmpty());
        b.a(1008.5);
        QCOMPARE(via.size(), 1);
        QCOMPARE(via.first().first().toDouble(), 1008.5);
        QCOMPARE(interi(luci).last(), 0);
        QCOMPARE(corrente.size(), 1); // power on at lights out; it was on all along
        QVERIFY(corrente.first().first().toBool());
        QCOMPARE(b.p.prossimoCambio(), qInf());
    }

    // A timer that came late: every step still comes, in order; the race starts when the lights go out.
    void timerInRitardo()
    {
        Partenza b;
        ProceduraPartenza::Impostazioni i = b.p.impostazioni();
        i.correnteDuranteLuci = false;
        QVERIFY(b.p.imposta(i));
        QSignalSpy luci(&b.p, &ProceduraPartenza::luci), via(&b.p, &ProceduraPartenza::via),
            corrente(&b.p, &ProceduraPartenza::alimentazione);
        b.p.avvia();
        QCOMPARE(corrente.size(), 1);
        QVERIFY(!corrente.first().first().toBool());
        b.a(1020);
        QCOMPARE(interi(luci), (QList<int>{0, 1, 2, 3, 4, 5, 0}));
        QCOMPARE(via.first().first().toDouble(), 1020.0);
        QVERIFY(corrente.last().first().toBool());
    }

    void falsaPartenza_data()
    {
        QTest::addColumn<int>("penalita");
        QTest::addColumn<double>("istante");
        QTest::addColumn<bool>("falsa");
        const int avviso = int(PenalitaFalsaPartenza::Avviso);
        QTest::newRow("durante il conto alla rovescia") << avviso << 1002.9 << false;
        QTest::newRow("alla prima luce") << avviso << 1003.0 << true;
        QTest::newRow("con tutte le luci accese, +1 s") << int(PenalitaFalsaPartenza::UnSecondo) << 1008.0 << true;
        QTest::newRow("-1 giro") << int(PenalitaFalsaPartenza::UnGiro) << 1005.0 << true;
        QTest::newRow("ripartenza") << int(PenalitaFalsaPartenza::Ripartenza) << 1004.0 << true;
        QTest::newRow("allo spegnimento") << avviso << 1008.5 << false;
        // Stamped by the device before lights out, heard after: still a jump start.
        QTest::newRow("timbrata prima del via, arrivata dopo") << int(PenalitaFalsaPartenza::Ripartenza) << 1008.4 << true;
    }
    void falsaPartenza()
    {
        QFETCH(int, penalita);
        QFETCH(double, istante);
        QFETCH(bool, falsa);
        Partenza b;
        ProceduraPartenza::Impostazioni i = b.p.impostazioni();
        i.penalita = PenalitaFalsaPartenza(penalita);
        QVERIFY(b.p.imposta(i));
        QSignalSpy falsaSpy(&b.p, &ProceduraPartenza::falsaPartenza), ripartenza(&b.p, &ProceduraPartenza::ripartenza);
        b.p.avvia();
        b.a(std::min(istante, 1008.49));
        if (istante >= 1008.4) b.a(1008.5); // lights out, then the crossing is heard
        const bool ripeti = penalita == int(PenalitaFalsaPartenza::Ripartenza);
        const bool primaDelVia = istante < 1008.4;
        QCOMPARE(b.p.passaggio(2, istante), falsa);
        // Told once; after a restart the procedure waits for a new start.
        QCOMPARE(b.p.passaggio(2, istante), falsa && !(ripeti && primaDelVia));
        QCOMPARE(falsaSpy.size(), falsa ? 1 : 0);
        if (!falsa) return;
        QCOMPARE(falsaSpy.first().at(0).toInt(), 2);
        QCOMPARE(falsaSpy.first().at(2).value<PenalitaFalsaPartenza>(), PenalitaFalsaPartenza(penalita));
        QCOMPARE(b.p.falsePartenze(), QVector<int>{2});
        QCOMPARE(ripartenza.size(), ripeti ? 1 : 0);
        if (ripeti) QCOMPARE(b.p.fase(), primaDelVia ? ProceduraPartenza::Fase::Pronta : ProceduraPartenza::Fase::Via);
    }

    void impostazioniNonValide_data()
    {
        QTest::addColumn<int>("secondi");
        QTest::addColumn<double>("intervallo");
        QTest::addColumn<double>("minima");
        QTest::addColumn<double>("massima");
        QTest::addColumn<QString>("errore");
        QTest::newRow("conto negativo") << -1 << 1.0 << 0.2 << 3.0 << "Il conto alla rovescia va da 0 a 600 secondi.";
        QTest::newRow("luci senza intervallo") << 5 << 0.0 << 0.2 << 3.0
                                               << "L'intervallo tra le luci deve essere maggiore di zero e al massimo 10 secondi.";
        QTest::newRow("attesa capovolta") << 5 << 1.0 << 3.0 << 1.0
                                          << "L'attesa casuale prima del via va da 0 a 60 secondi, e la minima non può superare la massima.";
        QTest::newRow("attesa fissa") << 0 << 1.0 << 2.0 << 2.0 << "";
    }
    void impostazioniNonValide()
    {
        QFETCH(int, secondi);
        QFETCH(double, intervallo);
        QFETCH(double, minima);
        QFETCH(double, massima);
        QFETCH(QString, errore);
        Partenza b;
        ProceduraPartenza::Impostazioni i;
        i.secondiContoAllaRovescia = secondi;
        i.intervalloLuci = intervallo;
        i.attesaMinima = minima;
        i.attesaMassima = massima;
        QString motivo;
        QCOMPARE(b.p.imposta(i, &motivo), errore.isEmpty());
        QCOMPARE(motivo, errore);
        if (!errore.isEmpty()) QCOMPARE(b.p.impostazioni().secondiContoAllaRovescia, 3); // unchanged
        b.p.avvia();
        QVERIFY(!b.p.imposta(ProceduraPartenza::Impostazioni{}, &motivo));
        QCOMPARE(motivo, u"Le impostazioni della partenza non si cambiano durante una partenza."_s);
    }

    // A track call freezes the session's running laps; the lap across it is no best lap and the clock stood still.
    void neutralizzazione()
    {
        OrologioManuale orologio{2000.0};
        MessaggiFinti messaggi;
        ArchivioFinto archivio;
        Sessione sessione{orologio, messaggi, archivio};
        sessione.impostaPilota(0, u"Alfa"_s);
        sessione.inizializza();
        ControlloNeutralizzazione n{orologio};
        QVERIFY(n.impostaSecondiRipresa(3));
        CronacaManche cronaca;
        cronaca.prepara({gara::TipoSessione::GaraATempo, 60, 0}, {{0, u"Alfa"_s}});
        connect(&n, &ControlloNeutralizzazione::congela, &sessione, &Sessione::pausa);
        connect(&n, &ControlloNeutralizzazione::congela, &cronaca, &CronacaManche::neutralizzazioneIniziata);
        connect(&n, &ControlloNeutralizzazione::riparti, &sessione, &Sessione::riprendi);
        connect(&n, &ControlloNeutralizzazione::riparti, &cronaca, &CronacaManche::neutralizzazioneFinita);
        connect(&sessione, &Sessione::giroSegnato, &cronaca, &CronacaManche::giro);
        QSignalSpy conto(&n, &ControlloNeutralizzazione::contoAllaRipresa), riparti(&n, &ControlloNeutralizzazione::riparti),
            corrente(&n, &ControlloNeutralizzazione::alimentazione);
        sessione.start();
        cronaca.partenza(sessione.inizioSessione());
        auto a = [&](double t) { orologio.imposta(t); n.aggiorna(); };
        a(2010);
        sessione.marca(0); // lap 1: 10 s
        a(2015);
        QVERIFY(n.chiama());
        QVERIFY(!n.chiama());
        a(2020);
        sessione.marca(0); // frozen: not taken
        QVERIFY(n.riprendi());
        a(2021.5);
        QVERIFY(n.chiama()); // the countdown stops, the call goes on
        QCOMPARE(n.fase(), ControlloNeutralizzazione::Fase::Neutralizzata);
        QVERIFY(n.riprendi());
        a(2023);
        a(2024.5);
        QCOMPARE(interi(conto), (QList<int>{3, 2, 3, 2, 1}));
        QCOMPARE(riparti.size(), 1);
        QCOMPARE(n.neutralizzazioni().size(), 1);
        QCOMPARE(n.neutralizzazioni().first().inizio, 2015.0);
        QCOMPARE(n.neutralizzazioni().first().fine, 2024.5);
        QCOMPARE(corrente.size(), 2);
        a(2033.5);
        sessione.marca(0); // 5 s before the call, 9 s after it: a 14 s lap that is no best lap
        QCOMPARE(archivio.giri.size(), 2);
        QCOMPARE(archivio.giri.last().tempoGiro, 14.0f);
        QCOMPARE(archivio.giri.last().istante, 2033.5);
        const gara::EsitoPilota *e = cronaca.stato().diCorsia(0);
        QCOMPARE(e->giri, 2);
        QCOMPARE(e->giriNeutralizzati, QVector<int>{2});
        QCOMPARE(e->migliorGiro, 10.0f);
        // The 60 s of racing end 9.5 s later than without the call.
        QCOMPARE(cronaca.stato().fineTempo, 2069.5);
        QVERIFY(!n.riprendi());
    }
};

QTEST_GUILESS_MAIN(TstProcedure)
#include "tst_procedure.moc"
