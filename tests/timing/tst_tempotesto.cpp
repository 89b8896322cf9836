#include "timing/tempotesto.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class TstTempoTesto : public QObject {
    Q_OBJECT
private slots:
    // The same seconds as a lap's text and as the session clock.
    void testoTempo_data()
    {
        QTest::addColumn<float>("t");
        QTest::addColumn<QString>("giro");
        QTest::addColumn<QString>("sessione");
        QTest::newRow("zero") << 0.0f << "00:00,000" << "00:00";
        QTest::newRow("just below a minute is cut, not rounded") << 59.9996f << "00:59,999" << "00:59";
        QTest::newRow("one minute") << 60.0f << "01:00,000" << "01:00";
        QTest::newRow("lap") << 83.456f << "01:23,456" << "01:23";
        QTest::newRow("seconds cut") << 125.9f << "02:05,900" << "02:05";
        QTest::newRow("over an hour stays in minutes") << 3723.5f << "62:03,500" << "62:03";
        QTest::newRow("last two-digit minute") << 5999.99f << "99:59,990" << "99:59";
        QTest::newRow("hundred minutes") << 6000.0f << "100:00,000" << "100:00";
        // 1.005f is 1.00499999523...: truncation shows the lower millisecond.
        QTest::newRow("float just below a millisecond") << 1.005f << "00:01,004" << "00:01";
        QTest::newRow("negative follows floor") << -1.0f << "-01:59,000" << "-01:59";
    }
    void testoTempo()
    {
        QFETCH(float, t);
        QTEST(::testoTempo(t), "giro");
        QTEST(::testoTempoSessione(t), "sessione");
    }

    void velocitaELimiteLetto()
    {
        // km/h cut to two decimals (53.7175... would round to 53.72), a blank in front; no length, no speed.
        QCOMPARE((QStringList{avrSpeed(60, 1000), avrSpeed(23.456f, 350), avrSpeed(41.3, 0)}), (QStringList{" 60", " 53.71", " 0"}));
        // The session limit in minutes: the leading number, "." as the decimal point, 0 without one.
        for (const auto &[testo, minuti] : {std::pair{"", 0.0}, {"0", 0.0}, {"1.5", 1.5}, {"99", 99.0}, {" 12abc", 12.0},
                                            {"abc", 0.0}, {"1,5", 1.0}})
            QCOMPARE(valoreIniziale(QString::fromLatin1(testo)), minuti);
    }
};

QTEST_APPLESS_MAIN(TstTempoTesto)
#include "tst_tempotesto.moc"
