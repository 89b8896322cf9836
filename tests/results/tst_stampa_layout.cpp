#include "results/layoutstampa.h"

#include <QtTest>
#include <cmath>

namespace {

bool vicino(double a, double b) { return std::abs(a - b) < 1e-9; }

QVector<VoceStampa> conTesto(const QVector<VoceStampa> &voci, const QString &testo)
{
    QVector<VoceStampa> r;
    for (const auto &v : voci)
        if (v.testo == testo) r.append(v);
    return r;
}

const VoceStampa *trova(const QVector<VoceStampa> &voci, const QString &testo, int pagina = -1)
{
    for (const auto &v : voci)
        if (v.testo == testo && (pagina < 0 || v.pagina == pagina)) return &v;
    return nullptr;
}

RigaClassifica riga(const QString &pilota, qint64 giri, const QString &totale)
{
    return {pilota, giri, totale};
}

// `n` laps of one driver, with texts that tell the lap apart: "p<nome>-<k>".
void aggiungiGiri(DatiStampa &d, const QString &pilota, int n)
{
    for (int k = 1; k <= n; ++k)
        d.sunto.append({pilota, QStringLiteral("%1-%2").arg(pilota).arg(k)});
}

int pagine(const QVector<VoceStampa> &voci)
{
    int p = 0;
    for (const auto &v : voci) p = std::max(p, v.pagina);
    return p + 1;
}

// Lap texts of one driver in the order they were laid out, with their pages.
QVector<QPair<int, QString>> giriStampati(const QVector<VoceStampa> &voci, const QString &pilota)
{
    QVector<QPair<int, QString>> r;
    for (const auto &v : voci)
        if (v.testo.startsWith(pilota + QLatin1Char('-'))) r.append({v.pagina, v.testo});
    return r;
}

} // namespace

class TestLayoutStampa : public QObject {
    Q_OBJECT
private slots:
    void blocchiFissiEClassifica();
    void giriOttoPerRiga();
    void confrontoNomiEsatto();
    void campiNulliESessioneVuota();
    void interruzioneDiPagina();
    void pilotaLunghissimoTermina();
    void classificaLungaContinua();
};

