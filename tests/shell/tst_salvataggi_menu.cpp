#include "results/superficiestampa.h"
#include "results/visualtempi.h"
#include "setup/rilevaavvio.h"
#include "shell/applicazione.h"
#include "timing/rilevago.h"

#include <QComboBox>
#include <QPushButton>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

// The timing window's File, Visualizza and Opzioni menus as an operator uses
// them, with the real dialogs answered as soon as they show.
class TestSalvataggiMenu : public QObject {
    Q_OBJECT
    QTimer rispondi_;
    QStringList file_;                              // names typed in file dialogs; "" cancels
    QList<QMessageBox::StandardButton> pulsanti_;   // buttons pressed in message boxes
    QStringList titoli_;                            // titles of the file dialogs shown
    QStringList testi_;                             // texts of the message boxes shown
    std::function<void(Visualtempi *)> viewer_;

    static QStringList classifica(RilevaGo *go)
    {
        QStringList r;
        auto *m = go->griglia1()->model();
        for (int i = 0; i < m->rowCount(); ++i)
            r.append(m->index(i, 0).data().toString() + QLatin1Char('/') + m->index(i, 1).data().toString());
        return r;
    }
    // A closed dialog may leave no widget with the focus: the keys then go to the window.
    static void segna(RilevaGo *go, Qt::Key tasto)
    {
        QWidget *w = QApplication::focusWidget();
        QTest::keyClick(w ? w : go, tasto);
    }

private slots:
    void initTestCase()
    {
        rispondi_.setInterval(20);
        connect(&rispondi_, &QTimer::timeout, this, [this] {
            QWidget *w = QApplication::activeModalWidget();
            if (auto *dlg = qobject_cast<QFileDialog *>(w)) {
                // The dialog may need a few ticks to take the name (its folder loads
                // in the background): keep its answer on it until it closes.
                if (!dlg->property("risposta").isValid()) {
                    titoli_.append(dlg->windowTitle());
                    dlg->setProperty("risposta", file_.isEmpty() ? QString() : file_.takeFirst());
                }
                const QString nome = dlg->property("risposta").toString();
                if (nome.isEmpty()) {
                    dlg->reject();
                } else {
                    // Typed into the name box: selectFile leaves a focused box alone.
                    if (auto *casella = dlg->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                        casella->setText(nome);
                    else
                        dlg->selectFile(nome);
                    static_cast<QDialog *>(dlg)->accept();
                }
            } else if (auto *box = qobject_cast<QMessageBox *>(w)) {
                testi_.append(box->text());
                const auto p = pulsanti_.isEmpty() ? QMessageBox::Ok : pulsanti_.takeFirst();
                if (box->button(p)) box->button(p)->click();
                else box->accept();
            } else if (auto *v = qobject_cast<Visualtempi *>(w)) {
                if (viewer_) viewer_(v);
                v->accept();
            }
        });
        rispondi_.start();
    }

    void dalSalvataggioAlReset()
    {
        QTemporaryDir cartella;
        const QString gara1 = cartella.filePath(QStringLiteral("gara1.qlt"));
        Applicazione app(cartella.filePath(QStringLiteral("saettinopro.mb")));
        app.avvia();
        RilevaAvvio *avvio = app.rilevaAvvio();
        QVERIFY(QTest::qWaitForWindowActive(avvio));
        QTest::keyClicks(avvio->datiTxt(0), QStringLiteral("Alfa"));
        QTest::keyClicks(avvio->datiTxt(1), QStringLiteral("Beta"));
        QTest::keyClick(avvio->datiTxt(0), Qt::Key_Return);
        QPointer<RilevaGo> go = app.rilevaGo();
        QVERIFY(go);
        QVERIFY(QTest::qWaitForWindowActive(go));

        QTest::mouseClick(go->partiBtn(), Qt::LeftButton);
        QTest::qWait(1150);
        segna(go, Qt::Key_1);
        segna(go, Qt::Key_2);
        QCOMPARE(classifica(go).size(), 2);
        const QStringList alSalvataggio = classifica(go);

        // Save to gara1.qlt, more laps, then Load it back: the standings of the save.
        file_ = {gara1};
        emit go->menuSave();
        QCOMPARE(titoli_.last(), QStringLiteral("Salva Tempi"));
        QVERIFY(QFile::exists(gara1));
        QTest::qWait(1150);
        segna(go, Qt::Key_1);
        QVERIFY(classifica(go) != alSalvataggio);
        file_ = {gara1};
        emit go->menuLoad();
        QCOMPARE(titoli_.last(), QStringLiteral("Carica Tempi"));
        QCOMPARE(classifica(go), alSalvataggio);
        QVERIFY(testi_.isEmpty());

        // A random file is refused and the data stays.
        const QString casuale = cartella.filePath(QStringLiteral("casuale.qlt"));
        QFile f(casuale);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(10000, '\x5a'));
        f.close();
        file_ = {casuale};
        emit go->menuLoad();
        QCOMPARE(testi_.size(), 1);
        QVERIFY(testi_.last().contains(QStringLiteral("non sono stati modificati")));
        QCOMPARE(classifica(go), alSalvataggio);

        // Tempi Piloti lists the stored drivers and the first one's laps.
        QStringList elenco;
        int giri = -1;
        viewer_ = [&](Visualtempi *v) {
            for (int i = 0; i < v->piloticmb()->count(); ++i) elenco.append(v->piloticmb()->itemText(i));
            giri = v->msFlexGrid1()->model()->rowCount();
        };
        emit go->menuTempiPiloti();
        QCOMPARE(elenco, QStringList({"Alfa", "Beta"}));
        QCOMPARE(giri, 1);

        // Stampa without a printer offers a PDF file.
        if (!StampantiSistema().disponibile()) {
            const QString pdf = cartella.filePath(QStringLiteral("stampa.pdf"));
            testi_.clear();
            pulsanti_ = {QMessageBox::Yes};
            file_ = {pdf};
            emit go->menuStampa();
            QVERIFY(testi_.size() == 1 && testi_.first().contains(QStringLiteral("stampante")));
            QCOMPARE(titoli_.last(), QStringLiteral("Salva stampa"));
            QFile f(pdf);
            QVERIFY(f.open(QIODevice::ReadOnly) && f.read(5) == "%PDF-");
        }

        // Canc.Database after its question empties both grids.
        testi_.clear();
        pulsanti_ = {QMessageBox::Ok};
        emit go->menuCancDatabase();
        QCOMPARE(testi_.size(), 1);
        QVERIFY(testi_.first().startsWith(QStringLiteral("Attenzione: questo comando")));
        QCOMPARE(go->griglia1()->model()->rowCount(), 0);
        QCOMPARE(go->griglia2()->model()->rowCount(), 0);
        QCOMPARE(go->sessione().corsia(0).numGiri, 0);
        QTest::qWait(1150);
        segna(go, Qt::Key_2);
        QCOMPARE(classifica(go), QStringList({"Beta/1"}));
    }
};

QTEST_MAIN(TestSalvataggiMenu)
#include "tst_salvataggi_menu.moc"
