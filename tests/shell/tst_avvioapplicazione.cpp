#include "aiuti.h"
#include "results/visualtempi.h"
#include "setup/rilevaavvio.h"
#include "shell/applicazione.h"
#include "timing/globale.h"
#include "timing/rilevago.h"
#include "vfsprova.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>
#include <sqlcipher/sqlite3.h>

// The program as an operator meets it, with its real windows and dialogs. A timer
// answers every modal window as soon as it shows, so none can stall the run.
class TestAvvioApplicazione : public QObject {
    Q_OBJECT
    QTimer rispondi_;
    QStringList file_;   // names typed in file dialogs; none left cancels
    QStringList visti_;  // file dialog titles, message texts (answered Ok), unexpected windows
    QStringList viewer_; // the drivers the viewer listed, then its rows
    bool elimina_ = false; // the viewer deletes the first lap it shows

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
        QVERIFY(QTest::qWaitForWindowActive(w));
        for (int i = 0; i < nomi.size(); ++i) QTest::keyClicks(w->datiTxt(i), nomi[i]);
        QTest::keyClick(w->datiTxt(0), Qt::Key_Return);
    }
    static void parti(RilevaGo *go)
    {
        QVERIFY(QTest::qWaitForWindowActive(go));
        QTest::mouseClick(go->partiBtn(), Qt::LeftButton);
        QTest::qWait(1150); // past the lock-out of the real clock
    }

