#include "comune/identita.h"
#include "shell/frmabout.h"

#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QtTest>

class TstFrmAbout : public QObject {
    Q_OBJECT
private slots:
    void contenuto()
    {
        QWidget finestra; // the window that opens it, far from the centre of the screen
        finestra.setGeometry(10, 10, 120, 90);
        finestra.show();
        FrmAbout f(&finestra);
        QCOMPARE(f.windowTitle(), QStringLiteral("Informazioni su Saettino Professional"));
        QCOMPARE(f.lblTitle()->text(), QString::fromUtf8(identita::titolo));
        QCOMPARE(f.lblVersion()->text(), QStringLiteral("Versione 0.80.0"));
        QCOMPARE(f.cmdOK()->text(), QStringLiteral("Chiudi"));
        QVERIFY(f.cmdOK()->isDefault());
        QVERIFY(f.isModal());
        QCOMPARE(f.size(), QSize(284, 155));
        QVERIFY(!f.findChild<QLabel *>(QStringLiteral("picIcon"))->pixmap().isNull());
        // Opens centred on the screen, within the few pixels of a window frame.
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QVERIFY((f.frameGeometry().center() - f.screen()->geometry().center()).manhattanLength() <= 8);
    }

    void versioneSenzaZeri()
    {
        QCOMPARE(FrmAbout::testoVersione(1, 2, 3), QStringLiteral("Versione 1.2.3"));
        QCOMPARE(FrmAbout::testoVersione(0, 5, 0), QStringLiteral("Versione 0.5.0"));
        QCOMPARE(FrmAbout::testoVersione(10, 0, 12), QStringLiteral("Versione 10.0.12"));
    }

    void chiusoDaInvioEDaEsc_data()
    {
        QTest::addColumn<int>("tasto");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Esc") << int(Qt::Key_Escape);
    }
    void chiusoDaInvioEDaEsc()
    {
        QFETCH(int, tasto);
        FrmAbout f;
        bool premuto = false;
        QTimer::singleShot(0, &f, [&] {
            QVERIFY(QTest::qWaitForWindowActive(&f));
            QTest::keyClick(&f, Qt::Key(tasto));
            premuto = true;
        });
        QTimer::singleShot(3000, &f, [&] { f.done(99); }); // never hang the suite
        const int esito = f.exec();
        QVERIFY(premuto);
        QVERIFY(esito != 99);
        QVERIFY(!f.isVisible());
    }
};

QTEST_MAIN(TstFrmAbout)
#include "tst_frmabout.moc"
