#include "database/archiviotempi.h"
#include "database/database.h"
#include "messaggifinti.h"
#include "setup/rilevaavvio.h"
#include "shell/applicazione.h"
#include "timing/globale.h"
#include "timing/rilevago.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

// The program as a new user meets it: a new database, the start window, the
// timing window, laps by key, and back to the start window.
class TestAvvioApplicazione : public QObject {
    Q_OBJECT
    // The real message boxes are modal: they are answered as soon as they show.
    QTimer rispondi_;
    QStringList visti_;

    static void scrivi(RilevaAvvio *w, const QStringList &nomi)
    {
        for (int i = 0; i < nomi.size(); ++i) QTest::keyClicks(w->datiTxt(i), nomi[i]);
        QTest::keyClick(w->datiTxt(0), Qt::Key_Return);
    }

private slots:
    void initTestCase()
    {
        rispondi_.setInterval(20);
        connect(&rispondi_, &QTimer::timeout, this, [this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                visti_.append(box->text());
                box->accept();
            }
        });
        rispondi_.start();
    }
    void init() { visti_.clear(); }

    void dallAvvioAiGiriEIndietro()
    {
        QTemporaryDir cartella;
        const QString percorso = cartella.filePath(QStringLiteral("saettinopro.mb"));
        Applicazione app(percorso);
        app.avvia();
        QVERIFY(QFile::exists(percorso));
        RilevaAvvio *avvio = app.rilevaAvvio();
        QVERIFY(avvio && avvio->isVisible());
        QVERIFY(!app.rilevaGo());
        QVERIFY(avvio->datiCmb()->count() > 0);
        const QString primaPista = avvio->datiCmb()->itemText(0);
        QVERIFY(QTest::qWaitForWindowActive(avvio));

        scrivi(avvio, {QStringLiteral("Alfa"), QStringLiteral("Bet'a")});
        QPointer<RilevaGo> go = app.rilevaGo();
        QVERIFY(go && go->isVisible());
        QTRY_VERIFY(!app.rilevaAvvio());
        QCOMPARE(globale().nomePista, primaPista);
        QCOMPARE(go->sessione().numPiloti(), 2);
        QCOMPARE(go->sessione().corsia(1).nome, QStringLiteral("Bet'a"));
        QCOMPARE(go->griglia1()->model()->columnCount(), 3);
        QCOMPARE(go->griglia2()->model()->columnCount(), 4);

        QVERIFY(QTest::qWaitForWindowActive(go));
        QTest::mouseClick(go->partiBtn(), Qt::LeftButton);
        QTest::qWait(1150); // past the lock-out of the real clock
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_2);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_1);
        QCOMPARE(go->griglia1()->model()->rowCount(), 2);
        QCOMPARE(go->griglia2()->model()->rowCount(), 2);
        QCOMPARE(go->griglia2()->model()->index(0, 3).data().toString(), primaPista);

        // "Piloti": a fresh start window, and the same names go on counting.
        emit go->menuPiloti();
        avvio = app.rilevaAvvio();
        QVERIFY(avvio && avvio->isVisible());
        QTRY_VERIFY(!go);
        QCOMPARE(avvio->datiTxt(0)->text(), QString());
        QVERIFY(QTest::qWaitForWindowActive(avvio));
        scrivi(avvio, {QStringLiteral("Bet'a"), QStringLiteral("Gamma")});
        go = app.rilevaGo();
        QVERIFY(go);
        QCOMPARE(go->sessione().corsia(0).numGiri, 1);
        QCOMPARE(go->sessione().corsia(1).numGiri, 0);
        QCOMPARE(go->griglia1()->model()->rowCount(), 2);
        for (const QString &testo : std::as_const(visti_))
            QVERIFY2(!testo.startsWith(QStringLiteral("Errore del database")), qPrintable(testo));
    }

    void fileIlleggibileNonFermaIlProgramma()
    {
        QTemporaryDir cartella;
        const QString percorso = cartella.filePath(QStringLiteral("saettinopro.mb"));
        QFile f(percorso);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
        f.close();
        Applicazione app(percorso);
        app.avvia();
        QCOMPARE(visti_.size(), 1);
        QVERIFY(visti_[0].startsWith(QStringLiteral("Errore del database: ")));
        QVERIFY(app.rilevaAvvio() && app.rilevaAvvio()->isVisible());
        QCOMPARE(app.rilevaAvvio()->datiCmb()->count(), 0);
        QCOMPARE(f.size(), 4096); // the file is left for the user to look at
    }
};

QTEST_MAIN(TestAvvioApplicazione)
#include "tst_avvioapplicazione.moc"
