#include "results/layoutstampa.h"

#include <QtTest>
#include <cmath>

namespace {
const QString piede = QString(117, '-');

// The item `testo` laid out at (x, y) on `pagina`, if any.
const VoceStampa *a(const QVector<VoceStampa> &voci, const QString &testo, double x, double y, int pagina = 0)
{
    for (const auto &v : voci)
        if (v.testo == testo && v.pagina == pagina && std::abs(v.x - x) < 1e-9 && std::abs(v.y - y) < 1e-9) return &v;
    return nullptr;
}
const VoceStampa *trova(const QVector<VoceStampa> &voci, const QString &testo, int pagina = 0)
{
    for (const auto &v : voci)
        if (v.testo == testo && v.pagina == pagina) return &v;
    return nullptr;
}
int quante(const QVector<VoceStampa> &voci, const QString &testo)
{
    return std::count_if(voci.begin(), voci.end(), [&](const VoceStampa &v) { return v.testo == testo; });
}
int pagine(const QVector<VoceStampa> &voci) { return voci.isEmpty() ? 0 : voci.last().pagina + 1; }

// Standings of the given drivers with `giri` laps each, lap texts "<name>-<k>".
DatiStampa sessione(const QStringList &nomi, const QList<int> &giri)
{
    DatiStampa d;
    for (int i = 0; i < nomi.size(); ++i) {
        d.classifica.append({nomi[i], giri[i], QStringLiteral("tot%1").arg(i)});
        for (int k = 1; k <= giri[i]; ++k) d.sunto.append({nomi[i], QStringLiteral("%1-%2").arg(nomi[i]).arg(k)});
    }
    return d;
}
} // namespace

class TestLayoutStampa : public QObject {
    Q_OBJECT
private slots:
    void blocchiEPosizioni();
    void campiNulliESessioneVuota();
    void interruzioneDiPagina();
    void pilotaLunghissimoEClassificaLunga();
};

void TestLayoutStampa::blocchiEPosizioni()
{
    DatiStampa d = sessione({"Nove", "Otto", "Sette"}, {9, 8, 7});
    d.migliore = GiroMigliore{QStringLiteral("Otto"), 3, QStringLiteral("00:41,250")};
    // Same name in another case, or with a blank, is another driver.
    d.sunto.prepend({QStringLiteral("nove"), QStringLiteral("minuscolo")});
    const auto voci = LayoutStampa::componi(d);

    const auto *titolo = trova(voci, "SaettinoPro 0.70 Beta  -  Stampa dei Tempi ");
    QVERIFY(titolo && titolo->punti == 16 && titolo->grassetto && a(voci, titolo->testo, 4.0, 1.0));
    QVERIFY(a(voci, QString(66, '-'), 4.0, 1.3));
    QVERIFY(a(voci, "Best Lap", 9.0, 3.0) && trova(voci, "Best Lap")->punti == 13.5);
    // Numbers print with a leading blank; texts unchanged.
    QVERIFY(a(voci, " 3", 9.0, 3.8) && a(voci, "00:41,250", 14.5, 3.8) && a(voci, "Otto", 4.0, 3.8));
    QVERIFY(!trova(voci, " 3")->grassetto && trova(voci, " 3")->punti == 10);
    QVERIFY(a(voci, QString(101, '-'), 4.0, 4.0));
    QVERIFY(a(voci, "Classifica Finale", 3.0, 4.8) && a(voci, "Giri Complessivi", 9.5, 5.3));
    for (int i = 0; i < 3; ++i) {
        const double y = 6.1 + 0.5 * i;
        QVERIFY(a(voci, LayoutStampa::numero(i + 1), 4.0, y) && a(voci, d.classifica[i].pilota.value(), 7.2, y));
        QVERIFY(a(voci, LayoutStampa::numero(9 - i), 11.3, y) && a(voci, d.classifica[i].tempoTotale.value(), 15.5, y));
        QVERIFY(a(voci, QString(122, '-'), 3.0, y + 0.2));
    }
    const double yTempi = 6.1 + 1.5 + 0.5 + 1;
    QVERIFY(a(voci, "Tempi Totali", 2.0, yTempi - 0.6));
    // The first name takes the heading's size, later ones the laps' size.
    QVERIFY(a(voci, "Nove", 3.8, yTempi) && a(voci, "Nove", 3.8, yTempi)->punti == 13.5);

    // Eight laps to a row at x 2..16; the ninth starts a row 0.5 cm lower.
    const double riga = yTempi + 0.8;
    for (int k = 1; k <= 8; ++k) QVERIFY(a(voci, QStringLiteral("Nove-%1").arg(k), 2.0 * k, riga));
    QVERIFY(a(voci, "Nove-9", 2.0, riga + 0.5));
    QCOMPARE(quante(voci, QString(131, '-')), 9 + 8 + 7);
    QVERIFY(!trova(voci, "minuscolo"));
    // Eight laps move the line position down, seven do not.
    const double yOtto = riga + 0.5 + 1.5, ySette = yOtto + 0.8 + 0.5 + 1.5;
    QVERIFY(a(voci, "Otto", 3.8, yOtto) && a(voci, "Otto", 3.8, yOtto)->punti == 10);
    QVERIFY(a(voci, "Otto-1", 2.0, yOtto + 0.8) && a(voci, "Sette", 3.8, ySette));
    const double fine = ySette + 0.8 + 1.5;
    QVERIFY(a(voci, piede, 3.4, fine + 2) && a(voci, LayoutStampa::lineaCrediti(), 3.5, fine + 2.5));
    QVERIFY(trova(voci, piede)->grassetto && LayoutStampa::lineaCrediti().startsWith("SaettinoPro 0.70 Beta"));
    QCOMPARE(pagine(voci), 1);
}

