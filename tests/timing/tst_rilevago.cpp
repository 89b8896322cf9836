#include "archiviofinto.h"
#include "messaggifinti.h"
#include "orologiomanuale.h"
#include "serial/impostazioniporta.h"
#include "timing/rilevago.h"
#include "timing/tempominimo.h"

#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

namespace {
struct Finestra {
    OrologioManuale orologio{100.0f};
    MessaggiFinti messaggi;
    ArchivioFinto archivio;
    TabelleFinte tabelle;
    RilevaGo w{orologio, messaggi, archivio};

    Finestra() { w.impostaTabelle(&tabelle); }
    template <typename T> T *trova(const QString &nome) { return w.findChild<T *>(nome); }
    void apri(const QStringList &piloti)
    {
        for (int i = 0; i < piloti.size(); ++i) w.sessione().impostaPilota(i, piloti[i]);
        w.inizializza();
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
    }
};
} // namespace

class TstRilevaGo : public QObject {
    Q_OBJECT
private slots:
    void statoDiPartenza()
    {
        Finestra f;
        QCOMPARE(f.w.windowTitle(), QStringLiteral("Gestione Tempi Pista"));
        for (int i = 0; i < 8; ++i) {
            auto *frame = f.trova<QGroupBox>(QStringLiteral("pilotiLbl1_%1").arg(i));
            QVERIFY(frame && !frame->isEnabled());
            QCOMPARE(frame->title(), QStringLiteral("Pilota %1:").arg(i + 1));
            QCOMPARE(f.w.intertempoBtn(i)->text(), QString::number(i + 1));
            QVERIFY(!f.w.intertempoBtn(i)->isEnabled());
            QVERIFY(!f.w.fineBtn(i)->isEnabled());
            QCOMPARE(f.trova<QLabel>(QStringLiteral("Tempo_%1").arg(i))->text(), QStringLiteral("00:00,000"));
            QCOMPARE(f.trova<QLabel>(QStringLiteral("bestlapper_%1").arg(i))->text(), QStringLiteral("00:00,000"));
            QCOMPARE(f.trova<QLabel>(QStringLiteral("Vel_%1").arg(i))->text(), QStringLiteral("0 Km/h"));
            QVERIFY(f.w.connesso(i)->isHidden() && f.w.nonconnesso(i)->isHidden());
            QCOMPARE(f.w.connesso(i)->toolTip() + '|' + f.w.nonconnesso(i)->toolTip(),
                     QStringLiteral("Toggles Port\nVerde: linea attiva|Toggles Port\nRosso: linea a riposo"));
        }
        QVERIFY(!f.w.text2()->isEnabled() && f.w.text2()->isHidden() && f.w.text2()->text() == QStringLiteral("Text2"));
        QVERIFY(!f.w.pausabtn()->isVisibleTo(&f.w) && !f.w.pausabtn2()->isVisibleTo(&f.w));
        QVERIFY(f.w.partiBtn()->isVisibleTo(&f.w) && f.w.partiBtn()->isEnabled());
        QCOMPARE(f.w.settempo()->text(), QStringLiteral("99"));
        QCOMPARE(f.trova<QLabel>(QStringLiteral("tempotot"))->text(), QStringLiteral("00:00"));
        QVERIFY(f.w.timer1().isActive());
        QCOMPARE(f.w.timer1().interval(), 100);
        // lanes in two columns: lane 1 right of lane 0, lane 2 below lane 0
        auto *l0 = f.trova<QGroupBox>(QStringLiteral("pilotiLbl1_0"));
        auto *l1 = f.trova<QGroupBox>(QStringLiteral("pilotiLbl1_1"));
        auto *l2 = f.trova<QGroupBox>(QStringLiteral("pilotiLbl1_2"));
        QCOMPARE(l0->geometry(), QRect(32, 176, 289, 81));
        QCOMPARE(l1->pos(), QPoint(360, 176));
        QCOMPARE(l2->pos(), QPoint(32, 264));
        QCOMPARE(f.w.griglia1()->geometry(), QRect(384, 16, 223, 149));
        QCOMPARE(f.w.centralWidget()->size(), QSize(668, 548));
    }

