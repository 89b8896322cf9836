#include "gara/campionato.h"
#include "gara/cronacamanche.h"
#include "gara/regole.h"
#include "gara/risultatogara.h"
#include "timing/sessione.h"

#include <QSignalSpy>
#include <QtTest>

using namespace gara;
using namespace Qt::StringLiterals;

namespace {
constexpr double via = 100; // lights out in every heat below

// A lane's crossings, written "110 120 130": each lap ends at one of them.
PilotaManche pilota(int corsia, const QString &passaggi, bool stampati = false)
{
    PilotaManche p;
    p.corsia = corsia;
    p.pilota = u"P%1"_s.arg(corsia + 1);
    double prima = via;
    for (const QString &t : passaggi.split(u' ', Qt::SkipEmptyParts)) {
        const double istante = t.toDouble();
        p.giri.append({int(p.giri.size()) + 1, float(istante - prima), istante,
                       stampati ? Precisione::Dispositivo : Precisione::Arrivo});
        prima = istante;
    }
    return p;
}

DatiManche manche(TipoSessione tipo, double durata, int giri, const QStringList &corsie)
{
    DatiManche d;
    d.regole.tipo = tipo;
    d.regole.durata = durata;
    d.regole.giri = giri;
    d.partenza = via;
    for (int c = 0; c < corsie.size(); ++c) d.piloti.append(pilota(c, corsie[c]));
    return d;
}

// The ranking in one line: lane:laps and state (I in gara, U ultimo giro, A arrivato, F fermo, S squalificato),
// "=" before a driver who shares the place of the one before.
QString riassunto(const RisultatoManche &r)
{
    QStringList parti;
    for (const EsitoPilota &e : r.classifica)
        parti << u"%1%2:%3%4"_s.arg(e.exAequo ? u"="_s : QString()).arg(e.corsia).arg(e.giriSanzionati)
                     .arg(QString("IUAFS").at(int(e.stato)));
    return parti.join(u' ');
}
} // namespace

class TstRegole : public QObject {
    Q_OBJECT
private slots:
    void finaliERanking_data()
    {
        QTest::addColumn<int>("tipo");
        QTest::addColumn<double>("durata");
        QTest::addColumn<int>("giri");
        QTest::addColumn<QStringList>("corsie");
        QTest::addColumn<QString>("chiamate"); // track calls "120-130"
        QTest::addColumn<double>("ora");
        QTest::addColumn<QString>("atteso");
        const int tempo = int(TipoSessione::GaraATempo), agiri = int(TipoSessione::GaraAGiri);
        // 60 s race from 100: the time runs out at 160.
        const QStringList sera{"110 120 130 140 150 160 170", "111 122 133 144 155 166", "109 118 127 136 145 154 163",
                               "110 120 130", "110 120 130 140 150 175"};
        QTest::newRow("a tempo: il primo passaggio dopo lo scadere è l'ultimo, chi non passa in tempo resta com'è")
            << tempo << 60.0 << 0 << sera << "" << gara::infinito << "2:7A 0:6A 1:6A 4:5F 3:3F";
        QTest::newRow("a tempo, prima dello scadere: giri, poi chi li ha fatti prima")
            << tempo << 60.0 << 0 << sera << "" << 150.0 << "2:5I 0:5I =4:5I 1:4I 3:3I";
        QTest::newRow("a tempo, appena scaduto: chi deve ancora passare è all'ultimo giro")
            << tempo << 60.0 << 0 << sera << "" << 162.0 << "2:6U 0:6A 4:5U 1:5U 3:3F";
        // A track call of 10 s stops the race clock: the time runs out at 170, the lap across it counts.
        QTest::newRow("a tempo, la neutralizzazione ferma l'orologio")
            << tempo << 60.0 << 0 << QStringList{"110 120 130 140 150 160 170 180", "115 135 155 172"} << "121-131"
            << gara::infinito << "0:7A 1:4A";
        // 5 laps: the flag falls at 150 (lane 0); lane 3 stopped at 120, 20 s grace: out at 150.
        QTest::newRow("a giri: il primo ai giri prende la bandiera, gli altri al passaggio dopo")
            << agiri << 0.0 << 5 << QStringList{"110 120 130 140 150 160", "111 122 133 144 155", "112 124 136 148 160", "110 120"}
            << "" << gara::infinito << "0:5A 1:5A 2:5A 3:2F";
        QTest::newRow("a giri, prima della bandiera: all'ultimo giro chi ne ha uno da fare")
            << agiri << 0.0 << 5 << QStringList{"110 120 130 140 150 160", "111 122 133 144 155", "112 124 136 148 160", "110 120"}
            << "" << 145.0 << "0:4U 1:4U 2:3I 3:2I";
        QTest::newRow("a giri: arrivo alla pari sulla linea, nello stesso istante")
            << agiri << 0.0 << 3 << QStringList{"110 120 130", "111 121 130", "112 124 136"} << "" << gara::infinito
            << "0:3A =1:3A 2:3A";
        QTest::newRow("qualifica: il giro migliore, a parità chi l'ha fatto prima")
            << int(TipoSessione::Qualifica) << 30.0 << 0 << QStringList{"110 119 129 138", "112 121", "", "111 122 131 140"} << ""
            << gara::infinito << "0:4A 1:2F 3:3A 2:0F";
        QTest::newRow("prova libera: giri, poi il tempo totale")
            << int(TipoSessione::ProvaLibera) << 0.0 << 0 << QStringList{"110 120", "109 121 130", "108 120"} << ""
            << gara::infinito << "1:3I 0:2I =2:2I";
    }
    void finaliERanking()
    {
        QFETCH(int, tipo);
        QFETCH(double, durata);
        QFETCH(int, giri);
        QFETCH(QStringList, corsie);
        QFETCH(QString, chiamate);
        QFETCH(double, ora);
        QFETCH(QString, atteso);
        DatiManche d = manche(TipoSessione(tipo), durata, giri, corsie);
        if (!chiamate.isEmpty())
            d.neutralizzazioni.append({chiamate.section(u'-', 0, 0).toDouble(), chiamate.section(u'-', 1, 1).toDouble()});
        QCOMPARE(riassunto(valuta(d, ora)), atteso);
    }

