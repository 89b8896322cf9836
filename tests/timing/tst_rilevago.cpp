#include "archiviofinto.h"
#include "messaggifinti.h"
#include "orologiomanuale.h"
#include "comune/impostazioni.h"
#include "timing/globale.h"
#include "timing/rilevago.h"
#include "timing/tempotesto.h"
#include "timing/tempominimo.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardItemModel>
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
    // The window before the drivers are in: no lane takes a lap; its menus and their keys.
    void statoDiPartenzaEMenu()
    {
        Finestra f;
        for (int i = 0; i < 8; ++i) QVERIFY(!f.w.intertempoBtn(i)->isEnabled() && !f.w.fineBtn(i)->isEnabled());
        QVERIFY(f.w.partiBtn()->isEnabled() && !f.w.pausabtn()->isVisibleTo(&f.w));
        QCOMPARE(f.w.settempo()->text(), QStringLiteral("99"));
        QStringList voci;
        for (QAction *m : f.w.menuBar()->actions()) {
            voci << m->text();
            for (QAction *a : m->menu()->actions())
                voci << (a->isSeparator() ? QStringLiteral("-") : a->text() + QLatin1Char('|') + a->shortcut().toString());
        }
        QCOMPARE(voci, QStringList({"File", "Load|Ctrl+L", "Save|Ctrl+S", "-", "Piloti|Ctrl+P", "-", "Stampa|",
                                    "-", "Esci|Ctrl+E", "-", "Esporta CSV...|", "Esporta Excel...|", "Visualizza", "Tempi Piloti|", "Opzioni",
                                    "Canc.Database|", QStringLiteral("Proprietà porta|"), "Tempo minimo sul giro...|",
                                    "Risultati in rete...|", "Annunci vocali...|", "Info", "Informazioni|"}));
    }

    // A full session: the standings show all eight drivers whole (or can be scrolled to them).
    void classificaDiOttoPiloti()
    {
        Finestra f;
        QStandardItemModel classifica(8, 3);
        for (int r = 0; r < 8; ++r) classifica.setItem(r, 0, new QStandardItem(QStringLiteral("Pilota %1").arg(r + 1)));
        f.w.griglia1()->setModel(&classifica);
        f.apri({"A", "B", "C", "D", "E", "F", "G", "H"});
        QTableView *g = f.w.griglia1();
        const QRect ultima = g->visualRect(classifica.index(7, 0));
        QVERIFY2(g->viewport()->rect().contains(ultima) || g->verticalScrollBar()->isVisible(),
                 qPrintable(QStringLiteral("riga 8 a %1-%2 di %3").arg(ultima.top()).arg(ultima.bottom()).arg(g->viewport()->height())));
        QVERIFY(g->rowHeight(7) >= g->fontMetrics().height());
    }

    void sessioneDallaFinestra()
    {
        Finestra f;
        f.apri({"Alfa", "Beta", "Gamma", "Delta", "Eco"});
        QCOMPARE(f.trova<QGroupBox>(QStringLiteral("pilotiLbl1_4"))->title(), QStringLiteral("Eco"));
        QVERIFY(!f.trova<QGroupBox>(QStringLiteral("pilotiLbl1_5"))->isEnabled());
        QCOMPARE(f.w.focusWidget(), f.w.griglia2());

        // Alt+1 starts the session
        QTest::keyClick(f.w.griglia2(), Qt::Key_1, Qt::AltModifier);
        QVERIFY(!f.w.partiBtn()->isEnabled() && f.w.pausabtn()->isVisible());
        QVERIFY(f.w.intertempoBtn(4)->isEnabled() && !f.w.intertempoBtn(5)->isEnabled());

        // "5" typed into the limit box marks lane 4 and still lands in the box
        f.orologio.imposta(130.0f);
        f.w.settempo()->setFocus();
        f.w.settempo()->end(false);
        QTest::keyClick(f.w.settempo(), Qt::Key_5);
        QCOMPARE(f.w.settempo()->text(), QStringLiteral("995"));
        QCOMPARE(f.archivio.giri.first().pilota, QStringLiteral("Eco"));
        QCOMPARE(f.trova<QLabel>(QStringLiteral("tempolast_4"))->text(), QStringLiteral("00:30,000"));
        QCOMPARE(f.tabelle.aggiornamenti, 1); // at inizializza; then the grids follow the lap store

        // A keypad digit on another control
        f.orologio.imposta(140.0f);
        f.w.griglia1()->setFocus();
        QTest::keyClick(f.w.griglia1(), Qt::Key_1, Qt::KeypadModifier);
        QCOMPARE(f.archivio.giri.last().pilota, QStringLiteral("Alfa"));

        // Timer1 drives the running clocks and the session clock; red past the best lap:
        // Eco's best is 30 s and 45 s have run, Alfa's best is 40 s and 35 s have run
        f.orologio.imposta(175.0f);
        QTRY_COMPARE(f.trova<QLabel>(QStringLiteral("tempotot"))->text(), QStringLiteral("01:15"));
        QCOMPARE(f.trova<QLabel>(QStringLiteral("Tempo_0"))->text(), QStringLiteral("00:35,000"));
        QCOMPARE(f.trova<QLabel>(QStringLiteral("Tempo_4"))->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QCOMPARE(f.trova<QLabel>(QStringLiteral("Tempo_0"))->palette().color(QPalette::WindowText), QColor(0, 0, 0));

        // Pause stops the clocks and "Riprendi" covers "Pausa"; Resume brings them back
        QTest::mouseClick(f.w.pausabtn(), Qt::LeftButton);
        QVERIFY(f.w.pausabtn2()->isVisible() && !f.w.timer1().isActive());
        QTest::mouseClick(f.w.pausabtn2(), Qt::LeftButton);
        QVERIFY(!f.w.pausabtn2()->isVisible() && f.w.timer1().isActive());

        // Stop with OK ends the lane for good
        f.messaggi.risposte = {Messaggi::Risposta::Ok};
        QTest::mouseClick(f.w.fineBtn(2), Qt::LeftButton);
        QCOMPARE(f.messaggi.mostrati.last().titolo, QStringLiteral("Stop Pilota"));
        QVERIFY(!f.w.intertempoBtn(2)->isEnabled() && !f.w.fineBtn(2)->isEnabled());

        // A failure notice on screen stops nothing: a lane key typed while it has the
        // focus and a lane button clicked beside it both mark laps.
        MessaggiQt().avvisa(QStringLiteral("I giri non possono essere salvati nel database."));
        auto *avviso = f.w.findChild<QMessageBox *>();
        QVERIFY(avviso);
        avviso->activateWindow();
        QTRY_VERIFY(QApplication::focusWidget() && QApplication::focusWidget()->window() == avviso);
        f.orologio.imposta(190.0);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_4);
        f.orologio.imposta(195.0);
        QTest::mouseClick(f.w.intertempoBtn(1), Qt::LeftButton);
        QCOMPARE(f.archivio.giri.size(), 4);
        QCOMPARE(f.archivio.giri[2].pilota + f.archivio.giri[3].pilota, QStringLiteral("DeltaBeta"));
        QVERIFY(avviso->isVisible());
        // The count of laps waiting for the database, shown only while there are some.
        f.w.mostraGiriInAttesa(3);
        QVERIFY(f.w.giriInAttesa()->isVisible());
        f.w.mostraGiriInAttesa(0);
        QVERIFY(!f.w.giriInAttesa()->isVisible());
    }

    // Speeds of four digits and more (short laps on a long track) keep their unit on screen.
    void velocitaIntera()
    {
        Finestra f;
        f.apri({"Alfa"});
        f.w.sessione().impostaLockout(0.05);
        QTest::mouseClick(f.w.partiBtn(), Qt::LeftButton);
        auto *vel = f.trova<QLabel>(QStringLiteral("Vel_0"));
        // Without a font of its own (Wine's offscreen platform) every glyph is a wide stand-in.
        if (QFontInfo(vel->font()).family().isEmpty()) QSKIP("no real font on this platform: widths say nothing");
        double ora = 100;
        for (const auto &[metri, giro, intera] : {std::tuple{1000, 1.705, true}, {5000, 2.5, true}, {32767, 0.0625, false}}) {
            globale().lunghezzaPista = qint16(metri);
            f.orologio.imposta(ora += giro);
            f.w.sessione().marca(0);
            const QString testo = avrSpeed(giro, metri) + QStringLiteral(" Km/h");
            QVERIFY2(vel->fontMetrics().horizontalAdvance(vel->text()) <= vel->contentsRect().width(), qPrintable(vel->text()));
            QVERIFY2(intera ? vel->text() == testo : vel->text().endsWith(QStringLiteral("Km/h")),
                     qPrintable(QStringLiteral("%1: %2 px for %3 px, font %4").arg(vel->text()).arg(vel->fontMetrics().horizontalAdvance(testo))
                                    .arg(vel->contentsRect().width()).arg(QFontInfo(vel->font()).family())));
        }
        globale().lunghezzaPista = 0;
    }

    // The stored shortest lap is applied when the window opens; a bad one reads as 1 s, with a message.
    void tempoMinimoSulGiro()
    {
        QTemporaryDir cartella;
        Impostazioni store(cartella.filePath(QStringLiteral("utente.ini")));
        const QString titolo = QStringLiteral("Gestione Tempi Pista"), conMinimo = titolo + " - Tempo minimo sul giro: %1 s";
        // What is stored, the seconds it gives, the title it shows (none: refused with a message).
        for (const auto &[salvato, secondi, mostrato] : QList<std::tuple<QString, double, QString>>{
                 {"", 1.0, titolo}, {"0,25", 0.25, conMinimo.arg("0,25")}, {"600", 600.0, conMinimo.arg(600)},
                 {"0.199", 1.0, ""}, {"600.001", 1.0, ""}, {"1.2345", 1.0, ""}, {"un secondo", 1.0, ""}}) {
            store.scrivi(TempoMinimoGiro::sezione, TempoMinimoGiro::chiave, salvato);
            Finestra f;
            new TempoMinimoGiro(store, f.messaggi, f.w);
            QCOMPARE(f.w.sessione().lockout(), secondi);
            QCOMPARE(f.messaggi.mostrati.size(), mostrato.isEmpty() ? 1 : 0);
            if (mostrato.isEmpty())
                QVERIFY2(f.messaggi.ultimo().contains(QStringLiteral("(\"%1\") non è valido").arg(salvato)), qPrintable(f.messaggi.ultimo()));
            QCOMPARE(f.w.windowTitle(), mostrato.isEmpty() ? titolo : mostrato);
        }
        // From the menu: a cancel changes nothing, an answer is applied, stored and shown.
        Finestra f;
        std::optional<double> risposta;
        new TempoMinimoGiro(store, f.messaggi, f.w, [&](double) { return risposta; });
        auto *voce = f.w.findChild<QAction *>(QStringLiteral("tempominimo"));
        voce->trigger();
        QCOMPARE(f.w.sessione().lockout(), 1.0);
        risposta = 2.5;
        voce->trigger();
        QCOMPARE(f.w.sessione().lockout(), 2.5);
        QCOMPARE(store.testo(TempoMinimoGiro::sezione, TempoMinimoGiro::chiave), QStringLiteral("2.5"));
        QCOMPARE(f.w.windowTitle(), conMinimo.arg("2,5"));
    }
};

QTEST_MAIN(TstRilevaGo)
#include "tst_rilevago.moc"