void TestLayoutStampa::blocchiFissiEClassifica()
{
    DatiStampa d;
    d.migliore = GiroMigliore{QStringLiteral("Alfa"), 3, QStringLiteral("00:41,250")};
    d.classifica = {riga("Alfa", 12, "08:30,100"), riga("Beta", 11, "08:45,900")};
    const auto voci = LayoutStampa::componi(d);

    const auto *titolo = trova(voci, "SaettinoPro 0.70 Beta  -  Stampa dei Tempi ");
    QVERIFY(titolo);
    QVERIFY(vicino(titolo->x, 4.0) && vicino(titolo->y, 1.0));
    QCOMPARE(titolo->punti, 16.0);
    QVERIFY(titolo->grassetto);

    // Every rule is made of hyphens only, with its own length and place.
    const auto *r66 = trova(voci, QString(66, '-'));
    QVERIFY(r66 && vicino(r66->x, 4.0) && vicino(r66->y, 1.3));
    const auto *r101 = trova(voci, QString(101, '-'));
    QVERIFY(r101 && vicino(r101->x, 4.0) && vicino(r101->y, 4.0));
    QCOMPARE(conTesto(voci, QString(122, '-')).size(), 2);

    // Best lap line: the lap number is a number, so it has a leading blank.
    const auto *giro = trova(voci, " 3");
    QVERIFY(giro && vicino(giro->x, 9.0) && vicino(giro->y, 3.8));
    QVERIFY(!giro->grassetto);
    QCOMPARE(giro->punti, 10.0);
    const auto *tempo = trova(voci, "00:41,250");
    QVERIFY(tempo && vicino(tempo->x, 14.5) && vicino(tempo->y, 3.8));
    const auto *bestLap = trova(voci, "Best Lap");
    QVERIFY(bestLap && vicino(bestLap->x, 9.0) && vicino(bestLap->y, 3.0));
    QCOMPARE(bestLap->punti, 13.5);

    const auto *classifica = trova(voci, "Classifica Finale");
    QVERIFY(classifica && vicino(classifica->x, 3.0) && vicino(classifica->y, 4.8));
    const auto *giriComplessivi = trova(voci, "Giri Complessivi");
    QVERIFY(giriComplessivi && vicino(giriComplessivi->x, 9.5) && vicino(giriComplessivi->y, 5.3));

    // Standings: counter, name, laps, total, then the rule 0.2 cm lower; 0.5 cm per line.
    for (int i = 0; i < 2; ++i) {
        const double y = 6.1 + 0.5 * i;
        const auto *pos = trova(voci, LayoutStampa::numero(i + 1));
        QVERIFY(pos && vicino(pos->x, 4.0) && vicino(pos->y, y));
        const auto nomi = conTesto(voci, d.classifica[i].pilota.value());
        QVERIFY(std::any_of(nomi.begin(), nomi.end(),
                            [&](const VoceStampa &v) { return vicino(v.x, 7.2) && vicino(v.y, y); }));
        const auto *giri = trova(voci, LayoutStampa::numero(*d.classifica[i].giri));
        QVERIFY(giri && vicino(giri->x, 11.3) && vicino(giri->y, y));
        const auto *tot = trova(voci, d.classifica[i].tempoTotale.value());
        QVERIFY(tot && vicino(tot->x, 15.5) && vicino(tot->y, y));
        QVERIFY(vicino(conTesto(voci, QString(122, '-'))[i].y, y + 0.2));
    }
    QCOMPARE(trova(voci, " 1")->testo, QStringLiteral(" 1"));

    // Lap heading 1 cm below the gap after the standings, raised by 0.6.
    const double yTempi = 6.1 + 0.5 * 2 + 0.5 + 1;
    const auto *tempi = trova(voci, "Tempi Totali");
    QVERIFY(tempi && vicino(tempi->x, 2.0) && vicino(tempi->y, yTempi - 0.6));
    QCOMPARE(tempi->punti, 13.5);
    // First driver name in the size of the heading, the next in the size of the laps.
    const auto nomiAlfa = conTesto(voci, "Alfa");
    QCOMPARE(nomiAlfa.size(), 3); // best lap, standings, block
    QVERIFY(vicino(nomiAlfa[2].x, 3.8) && vicino(nomiAlfa[2].y, yTempi));
    QCOMPARE(nomiAlfa[2].punti, 13.5);
    QVERIFY(nomiAlfa[2].grassetto);
    const auto nomiBeta = conTesto(voci, "Beta");
    QVERIFY(vicino(nomiBeta.last().y, yTempi + 0.8 + 1.5));
    QCOMPARE(nomiBeta.last().punti, 10.0);

    // Footer 2 and 2.5 cm below the last line position, bold.
    const double yFine = yTempi + 0.8 + 1.5 + 0.8 + 1.5;
    const auto *piede = trova(voci, QString(117, '-'));
    QVERIFY(piede && vicino(piede->x, 3.4) && vicino(piede->y, yFine + 2));
    QVERIFY(piede->grassetto);
    const auto *crediti = trova(voci, LayoutStampa::lineaCrediti());
    QVERIFY(crediti && vicino(crediti->x, 3.5) && vicino(crediti->y, yFine + 2.5));
    QVERIFY(crediti->testo.startsWith("SaettinoPro 0.70 Beta"));
    QCOMPARE(pagine(voci), 1);

    // The same sources give the same report twice.
    const auto ancora = LayoutStampa::componi(d);
    QCOMPARE(ancora.size(), voci.size());
    for (int i = 0; i < voci.size(); ++i) QCOMPARE(ancora[i].testo, voci[i].testo);
}

void TestLayoutStampa::giriOttoPerRiga()
{
    DatiStampa d;
    d.classifica = {riga("Nove", 9, "x"), riga("Otto", 8, "y"), riga("Sette", 7, "z")};
    // Laps of different drivers interleaved, as the lap query may yield them.
    for (int k = 1; k <= 9; ++k) {
        d.sunto.append({QStringLiteral("Nove"), QStringLiteral("Nove-%1").arg(k)});
        if (k <= 8) d.sunto.append({QStringLiteral("Otto"), QStringLiteral("Otto-%1").arg(k)});
        if (k <= 7) d.sunto.append({QStringLiteral("Sette"), QStringLiteral("Sette-%1").arg(k)});
    }
    const auto voci = LayoutStampa::componi(d);

    const double yNome = 6.1 + 0.5 * 3 + 0.5 + 1;
    const double yRiga = yNome + 0.8;
    for (int k = 1; k <= 8; ++k) {
        const auto *v = trova(voci, QStringLiteral("Nove-%1").arg(k));
        QVERIFY(v);
        QVERIFY2(vicino(v->x, 2.0 * k) && vicino(v->y, yRiga), qPrintable(v->testo));
        QCOMPARE(v->punti, 10.0);
        QVERIFY(!v->grassetto);
    }
    const auto *nono = trova(voci, "Nove-9");
    QVERIFY(vicino(nono->x, 2.0) && vicino(nono->y, yRiga + 0.5));

    // One lap rule per lap, at x 2 and 0.2 cm below its row.
    const auto regole = conTesto(voci, QString(131, '-'));
    QCOMPARE(regole.size(), 9 + 8 + 7);
    QCOMPARE(std::count_if(regole.begin(), regole.end(),
                           [&](const VoceStampa &v) { return vicino(v.x, 2.0) && vicino(v.y, yRiga + 0.2); }),
             8);

    // Eight laps push the line position down, seven do not.
    const double yOtto = yRiga + 0.5 + 1.5;
    QVERIFY(vicino(conTesto(voci, "Otto").last().y, yOtto));
    const double ySette = yOtto + 0.8 + 0.5 + 1.5;
    QVERIFY(vicino(conTesto(voci, "Sette").last().y, ySette));
    const double yFine = ySette + 0.8 + 1.5;
    QVERIFY(vicino(trova(voci, QString(117, '-'))->y, yFine + 2));
}