    // The flag, the time left and the laps to go, as the timing window asks them.
    void bandieraETempoRimasto()
    {
        DatiManche d = manche(TipoSessione::GaraATempo, 60, 0, {"110 120"});
        d.neutralizzazioni.append({130, gara::infinito}); // still on
        RisultatoManche r = valuta(d, 140);
        QVERIFY(r.neutralizzata && !r.bandiera);
        QCOMPARE(r.tempoRimanente, 30.0); // frozen at 130
        QCOMPARE(valuta(d, 500).tempoRimanente, 30.0);
        d.neutralizzazioni[0].fine = 150;
        r = valuta(d, 175);
        QVERIFY(!r.neutralizzata && !r.bandiera);
        QCOMPARE(r.fineTempo, 180.0);
        QCOMPARE(r.tempoRimanente, 5.0);
        QVERIFY(valuta(d, 180).bandiera);
        d = manche(TipoSessione::GaraAGiri, 0, 10, {"110 120 130", "111"});
        r = valuta(d);
        QCOMPARE(r.giriAlTermine, 7);
        QCOMPARE(r.diCorsia(1)->giriAlTermine, 9);
        QVERIFY(!r.bandiera && !r.conclusa);
        // Race control closes it early: everybody ranked as he is, fractions from the closing.
        d.chiusura = 135;
        r = valuta(d);
        QVERIFY(r.conclusa);
        QCOMPARE(riassunto(r), u"0:3F 1:1F"_s);
        QCOMPARE(r.diCorsia(0)->frazione, 0.5);
    }

