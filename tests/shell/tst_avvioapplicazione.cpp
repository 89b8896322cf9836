#include "aiuti.h"
#include "results/visualtempi.h"
#include "setup/rilevaavvio.h"
#include "shell/applicazione.h"
#include "timing/rilevago.h"
#include "vfsprova.h"

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>
#include <sqlcipher/sqlite3.h>

// The program as an operator meets it, with its real windows and dialogs. A timer
// answers every modal window as soon as it shows, so none can stall the run.
class TestAvvioApplicazione : public QObject {
    Q_OBJECT
    QTimer rispondi_;
    QString gara_;         // the name typed in every file dialog
    QStringList visti_;    // file dialog titles, message texts (answered Yes or Ok), unexpected windows
    bool eliminaNelViewer_ = true;

    static QStringList classifica(RilevaGo *go)
    {
        QStringList r;
        for (auto *m = go->griglia1()->model(); r.size() < m->rowCount();)
            r.append(m->index(r.size(), 0).data().toString() + '/' + m->index(r.size(), 1).data().toString());
        return r;
    }
    static int righe(RilevaGo *go) { return go->griglia1()->model()->rowCount() + go->griglia2()->model()->rowCount(); }
    // A closed dialog may leave no widget with the focus: the keys then go to the window.
    static void tasto(RilevaGo *go, Qt::Key k) { QWidget *f = QApplication::focusWidget(); QTest::keyClick(f ? f : go, k); }
    static void scrivi(RilevaAvvio *w, const QStringList &nomi)
    {
        QVERIFY(w && QTest::qWaitForWindowActive(w));
        for (int i = 0; i < nomi.size(); ++i) QTest::keyClicks(w->datiTxt(i), nomi[i]);
        QTest::keyClick(w->datiTxt(0), Qt::Key_Return);
    }
    // Until the wait for the lap writer and what followed it are over.
    static void finita(Applicazione &app) { QTRY_VERIFY(!app.attesa().inCorso()); }
    static void parti(RilevaGo *go)
    {
        QVERIFY(go && QTest::qWaitForWindowActive(go));
        QTest::mouseClick(go->partiBtn(), Qt::LeftButton);
        QTest::qWait(1150); // past the lock-out of the real clock
    }
    // Answers the modal window on top.
    void rispondi()
    {
        QWidget *w = QApplication::activeModalWidget();
        if (auto *dlg = qobject_cast<QFileDialog *>(w)) {
            // The folder loads in the background and may take a few ticks to take the name.
            dlg->setProperty("prove", dlg->property("prove").toInt() + 1);
            if (dlg->property("prove").toInt() == 1) visti_.append(dlg->windowTitle());
            if (dlg->property("prove").toInt() > 100) return dlg->reject(); // a name it never takes
            // Typed into the name box: selectFile leaves a focused box alone.
            dlg->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(gara_);
            static_cast<QDialog *>(dlg)->accept();
        } else if (auto *box = qobject_cast<QMessageBox *>(w)) {
            visti_.append(box->text());
            QAbstractButton *b = box->button(QMessageBox::Yes) ? box->button(QMessageBox::Yes) : box->button(QMessageBox::Ok);
            b ? b->click() : box->reject();
        } else if (auto *v = qobject_cast<Visualtempi *>(w)) {
            if (!v->isActiveWindow()) return; // its keys work once it is active
            visti_.append(v->windowTitle());
            if (!eliminaNelViewer_) return v->accept();
            // The first lap shown is deleted by its key; the question waits on a timer of its own.
            v->msFlexGrid1()->selectRow(0);
            QTimer::singleShot(50, this, &TestAvvioApplicazione::rispondi);
            QTest::keyClick(v->msFlexGrid1(), Qt::Key_Delete);
            v->accept();
        } else if (w) {
            visti_.append(QStringLiteral("inattesa: ") + w->metaObject()->className());
            w->close();
        }
    }

private slots:
    void initTestCase()
    {
        vfsprova::installa(); // a disk that can be made to fail
        connect(&rispondi_, &QTimer::timeout, this, &TestAvvioApplicazione::rispondi);
        rispondi_.start(20);
    }

