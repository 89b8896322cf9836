#include "results/layoutstampa.h"
#include "results/superficiestampa.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr double ptCm = 72.0 / 2.54;

struct Parola {
    int pagina;
    double xMin, yMin, xMax, yMax;
    QString testo;
    bool usata = false;
};

// Words of a PDF with their boxes in points, as poppler extracts them.
QVector<Parola> leggiParole(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return {};
    const QString html = QString::fromUtf8(p.readAllStandardOutput());
    static const QRegularExpression re(
        QStringLiteral(R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"));
    QVector<Parola> parole;
    int pagina = -1;
    for (auto it = re.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        if (m.captured(0).startsWith(QLatin1String("<page"))) {
            ++pagina;
            continue;
        }
        QString t = m.captured(5);
        t.replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", "\"").replace("&amp;", "&");
        parole.append({pagina, m.captured(1).toDouble(), m.captured(2).toDouble(),
                       m.captured(3).toDouble(), m.captured(4).toDouble(), t});
    }
    return parole;
}

// Finds the words of one item where it was placed; a leading blank moves the
// first word right by up to a blank's width.
const Parola *cerca(QVector<Parola> &parole, const VoceStampa &v)
{
    const QStringList pezzi = v.testo.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const double margine = FilePdf::margineMm / 10.0 * ptCm;
    const double x = margine + v.x * ptCm;
    const double y = margine + v.y * ptCm;
    const double spostamento = v.testo.startsWith(QLatin1Char(' ')) ? v.punti * 0.5 : 0.0;
    for (auto &p : parole) {
        if (p.usata || p.pagina != v.pagina || p.testo != pezzi.first()) continue;
        if (p.xMin < x - 1.0 || p.xMin > x + 1.0 + spostamento) continue;
        if (std::abs(p.yMin - y) > 1.0) continue;
        // The other words follow on the same line, left to right.
        QVector<Parola *> seguito{&p};
        for (int i = 1; i < pezzi.size(); ++i) {
            Parola *prossima = nullptr;
            for (auto &q : parole) {
                if (q.usata || q.pagina != p.pagina || q.testo != pezzi[i]) continue;
                if (std::abs(q.yMin - p.yMin) > 0.5 || q.xMin < seguito.last()->xMax) continue;
                if (!prossima || q.xMin < prossima->xMin) prossima = &q;
            }
            if (!prossima) break;
            seguito.append(prossima);
        }
        if (seguito.size() != pezzi.size()) continue;
        for (Parola *q : seguito) q->usata = true;
        return &p;
    }
    return nullptr;
}

} // namespace

class TestStampaPdf : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void testiEPosizioniCorrispondono();

private:
    QString pdftotext_;
};

void TestStampaPdf::initTestCase()
{
    pdftotext_ = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    QVERIFY2(!pdftotext_.isEmpty(), "pdftotext (poppler-utils) is needed to read the PDF back");
}

void TestStampaPdf::testiEPosizioniCorrispondono()
{
    DatiStampa d;
    d.migliore = GiroMigliore{QStringLiteral("Filippo"), 7, QStringLiteral("00:39,871")};
    for (int i = 0; i < 4; ++i) {
        const QString nome = QStringLiteral("Pilota%1").arg(i + 1);
        d.classifica.append({nome, 30 + i, QStringLiteral("20:0%1,125").arg(i)});
    }
    // Enough laps for a second page, and words a shaping engine would join ("fi", "ffi").
    d.classifica[0].pilota = QStringLiteral("Officina");
    for (int k = 0; k < 250; ++k)
        d.sunto.append({d.classifica[k % 4].pilota, QStringLiteral("00:%1,%2").arg(40 + k % 19).arg(k, 3, 10, QLatin1Char('0'))});
    const auto voci = LayoutStampa::componi(d);
    QVERIFY(std::any_of(voci.begin(), voci.end(), [](const VoceStampa &v) { return v.pagina == 1; }));

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("report.pdf"));
    FilePdf pdf(file);
    QString errore;
    QVERIFY2(pdf.stampa(voci, &errore), qPrintable(errore));

    auto parole = leggiParole(file);
    QVERIFY(!parole.isEmpty());
    // The lap rule is drawn again on the same spot after every lap; the
    // extractor keeps one copy of overlapping identical words.
    QSet<QString> visti;
    for (const auto &v : voci) {
        const QString chiave = QStringLiteral("%1|%2|%3|%4").arg(v.pagina).arg(v.x).arg(v.y).arg(v.testo);
        if (visti.contains(chiave)) continue;
        visti.insert(chiave);
        const Parola *p = cerca(parole, v);
        QVERIFY2(p, qPrintable(QStringLiteral("'%1' not found at page %2 (%3, %4)")
                                   .arg(v.testo).arg(v.pagina).arg(v.x).arg(v.y)));
        // Word boxes grow with the point size.
        const double altezza = p->yMax - p->yMin;
        QVERIFY2(altezza > v.punti * 0.9 && altezza < v.punti * 1.4, qPrintable(v.testo));
    }
    // Nothing printed that the layout did not ask for.
    for (const auto &p : parole) QVERIFY2(p.usata, qPrintable(p.testo));
    QVERIFY(std::none_of(parole.begin(), parole.end(), [](const Parola &p) { return p.pagina > 1; }));

    // Bold texts are wider than the same text in regular weight.
    DatiStampa pesi;
    pesi.classifica = {{QStringLiteral("Pesante"), 1, QStringLiteral("Pesante")}};
    const auto vociPesi = LayoutStampa::componi(pesi);
    const QString file2 = dir.filePath(QStringLiteral("pesi.pdf"));
    QVERIFY(FilePdf(file2).stampa(vociPesi, &errore));
    double regolare = 0, grassetto = 0;
    for (const auto &p : leggiParole(file2)) {
        if (p.testo != QLatin1String("Pesante")) continue;
        if (p.xMin > 10 * ptCm) regolare = p.xMax - p.xMin;  // the total column, 10 pt regular
        else if (p.yMin > 8 * ptCm) grassetto = p.xMax - p.xMin; // the block name, 13.5 pt bold
    }
    QVERIFY(regolare > 0 && grassetto > regolare * 1.35);
}

QTEST_MAIN(TestStampaPdf)
#include "tst_stampa_pdf.moc"