    // Equal laps: the crossing instants decide, and the result says how they were taken.
    void spareggioSullaLinea_data()
    {
        QTest::addColumn<bool>("primoStampato");
        QTest::addColumn<bool>("secondoStampato");
        QTest::addColumn<double>("secondoArrivo");
        QTest::addColumn<bool>("exAequo");
        QTest::addColumn<int>("precisione");
        QTest::newRow("due istanti del dispositivo") << true << true << 130.001 << false << int(Precisione::Dispositivo);
        QTest::newRow("uno preso all'arrivo") << true << false << 130.001 << false << int(Precisione::Arrivo);
        QTest::newRow("stesso istante: ex aequo") << false << false << 130.0 << true << int(Precisione::Arrivo);
    }
    void spareggioSullaLinea()
    {
        QFETCH(bool, primoStampato);
        QFETCH(bool, secondoStampato);
        QFETCH(double, secondoArrivo);
        QFETCH(bool, exAequo);
        QFETCH(int, precisione);
        DatiManche d;
        d.regole = {TipoSessione::GaraAGiri, 0, 3};
        d.partenza = via;
        d.piloti = {pilota(0, u"110 120 130"_s, primoStampato),
                    pilota(1, u"111 121 %1"_s.arg(secondoArrivo, 0, 'f', 3), secondoStampato)};
        const EsitoPilota e = valuta(d).classifica[1];
        QCOMPARE(e.corsia, 1);
        QCOMPARE(e.exAequo, exAequo);
        QCOMPARE(e.posizione, exAequo ? 1 : 2);
        QCOMPARE(e.decisoSullaLinea, !exAequo);
        if (!exAequo) QCOMPARE(int(e.precisioneSpareggio), precisione);
        QVERIFY(qAbs(e.distacco - (secondoArrivo - 130)) < 1e-9);
    }

    // A lap across a track call is not a best lap, nor the qualifying lap.
    void giriNeutralizzati()
    {
        DatiManche d = manche(TipoSessione::Qualifica, 100, 0, {"110 115 127", "111 122 133"});
        d.neutralizzazioni.append({112, 113});
        const RisultatoManche r = valuta(d);
        const EsitoPilota *a = r.diCorsia(0);
        QCOMPARE(a->giriNeutralizzati, (QVector<int>{2}));
        QCOMPARE(a->migliorGiro, 10.0f);
        QCOMPARE(a->giroMigliore, 1);
        QCOMPARE(r.diCorsia(1)->migliorGiro, 11.0f);
        QCOMPARE(r.classifica.first().corsia, 0);
    }

    void sanzioniEPunteggio()
    {
        DatiManche d = manche(TipoSessione::GaraATempo, 60, 0, {"110 120 130 140 150 160", "111 122 133 144 155 166", "110 120 130"});
        d.piloti[0].sanzioni.giri = -1;
        d.piloti[1].sanzioni.secondi = 2;
        RisultatoManche r = valuta(d);
        QCOMPARE(riassunto(r), u"1:6A 0:5A 2:3F"_s);
        QCOMPARE(r.diCorsia(1)->arrivo, 168.0);
        // The stopped driver: 3 laps and the unfinished one from his best lap (capped below one).
        QCOMPARE(r.diCorsia(2)->frazione, 0.999);
        QCOMPARE(r.diCorsia(1)->punteggio(), 6 - 2.0 / 11);
        d.piloti[0].sanzioni.giri = -9; // never fewer than 0
        d.piloti[2].sanzioni.squalificato = true;
        r = valuta(d);
        QCOMPARE(riassunto(r), u"1:6A 0:0A 2:3S"_s);
        QCOMPARE(r.diCorsia(2)->punteggio(), 0.0);
        QVERIFY(r.conclusa);
    }

    void regoleNonValide_data()
    {
        QTest::addColumn<int>("tipo");
        QTest::addColumn<double>("durata");
        QTest::addColumn<int>("giri");
        QTest::addColumn<double>("grazia");
        QTest::addColumn<QString>("errore");
        QTest::newRow("gara di 0 giri") << int(TipoSessione::GaraAGiri) << 0.0 << 0 << 2.0
                                        << "Una gara a giri deve avere almeno un giro: indicare il numero di giri.";
        QTest::newRow("gara di 0 minuti") << int(TipoSessione::GaraATempo) << 0.0 << 10 << 2.0
                                          << "Una gara a tempo deve durare più di 0 minuti: indicare la durata.";
        QTest::newRow("qualifica senza durata") << int(TipoSessione::Qualifica) << qQNaN() << 0 << 2.0
                                                << "Una qualifica deve durare più di 0 minuti: indicare la durata.";
        QTest::newRow("grazia nulla") << int(TipoSessione::GaraAGiri) << 0.0 << 5 << 0.0
                                      << "Il tempo concesso dopo la bandiera deve essere maggiore di zero.";
        QTest::newRow("prova libera") << int(TipoSessione::ProvaLibera) << 0.0 << 0 << 2.0 << "";
    }
    void regoleNonValide()
    {
        QFETCH(int, tipo);
        QFETCH(double, durata);
        QFETCH(int, giri);
        QFETCH(double, grazia);
        QFETCH(QString, errore);
        QCOMPARE((Regole{TipoSessione(tipo), durata, giri, grazia}.errore()), errore);
        QCOMPARE(tipoDaNome(u" gara a GIRI "_s), std::optional(TipoSessione::GaraAGiri));
        QCOMPARE(nomiTipi().first(), u"Prova libera"_s);
    }

