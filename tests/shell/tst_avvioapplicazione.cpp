#include "aiuti.h"
#include "database/cancellatempi.h"
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
#include <QDateTime>
#include <QElapsedTimer>
#include <sqlcipher/sqlite3.h>

namespace {
// Lane keys pressed at planned instants by a 10 ms timer of the window's thread,
// which also measures the longest stretch that thread's event loop was held up.
class Battito : public QObject {
public:
    Battito(RilevaGo *go, QList<std::pair<int, Qt::Key>> piano) : go_(go), piano_(std::move(piano))
    {
        connect(&timer_, &QTimer::timeout, this, &Battito::tic);
        orologio_.start();
        timer_.start(10);
    }
    bool finito() const { return piano_.isEmpty(); }
    qint64 pausaMassima = 0;
    QStringList dove; // the window each key went to

private:
    void tic()
    {
        const qint64 ora = orologio_.elapsed();
        pausaMassima = qMax(pausaMassima, ora - ultimo_);
        ultimo_ = ora;
        while (!piano_.isEmpty() && piano_.first().first <= ora) {
            QWidget *f = QApplication::focusWidget();
            dove << QString::fromLatin1((f ? f->window() : go_.data())->metaObject()->className());
            QTest::keyClick(f ? f : go_.data(), piano_.takeFirst().second);
        }
    }
    QPointer<RilevaGo> go_;
    QList<std::pair<int, Qt::Key>> piano_;
    QElapsedTimer orologio_;
    QTimer timer_;
    qint64 ultimo_ = 0;
};
} // namespace