void TestLayoutStampa::confrontoNomiEsatto()
{
    DatiStampa d;
    d.classifica = {riga("Alfa", 1, "a"), riga("Solo", 0, "b")};
    d.sunto = {{QStringLiteral("alfa"), QStringLiteral("minuscolo")},
               {QStringLiteral("Alfa"), QStringLiteral("giusto")},
               {QStringLiteral("Alfa "), QStringLiteral("spazio")}};
    const auto voci = LayoutStampa::componi(d);
    QVERIFY(trova(voci, "giusto"));
    QVERIFY(!trova(voci, "minuscolo"));
    QVERIFY(!trova(voci, "spazio"));
    // A driver without laps prints its name line only: 0.8 + 1.5 below it comes the footer base.
    const auto solo = conTesto(voci, "Solo").last();
    QVERIFY(vicino(trova(voci, QString(117, '-'))->y, solo.y + 0.8 + 1.5 + 2));
}

void TestLayoutStampa::campiNulliESessioneVuota()
{
    // No lap stored at all: every block prints its heads, nothing else, one page.
    const auto vuota = LayoutStampa::componi(DatiStampa{});
    QVERIFY(trova(vuota, "Classifica Finale"));
    QVERIFY(trova(vuota, "Tempi Totali"));
    QVERIFY(trova(vuota, QString(101, '-')));
    QVERIFY(!trova(vuota, " 1"));
    QVERIFY(!trova(vuota, QString(122, '-')));
    for (const auto &v : vuota) QVERIFY(!v.testo.isEmpty());
    QCOMPARE(pagine(vuota), 1);
    // The footer keeps the size of the last heading when no block followed it.
    const auto *piede = trova(vuota, QString(117, '-'));
    QVERIFY(piede);
    QCOMPARE(piede->punti, 13.5);
    QVERIFY(vicino(piede->y, 6.1 + 0.5 + 1 + 2));

    // Null fields leave their place blank; the rest of the line still prints.
    DatiStampa d;
    d.migliore = GiroMigliore{std::nullopt, 4, std::nullopt};
    d.classifica = {RigaClassifica{std::nullopt, 2, QStringLiteral("01:00,000")},
                    RigaClassifica{QStringLiteral("Beta"), std::nullopt, std::nullopt}};
    d.sunto = {{std::nullopt, QStringLiteral("senzanome")}, {QStringLiteral("Beta"), std::nullopt}};
    const auto voci = LayoutStampa::componi(d);
    for (const auto &v : voci) QVERIFY(!v.testo.isEmpty());
    QVERIFY(trova(voci, " 4"));
    QVERIFY(trova(voci, " 1") && trova(voci, " 2") && trova(voci, "01:00,000"));
    QVERIFY(!trova(voci, "senzanome")); // a Null name matches no driver
    // Beta's one lap has a Null time: its rule still marks the place.
    QCOMPARE(conTesto(voci, QString(131, '-')).size(), 1);
}