private slots:
    void initTestCase()
    {
        vfsprova::installa(); // a disk that can be made to fail
        connect(&rispondi_, &QTimer::timeout, this, [this] {
            QWidget *w = QApplication::activeModalWidget();
            if (auto *dlg = qobject_cast<QFileDialog *>(w)) {
                // The folder loads in the background and may take a few ticks: the answer stays on the dialog.
                if (!dlg->property("risposta").isValid()) {
                    visti_.append(dlg->windowTitle());
                    dlg->setProperty("risposta", file_.isEmpty() ? QString() : file_.takeFirst());
                }
                const QString nome = dlg->property("risposta").toString();
                dlg->setProperty("prove", dlg->property("prove").toInt() + 1);
                if (nome.isEmpty() || dlg->property("prove").toInt() > 100) return dlg->reject(); // a name it never takes
                // Typed into the name box: selectFile leaves a focused box alone.
                if (auto *casella = dlg->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))) casella->setText(nome);
                else dlg->selectFile(nome);
                static_cast<QDialog *>(dlg)->accept();
            } else if (auto *box = qobject_cast<QMessageBox *>(w)) {
                visti_.append(box->text());
                box->button(QMessageBox::Ok) ? box->button(QMessageBox::Ok)->click() : box->reject();
            } else if (auto *v = qobject_cast<Visualtempi *>(w)) {
                for (int i = 0; i < v->piloticmb()->count(); ++i) viewer_.append(v->piloticmb()->itemText(i));
                viewer_.append(QString::number(v->msFlexGrid1()->model()->rowCount()));
                if (std::exchange(elimina_, false)) { // the first lap shown, by its key, answering Yes
                    v->msFlexGrid1()->selectRow(0);
                    QTimer::singleShot(50, this, [this] {
                        auto *domanda = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
                        if (!domanda) return;
                        visti_.append(domanda->text());
                        domanda->button(QMessageBox::Yes)->click();
                    });
                    QTest::keyClick(v->msFlexGrid1(), Qt::Key_Delete);
                }
                v->accept();
            } else if (w) {
                visti_.append(QStringLiteral("inattesa: ") + w->metaObject()->className());
                w->close();
            }
        });
        rispondi_.start(20);
    }

    void dallAvvioAllUscita()
    {
        QTemporaryDir cartella;
        const QString percorso = cartella.filePath("saettinopro.mb"), gara = cartella.filePath("gara1.qlt");
        Applicazione app(percorso);
        app.avvia();
        // A new database and the start window with the tracks to choose from.
        RilevaAvvio *avvio = app.rilevaAvvio();
        QVERIFY(QFile::exists(percorso) && avvio && avvio->isVisible() && !app.rilevaGo());
        const QString pista = avvio->datiCmb()->itemText(0);
        QVERIFY(!pista.isEmpty());
        scrivi(avvio, {"Alfa", "Bet'a"});
        QPointer<RilevaGo> go = app.rilevaGo();
        QVERIFY(go && go->isVisible());
        QTRY_VERIFY(!app.rilevaAvvio());
        QVERIFY(globale().nomePista == pista && go->sessione().corsia(1).nome == "Bet'a");
        // Laps by key reach both grids.
        parti(go);
        tasto(go, Qt::Key_2);
        tasto(go, Qt::Key_1);
        QTRY_COMPARE(righe(go), 4); // the grids follow the lap store's commits
        QCOMPARE(go->griglia2()->model()->index(0, 3).data().toString(), pista);
        // Save, a lap more, then Load: the standings of the save come back.
        const QStringList alSalvataggio = classifica(go);
        visti_.clear(); // what the serial port said when the window opened
        file_ = {gara};
        emit go->menuSave();
        QVERIFY(QFile::exists(gara));
        QTest::qWait(1150);
        tasto(go, Qt::Key_1);
        QTRY_VERIFY(classifica(go) != alSalvataggio);
        file_ = {gara};
        emit go->menuLoad();
        QCOMPARE(classifica(go), alSalvataggio);
        QCOMPARE(visti_, (QStringList{"Salva Tempi", "Carica Tempi"}));
        // Tempi Piloti lists the stored drivers and shows the first one's laps.
        emit go->menuTempiPiloti();
        QCOMPARE(viewer_, (QStringList{"Alfa", "Bet'a", "1"}));
        // Its first lap deleted from there: the standings and the lane follow.
        visti_.clear();
        elimina_ = true;
        emit go->menuTempiPiloti();
        QVERIFY2(visti_.value(0).startsWith(QStringLiteral("Eliminare il giro 1 di Alfa (")), qPrintable(visti_.value(0)));
        QTRY_COMPARE(classifica(go), QStringList{"Bet'a/1"});
        QCOMPARE(go->sessione().corsia(0).numGiri, 0);
        // "Piloti": a fresh start window, and the same names go on counting.
        emit go->menuPiloti();
        avvio = app.rilevaAvvio();
        QVERIFY(avvio && avvio->isVisible() && avvio->datiTxt(0)->text().isEmpty());
        QTRY_VERIFY(!go);
        scrivi(avvio, {"Bet'a", "Gamma"});
        go = app.rilevaGo();
        QVERIFY(go);
        parti(go);
        tasto(go, Qt::Key_1);
        QTRY_VERIFY(classifica(go).contains("Bet'a/2"));
        // Canc.Database, after its question, empties both grids; laps count from 1 again.
        visti_.clear();
        emit go->menuCancDatabase();
        QVERIFY(visti_.size() == 1 && visti_[0].startsWith("Attenzione: questo comando"));
        QCOMPARE(righe(go), 0);
        tasto(go, Qt::Key_2);
        QTRY_COMPARE(classifica(go), QStringList{"Gamma/1"});
        // One backup at start, one before the Load, one before the reset.
        QCOMPARE(QDir(cartella.filePath("backup")).entryList(QDir::Files).size(), 3);
        // Closing with laps the disk did not take: asked first, then they go to a text file.
        vfsprova::guasto(SQLITE_FULL);
        QTest::qWait(1150);
        tasto(go, Qt::Key_2);
        tasto(go, Qt::Key_1);
        QTRY_COMPARE(go->giriInAttesa()->text(), QStringLiteral("Giri in attesa di salvataggio: 2"));
        visti_.clear();
        QVERIFY(app.esci());
        vfsprova::guasto(0);
        QVERIFY2(visti_.value(0).startsWith("2 giri non sono ancora stati salvati nel database."), qPrintable(visti_.value(0)));
        const QStringList file = QDir(cartella.path()).entryList({"saettinopro-giri-non-salvati-*.txt"});
        QCOMPARE(file.size(), 1);
        QVERIFY(visti_.value(0).contains(file.first()));
        const QString scritti = QString::fromUtf8(contenuto(cartella.filePath(file.first())));
        QVERIFY2(scritti.contains("\nGamma;2;") && scritti.contains("\nBet'a;1;"), qPrintable(scritti));
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
        QVERIFY(app.rilevaAvvio() && app.rilevaAvvio()->isVisible() && app.rilevaAvvio()->datiCmb()->count() == 0);
        QCOMPARE(contenuto(illeggibile), QByteArray(4096, 'x')); // the file is left for the user to look at
        QVERIFY(!QDir(cartella.filePath("backup")).exists()); // no copy of a file that did not open
    }
};

QTEST_MAIN(TestAvvioApplicazione)
#include "tst_avvioapplicazione.moc"