    // Live: the chronicle follows the session's laps and tells each change once.
    void cronacaDellaManche()
    {
        CronacaManche c;
        c.prepara({TipoSessione::GaraAGiri, 0, 3}, {{0, u"Alfa"_s}, {2, u"Gamma"_s}});
        QSignalSpy ultimo(&c, &CronacaManche::ultimoGiro), bandiera(&c, &CronacaManche::bandieraScacchi),
            arrivato(&c, &CronacaManche::arrivato), fermo(&c, &CronacaManche::fermo), conclusa(&c, &CronacaManche::conclusa);
        c.partenza(via);
        QHash<int, double> prima{{0, via}, {2, via}};
        auto giro = [&](int corsia, int n, double t, bool stampato = true) {
            PassaggioGiro p;
            p.corsia = corsia;
            p.giro = n;
            p.istante = t;
            p.tempo = float(t - std::exchange(prima[corsia], t));
            p.stampato = stampato;
            c.giro(p);
        };
        giro(0, 1, 110);
        giro(0, 2, 120);
        QCOMPARE(ultimo.size(), 1);
        QCOMPARE(ultimo.first().first().toInt(), 0);
        giro(2, 1, 121);
        giro(0, 3, 130);
        QCOMPARE(bandiera.size(), 1);
        QCOMPARE(bandiera.first().at(1).value<QVector<int>>(), QVector<int>{0});
        QCOMPARE(arrivato.size(), 1);
        QVERIFY(c.finito(0) && !c.finito(2));
        QCOMPARE(ultimo.size(), 2); // Gamma: his next crossing is his last
        c.aggiorna(162);
        QVERIFY(!c.finito(2));
        c.aggiorna(163.5); // 121 + twice his 21 s lap
        QCOMPARE(fermo.size(), 1);
        QCOMPARE(conclusa.size(), 1);
        giro(2, 2, 170); // too late: not counted, told nothing
        QCOMPARE(c.stato().diCorsia(2)->giri, 1);
        QCOMPARE(arrivato.size() + fermo.size() + conclusa.size(), 3);
    }

    void risultatoDellaGara()
    {
        auto esito = [](int giri, double frazione, float migliore, double secondi = 0) {
            EsitoPilota e;
            e.giriSanzionati = giri;
            e.frazione = frazione;
            e.migliorGiro = migliore;
            e.sanzioni.secondi = secondi;
            e.stato = StatoPilota::Arrivato;
            return e;
        };
        const QVector<IscrittoGara> iscritti{{1, u"Alfa"_s}, {2, u"Beta"_s}, {3, u"Gamma"_s}, {4, u"Delta"_s}};
        QHash<qint64, QVector<EsitoInManche>> esiti;
        esiti[1] = {{1, 1, TipoSessione::GaraATempo, esito(10, 0, 9)}, {2, 2, TipoSessione::GaraATempo, esito(11, 0.5, 8.5f)}};
        esiti[2] = {{1, 1, TipoSessione::GaraATempo, esito(11, 0, 9)}, {2, 2, TipoSessione::GaraATempo, esito(10, 0.5, 8)},
                    {9, 9, TipoSessione::Qualifica, esito(40, 0, 7)}}; // qualifying does not count
        esiti[3] = {{1, 1, TipoSessione::GaraATempo, esito(12, 0, 10)}, {2, 2, TipoSessione::GaraAGiri, esito(10, 0, 10, 5)}};
        QHash<qint64, Sanzioni> diGara;
        diGara[4].squalificato = true;
        const RisultatoGara r = calcolaRisultatoGara(iscritti, esiti, diGara);
        QStringList ordine;
        for (const RisultatoPilotaGara &p : r.classifica)
            ordine << u"%1%2 %3"_s.arg(p.exAequo ? u"="_s : QString(), p.nome).arg(p.totale, 0, 'f', 2);
        // 21.5 laps each (Gamma lost half a lap to 5 s): the best lap decides.
        QCOMPARE(ordine, (QStringList{u"Beta 21.50"_s, u"Alfa 21.50"_s, u"Gamma 21.50"_s, u"Delta 0.00"_s}));
        QCOMPARE(r.classifica[0].manche, 2);
        QCOMPARE(r.classifica[1].migliorGiro, 8.5f);
        QVERIFY(r.classifica[3].squalificato);
    }