void TestLayoutStampa::campiNulliESessioneVuota()
{
    // No lap stored: heads, rules and footer, no data line, one page.
    const auto vuota = LayoutStampa::componi(DatiStampa{});
    QVERIFY(trova(vuota, "Tempi Totali") && trova(vuota, QString(101, '-')) && !trova(vuota, " 1"));
    QCOMPARE(quante(vuota, QString(122, '-')), 0);
    QCOMPARE(pagine(vuota), 1);
    QVERIFY(a(vuota, piede, 3.4, 6.1 + 0.5 + 1 + 2) && trova(vuota, piede)->punti == 13.5);

    // Null fields leave their place blank; the rest of the line prints.
    DatiStampa d;
    d.migliore = GiroMigliore{std::nullopt, 4, std::nullopt};
    d.classifica = {{std::nullopt, 2, QStringLiteral("01:00,000")}, {QStringLiteral("Beta"), std::nullopt, std::nullopt}};
    d.sunto = {{std::nullopt, QStringLiteral("senzanome")}, {QStringLiteral("Beta"), std::nullopt}};
    const auto voci = LayoutStampa::componi(d);
    for (const auto &v : voci) QVERIFY(!v.testo.isEmpty());
    QVERIFY(a(voci, " 4", 9.0, 3.8) && a(voci, " 2", 4.0, 6.6) && a(voci, "01:00,000", 15.5, 6.1));
    QVERIFY(!trova(voci, "senzanome"));
    QCOMPARE(quante(voci, QString(131, '-')), 1); // Beta's lap without a time still has its rule
}

void TestLayoutStampa::interruzioneDiPagina()
{
    // Third driver's second row lands exactly on 23 cm: 9.1 + 2 * (0.8 + 4 + 1.5) + 0.8 + 0.5.
    const auto esatto = LayoutStampa::componi(sessione({"A", "B", "C"}, {64, 64, 9}));
    QCOMPARE(pagine(esatto), 1);
    QVERIFY(a(esatto, "C-9", 2.0, 23.0));

    // Sixteen laps pass 23 after the 16th: footer, new page, heading at 0.9, C from its name.
    const auto oltre = LayoutStampa::componi(sessione({"A", "B", "C"}, {64, 64, 16}));
    QCOMPARE(pagine(oltre), 2);
    QVERIFY(a(oltre, piede, 3.4, 25.5) && a(oltre, LayoutStampa::lineaCrediti(), 3.5, 26.0));
    QVERIFY(trova(oltre, piede)->grassetto && trova(oltre, piede)->punti == 10);
    QVERIFY(a(oltre, "C-16", 16.0, 23.0));
    QVERIFY(a(oltre, "Tempi Totali", 2.0, 0.9, 1) && a(oltre, "C", 3.8, 1.5, 1));
    QCOMPARE(trova(oltre, "C", 1)->punti, 13.5);
    QVERIFY(a(oltre, "C-1", 2.0, 2.3, 1) && a(oltre, "C-16", 16.0, 2.8, 1));
    QVERIFY(a(oltre, piede, 3.4, 3.3 + 1.5 + 2, 1));
    QCOMPARE(quante(oltre, piede), 2);
}

void TestLayoutStampa::pilotaLunghissimoEClassificaLunga()
{
    // Restarting a block that cannot fit a page would never end: it goes on instead.
    const auto voci = LayoutStampa::componi(sessione({"Maratona", "Dopo"}, {1000, 2}));
    QVector<const VoceStampa *> giri;
    for (const auto &v : voci)
        if (v.testo.startsWith("Maratona-")) giri.append(&v);
    int inizio = 0;
    while (giri[inizio]->pagina == 0) ++inizio; // the first page's part is printed again once
    QCOMPARE(giri.size() - inizio, 1000);
    for (int k = 0; k < 1000; ++k) {
        QCOMPARE(giri[inizio + k]->testo, QStringLiteral("Maratona-%1").arg(k + 1));
        QVERIFY(giri[inizio + k]->y <= 23.0);
        QVERIFY(trova(voci, "Maratona", giri[inizio + k]->pagina));
    }
    QVERIFY(giri.last()->pagina >= 3 && trova(voci, "Dopo-2", pagine(voci) - 1));
    QCOMPARE(quante(voci, piede), pagine(voci));

    // A long standings list goes on over the pages with its heads; positions run on.
    QStringList nomi;
    for (int i = 1; i <= 80; ++i) nomi.append(QStringLiteral("P%1").arg(i));
    const auto lunga = LayoutStampa::componi(sessione(nomi, QList<int>(80, 1)));
    QCOMPARE(quante(lunga, QString(122, '-')), 80);
    for (const auto &v : lunga) {
        if (v.testo == QString(122, '-')) QVERIFY(v.y <= 23.2);
        if (v.testo != piede && v.testo != LayoutStampa::lineaCrediti()) QVERIFY(v.y <= 24.5);
    }
    QVERIFY(trova(lunga, " 80", 2) && trova(lunga, "Posizione", 1) && trova(lunga, "Classifica Finale", 1));
    QVERIFY(trova(lunga, "P80-1", pagine(lunga) - 1));
}

QTEST_MAIN(TestLayoutStampa)
#include "tst_stampa_layout.moc"