    void menuEScorciatoie()
    {
        Finestra f;
        f.apri({QStringLiteral("Alfa")});
        QStringList voci;
        for (QAction *m : f.w.menuBar()->actions()) {
            voci << m->text();
            for (QAction *a : m->menu()->actions())
                voci << (a->isSeparator() ? QStringLiteral("-") : a->text() + QLatin1Char('|') + a->shortcut().toString());
        }
        QCOMPARE(voci, QStringList({"File", "Load|Ctrl+L", "Save|Ctrl+S", "-", "Piloti|Ctrl+P", "-", "Stampa|",
                                    "-", "Esci|Ctrl+E", "-", "Esporta CSV...|", "Visualizza", "Tempi Piloti|", "Opzioni",
                                    "Canc.Database|", QStringLiteral("Proprietà porta|"), "Tempo minimo sul giro...|",
                                    "Risultati in rete...|",
                                    "Info", "Informazioni|"}));
        QSignalSpy esci(&f.w, &RilevaGo::menuEsci);
        QSignalSpy piloti(&f.w, &RilevaGo::menuPiloti);
        QTest::keyClick(&f.w, Qt::Key_E, Qt::ControlModifier);
        QTest::keyClick(&f.w, Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(esci.size(), 1);
        QCOMPARE(piloti.size(), 1);
    }

    void sessioneDallaFinestra()
    {
        Finestra f;
        f.apri({QStringLiteral("Alfa"), QStringLiteral("Beta"), QStringLiteral("Gamma"),
                QStringLiteral("Delta"), QStringLiteral("Eco")});
        QCOMPARE(f.trova<QGroupBox>(QStringLiteral("pilotiLbl1_4"))->title(), QStringLiteral("Eco"));
        QVERIFY(f.trova<QGroupBox>(QStringLiteral("pilotiLbl1_4"))->isEnabled());
        QVERIFY(!f.trova<QGroupBox>(QStringLiteral("pilotiLbl1_5"))->isEnabled());
        QCOMPARE(f.w.focusWidget(), f.w.griglia2());

        // Alt+1 starts the session
        QTest::keyClick(f.w.griglia2(), Qt::Key_1, Qt::AltModifier);
        QVERIFY(!f.w.partiBtn()->isEnabled());
        QVERIFY(f.w.pausabtn()->isVisible());
        QVERIFY(f.w.intertempoBtn(4)->isEnabled() && !f.w.intertempoBtn(5)->isEnabled());

        // "5" typed into the limit box marks lane 4 and still lands in the box
        f.orologio.imposta(130.0f);
        f.w.settempo()->setFocus();
        f.w.settempo()->end(false);
        QTest::keyClick(f.w.settempo(), Qt::Key_5);
        QCOMPARE(f.w.settempo()->text(), QStringLiteral("995"));
        QCOMPARE(f.archivio.giri.size(), 1);
        QCOMPARE(f.archivio.giri.first().pilota, QStringLiteral("Eco"));
        QCOMPARE(f.trova<QLabel>(QStringLiteral("tempolast_4"))->text(), QStringLiteral("00:30,000"));
        QCOMPARE(f.tabelle.aggiornamenti, 1); // at inizializza; then the grids follow the lap store

        // keypad digit on another control, and a click on a lane button
        f.orologio.imposta(140.0f);
        f.w.griglia1()->setFocus();
        QTest::keyClick(f.w.griglia1(), Qt::Key_1, Qt::KeypadModifier);
        QCOMPARE(f.archivio.giri.last().pilota, QStringLiteral("Alfa"));
        f.orologio.imposta(145.0f);
        QTest::mouseClick(f.w.intertempoBtn(1), Qt::LeftButton);
        QCOMPARE(f.archivio.giri.last().pilota, QStringLiteral("Beta"));
        QCOMPARE(f.archivio.giri.size(), 3);

        // Timer1 drives the running clocks and the session clock; red past the best lap
        f.orologio.imposta(175.0f);
        QTRY_COMPARE(f.trova<QLabel>(QStringLiteral("tempotot"))->text(), QStringLiteral("01:15"));
        QCOMPARE(f.trova<QLabel>(QStringLiteral("Tempo_0"))->text(), QStringLiteral("00:35,000"));
        // Eco's best is 30 s and 45 s have run; Alfa's best is 40 s and 35 s have run
        auto *tempo4 = f.trova<QLabel>(QStringLiteral("Tempo_4"));
        QCOMPARE(tempo4->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        auto *tempo0 = f.trova<QLabel>(QStringLiteral("Tempo_0"));
        QCOMPARE(tempo0->palette().color(QPalette::WindowText), QColor(0, 0, 0));

        // Pause: the clocks stop, the lane buttons go grey, "Riprendi" covers "Pausa"
        QTest::mouseClick(f.w.pausabtn(), Qt::LeftButton);
        QVERIFY(f.w.pausabtn2()->isVisible());
        QVERIFY(!f.w.timer1().isActive());
        QVERIFY(!f.w.intertempoBtn(0)->isEnabled());
        f.orologio.imposta(185.0f);
        QTest::keyClick(f.w.griglia1(), Qt::Key_1);
        QCOMPARE(f.archivio.giri.size(), 3);
        QTest::mouseClick(f.w.pausabtn2(), Qt::LeftButton);
        QVERIFY(!f.w.pausabtn2()->isVisible());
        QVERIFY(f.w.timer1().isActive());
        QVERIFY(f.w.intertempoBtn(0)->isEnabled());

        // Stop with OK ends the lane for good
        f.messaggi.risposte = {Messaggi::Risposta::Ok};
        QTest::mouseClick(f.w.fineBtn(2), Qt::LeftButton);
        QCOMPARE(f.messaggi.mostrati.last().titolo, QStringLiteral("Stop Pilota"));
        QVERIFY(!f.w.intertempoBtn(2)->isEnabled() && !f.w.fineBtn(2)->isEnabled());

        if (qEnvironmentVariableIsSet("SAETTINO_SCREENSHOT"))
            f.w.grab().save(qEnvironmentVariable("SAETTINO_SCREENSHOT"));
    }

    // The stored shortest lap is applied when the window opens; a bad one reads as 1 s, with a message.
    void tempoMinimoSulGiro_data()
    {
        QTest::addColumn<QString>("salvato");
        QTest::addColumn<double>("secondi");
        QTest::addColumn<QString>("titolo"); // what follows the window's own title
        QTest::newRow("assente") << "" << 1.0 << "";
        QTest::newRow("uno") << "1.000" << 1.0 << "";
        QTest::newRow("virgola") << "0,25" << 0.25 << " - Tempo minimo sul giro: 0,25 s";
        QTest::newRow("limiti") << "600" << 600.0 << " - Tempo minimo sul giro: 600 s";
        QTest::newRow("sotto") << "0.199" << 1.0 << "!";
        QTest::newRow("sopra") << "600.001" << 1.0 << "!";
        QTest::newRow("quattro decimali") << "1.2345" << 1.0 << "!";
        QTest::newRow("negativo") << "-1" << 1.0 << "!";
        QTest::newRow("testo") << "un secondo" << 1.0 << "!";
    }
    void tempoMinimoSulGiro()
    {
        QFETCH(QString, salvato);
        QFETCH(double, secondi);
        QFETCH(QString, titolo);
        QTemporaryDir cartella;
        ImpostazioniPorta store(cartella.filePath(QStringLiteral("utente.ini")));
        store.scrivi(TempoMinimoGiro::sezione, TempoMinimoGiro::chiave, salvato);
        Finestra f;
        std::optional<double> risposta;
        auto *minimo = new TempoMinimoGiro(store, f.messaggi, f.w, [&](double) { return risposta; });
        QCOMPARE(f.w.sessione().lockout(), secondi);
        const bool errato = titolo == QStringLiteral("!");
        QCOMPARE(f.messaggi.mostrati.size(), errato ? 1 : 0);
        if (errato) QVERIFY2(f.messaggi.ultimo().contains(QStringLiteral("(\"%1\") non è valido").arg(salvato)), qPrintable(f.messaggi.ultimo()));
        QCOMPARE(f.w.windowTitle(), QStringLiteral("Gestione Tempi Pista") + (errato ? QString() : titolo));
        // From the menu: a cancel changes nothing, an answer is applied, stored and shown.
        auto *voce = f.w.findChild<QAction *>(QStringLiteral("tempominimo"));
        voce->trigger();
        QCOMPARE(f.w.sessione().lockout(), secondi);
        risposta = 2.5;
        voce->trigger();
        QCOMPARE(f.w.sessione().lockout(), 2.5);
        QCOMPARE(store.leggi(TempoMinimoGiro::sezione, TempoMinimoGiro::chiave), QStringLiteral("2.5"));
        QCOMPARE(f.w.windowTitle(), QStringLiteral("Gestione Tempi Pista - Tempo minimo sul giro: 2,5 s"));
        minimo->imposta(1.0);
        QCOMPARE(f.w.windowTitle(), QStringLiteral("Gestione Tempi Pista"));
        // The dialog takes seconds with a decimal comma and three decimals.
        QTimer::singleShot(0, [] {
            auto *campo = QApplication::activeModalWidget()->findChild<QDoubleSpinBox *>(QStringLiteral("secondi"));
            QVERIFY(campo && campo->decimals() == 3 && campo->minimum() == 0.2 && campo->maximum() == 600.0);
            campo->selectAll();
            QTest::keyClicks(campo, QStringLiteral("0,75"));
            QTest::keyClick(campo, Qt::Key_Return);
        });
        QCOMPARE(TempoMinimoGiro::chiediConDialogo(&f.w, 1.0), std::optional<double>(0.75));
    }

    // A failure notice on screen stops nothing: a lane key typed while it has the
    // focus and a lane button clicked beside it both mark laps.
    void avvisoNonFermaIlCronometraggio()
    {
        Finestra f;
        f.apri({QStringLiteral("Alfa"), QStringLiteral("Beta"), QStringLiteral("Gamma")});
        QTest::mouseClick(f.w.partiBtn(), Qt::LeftButton);
        MessaggiQt().avvisa(QStringLiteral("I giri non possono essere salvati nel database."));
        auto *avviso = f.w.findChild<QMessageBox *>();
        QVERIFY(avviso && QTest::qWaitForWindowActive(avviso));
        f.orologio.imposta(130.0);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_3);
        f.orologio.imposta(135.0);
        QTest::mouseClick(f.w.intertempoBtn(0), Qt::LeftButton);
        QCOMPARE(f.archivio.giri.size(), 2);
        QCOMPARE(f.archivio.giri[0].pilota + f.archivio.giri[1].pilota, QStringLiteral("GammaAlfa"));
        QVERIFY(avviso->isVisible());
        // The count of laps waiting for the database, shown only while there are some.
        f.w.mostraGiriInAttesa(3);
        QVERIFY(f.w.giriInAttesa()->isVisible());
        QCOMPARE(f.w.giriInAttesa()->text(), QStringLiteral("Giri in attesa di salvataggio: 3"));
        f.w.mostraGiriInAttesa(0);
        QVERIFY(!f.w.giriInAttesa()->isVisible());
    }
};

QTEST_MAIN(TstRilevaGo)
#include "tst_rilevago.moc"