    void dallAvvioAllUscita()
    {
        QTemporaryDir cartella;
        gara_ = cartella.filePath("gara1.qlt");
        Applicazione app(cartella.filePath("saettinopro.mb"));
        app.avvia();
        scrivi(app.rilevaAvvio(), {"Alfa", "Bet'a"});
        QPointer<RilevaGo> go = app.rilevaGo();
        QTRY_VERIFY(!app.rilevaAvvio());
        // Laps by key reach both grids.
        parti(go);
        tasto(go, Qt::Key_2);
        tasto(go, Qt::Key_1);
        QTRY_COMPARE(righe(go), 4); // the grids follow the lap store's commits
        // Saved; then Tempi Piloti shows the first driver's laps, and its first lap deleted from
        // there, the standings and the lane follow; Load, while the lap store runs, brings the save back.
        const QStringList alSalvataggio = classifica(go);
        visti_.clear(); // what the serial port said when the window opened
        emit go->menuSave();
        finita(app);
        emit go->menuTempiPiloti();
        finita(app);
        QVERIFY2(visti_.value(2).startsWith(QStringLiteral("Eliminare il giro 1 di Alfa (")), qPrintable(visti_.join("#")));
        QTRY_COMPARE(classifica(go), QStringList{"Bet'a/1"});
        QTRY_COMPARE(go->sessione().corsia(0).numGiri, 0); // once the writer has answered
        emit go->menuLoad();
        finita(app);
        QTRY_COMPARE(classifica(go), alSalvataggio);
        QVERIFY2(visti_.value(0) == "Salva Tempi" && visti_.value(3) == "Carica Tempi", qPrintable(visti_.join("#")));
        // "Piloti": a fresh start window, then a new session.
        emit go->menuPiloti();
        QTRY_VERIFY(!go);
        scrivi(app.rilevaAvvio(), {"Bet'a", "Gamma"}); // into empty boxes, or the names below would differ
        go = app.rilevaGo();
        parti(go);
        // Canc.Database empties the standings; Bet'a's laps count from 1 again.
        emit go->menuCancDatabase();
        finita(app);
        tasto(go, Qt::Key_1);
        QTRY_COMPARE(classifica(go), QStringList{"Bet'a/1"});
        // One backup at start, one before the Load, one before the reset.
        QCOMPARE(QDir(cartella.filePath("backup")).entryList(QDir::Files).size(), 3);
        // Closing with a lap the disk did not take: asked first, then it goes to a text file.
        vfsprova::guasto(SQLITE_FULL);
        tasto(go, Qt::Key_2);
        QTRY_COMPARE(go->giriInAttesa()->text(), QStringLiteral("Giri in attesa di salvataggio: 1"));
        QSignalSpy fine(&app, &Applicazione::terminata);
        app.esci();
        QTRY_COMPARE(fine.size(), 1);
        vfsprova::guasto(0);
        const QStringList file = QDir(cartella.path()).entryList({"saettinopro-giri-non-salvati-*.txt"});
        QVERIFY2(file.size() == 1 && visti_.constLast().startsWith("Un giro non è ancora stato salvato nel database.")
                     && visti_.constLast().contains(file.first()), qPrintable(visti_.constLast()));
    }

