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

    // Another program holds the file's lock and no lap waits: Save (whose copy waits for
    // the lock, then fails and says so) and Tempi Piloti (which opens once the file can be
    // read) never hold the window's event loop up; lane keys pressed meanwhile, one
    // while the Save's message is on screen, are laps stored at the instants pressed.
    void tastiColFileBloccato_data()
    {
        QTest::addColumn<QString>("voce");
        QTest::newRow("Salva") << "Salva Tempi";
        QTest::newRow("Tempi Piloti") << "Tempi Pilota";
    }
    void tastiColFileBloccato()
    {
        QFETCH(QString, voce);
        QTemporaryDir cartella;
        gara_ = cartella.filePath("gara4.qlt");
        const QString percorso = cartella.filePath("saettinopro.mb");
        Applicazione app(percorso);
        app.avvia();
        scrivi(app.rilevaAvvio(), {"Alfa", "Beta"});
        QPointer<RilevaGo> go = app.rilevaGo();
        parti(go);
        Database altro;
        altro.apri(percorso, "lampionearancio");
        altro.esegui("BEGIN EXCLUSIVE");
        visti_.clear();
        eliminaNelViewer_ = false;
        trattieni_ = QStringLiteral("Impossibile salvare i tempi in");
        trattieniMs_ = 900;
        if (voce == "Salva Tempi") emit go->menuSave();
        else emit go->menuTempiPiloti();
        const QList<int> quando{300, 900, 1500, 2100, 2700, 3300};
        QList<std::pair<int, Qt::Key>> piano;
        for (int k = 0; k < quando.size(); ++k) piano.append({quando[k], k % 2 ? Qt::Key_2 : Qt::Key_1});
        Battito battito(go, piano);
        QTRY_VERIFY_WITH_TIMEOUT(battito.finito(), 10000);
        if (voce == "Salva Tempi") {
            QTRY_VERIFY(visti_.filter(trattieni_).size() == 1);
            QVERIFY2(battito.dove.contains("QMessageBox"), qPrintable(battito.dove.join(' ')));
        } else {
            QVERIFY(!visti_.contains(voce)); // not open while the file is held
            QCOMPARE(app.avvisoAttesa().finestra()->findChild<QLabel *>()->text(),
                     QStringLiteral("Attendere: il database dei tempi è bloccato da un altro programma..."));
        }
        altro.esegui("COMMIT");
        QTRY_VERIFY_WITH_TIMEOUT(app.comandoInCorso().isEmpty(), 10000);
        trattieni_.clear();
        eliminaNelViewer_ = true;
        QVERIFY2(visti_.contains(voce) && battito.pausaMassima < 100,
                 qPrintable(QString("%1 ms; %2").arg(battito.pausaMassima).arg(visti_.join('#'))));
        QVERIFY(app.archivio().svuota());
        for (const QString pilota : {"Alfa", "Beta"}) {
            const Righe giri = ::righe(altro, "SELECT giroN, tempoGiro FROM Giri WHERE pilota = '" + pilota + "' ORDER BY giroN");
            QVERIFY2(giri.size() == 3, qPrintable(battito.dove.join(' ') + " / " + visti_.join('#')));
            for (int n = 2; n <= 3; ++n)
                QVERIFY2(qAbs(giri[n - 1][1].toDouble() - 1.2) < 0.04,
                         qPrintable(QString("%1 lap %2: %3 s").arg(pilota).arg(n).arg(giri[n - 1][1].toDouble())));
        }
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
        {
            // The saved session: Alfa with four laps.
            QVERIFY(QFile::copy(percorso, gara_));
            Database salvato;
            salvato.apri(gara_, "lampionearancio");
            for (int n = 2; n <= 4; ++n)
                salvato.esegui(QString("INSERT INTO Giri (pilota, giroN, tempoGiro, Tempo, Data, ora, pista) "
                                       "VALUES ('Alfa', %1, 30, '00:30,000', '05/12/2026', '10:0:0', '')").arg(n));
        }
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