    void campionato_data()
    {
        QTest::addColumn<int>("scarti");
        QTest::addColumn<QStringList>("atteso");
        // Four events: Alfa wins two and misses one; Beta wins one and is second in three; Gamma wins one.
        QTest::newRow("senza scarti") << 0 << QStringList{"1 Beta 34", "2 Alfa 26", "3 Gamma 24"};
        QTest::newRow("uno scartato: l'assenza di Alfa") << 1 << QStringList{"1 Alfa 26", "2 Beta 26 (a pari punti, meno vittorie)", "3 Gamma 24"};
        QTest::newRow("tutti scartati tranne uno") << 9
            << QStringList{"1 Alfa 10", "2 Beta 10 (a pari punti, meno vittorie)", "3 Gamma 10 (a pari punti, meno 2° posti)"};
    }
    void campionato()
    {
        QFETCH(int, scarti);
        QFETCH(QStringList, atteso);
        auto gara = [](int giorno, QVector<PiazzamentoGara> p) {
            return GaraDelCampionato{giorno, u"Gara %1"_s.arg(giorno), QDate(2026, 1, giorno), p};
        };
        // Given out of order: the season goes by date. Names match by the name rules.
        const QVector<GaraDelCampionato> gare{
            gara(4, {{u"Beta"_s, 1}, {u"Gamma"_s, 2}, {u"Alfa"_s, 3}}),
            gara(1, {{u"Alfa"_s, 1}, {u"beta"_s, 2}, {u"Gamma"_s, 3}}),
            gara(2, {{u"ALFA"_s, 1}, {u"Beta"_s, 2}, {u"Gamma"_s, 3, true}}),
            gara(3, {{u"Beta"_s, 2}, {u"Gamma"_s, 1}})};
        const ClassificaCampionato c = calcolaCampionato(gare, TabellaPunti{}, scarti);
        QStringList righe;
        for (const RigaCampionato &r : c.righe)
            righe << u"%1 %2 %3%4"_s.arg(r.posizione).arg(r.nome).arg(r.totale)
                         .arg(r.spareggio.isEmpty() ? QString() : u" ("_s + r.spareggio + u')');
        QCOMPARE(righe, atteso);
        QCOMPARE(c.gare.first().nome, u"Gara 1"_s);
        QCOMPARE(c.righe.size(), 3);
    }

    void campionatoPariInTutto()
    {
        // Same points and places: the latest event both raced decides; nothing at all: the same place.
        const QVector<GaraDelCampionato> gare{{1, u"Prima"_s, QDate(2026, 3, 1), {{u"Alfa"_s, 1}, {u"Beta"_s, 2}}},
                                              {2, u"Seconda"_s, QDate(2026, 3, 8), {{u"Beta"_s, 1}, {u"Alfa"_s, 2}}},
                                              {3, u"Terza"_s, QDate(2026, 3, 9), {{u"Gamma"_s, 5}, {u"Delta"_s, 5}}}};
        const ClassificaCampionato c = calcolaCampionato(gare, TabellaPunti{}, 0);
        QCOMPARE(c.righe[0].nome, u"Beta"_s);
        QCOMPARE(c.righe[1].spareggio, u"a pari punti e piazzamenti, dietro in Seconda"_s);
        QVERIFY(c.righe[3].exAequo && c.righe[3].posizione == c.righe[2].posizione);
        QCOMPARE((TabellaPunti{{10, 12}}.errore()), u"La posizione 2 non può valere più punti della posizione 1."_s);
        QCOMPARE((TabellaPunti{{}}.errore()).left(30), u"La tabella dei punti è vuota: "_s);
        QCOMPARE((TabellaPunti{{3, -1}}.errore()), u"I punti non possono essere negativi (posizione 2)."_s);
    }
};

QTEST_GUILESS_MAIN(TstRegole)
#include "tst_regole.moc"