    // Another program holds the file: Save, Tempi Piloti and Esci wait for the writer
    // without holding the window up, say so, and keys pressed meanwhile are laps
    // stored with the instants they were pressed at.
    void tastiDuranteLAttesa_data()
    {
        QTest::addColumn<QString>("voce");
        QTest::newRow("Salva") << "Salva Tempi";
        QTest::newRow("Tempi Piloti") << "Tempi Pilota";
        QTest::newRow("Esci") << "";
    }
    void tastiDuranteLAttesa()
    {
        QFETCH(QString, voce);
        QTemporaryDir cartella;
        gara_ = cartella.filePath("gara2.qlt");
        const QString percorso = cartella.filePath("saettinopro.mb");
        Applicazione app(percorso);
        QSignalSpy fine(&app, &Applicazione::terminata);
        app.avvia();
        scrivi(app.rilevaAvvio(), {"Alfa", "Beta"});
        QPointer<RilevaGo> go = app.rilevaGo();
        parti(go);
        QElapsedTimer orologio;
        orologio.start();
        QList<qint64> istanti{orologio.elapsed()};
        tasto(go, Qt::Key_1); // Alfa's lap 1, stored at once
        QTRY_COMPARE(righe(go), 2);
        Database altro;
        altro.apri(percorso, "lampionearancio");
        altro.esegui("BEGIN IMMEDIATE");
        QTest::qWait(1150 - int(orologio.elapsed())); // past the lock-out
        istanti << orologio.elapsed();
        tasto(go, Qt::Key_1); // lap 2 waits behind the lock
        visti_.clear();
        eliminaNelViewer_ = false;
        if (voce == "Salva Tempi") emit go->menuSave();
        else if (voce.isEmpty()) emit go->menuEsci();
        else emit go->menuTempiPiloti();
        QTest::qWait(1150);
        QVERIFY(app.attesa().inCorso() && visti_.isEmpty()); // no dialog yet
        istanti << orologio.elapsed();
        tasto(go, Qt::Key_1); // lap 3, while the window waits
        QWidget *avviso = app.avvisoAttesa().finestra();
        QTRY_VERIFY(avviso && avviso->isVisible());
        QTRY_COMPARE(avviso->findChild<QLabel *>()->text(), AttesaScrittore::testo(2));
        altro.esegui("COMMIT");
        finita(app);
        eliminaNelViewer_ = true;
        QVERIFY(!avviso->isVisible());
        if (voce.isEmpty()) QTRY_COMPARE(fine.size(), 1);
        else QCOMPARE(visti_.value(0), voce);
        QVERIFY(app.archivio().svuota());
        const Righe giri = ::righe(altro, "SELECT giroN, tempoGiro FROM Giri WHERE pilota = 'Alfa' ORDER BY giroN");
        QCOMPARE(giri.size(), 3);
        for (int n = 2; n <= 3; ++n)
            QVERIFY2(qAbs(giri[n - 1][1].toDouble() - (istanti[n - 1] - istanti[n - 2]) / 1000.0) < 0.03,
                     qPrintable(QString("lap %1: %2 s").arg(n).arg(giri[n - 1][1].toDouble())));
    }

    // A writer that does not answer for seconds (a disk that hangs): the notice offers
    // to give up, and giving up drops the action, not the laps.
    void attesaAnnullata()
    {
        QTemporaryDir cartella;
        gara_ = cartella.filePath("gara3.qlt");
        Applicazione app(cartella.filePath("saettinopro.mb"));
        app.avvia();
        scrivi(app.rilevaAvvio(), {"Alfa"});
        QPointer<RilevaGo> go = app.rilevaGo();
        parti(go);
        QMetaObject::invokeMethod(app.archivio().scrittore(), [] { QThread::msleep(4000); });
        tasto(go, Qt::Key_1);
        visti_.clear();
        emit go->menuSave();
        QWidget *avviso = nullptr;
        QTRY_VERIFY((avviso = app.avvisoAttesa().finestra()) && avviso->isVisible());
        auto *annulla = avviso->findChild<QPushButton *>();
        QVERIFY(!annulla->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(annulla->isVisible(), 5000);
        annulla->click();
        QVERIFY(!app.attesa().inCorso() && !avviso->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(app.archivio().giriInAttesa(), 0, 5000); // the lap goes in all the same
        QTest::qWait(100);
        QVERIFY2(visti_.isEmpty(), qPrintable(visti_.join("#")));
    }

    void fileIlleggibileNonFermaIlProgramma()
    {
        QTemporaryDir cartella;
        const QString illeggibile = cartella.filePath("saettinopro.mb");
        QVERIFY(scriviFile(illeggibile, QByteArray(4096, 'x')));
        visti_.clear();
        Applicazione app(illeggibile);
        app.avvia();
        QVERIFY(visti_.size() == 1 && visti_[0].startsWith("Errore del database: "));
        QVERIFY(app.rilevaAvvio() && app.rilevaAvvio()->isVisible() && app.rilevaAvvio()->dati().piste().isEmpty());
        QCOMPARE(contenuto(illeggibile), QByteArray(4096, 'x')); // the file is left for the user to look at
        QVERIFY(!QDir(cartella.filePath("backup")).exists()); // no copy of a file that did not open
    }
};

QTEST_MAIN(TestAvvioApplicazione)
#include "tst_avvioapplicazione.moc"