void TestLayoutStampa::interruzioneDiPagina()
{
    // Three drivers; the third one's rows land exactly on 23 cm with 9 laps.
    auto dati = [](int giriTerzo) {
        DatiStampa d;
        d.classifica = {riga("A", 64, "a"), riga("B", 64, "b"), riga("C", giriTerzo, "c")};
        aggiungiGiri(d, "A", 64);
        aggiungiGiri(d, "B", 64);
        aggiungiGiri(d, "C", giriTerzo);
        return d;
    };
    // Block A: name at 9.1, rows from 9.9; eight rows end at 13.9; block B name at 15.4 ...
    const double yC = 6.1 + 1.5 + 1.5 + (0.8 + 4.0 + 1.5) * 2;
    const double yRigaC2 = yC + 0.8 + 0.5;
    QVERIFY(vicino(yRigaC2, 23.0));

    const auto esatto = LayoutStampa::componi(dati(9));
    QCOMPARE(pagine(esatto), 1);
    const auto *nono = trova(esatto, "C-9");
    QVERIFY(nono && vicino(nono->y, 23.0) && vicino(nono->x, 2.0));

    // Sixteen laps pass 23 cm after the 16th: the page breaks and C starts over.
    const auto oltre = LayoutStampa::componi(dati(16));
    QCOMPARE(pagine(oltre), 2);
    const auto pagina0 = [&] {
        QVector<VoceStampa> r;
        for (const auto &v : oltre) if (v.pagina == 0) r.append(v);
        return r;
    }();
    const auto *piede0 = trova(oltre, QString(117, '-'), 0);
    QVERIFY(piede0 && vicino(piede0->y, 23.5 + 2));
    QVERIFY(piede0->grassetto);
    QCOMPARE(piede0->punti, 10.0);
    const auto *crediti0 = trova(oltre, LayoutStampa::lineaCrediti(), 0);
    QVERIFY(crediti0 && vicino(crediti0->y, 23.5 + 2.5));
    QVERIFY(trova(oltre, "C-16", 0));

    const auto *tempi1 = trova(oltre, "Tempi Totali", 1);
    QVERIFY(tempi1 && vicino(tempi1->y, 0.9) && vicino(tempi1->x, 2.0));
    const auto *nomeC1 = trova(oltre, "C", 1);
    QVERIFY(nomeC1 && vicino(nomeC1->y, 1.5));
    QCOMPARE(nomeC1->punti, 13.5);
    const auto giriC = giriStampati(oltre, "C");
    QCOMPARE(giriC.size(), 32); // all sixteen on each page
    QCOMPARE(giriC[16], qMakePair(1, QStringLiteral("C-1")));
    QVERIFY(vicino(trova(oltre, "C-1", 1)->y, 2.3));
    QVERIFY(vicino(trova(oltre, "C-9", 1)->y, 2.8));
    // Each page has exactly one footer.
    QCOMPARE(conTesto(oltre, QString(117, '-')).size(), 2);
    QCOMPARE(conTesto(oltre, LayoutStampa::lineaCrediti()).size(), 2);
    QVERIFY(vicino(trova(oltre, QString(117, '-'), 1)->y, 2.8 + 0.5 + 1.5 + 2));
    Q_UNUSED(pagina0);
}

void TestLayoutStampa::pilotaLunghissimoTermina()
{
    DatiStampa d;
    d.classifica = {riga("Maratona", 1000, "t"), riga("Dopo", 2, "u")};
    aggiungiGiri(d, "Maratona", 1000);
    aggiungiGiri(d, "Dopo", 2);
    const auto voci = LayoutStampa::componi(d);

    // After the first restart every lap is printed once, in order, none lost.
    const auto giri = giriStampati(voci, "Maratona");
    int inizio = 0;
    while (giri[inizio].first == 0) ++inizio;
    QCOMPARE(giri.size() - inizio, 1000);
    for (int k = 0; k < 1000; ++k) QCOMPARE(giri[inizio + k].second, QStringLiteral("Maratona-%1").arg(k + 1));
    // Lap rows never go below 23 cm; the rule sits 0.2 lower.
    for (const auto &v : voci) {
        if (v.testo.startsWith("Maratona-")) QVERIFY2(v.y <= 23.0, qPrintable(v.testo));
    }
    QVERIFY(trova(voci, "Dopo-2"));
    const int ultima = pagine(voci) - 1;
    QCOMPARE(conTesto(voci, QString(117, '-')).size(), ultima + 1);
    QCOMPARE(trova(voci, "Dopo-2")->pagina, ultima);
    // The name heads each page its laps continue on.
    for (const auto &g : giri) QVERIFY(trova(voci, "Maratona", g.first));
    QVERIFY(giri.last().first >= 3);
}

void TestLayoutStampa::classificaLungaContinua()
{
    DatiStampa d;
    for (int i = 1; i <= 80; ++i) {
        const QString nome = QStringLiteral("P%1").arg(i);
        d.classifica.append(riga(nome, 1, "t"));
        aggiungiGiri(d, nome, 1);
    }
    const auto voci = LayoutStampa::componi(d);
    QVERIFY(pagine(voci) >= 3);
    // Positions run on across the pages, and no line falls below the limit.
    const auto rule = conTesto(voci, QString(122, '-'));
    QCOMPARE(rule.size(), 80);
    for (const auto &r : rule) QVERIFY(r.y <= 23.2);
    const auto *ottanta = trova(voci, " 80");
    QVERIFY(ottanta && ottanta->pagina >= 1 && vicino(ottanta->x, 4.0));
    // The continued standings repeat their heads on the new page.
    QVERIFY(trova(voci, "Classifica Finale", 1));
    QVERIFY(trova(voci, "Posizione", 1));
    // A name may still stand 1.5 cm below the last row before its block breaks.
    for (const auto &v : voci) {
        if (v.testo == QString(117, '-') || v.testo == LayoutStampa::lineaCrediti()) continue;
        QVERIFY2(v.y <= 24.5, qPrintable(v.testo));
    }
    QVERIFY(trova(voci, "P80-1"));
}

QTEST_MAIN(TestLayoutStampa)
#include "tst_stampa_layout.moc"
