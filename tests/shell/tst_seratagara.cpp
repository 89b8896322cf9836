// A race evening with the real windows, the device simulator and the keys: qualifying, a time race with a false start,
// a track call and a penalty, lap races, a second event; Save, Canc.Database, Load; results read back from the file.
#include "aiuti.h"
#include "comune/identita.h"
#include "comune/impostazioni.h"
#include "gara/archiviogara.h"
#include "gara/direzionegara.h"
#include "garaui/finestragara.h"
#include "garaui/vistagara.h"
#include "setup/rilevaavvio.h"
#include "shell/applicazione.h"
#include "timing/rilevago.h"

#include <QComboBox>
#include <QDockWidget>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

using namespace gara;
using namespace Qt::StringLiterals;

class TstSerataGara : public QObject {
    Q_OBJECT
    QTimer rispondi_;
    QString file_;       // the name typed in every file dialog
    QStringList visti_;  // message texts (answered Yes or Ok) and windows met
    QTemporaryDir configurazione_;

    // Answers the modal window on top; the event window runs the heat chosen in it.
    void rispondi()
    {
        QWidget *w = QApplication::activeModalWidget();
        if (auto *dlg = qobject_cast<QFileDialog *>(w)) {
            dlg->findChild<QLineEdit *>(u"fileNameEdit"_s)->setText(file_);
            static_cast<QDialog *>(dlg)->accept();
        } else if (auto *box = qobject_cast<QMessageBox *>(w)) {
            visti_.append(box->text());
            QAbstractButton *b = box->button(QMessageBox::Yes) ? box->button(QMessageBox::Yes) : box->button(QMessageBox::Ok);
            b ? b->click() : box->reject();
        } else if (auto *gara = qobject_cast<FinestraGara *>(w)) {
            if (gara->programma()->rowCount() == 0) return; // still reading the file
            visti_.append(gara->windowTitle());
            gara->programma()->setCurrentCell(0, 3);
            gara->pulsante(u"corriBtn"_s)->click();
        } else if (w) {
            visti_.append(u"inattesa: "_s + w->metaObject()->className());
            w->close();
        }
    }
    static void tasto(RilevaGo *go, int k)
    {
        QWidget *f = QApplication::focusWidget();
        QTest::keyClick(f ? f : go, Qt::Key(k));
    }
    // The digit keys of these lanes (from 0), a little apart as a hand types them.
    static void corsie(RilevaGo *go, const QList<int> &l)
    {
        for (int c : l) {
            tasto(go, Qt::Key_1 + c);
            QTest::qWait(30);
        }
    }
    // Laps go through the writer: the file holds them once it answered.
    static bool registrato(Applicazione &app) { return app.archivio().svuota(); }

    // The heat on the lanes started by F5, on lights that take about half a second.
    static void via(RilevaGo *go, DirezioneGara &d)
    {
        QCOMPARE(d.fase(), DirezioneGara::Fase::Pronta);
        tasto(go, Qt::Key_F5);
        QTRY_COMPARE_WITH_TIMEOUT(d.fase(), DirezioneGara::Fase::InCorso, 10000);
    }
    // The heat over, and its result as the file ranks it.
    static void conclusa(DirezioneGara &d)
    {
        QTRY_COMPARE_WITH_TIMEOUT(d.fase(), DirezioneGara::Fase::Conclusa, 20000);
        QTRY_VERIFY(d.risultato().has_value());
    }
    // Rounds of crossings on these lanes until the chequered flag, then the crossings that finish.
    static void finoAllaBandiera(RilevaGo *go, DirezioneGara &d, const QList<int> &giro, const QList<int> &ultimi)
    {
        QElapsedTimer t;
        t.start();
        while (!d.stato().bandiera && t.elapsed() < 15000) {
            corsie(go, giro);
            QTest::qWait(250);
        }
        corsie(go, ultimi);
    }

private slots:
    void initTestCase()
    {
        // Settings of its own: the simulator puts Com1 there, and no other suite sees it.
        qputenv("XDG_CONFIG_HOME", configurazione_.path().toLocal8Bit());
        connect(&rispondi_, &QTimer::timeout, this, &TstSerataGara::rispondi);
        rispondi_.start(20);
    }