// The program as an operator meets it, with its real windows and dialogs. A timer
// answers every modal window as soon as it shows, so none can stall the run.
class TestAvvioApplicazione : public QObject {
    Q_OBJECT
    QTimer rispondi_;
    QString gara_;         // the name typed in every file dialog
    QStringList visti_;    // file dialog titles, message texts (answered Yes or Ok), unexpected windows
    bool eliminaNelViewer_ = true;
    QString trattieni_;    // a message starting so stays open this long before it is answered
    int trattieniMs_ = 0;

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
    // Until the commands asked for, their waits and what followed them are over.
    static void finita(Applicazione &app)
    {
        QTRY_VERIFY_WITH_TIMEOUT(app.comandoInCorso().isEmpty() && app.comandiInCoda().isEmpty(), 10000);
    }
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
            if (!trattieni_.isEmpty() && box->text().startsWith(trattieni_)) {
                if (!box->property("dal").isValid()) box->setProperty("dal", QDateTime::currentMSecsSinceEpoch());
                if (QDateTime::currentMSecsSinceEpoch() - box->property("dal").toLongLong() < trattieniMs_) return;
            }
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
        trattieni_ = QStringLiteral("Un giro non è ancora stato salvato");
        trattieniMs_ = 1500; // the text file is named in the question, then written a second later
        app.esci();
        QTRY_COMPARE_WITH_TIMEOUT(fine.size(), 1, 10000);
        trattieni_.clear();
        vfsprova::guasto(0);
        const QStringList file = QDir(cartella.path()).entryList({"saettinopro-giri-non-salvati-*.txt"});
        QVERIFY2(file.size() == 1 && visti_.constLast().startsWith("Un giro non è ancora stato salvato nel database.")
                     && visti_.constLast().contains(file.first()), qPrintable(visti_.constLast()));
    }

    // Another program holds the file, with a lap waiting behind its write lock or none
    // behind a lock that bars reading too: Save (whose copy waits for the lock, then says
    // it failed), Tempi Piloti (which opens once the file reads) and Esci never hold the
    // window's event loop up; lane keys pressed meanwhile, one while the Save's message
    // is on screen, are laps stored with the instants they were pressed at.
    void tastiDuranteLAttesa_data()
    {
        QTest::addColumn<QString>("voce");
        QTest::addColumn<bool>("esclusivo");
        for (bool esclusivo : {false, true}) {
            const char *come = esclusivo ? ", nessun giro in attesa" : "";
            QTest::newRow(qPrintable(QString("Salva") + come)) << "Salva Tempi" << esclusivo;
            QTest::newRow(qPrintable(QString("Tempi Piloti") + come)) << "Tempi Pilota" << esclusivo;
        }
        QTest::newRow("Esci") << "" << false;
    }
    void tastiDuranteLAttesa()
    {
        QFETCH(QString, voce);
        QFETCH(bool, esclusivo);
        QTemporaryDir cartella;
        gara_ = cartella.filePath("gara2.qlt");
        const QString percorso = cartella.filePath("saettinopro.mb");
        Applicazione app(percorso);
        QSignalSpy fine(&app, &Applicazione::terminata);
        app.avvia();
        scrivi(app.rilevaAvvio(), {"Alfa", "Beta"});
        QPointer<RilevaGo> go = app.rilevaGo();
        parti(go);
        Database altro;
        altro.apri(percorso, "lampionearancio");
        altro.esegui(esclusivo ? "BEGIN EXCLUSIVE" : "BEGIN IMMEDIATE");
        visti_.clear();
        eliminaNelViewer_ = false;
        trattieni_ = QStringLiteral("Impossibile salvare i tempi in");
        trattieniMs_ = 900;
        // Behind a write lock: Alfa at 0 s (that lap waits) and 1.2 s, Beta at 0.6 s, all before the
        // writer's first try gives up. Behind a lock that bars reading too: Alfa at 1.2, 2.4 and 3.6 s,
        // Beta at 1.8 and 3 s, while Save's copy waits, then its message shows, or the viewer waits.
        const QList<std::pair<int, Qt::Key>> piano = esclusivo
            ? QList<std::pair<int, Qt::Key>>{{1200, Qt::Key_1}, {1800, Qt::Key_2}, {2400, Qt::Key_1},
                                             {3000, Qt::Key_2}, {3600, Qt::Key_1}}
            : QList<std::pair<int, Qt::Key>>{{0, Qt::Key_1}, {600, Qt::Key_2}, {1200, Qt::Key_1}};
        Battito battito(go, piano);
        QTest::qWait(100);
        if (voce == "Salva Tempi") emit go->menuSave();
        else if (voce.isEmpty()) emit go->menuEsci();
        else emit go->menuTempiPiloti();
        QTRY_VERIFY_WITH_TIMEOUT(battito.finito(), 10000);
        // No dialog while the writer waits, no viewer while the file cannot be read.
        if (!esclusivo || voce != "Salva Tempi") QVERIFY(!visti_.contains(voce));
        QVERIFY(app.avvisoAttesa().finestra()->findChild<QLabel *>()->text().startsWith("Attendere: "));
        if (voce == "Salva Tempi" && esclusivo) QVERIFY2(battito.dove.contains("QMessageBox"), qPrintable(battito.dove.join(' ')));
        altro.esegui("COMMIT");
        finita(app);
        trattieni_.clear();
        eliminaNelViewer_ = true;
        QVERIFY(!app.avvisoAttesa().finestra()->isVisible());
        if (voce.isEmpty()) QTRY_COMPARE(fine.size(), 1);
        qInfo("the window's event loop held up at most %lld ms", battito.pausaMassima);
        QVERIFY2((voce.isEmpty() || visti_.contains(voce)) && battito.pausaMassima < 100,
                 qPrintable(QString("%1 ms; %2").arg(battito.pausaMassima).arg(visti_.join('#'))));
        if (!voce.isEmpty()) QVERIFY(app.archivio().svuota());
        const int alfa = esclusivo ? 3 : 2, beta = esclusivo ? 2 : 1;
        for (const auto &[pilota, giri] : {std::pair{"Alfa", alfa}, {"Beta", beta}}) {
            const Righe r = ::righe(altro, QString("SELECT giroN, tempoGiro FROM Giri WHERE pilota = '%1' ORDER BY giroN").arg(pilota));
            QCOMPARE(r.size(), giri);
            for (int n = 2; n <= giri; ++n) // 1.2 s between two keys of a lane
                QVERIFY2(qAbs(r[n - 1][1].toDouble() - 1.2) < 0.04,
                         qPrintable(QString("%1 lap %2: %3 s").arg(pilota).arg(n).arg(r[n - 1][1].toDouble())));
        }
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

    // Every menu command, and Esci, while a Load's file is checked and while another
    // command waits for a writer that does not answer: Esci ends the program at once;
    // the others wait their turn in order, said by the notice, and then run (the one
    // under way, asked again, is the same request). Nothing is dropped, nothing crashes.
    void comandiInAttesa_data()
    {
        QTest::addColumn<QString>("durante");
        QTest::addColumn<bool>("esci");
        for (const char *durante : {"verifica", "scrittore"}) {
            QTest::newRow(durante) << durante << false;
            QTest::newRow(qPrintable(QString(durante) + ", Esci")) << durante << true;
        }
    }
    void comandiInAttesa()
    {
        QFETCH(QString, durante);
        QFETCH(bool, esci);
        QTemporaryDir cartella;
        gara_ = cartella.filePath("gara"); // saved under exactly this name
        const QString percorso = cartella.filePath("saettinopro.mb");
        Applicazione app(percorso);
        QSignalSpy fine(&app, &Applicazione::terminata);
        app.avvia();
        scrivi(app.rilevaAvvio(), {"Alfa", "Beta"});
        QPointer<RilevaGo> go = app.rilevaGo();
        parti(go);
        tasto(go, Qt::Key_1);
        QVERIFY(app.archivio().svuota());
        visti_.clear();
        eliminaNelViewer_ = false;
        if (durante == "verifica") {
            // A Load whose check takes seconds.
            QVERIFY(QFile::copy(percorso, gara_));
            vfsprova::rallentaLetture("gara", 60);
            emit go->menuLoad();
            QTRY_VERIFY(app.avvisoAttesa().finestra() && app.avvisoAttesa().finestra()->isVisible());
        } else {
            QMetaObject::invokeMethod(app.archivio().scrittore(), [] { QThread::msleep(2500); });
            tasto(go, Qt::Key_2); // Beta's lap waits for the writer
            emit go->menuSave();
            QTest::qWait(50);
        }
        QVERIFY(!app.comandoInCorso().isEmpty());
        if (esci) {
            emit go->menuEsci();
            QTRY_COMPARE_WITH_TIMEOUT(fine.size(), 1, 5000);
            vfsprova::rallentaLetture("", 0);
            QVERIFY(QDir(cartella.path()).entryList({"saettinopro.mb.*"}).isEmpty()); // nothing of the Load left over
            return;
        }
        // What shows that each ran: a dialog's title, a message, a window closed by the test.
        const QList<std::pair<const char *, QString>> comandi{
            {"menuSave", "Salva Tempi"}, {"menuLoad", "Carica Tempi"}, {"menuStampa", "Salva stampa"},
            {"menuTempiPiloti", "Tempi Pilota"}, {"menuCancDatabase", CancellaTempi::domanda()},
            {"menuEsportaCsv", "Esporta tempi"}, {"menuEsportaExcel", "Esporta tempi per Excel"},
            {"menuPortSetting", "inattesa: PortSett"}, {"menuInformazioni", "inattesa: FrmAbout"},
            {"menuRisultatiInRete", "inattesa: DialogoRete"}, {"menuAnnunciVocali", "inattesa: DialogoVoce"},
            {"menuTempoMinimo", "inattesa: QDialog"}, {"menuPiloti", ""}};
        for (const auto &[segnale, traccia] : comandi) QVERIFY(QMetaObject::invokeMethod(go, segnale));
        const QStringList attesi{"Stampa", "Tempi Piloti", "Canc.Database", "Esporta CSV", "Esporta Excel", "Proprietà porta",
                                 "Informazioni", "Risultati in rete", "Annunci vocali", "Piloti"};
        QCOMPARE(app.comandiInCoda(), QStringList(durante == "verifica" ? "Save" : "Load") + attesi);
        QTRY_VERIFY(app.avvisoAttesa().finestra()->findChild<QLabel *>()->text().endsWith(
            "In coda: " + app.comandiInCoda().join(", ")));
        QTRY_VERIFY_WITH_TIMEOUT(!go && app.comandoInCorso().isEmpty() && app.comandiInCoda().isEmpty(), 60000);
        vfsprova::rallentaLetture("", 0);
        eliminaNelViewer_ = true;
        QVERIFY(app.rilevaAvvio() && fine.isEmpty());
        for (const auto &[segnale, traccia] : comandi)
            QVERIFY2(traccia.isEmpty() || visti_.count(traccia) == 1, qPrintable(segnale + (" / " + visti_.join('#'))));
        QVERIFY(QFileInfo::exists(gara_)); // no extension added to the name typed
    }

    // Laps marked while a Load's file is checked go into the loaded file, numbered after
    // its own laps, and the lanes go on from there.
    void giriDuranteLaVerifica()
    {
        QTemporaryDir cartella;
        const QString percorso = cartella.filePath("saettinopro.mb");
        gara_ = cartella.filePath("gara.qlt");
        Applicazione app(percorso);
        app.avvia();
        scrivi(app.rilevaAvvio(), {"Alfa", "Beta"});
        QPointer<RilevaGo> go = app.rilevaGo();
        parti(go);
        tasto(go, Qt::Key_1); // Alfa's lap 1 in the live file
        QVERIFY(app.archivio().svuota());
        QVERIFY(QFile::copy(percorso, gara_)); // the saved session: Alfa with four laps
        Database salvato;
        salvato.apri(gara_, "lampionearancio");
        salvato.esegui("INSERT INTO Giri (pilota, giroN, tempoGiro) VALUES ('Alfa', 2, 30), ('Alfa', 3, 30), ('Alfa', 4, 30)");
        salvato.chiudi();
        vfsprova::rallentaLetture("gara", 60);
        emit go->menuLoad();
        QTRY_VERIFY(app.avvisoAttesa().finestra() && app.avvisoAttesa().finestra()->isVisible());
        QTest::qWait(1150);
        tasto(go, Qt::Key_1);
        tasto(go, Qt::Key_2);
        QVERIFY(!app.comandoInCorso().isEmpty()); // still checking
        QTRY_VERIFY_WITH_TIMEOUT(app.comandoInCorso().isEmpty(), 20000);
        vfsprova::rallentaLetture("", 0);
        QTRY_COMPARE(app.archivio().giriInAttesa(), 0);
        QTRY_VERIFY(go->sessione().corsia(0).numGiri == 5 && go->sessione().corsia(1).numGiri == 1);
        QTest::qWait(1150);
        tasto(go, Qt::Key_1);
        QVERIFY(app.archivio().svuota());
        Database db;
        db.apri(percorso, "lampionearancio");
        QCOMPARE(::righe(db, "SELECT pilota, giroN FROM Giri ORDER BY pilota, giroN"),
                 (Righe{{"Alfa", 1}, {"Alfa", 2}, {"Alfa", 3}, {"Alfa", 4}, {"Alfa", 5}, {"Alfa", 6}, {"Beta", 1}}));
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
