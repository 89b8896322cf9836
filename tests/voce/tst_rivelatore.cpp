// The tone finder of the recorded laps check: a lap counts as heard only when
// its whole tone is found, at the right instant, whatever the voice says over it.
#include "rivelatore.h"
#include "voce/motori.h"

#include <QtMath>
#include <QtTest>
#include <cstring>

namespace {
constexpr int fs = toni::campionamento;

QVector<qint16> campioni(const QByteArray &b)
{
    QVector<qint16> v(b.size() / 2);
    std::memcpy(v.data(), b.constData(), size_t(b.size()));
    return v;
}

// Something like a voice: a glottal pitch gliding between 100 and 220 Hz with
// thirty harmonics, loud (RMS near 7000, as espeak-ng comes out).
void voce(QVector<double> &x)
{
    double fase = 0;
    for (qsizetype n = 0; n < x.size(); ++n) {
        const double f0 = 160 + 60 * std::sin(2 * M_PI * 0.7 * double(n) / fs);
        fase += 2 * M_PI * f0 / fs;
        double v = 0;
        for (int k = 1; k <= 30; ++k) v += std::sin(k * fase) / k;
        x[n] += 6000 * v;
    }
}
} // namespace

class TstRivelatore : public QObject {
    Q_OBJECT
private slots:
    void inizi_data()
    {
        QTest::addColumn<QList<double>>("toni");    // where each tone starts, s
        QTest::addColumn<int>("tipo");              // Tono
        QTest::addColumn<double>("scala");          // level against the tone as made
        QTest::addColumn<int>("tenuti");            // ms kept of each tone, 0 all of it
        QTest::addColumn<int>("buco");              // ms of silence cut into its middle
        QTest::addColumn<bool>("conVoce");
        QTest::addColumn<QList<double>>("attesi");
        QTest::addColumn<double>("errore");         // ms allowed: the voice's own energy near the tone shifts it
        const int giro = int(Tono::Giro), ignorato = int(Tono::Ignorato);
        QTest::newRow("un tono") << QList<double>{0.5} << giro << 1.0 << 0 << 0 << false << QList<double>{0.5} << 0.5;
        QTest::newRow("più debole") << QList<double>{0.5} << giro << 0.6 << 0 << 0 << false << QList<double>{0.5} << 0.5;
        QTest::newRow("sotto la voce") << QList<double>{0.5, 1.3} << giro << 1.0 << 0 << 0 << true << QList<double>{0.5, 1.3} << 5.0;
        QTest::newRow("più debole sotto la voce") << QList<double>{0.5} << giro << 0.6 << 0 << 0 << true << QList<double>{0.5} << 5.0;
        QTest::newRow("la voce sola") << QList<double>{} << giro << 1.0 << 0 << 0 << true << QList<double>{} << 0.0;
        QTest::newRow("troncato") << QList<double>{0.5} << giro << 1.0 << 40 << 0 << false << QList<double>{} << 0.0;
        QTest::newRow("spezzato") << QList<double>{0.5} << giro << 1.0 << 0 << 20 << true << QList<double>{} << 0.0;
        QTest::newRow("il tono grave") << QList<double>{0.5} << ignorato << 1.0 << 0 << 0 << false << QList<double>{} << 0.0;
        QTest::newRow("uno dopo l'altro") << QList<double>{0.5, 0.58} << giro << 1.0 << 0 << 0 << false << QList<double>{0.5, 0.58} << 0.5;
    }
    void inizi()
    {
        QFETCH(QList<double>, toni);
        QFETCH(int, tipo);
        QFETCH(double, scala);
        QFETCH(int, tenuti);
        QFETCH(int, buco);
        QFETCH(bool, conVoce);
        QFETCH(QList<double>, attesi);
        QFETCH(double, errore);
        const QVector<qint16> tono = campioni(toni::campioni(Tono(tipo)));
        QVector<double> x(2 * fs, 0.0);
        if (conVoce) voce(x);
        for (double inizio : toni) {
            const qsizetype da = qRound(inizio * fs);
            const qsizetype fine = tenuti ? tenuti * fs / 1000 : tono.size();
            const qsizetype bucoDa = (tono.size() - buco * fs / 1000) / 2, bucoA = bucoDa + buco * fs / 1000;
            for (qsizetype k = 0; k < fine; ++k)
                if (k < bucoDa || k >= bucoA) x[da + k] += scala * tono[k];
        }
        QVector<qint16> registrazione(x.size());
        for (qsizetype n = 0; n < x.size(); ++n) registrazione[n] = qint16(qBound(-32768.0, x[n], 32767.0));

        const QVector<qint64> trovati = rivelatore::inizi(registrazione, toni::campioni(Tono::Giro), 1760);
        QCOMPARE(trovati.size(), attesi.size());
        for (qsizetype i = 0; i < trovati.size(); ++i)
            QVERIFY2(std::abs(double(trovati[i]) / fs - attesi[i]) * 1000 <= errore,
                     qPrintable(QStringLiteral("%1 s invece di %2 s").arg(double(trovati[i]) / fs).arg(attesi[i])));
    }
};

QTEST_MAIN(TstRivelatore)
#include "tst_rivelatore.moc"
