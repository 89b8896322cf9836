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
        QVERIFY(!f.findChild<QLabel *>(QStringLiteral("picIcon"))->pixmap().isNull());
        // Opens centred on the screen, within the few pixels of a window frame.
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QVERIFY((f.frameGeometry().center() - f.screen()->geometry().center()).manhattanLength() <= 8);
    }

    void chiusoDaInvioEDaEsc()
    {
        for (const Qt::Key tasto : {Qt::Key_Return, Qt::Key_Escape}) {
            FrmAbout f;
            QTimer::singleShot(0, &f, [&] {
                if (QTest::qWaitForWindowActive(&f)) QTest::keyClick(&f, tasto);
            });
            QTimer::singleShot(3000, &f, [&] { f.done(99); }); // never hang the suite
            QVERIFY2(f.exec() != 99, "the key did not close the box");
            QVERIFY(!f.isVisible());
        }
    }
};

QTEST_MAIN(TstFrmAbout)
#include "tst_frmabout.moc"
