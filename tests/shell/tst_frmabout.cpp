#include "shell/frmabout.h"

#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

class TstFrmAbout : public QObject {
    Q_OBJECT
private slots:
    // Opened from a window far from the centre of the screen, it shows the version; Enter and Esc both close it.
    void contenutoPosizioneEChiusura()
    {
        QWidget finestra;
        finestra.setGeometry(10, 10, 120, 90);
        finestra.show();
        for (const Qt::Key tasto : {Qt::Key_Return, Qt::Key_Escape}) {
            FrmAbout f(&finestra);
            QCOMPARE(f.lblVersion()->text(), QStringLiteral("Versione 0.80.0"));
            f.show();
            QVERIFY(QTest::qWaitForWindowActive(&f));
            // Centred on the screen, within the few pixels of a window frame.
            QVERIFY((f.frameGeometry().center() - f.screen()->geometry().center()).manhattanLength() <= 8);
            QTest::keyClick(&f, tasto);
            QVERIFY(!f.isVisible());
        }
    }
};

QTEST_MAIN(TstFrmAbout)
#include "tst_frmabout.moc"
