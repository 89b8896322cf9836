#include "gara/programma.h"

#include <QtTest>

using namespace gara;
using namespace Qt::StringLiterals;

class TstProgramma : public QObject {
    Q_OBJECT
private slots:
    // Every count of drivers from 1 to 24 on 1 to 8 lanes, all on or one switched off.
    void proprietaDelProgramma_data()
    {
        QTest::addColumn<int>("corsie"); // lanes of the track
        QTest::addColumn<int>("spenta"); // the broken one, -1 when none
        for (int n = 1; n <= corsieMassime; ++n) {
            QTest::addRow("%d corsie", n) << n << -1;
            if (n > 1) QTest::addRow("%d corsie, la %d spenta", n, n / 2 + 1) << n << n / 2;
        }
    }
    void proprietaDelProgramma()
    {
        QFETCH(int, corsie);
        QFETCH(int, spenta);
        quint8 maschera = quint8((1u << corsie) - 1);
        if (spenta >= 0) maschera &= quint8(~(1u << spenta));
        const QVector<int> attive = corsieAttive(maschera);
        for (int piloti = 1; piloti <= 24; ++piloti) {
            const ProgrammaGenerato g = generaProgramma(piloti, maschera);
            const QByteArray caso = QByteArray::number(piloti) + " piloti";
            QVERIFY2(g.errore.isEmpty(), caso);
            QVERIFY2(g.programma.size() == std::max(piloti, int(attive.size())), caso);
            QVector<QVector<int>> volte(piloti, QVector<int>(corsieMassime, 0));
            for (const MancheProgrammata &m : g.programma) {
                QVector<bool> inManche(piloti, false);
                for (int c = 0; c < corsieMassime; ++c) {
                    const int s = m.corsie[c];
                    if (s < 0) continue;
                    QVERIFY2(s < piloti && attive.contains(c), caso + " corsia " + QByteArray::number(c));
                    QVERIFY2(!inManche[s], caso + ": due corsie nella stessa manche");
                    inManche[s] = true;
                    ++volte[s][c];
                }
            }
            for (int s = 0; s < piloti; ++s)
                for (int c = 0; c < corsieMassime; ++c)
                    QVERIFY2(volte[s][c] == (attive.contains(c) ? 1 : 0), caso + " pilota " + QByteArray::number(s));
            // Never more drivers racing twice in a row than the least any schedule of that many heats needs.
            QVERIFY2(mancheConsecutive(g.programma) == minimoMancheConsecutive(piloti, attive.size()), caso);
            QVERIFY2(verificaProgramma(g.programma, QVector<QString>(piloti, u"x"_s).toList(), maschera).valido(), caso);
        }
    }

    // With the drivers a multiple of the lanes: fixed groups, a round at a time, one lane on each round.
    void turniCheRuotanoLeCorsie()
    {
        const Programma p = generaProgramma(8, 0x0F).programma;
        QCOMPARE(p.size(), 8);
        QCOMPARE(mancheConsecutive(p), 0);
        for (int h = 0; h < 8; ++h) QCOMPARE(p[h].turno, h / 2 + 1);
        const int corsiaNelPrimo = p[0].corsiaDi(0);
        QCOMPARE(p[2].corsiaDi(0), (corsiaNelPrimo + 3) % 4);
    }

    void inputNonValidi_data()
    {
        QTest::addColumn<int>("piloti");
        QTest::addColumn<int>("maschera");
        QTest::addColumn<QString>("errore");
        QTest::newRow("nessun pilota") << 0 << 0xFF << "Nessun pilota iscritto: non si può preparare il programma delle manche.";
        QTest::newRow("tutte le corsie spente") << 6 << 0x00
                                                << "Tutte le corsie sono disattivate: attivarne almeno una per preparare le manche.";
    }
    void inputNonValidi()
    {
        QFETCH(int, piloti);
        QFETCH(int, maschera);
        QFETCH(QString, errore);
        const ProgrammaGenerato g = generaProgramma(piloti, quint8(maschera));
        QCOMPARE(g.errore, errore);
        QVERIFY(g.programma.isEmpty());
    }

    // A schedule edited by hand: what refuses it and what only warns.
    void verificaAMano_data()
    {
        QTest::addColumn<QString>("modifica");
        QTest::addColumn<QString>("errore");
        QTest::addColumn<QString>("avviso");
        QTest::newRow("due manche scambiate") << "scambia" << "" << "";
        QTest::newRow("un pilota su due corsie")
            << "doppio" << "Manche 1: Alfa è su due corsie (corsia 1 e corsia 2). "
                           "Un pilota può correre su una sola corsia per manche." << "";
        QTest::newRow("una corsia spenta") << "spenta" << "Manche 1: la corsia 4 è disattivata, ma vi corre Beta." << "";
        QTest::newRow("un pilota non iscritto") << "estraneo" << "Manche 2: sulla corsia 1 c'è un pilota che non è iscritto." << "";
        QTest::newRow("una corsia saltata") << "tolto" << "" << "Alfa non corre sulla corsia 1.";
        QTest::newRow("una manche di seguito") << "seguito" << "" << "Alfa corre due manche di seguito (1 e 2).";
    }
    void verificaAMano()
    {
        QFETCH(QString, modifica);
        QFETCH(QString, errore);
        QFETCH(QString, avviso);
        const QStringList nomi{u"Alfa"_s, u"Beta"_s, u"Gamma"_s, u"Delta"_s, u"Eco"_s, u"Foxtrot"_s};
        Programma p = generaProgramma(6, 0x07).programma; // lanes 1-3, two groups
        QCOMPARE(mancheConsecutive(p), 0);
        quint8 maschera = 0x07;
        const int corsiaAlfa = p[0].corsiaDi(0);
        if (modifica == u"scambia") std::swap(p[2], p[4]);
        if (modifica == u"doppio") p[0].corsie = {0, 0, 1, -1, -1, -1, -1, -1};
        if (modifica == u"spenta") {
            p[0].corsie[p[0].corsiaDi(1)] = -1;
            p[0].corsie[3] = 1;
        }
        if (modifica == u"estraneo") p[1].corsie[0] = 6;
        if (modifica == u"tolto") p[0].corsie[corsiaAlfa] = -1;
        if (modifica == u"seguito") {
            QVERIFY(p[1].corsiaDi(0) < 0 && p[2].corsiaDi(0) >= 0);
            p.move(2, 1);
        }
        if (modifica == u"tolto") QCOMPARE(corsiaAlfa, 0);
        const VerificaProgramma v = verificaProgramma(p, nomi, maschera);
        QCOMPARE(v.errore, errore);
        if (avviso.isEmpty() && errore.isEmpty()) QVERIFY(v.avvisi.isEmpty());
        if (!avviso.isEmpty()) QVERIFY2(v.avvisi.contains(avviso), qPrintable(v.avvisi.join(u'\n')));
        // Heats already run are not judged again, only counted.
        if (modifica == u"doppio") QVERIFY(verificaProgramma(p, nomi, maschera, 1).valido());
    }
};

QTEST_GUILESS_MAIN(TstProgramma)
#include "tst_programma.moc"
