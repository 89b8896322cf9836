#include "timing/orologio.h"
#include "timing/tempotesto.h"

#include <QtTest>

class TstTempoTesto : public QObject {
    Q_OBJECT
private slots:
    void testoTempo_data()
    {
        QTest::addColumn<float>("t");
        QTest::addColumn<QString>("atteso");
        QTest::newRow("zero") << 0.0f << "00:00,000";
        QTest::newRow("just below a minute is cut, not rounded") << 59.9996f << "00:59,999";
        QTest::newRow("one minute") << 60.0f << "01:00,000";
        QTest::newRow("over an hour stays in minutes") << 3723.5f << "62:03,500";
        QTest::newRow("hundred minutes") << 6000.0f << "100:00,000";
        // 1.005f is 1.00499999523...: truncation shows the lower millisecond.
        QTest::newRow("float just below a millisecond") << 1.005f << "00:01,004";
        QTest::newRow("negative follows floor") << -1.0f << "-01:59,000";
        QTest::newRow("lap") << 83.456f << "01:23,456";
    }
    void testoTempo()
    {
        QFETCH(float, t);
        QFETCH(QString, atteso);
        QCOMPARE(::testoTempo(t), atteso);
    }

    // A lap is a difference of clock readings: from 09:06:08 the clock moves
    // in 1/256 s and from 18:12:16 in 1/128 s, and the text shows it.
    void risoluzioneDelloOrologio_data()
    {
        QTest::addColumn<float>("base");
        QTest::addColumn<QString>("atteso");
        QTest::newRow("early morning") << 1000.0f << "01:23,456";
        QTest::newRow("from 09:06:08") << 32768.0f << "01:23,457";
        QTest::newRow("from 18:12:16") << 65536.0f << "01:23,453";
    }
    void risoluzioneDelloOrologio()
    {
        QFETCH(float, base);
        QFETCH(QString, atteso);
        const float fine = base + 83.456f;
        QCOMPARE(::testoTempo(fine - base), atteso);
    }

    void testoTempoSessione()
    {
        QCOMPARE(::testoTempoSessione(0), QStringLiteral("00:00"));
        QCOMPARE(::testoTempoSessione(125.9f), QStringLiteral("02:05"));
        QCOMPARE(::testoTempoSessione(5999.99f), QStringLiteral("99:59"));
        QCOMPARE(::testoTempoSessione(6000), QStringLiteral("100:00"));
    }

    void velocita()
    {
        QCOMPARE(avrSpeed(60, 1000), QStringLiteral(" 60"));
        // 53.7175... km/h: cut to two decimals, a rounding would give 53.72
        QCOMPARE(avrSpeed(23.456f, 350), QStringLiteral(" 53.71"));
        QCOMPARE(avrSpeed(41.3, 0), QStringLiteral(" 0"));
    }

    void limiteLetto()
    {
        QCOMPARE(valoreIniziale(QString()), 0.0);
        QCOMPARE(valoreIniziale(QStringLiteral("0")), 0.0);
        QCOMPARE(valoreIniziale(QStringLiteral("1.5")), 1.5);
        QCOMPARE(valoreIniziale(QStringLiteral("99")), 99.0);
        QCOMPARE(valoreIniziale(QStringLiteral(" 12abc")), 12.0);
        QCOMPARE(valoreIniziale(QStringLiteral("abc")), 0.0);
        QCOMPARE(valoreIniziale(QStringLiteral("1,5")), 1.0);
    }
};

QTEST_APPLESS_MAIN(TstTempoTesto)
#include "tst_tempotesto.moc"