    void serata()
    {
        QTemporaryDir cartella;
        const QString percorso = cartella.filePath(QString::fromUtf8(identita::fileDatabase));
        Impostazioni utente; // the program's own settings: the simulator puts Com1 on its terminal there
        utente.scrivi(u"Properties"_s, u"CommPort"_s, u"1"_s);
        QProcess simulatore;
        simulatore.start(QCoreApplication::applicationDirPath() + u"/../bin/saettino-simulatore"_s,
                         {u"--com"_s, u"1"_s, u"--impostazioni"_s, utente.percorso(), u"--durata"_s, u"600000"_s});
        QByteArray uscita;
        QTRY_VERIFY((uscita += simulatore.readAll()).contains("Com1 -> "));

        Applicazione app(percorso);
        app.avvia();
        RilevaAvvio *avvio = app.rilevaAvvio();
        QVERIFY(avvio && QTest::qWaitForWindowActive(avvio));

        // The evening: a championship, ten drivers on four lanes, the first heat a qualifying, the second a time race.
        qint64 campionato = 0, gara = 0;
        QString errore;
        QVERIFY2(app.archivio().esegui([&](Database &db) {
            ArchivioGara ag(db);
            Campionato c;
            c.nome = u"Campionato invernale"_s;
            campionato = ag.creaCampionato(c, &errore);
            Gara g;
            g.nome = u"Prima serata"_s;
            g.data = QDate::currentDate();
            g.regole.tipo = TipoSessione::GaraAGiri;
            g.regole.giri = 1;
            g.regole.fattoreGrazia = 6; // a loaded machine may be slow to type
            g.corsie = 0x0F;
            g.campionato = campionato;
            g.falsaPartenza = PenalitaFalsaPartenza::UnGiro;
            gara = ag.creaGara(g, &errore);
            for (int k = 0; k < 10; ++k) ag.iscrivi({0, gara, u"Pilota %1"_s.arg(QChar(u'A' + k))}, &errore);
            ag.generaProgramma(gara, &errore);
            const QVector<Manche> m = ag.manche(gara);
            ag.impostaRegoleManche(m[0].id, Regole{TipoSessione::Qualifica, 2.5, 0, 6.0}, &errore);
            ag.impostaRegoleManche(m[1].id, Regole{TipoSessione::GaraATempo, 2.5, 0, 6.0}, &errore);
        }, &errore), qPrintable(errore));
        QVERIFY2(errore.isEmpty(), qPrintable(errore));

        // "Gara..." from the start window: its first heat goes on the timing window's lanes.
        avvio->garaBtn()->click();
        QTRY_VERIFY(app.rilevaGo() && !app.rilevaAvvio());
        QPointer<RilevaGo> go = app.rilevaGo();
        QVERIFY(QTest::qWaitForWindowActive(go));
        DirezioneGara &d = app.direzione();
        QStringList errori; // what race control could not do, shown as notices
        connect(&d, &DirezioneGara::errore, this, [&errori](const QString &e) { errori << e; });
        QTRY_COMPARE(d.fase(), DirezioneGara::Fase::Pronta);
        QCOMPARE(d.mancheCorrente()->numero, 1);
        go->sessione().impostaLockout(0.25);
        ProceduraPartenza::Impostazioni partenza;
        partenza.secondiContoAllaRovescia = 0;
        partenza.intervalloLuci = 0.1;
        partenza.attesaMinima = 0.05;
        partenza.attesaMassima = 0.1;
        QVERIFY(d.impostaPartenza(partenza));
        QVERIFY(d.impostaSecondiRipresa(1));
        QTRY_VERIFY(uscita.append(simulatore.readAll()).contains("Il programma interroga il dispositivo."));
        auto *vista = go->findChild<VistaGara *>();
        QVERIFY(vista && vista->pannello()->isVisible());

        // Heat 1, qualifying by the keys: once the time runs out each driver's next crossing is his last.
        via(go, d);
        QTest::qWait(300);
        finoAllaBandiera(go, d, {0, 1, 2, 3}, {1, 0, 2, 3});
        conclusa(d);
        QVERIFY2(errori.isEmpty(), qPrintable(errori.join('|')));
        for (const EsitoPilota &e : d.risultato()->classifica) QCOMPARE(e.stato, StatoPilota::Arrivato);
        QCOMPARE(d.risultato()->classifica.size(), 4);
        QVERIFY(vista->prossima()->isVisible());
        QCOMPARE(vista->prossima()->titolo(), u"Prossima manche: 2 di 10"_s);

        // Heat 2, a time race: a jump start on lane 2 in the lights, a track call and its restart, a penalty.
        tasto(go, Qt::Key_F6);
        QCOMPARE(d.mancheCorrente()->numero, 2);
        const QString saltatore = go->sessione().corsia(1).nome, penalizzato = go->sessione().corsia(2).nome;
        tasto(go, Qt::Key_F5);
        tasto(go, Qt::Key_2);
        QTRY_COMPARE_WITH_TIMEOUT(d.fase(), DirezioneGara::Fase::InCorso, 10000);
        QTest::qWait(300);
        corsie(go, {0, 1, 2, 3});
        tasto(go, Qt::Key_F8);
        QCOMPARE(d.fase(), DirezioneGara::Fase::Neutralizzata);
        corsie(go, {0}); // frozen: not taken
        tasto(go, Qt::Key_F8);
        QTRY_COMPARE_WITH_TIMEOUT(d.fase(), DirezioneGara::Fase::InCorso, 5000);
        bool penalita = false;
        d.sanziona({gara, d.mancheCorrente()->id, penalizzato, TipoVoce::Secondi, 0, 2.0, u"contatto alla curva 1"_s},
                   [&](bool fatto, const QString &e) { penalita = fatto; errore = e; });
        QTRY_VERIFY2(penalita, qPrintable(errore));
        QTest::qWait(300);
        finoAllaBandiera(go, d, {0, 1, 2}, {0, 1, 2}); // lane 4 crossed once, long ago: out at the flag
        conclusa(d);
        QCOMPARE(d.risultato()->diCorsia(3)->stato, StatoPilota::Fermo);
        QCOMPARE(d.risultato()->diCorsia(0)->stato, StatoPilota::Arrivato);

        // Heats 3 to 6 from the timing device, heats 7 to 10 by the keys: lap races of one lap.
        for (int numero = 3; numero <= 10; ++numero) {
            tasto(go, Qt::Key_F6);
            QCOMPARE(d.mancheCorrente()->numero, numero);
            via(go, d);
            QTest::qWait(350);
            if (numero <= 6) {
                for (const char *riga : {"3\n", "1\n", "4\n", "2\n"}) {
                    simulatore.write(riga);
                    QTest::qWait(200);
                }
            } else {
                corsie(go, {2, 0, 3, 1});
            }
            conclusa(d);
            QCOMPARE(d.risultato()->classifica.size(), 4);
            QCOMPARE(d.risultato()->classifica[0].corsia, 2); // lane 3 crossed first
        }
        QCOMPARE(vista->prossima()->titolo(), u"Nessuna manche da correre"_s);
        QVERIFY(registrato(app));

        // The second event: a lap race from the start window, the names written another way.
        emit go->menuPiloti();
        QTRY_VERIFY(app.rilevaAvvio() && !go);
        avvio = app.rilevaAvvio();
        QVERIFY(QTest::qWaitForWindowActive(avvio));
        for (int i = 0; i < 4; ++i) QTest::keyClicks(avvio->datiTxt(i), u"pilota  %1"_s.arg(QChar(u'd' - i)));
        avvio->tipoCmb()->setCurrentIndex(int(TipoSessione::GaraAGiri));
        avvio->valoreTxt()->setText(u"1"_s);
        avvio->actionbtn(0)->click();
        QTRY_VERIFY(app.rilevaGo());
        go = app.rilevaGo();
        QVERIFY(QTest::qWaitForWindowActive(go));
        QTRY_COMPARE(d.fase(), DirezioneGara::Fase::Pronta);
        go->sessione().impostaLockout(0.25);
        const qint64 seconda = d.gara()->id;
        via(go, d);
        QTest::qWait(350);
        corsie(go, {3, 2, 1, 0});
        conclusa(d);
        QVERIFY(app.archivio().esegui([&](Database &db) {
            ArchivioGara ag(db);
            Gara g = *ag.gara(seconda);
            g.campionato = campionato;
            ag.modificaGara(g, &errore);
        }, &errore));

        // Saved, laps cleared (the event and its entries stay), then the saved file loaded back.
        file_ = cartella.filePath(u"serata.qlt"_s);
        visti_.clear();
        emit go->menuSave();
        QTRY_VERIFY(QFile::exists(file_));
        emit go->menuCancDatabase();
        QTRY_VERIFY(visti_.size() >= 2);
        QVERIFY2(visti_[1].startsWith(u"Cancellare solo i giri o anche la gara"_s), qPrintable(visti_.join('|')));
        QVERIFY(registrato(app));
        {
            Database db;
            db.apri(percorso, QString::fromUtf8(identita::password));
            QCOMPARE(righe(db, u"SELECT count(*) FROM Giri"_s), (Righe{{0}}));
            QCOMPARE(ArchivioGara(db).risultatoGara(gara).mancheCorse, 0);
            QCOMPARE(ArchivioGara(db).iscritti(gara).size(), 10);
        }
        // A session an earlier version saved (no race tables, laps without heat and instant) loads:
        // race control lets go of the event it does not have, practice goes on.
        const QString vecchia = cartella.filePath(u"vecchia.qlt"_s);
        QVERIFY(QFile::copy(file_, vecchia));
        rendiVecchio(vecchia);
        file_ = vecchia;
        emit go->menuLoad();
        QTRY_VERIFY_WITH_TIMEOUT(!d.gara(), 10000);
        QVERIFY(!go->sessione().gara());
        QTRY_VERIFY(!app.attesa().inCorso());
        // Then the evening's own save again.
        file_ = cartella.filePath(u"serata.qlt"_s);
        const auto manche = [&percorso] {
            Database db;
            db.apri(percorso, QString::fromUtf8(identita::password));
            return righe(db, u"SELECT count(*) FROM Manche WHERE fine IS NOT NULL"_s).value(0).value(0).toInt();
        };
        QCOMPARE(manche(), 0);
        emit go->menuLoad();
        QTRY_COMPARE_WITH_TIMEOUT(manche(), 11, 10000);
        QTRY_VERIFY(!app.attesa().inCorso());
        // Practice afterwards is practice again: no race panel, no lights, Start starts.
        emit go->menuPiloti();
        QTRY_VERIFY(app.rilevaAvvio() && !go);
        avvio = app.rilevaAvvio();
        QVERIFY(QTest::qWaitForWindowActive(avvio));
        avvio->tipoCmb()->setCurrentIndex(int(TipoSessione::ProvaLibera));
        QTest::keyClicks(avvio->datiTxt(0), u"Solo prova"_s);
        avvio->actionbtn(0)->click();
        QTRY_VERIFY(app.rilevaGo());
        go = app.rilevaGo();
        QVERIFY(QTest::qWaitForWindowActive(go));
        vista = go->findChild<VistaGara *>();
        QVERIFY(!d.gara() && vista->pannello()->isHidden() && vista->prossima()->isHidden() && !go->sessione().gara());
        go->partiBtn()->click();
        QVERIFY(!go->sessione().startAbilitato());
        QSignalSpy fine(&app, &Applicazione::terminata);
        app.esci();
        QTRY_COMPARE(fine.size(), 1);
        simulatore.write("q\n");
        QVERIFY(simulatore.waitForFinished(5000));

        // Read back from the stored file.
        Database db;
        db.apri(percorso, QString::fromUtf8(identita::password));
        ArchivioGara ag(db);
        const RisultatoGara r = ag.risultatoGara(gara);
        QCOMPARE(r.mancheCorse, 9); // the qualifying heat does not count
        QCOMPARE(r.classifica.size(), 10);
        // Each raced each lane once; the qualifying heat is no race heat.
        const Manche qualifica = ag.manche(gara)[0];
        for (const RisultatoPilotaGara &p : r.classifica) {
            QCOMPARE(p.dettaglio.size(), 4);
            QCOMPARE(p.manche, qualifica.corsie.contains(p.iscritto) ? 3 : 4);
        }
        const RisultatoManche m2 = ag.risultatoManche(ag.manche(gara)[1].id);
        const EsitoPilota *salto = nullptr, *pen = nullptr;
        for (const EsitoPilota &e : m2.classifica) {
            if (e.pilota == saltatore) salto = &e;
            if (e.pilota == penalizzato) pen = &e;
        }
        QVERIFY(salto && pen && salto->sanzioni.giri == -1 && pen->sanzioni.secondi == 2.0);
        QVERIFY(!m2.classifica[0].giriNeutralizzati.isEmpty() || !m2.classifica[1].giriNeutralizzati.isEmpty());
        // The championship after two events: the second event's drivers are the first's by the name rules.
        const ClassificaCampionato c = ag.classificaCampionato(campionato);
        QCOMPARE(c.gare.size(), 2);
        QCOMPARE(c.righe.size(), 10);
        int inDue = 0;
        for (const RigaCampionato &riga : c.righe) inDue += riga.punti.value(0) >= 0 && riga.punti.value(1) >= 0;
        QCOMPARE(inDue, 4);
        QCOMPARE(c.righe[0].totale, c.righe[0].punti[0] + std::max(0, c.righe[0].punti[1]));
    }
};

QTEST_MAIN(TstSerataGara)
#include "tst_seratagara.moc"
