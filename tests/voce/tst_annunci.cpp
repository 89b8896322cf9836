#include "archiviofinto.h"
#include "messaggifinti.h"
#include "orologiomanuale.h"
#include "comune/impostazioni.h"
#include "timing/sessione.h"
#include "voce/annunci.h"
#include "voce/dialogovoce.h"
#include "voce/frasi.h"
#include "voce/serviziovoce.h"

#include <QCheckBox>
#include <QLabel>
#include <QMutex>
#include <QPushButton>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>

namespace {

// A voice that speaks until told, or finishes at once on its own thread when `subito`, as a real engine would.
struct VoceFinta : MotoreVoce {
    QString guastoIniziale;
    bool subito = false;
    mutable QMutex m;
    QStringList detti;
    bool parla = false;
    bool sovrapposta = false; // asked to speak while it was speaking

    QString problema() const override { return guastoIniziale; }
    QList<Voce> voci() override { return {{QStringLiteral("italiano"), QStringLiteral("it_IT")}}; }
    void imposta(const QString &, double, double) override {}
    void pronuncia(const QString &testo) override
    {
        QMutexLocker l(&m);
        sovrapposta |= parla;
        parla = true;
        detti << testo;
        if (subito) QTimer::singleShot(0, [this] { termina(); });
    }
    void termina()
    {
        {
            QMutexLocker l(&m);
            if (!parla) return;
            parla = false;
        }
        if (finito) finito();
    }
    QStringList elenco() const { QMutexLocker l(&m); return detti; }
};

struct ToniFinti : MotoreToni {
    QString guastoIniziale;
    QList<Tono> suonati;
    QSemaphore *suonato = nullptr; // released at each tone, for a test on another thread
    QString problema() const override { return guastoIniziale; }
    void suona(Tono t) override
    {
        suonati << t;
        if (suonato) suonato->release();
    }
};

// A session of eight drivers whose announcements go to fakes, all on this thread.
struct Banco {
    OrologioManuale orologio{1000.0};
    MessaggiFinti messaggi;
    ArchivioFinto archivio;
    Sessione s{orologio, messaggi, archivio};
    VoceFinta *voce = nullptr;
    ToniFinti *toni = nullptr;
    int motoriFatti = 0;
    QStringList problemi;
    Annunci annunci{orologio,
                    [this] { ++motoriFatti; auto v = std::make_unique<VoceFinta>(); voce = v.get(); voce->guastoIniziale = guastoVoce; return v; }};
    ToniSulGiro toniGiro{[this] { ++motoriFatti; auto t = std::make_unique<ToniFinti>(); toni = t.get(); return t; }};
    QString guastoVoce;

    explicit Banco(ImpostazioniVoce imp = {}, QString senzaVoce = {}) : guastoVoce(std::move(senzaVoce))
    {
        QObject::connect(&annunci, &Annunci::problema, [this](const QString &t) { problemi << t; });
        QObject::connect(&toniGiro, &ToniSulGiro::problema, [this](const QString &t) { problemi << t; });
        for (int i = 0; i < 8; ++i) s.impostaPilota(i, QStringLiteral("Pilota%1").arg(i + 1));
        s.inizializza();
        annunci.segui(&s);
        toniGiro.segui(&s);
        annunci.applica(imp);
        toniGiro.applica(imp);
        s.start();
        QCoreApplication::processEvents();
    }
    // Lanes crossing at t; the announcements follow when the event loop runs.
    void passa(double t, std::initializer_list<int> corsie)
    {
        orologio.imposta(t);
        for (int c : corsie) s.marca(c, t);
        QCoreApplication::processEvents();
    }
    QStringList detti() const { return voce ? voce->elenco() : QStringList(); }
};

// One driver on a hand-moved clock, for the announcements wired as the program wires them.
struct Sola {
    OrologioManuale orologio{1000.0};
    MessaggiFinti messaggi;
    ArchivioFinto archivio;
    Sessione s{orologio, messaggi, archivio};
    explicit Sola(const QString &nome)
    {
        s.impostaPilota(0, nome);
        s.inizializza();
    }
};

ImpostazioniVoce accesi()
{
    ImpostazioniVoce v;
    v.attivi = true;
    return v;
}
} // namespace

class TstAnnunci : public QObject {
    Q_OBJECT
private slots:
    void tempiDetti_data()
    {
        QTest::addColumn<float>("secondi");
        QTest::addColumn<QString>("detto");
        QTest::newRow("sotto il minuto") << 41.235f << "41 e 235";
        QTest::newRow("millesimi con due zeri") << 41.005f << "41 e zero zero 5";
        QTest::newRow("millesimi con uno zero") << 41.0505f << "41 e zero 50";
        QTest::newRow("secondi esatti") << 9.0f << "9 e zero zero zero";
        QTest::newRow("troncato come a video") << 59.9999f << "59 e 999";
        QTest::newRow("come a video anche in virgola mobile") << 41.05f << "41 e zero 49";
        QTest::newRow("un minuto esatto") << 60.0f << "un minuto";
        QTest::newRow("un minuto e secondi") << 83.456f << "un minuto e 23";
        QTest::newRow("minuti al plurale") << 125.9f << "2 minuti e 5";
    }
    void tempiDetti()
    {
        QFETCH(float, secondi);
        QFETCH(QString, detto);
        QCOMPARE(frasi::tempo(secondi), detto);
    }

    void frasiDegliEventi()
    {
        QCOMPARE(frasi::giro(QStringLiteral("Pilota 1:"), 12, 41.235f), QStringLiteral("Pilota 1, giro 12, 41 e 235"));
        QCOMPARE(frasi::migliorGiro(QStringLiteral("Rossi"), 40.9875f), QStringLiteral("Rossi, miglior giro, 40 e 987"));
        QCOMPARE(frasi::giroVeloce(QStringLiteral("Rossi"), 72.5f), QStringLiteral("Rossi, giro più veloce, un minuto e 12"));
        QCOMPARE(frasi::falsaPartenza(3), QStringLiteral("falsa partenza, corsia 3"));
        QCOMPARE(frasi::ultimoGiro(QStringLiteral("Mario Rossi:")), QStringLiteral("Mario Rossi, ultimo giro"));
        QCOMPARE(frasi::bandieraScacchi({}), QStringLiteral("bandiera a scacchi"));
        QCOMPARE(frasi::bandieraScacchi({QStringLiteral("Rossi"), QStringLiteral("Bianchi")}),
                 QStringLiteral("bandiera a scacchi, vincono Rossi e Bianchi"));
        QCOMPARE(frasi::arrivato(QStringLiteral("Rossi"), 2), QStringLiteral("Rossi, arrivato secondo"));
        QCOMPARE(frasi::arrivato(QStringLiteral("Rossi"), 12), QStringLiteral("Rossi, arrivato posizione 12"));
        QCOMPARE(frasi::partenzaTra(1), QStringLiteral("partenza tra un secondo"));
        QCOMPARE(frasi::prossimaManche(4, {frasi::suCorsia(1, QStringLiteral("Rossi")), frasi::suCorsia(3, QStringLiteral("Bianchi"))}),
                 QStringLiteral("prossima manche: manche 4; corsia 1, Rossi; corsia 3, Bianchi"));
    }

    // Race control's words only with the voice on and "Gare" ticked; the start's tones on their own tick.
    void annunciDiGara_data()
    {
        QTest::addColumn<bool>("attivi");
        QTest::addColumn<bool>("gara");
        QTest::addColumn<bool>("toni");
        QTest::newRow("tutto") << true << true << true;
        QTest::newRow("voce spenta") << false << true << true;
        QTest::newRow("gare spente") << true << false << false;
    }
    void annunciDiGara()
    {
        QFETCH(bool, attivi);
        QFETCH(bool, gara);
        QFETCH(bool, toni);
        ImpostazioniVoce imp;
        imp.attivi = attivi;
        imp.gara = gara;
        imp.toniPartenza = toni;
        imp.partenza = false; // the session's own start would speak first
        Banco b(imp);
        b.annunci.gara(frasi::falsaPartenza(3), 2, 1000);
        b.toniGiro.gara(Tono::Luce);
        b.toniGiro.gara(Tono::Via);
        QCOMPARE(b.detti(), attivi && gara ? QStringList{QStringLiteral("falsa partenza, corsia 3")} : QStringList{});
        QCOMPARE(b.toni ? b.toni->suonati : QList<Tono>{}, toni ? (QList<Tono>{Tono::Luce, Tono::Via}) : QList<Tono>{});
    }

    // Each lap says the most important thing it was, among what is turned on.
    void unAnnuncioPerGiro_data()
    {
        QTest::addColumn<bool>("ogniGiro");
        QTest::addColumn<bool>("migliore");
        QTest::addColumn<bool>("veloce");
        QTest::addColumn<QStringList>("attesi");
        // Pilota1: 40, 41, 38 (its best and the session's); Pilota2: 41, 39 (its best and the session's).
        const QString a1 = "Pilota1, giro 1, 40 e zero zero zero", b1 = "Pilota2, giro 1, 41 e zero zero zero";
        const QString a2 = "Pilota1, giro 2, 41 e zero zero zero";
        QTest::newRow("tutto") << true << true << true
                               << QStringList{a1, b1, "Pilota2, giro più veloce, 39 e zero zero zero", a2,
                                              "Pilota1, giro più veloce, 38 e zero zero zero"};
        QTest::newRow("senza record") << true << true << false
                                      << QStringList{a1, b1, "Pilota2, miglior giro, 39 e zero zero zero", a2,
                                                     "Pilota1, miglior giro, 38 e zero zero zero"};
        QTest::newRow("solo ogni giro") << true << false << false
                                        << QStringList{a1, b1, "Pilota2, giro 2, 39 e zero zero zero", a2,
                                                       "Pilota1, giro 3, 38 e zero zero zero"};
        QTest::newRow("solo i record") << false << false << true
                                       << QStringList{"Pilota2, giro più veloce, 39 e zero zero zero",
                                                      "Pilota1, giro più veloce, 38 e zero zero zero"};
        QTest::newRow("niente") << false << false << false << QStringList{};
    }
    void unAnnuncioPerGiro()
    {
        QFETCH(bool, ogniGiro);
        QFETCH(bool, migliore);
        QFETCH(bool, veloce);
        QFETCH(QStringList, attesi);
        ImpostazioniVoce imp = accesi();
        imp.partenza = false;
        imp.ogniGiro = ogniGiro;
        imp.migliorGiro = migliore;
        imp.giroVeloce = veloce;
        Banco b(imp);
        const std::pair<double, int> passaggi[] = {{1040, 0}, {1041, 1}, {1080, 1}, {1081, 0}, {1119, 0}};
        for (auto [t, corsia] : passaggi) {
            b.passa(t, {corsia});
            b.voce->termina();
        }
        QCOMPARE(b.detti(), attesi);
        QVERIFY(!b.voce->sovrapposta);
    }

    // The queue on its own: a voice busy from 0 s, each later phrase taking `durata`.
    // An announcement is "<priority> <lane> <instant>": G lap, M best, V fastest, S session.
    void prioritaEScarti_data()
    {
        QTest::addColumn<QStringList>("accodati");
        QTest::addColumn<double>("durata");
        QTest::addColumn<QStringList>("detti");
        QTest::newRow("per importanza") << QStringList{"G 0 0.1", "M 1 0.2", "V 2 0.3", "S -1 0.4"} << 0.5
                                        << QStringList{"S -1 0.4", "V 2 0.3", "M 1 0.2", "G 0 0.1"};
        QTest::newRow("a pari importanza il più vecchio") << QStringList{"G 3 0.4", "G 1 0.6", "G 5 0.2"} << 0.5
                                                          << QStringList{"G 5 0.2", "G 3 0.4", "G 1 0.6"};
        QTest::newRow("il più recente della corsia sostituisce") << QStringList{"V 0 0.1", "G 0 0.2", "G 1 0.3"} << 0.5
                                                                 << QStringList{"G 0 0.2", "G 1 0.3"};
        QTest::newRow("uno solo per la sessione") << QStringList{"S -1 0.1", "S -1 0.2"} << 0.5 << QStringList{"S -1 0.2"};
        QTest::newRow("troppo tardi: scartati") << QStringList{"G 0 0.1", "V 1 0.2", "G 2 2.0"} << 2.5
                                                << QStringList{"V 1 0.2", "G 2 2.0"};
        QTest::newRow("voce lentissima") << QStringList{"S -1 0.1", "V 1 0.2"} << 4.0 << QStringList{};
    }
    void prioritaEScarti()
    {
        QFETCH(QStringList, accodati);
        QFETCH(double, durata);
        QFETCH(QStringList, detti);
        OrologioManuale orologio{0};
        VoceFinta voce;
        Annunciatore a(orologio, voce);
        a.accoda({QStringLiteral("occupata"), Priorita::Giro, 7, 0});
        const QString sigle = QStringLiteral("GMVS");
        for (const QString &s : accodati) {
            const QStringList p = s.split(QLatin1Char(' '));
            orologio.imposta(p[2].toDouble());
            a.accoda({s, Priorita(sigle.indexOf(p[0])), p[1].toInt(), p[2].toDouble()});
        }
        orologio.imposta(durata);
        for (int i = 0; i < 10; ++i, orologio.avanza(durata)) voce.termina();
        a.controlla();
        QCOMPARE(voce.elenco().mid(1), detti);
        QCOMPARE(a.inAttesa(), 0);
        QVERIFY(!voce.sovrapposta);
    }

    // Eight lanes a burst under a slow voice: never two at once nor late, the lane's latest lap, the record first.
    void ottoCorsieEUnaVoceLenta()
    {
        Banco b(accesi());
        int detti = 0, record = 0;
        b.annunci.annunciatore()->avviato = [&](const Annuncio &a, double ora) {
            ++detti;
            QVERIFY(ora - a.istante <= Annunciatore::ritardoMassimo);
            if (a.corsia < 0) return;
            const Sessione::Corsia &c = b.s.corsia(a.corsia);
            QVERIFY2(a.testo.startsWith(c.nome + QStringLiteral(", ")), qPrintable(a.testo));
            if (a.priorita == Priorita::Giro)
                QVERIFY2(a.testo.contains(QStringLiteral("giro %1,").arg(c.numGiri)), qPrintable(a.testo));
            record += a.priorita == Priorita::GiroVeloce;
        };
        b.voce->termina(); // "sessione iniziata", said before counting
        for (int giro = 1; giro <= 9; ++giro) {
            const double t = 1000 + 20.0 * giro;
            // Lane 8, marked last in the burst, gains a hundredth a lap: the session's fastest every lap.
            b.orologio.imposta(t);
            for (int c = 0; c < 7; ++c) b.s.marca(c, t + 0.001 * c);
            b.s.marca(7, t - 0.005 * giro * (giro + 1));
            QCoreApplication::processEvents();
            for (int passo = 0; passo < 7; ++passo) {
                b.orologio.avanza(2.5);
                b.voce->termina();
                b.annunci.annunciatore()->controlla();
            }
        }
        QVERIFY(!b.voce->sovrapposta);
        QCOMPARE(record, 9);
        // Each burst: the first lane at once, then the record; the others are too old by then.
        QCOMPARE(detti, 9 * 2);
    }

    // Tones only where turned on; the low one only for a crossing the shortest-lap rule drops.
    void toniSoloSeAccesi_data()
    {
        QTest::addColumn<bool>("giro");
        QTest::addColumn<bool>("ignorato");
        QTest::newRow("spenti") << false << false;
        QTest::newRow("giro") << true << false;
        QTest::newRow("ignorato") << false << true;
        QTest::newRow("entrambi") << true << true;
    }
    void toniSoloSeAccesi()
    {
        QFETCH(bool, giro);
        QFETCH(bool, ignorato);
        ImpostazioniVoce imp;
        imp.tonoGiro = giro;
        imp.tonoIgnorato = ignorato;
        Banco b(imp);
        b.s.impostaLockout(5);
        b.passa(1030, {0, 1}); // two laps
        b.passa(1032, {0});    // too soon: dropped
        b.s.pausa();
        b.passa(1040, {2});    // paused: not a crossing of a running lane
        b.s.riprendi();
        QList<Tono> attesi;
        if (giro) attesi << Tono::Giro << Tono::Giro;
        if (ignorato) attesi << Tono::Ignorato;
        QCOMPARE(b.toni ? b.toni->suonati : QList<Tono>{}, attesi);
        // Nothing is made until something needs it: off by default costs nothing.
        QCOMPARE(b.motoriFatti, giro || ignorato ? 1 : 0);
        QVERIFY(!b.voce);
    }

    // The session's own announcements: start, 5 minutes and 1 minute left, the end;
    // a session shorter than five minutes has no "mancano 5 minuti".
    void tempoDellaSessione_data()
    {
        QTest::addColumn<QString>("minuti");
        QTest::addColumn<QStringList>("attesi");
        QTest::newRow("dieci minuti") << "10" << QStringList{"sessione iniziata", "mancano 5 minuti", "ultimo minuto", "sessione terminata"};
        QTest::newRow("tre minuti") << "3" << QStringList{"sessione iniziata", "ultimo minuto", "sessione terminata"};
    }
    void tempoDellaSessione()
    {
        QFETCH(QString, minuti);
        QFETCH(QStringList, attesi);
        Sola b(QStringLiteral("Solo"));
        b.s.impostaSettempo(minuti);
        VoceFinta *voce = nullptr;
        Annunci annunci{b.orologio, [&] { auto v = std::make_unique<VoceFinta>(); voce = v.get(); voce->subito = true; return v; }};
        annunci.segui(&b.s);
        annunci.applica(accesi());
        b.s.start();
        for (int k = 0; k < 700; ++k) {
            b.orologio.avanza(1);
            b.s.tick();
            QCoreApplication::processEvents();
            QCoreApplication::processEvents();
        }
        QCOMPARE(voce->elenco(), attesi);
    }

    // No speech system: said once however many laps come, and the laps are the same as without it.
    void motoreMancanteDettoUnaVolta()
    {
        QList<float> tempi[2];
        for (int conVoce = 0; conVoce < 2; ++conVoce) {
            ImpostazioniVoce imp = accesi();
            imp.attivi = conVoce;
            imp.tonoGiro = conVoce;
            Banco b(imp, QStringLiteral("speech-dispatcher non risponde"));
            for (int giro = 1; giro <= 10; ++giro) b.passa(1000 + 30.25 * giro, {0, 1, 2, 3, 4, 5, 6, 7});
            b.annunci.applica(imp); // turned on again: still one notice
            b.toniGiro.applica(imp);
            for (const GiroCompletato &g : b.archivio.giri) tempi[conVoce] << g.tempoGiro;
            QCOMPARE(b.problemi.size(), conVoce ? 1 : 0);
            if (conVoce) QVERIFY(b.problemi.first().contains(QStringLiteral("speech-dispatcher non risponde")));
            QCOMPARE(b.detti(), QStringList{});
        }
        QCOMPARE(tempi[0].size(), 80);
        QCOMPARE(tempi[1], tempi[0]);
    }

    // The voice on its own thread, the notice as a message, the dialog applying at once and storing on closing.
    void servizioInThreadEDialogo()
    {
        QTemporaryDir cartella;
        Impostazioni store(cartella.filePath(QStringLiteral("utente.ini")));
        QCOMPARE(ImpostazioniVoce::leggi(store), ImpostazioniVoce{}); // all off by default
        Sola b(QStringLiteral("Rossi"));
        auto &[orologio, messaggi, archivio, s] = b;
        VoceFinta *voce = nullptr;
        ServizioVoce servizio(store, messaggi, orologio,
                              [&] { auto v = std::make_unique<VoceFinta>(); v->subito = true; voce = v.get(); return v; },
                              [] { auto t = std::make_unique<ToniFinti>(); t->guastoIniziale = QStringLiteral("nessuna uscita audio"); return t; });
        servizio.segui(&s);
        {
            DialogoVoce dialogo(servizio);
            QTRY_VERIFY(servizio.statoNoto());
            QCOMPARE(servizio.voci(), QStringList{QStringLiteral("italiano")});
            QVERIFY(dialogo.findChild<QLabel *>(QStringLiteral("stato"))->text().contains(QStringLiteral("nessuna uscita audio")));
            dialogo.findChild<QCheckBox *>(QStringLiteral("partenza"))->setChecked(false);
            dialogo.findChild<QCheckBox *>(QStringLiteral("attivi"))->setChecked(true);
            dialogo.findChild<QCheckBox *>(QStringLiteral("tonoGiro"))->setChecked(true);
            QVERIFY(servizio.impostazioni().attivi);
            QCOMPARE(ImpostazioniVoce::leggi(store).attivi, false); // kept only on closing
            dialogo.findChild<QPushButton *>(QStringLiteral("prova"))->click();
            QTRY_COMPARE(voce->elenco(), QStringList{frasi::prova()});
            dialogo.accept();
        }
        const ImpostazioniVoce salvate = ImpostazioniVoce::leggi(store);
        QVERIFY(salvate.attivi && salvate.tonoGiro && !salvate.partenza);
        s.start();
        orologio.imposta(1041.5);
        s.marca(0);
        QTRY_COMPARE(voce->elenco().size(), 2);
        QCOMPARE(voce->elenco().last(), QStringLiteral("Rossi, giro 1, 41 e 500"));
        // The missing sound output was told once, as a notice that waits for nobody.
        QTRY_COMPARE(messaggi.mostrati.size(), 1);
        QVERIFY(messaggi.mostrati.first().avviso);
    }

    // A speech engine slow to start (speech-dispatcher's first start takes seconds)
    // holds back no tone: the voice's thread waits here until the lap's tone has played.
    void toniSenzaAttendereLaVoce()
    {
        QTemporaryDir cartella;
        Impostazioni store(cartella.filePath(QStringLiteral("utente.ini")));
        ImpostazioniVoce imp = accesi();
        imp.partenza = false;
        imp.tonoGiro = true;
        imp.scrivi(store);
        Sola b(QStringLiteral("Rossi"));
        auto &[orologio, messaggi, archivio, s] = b;
        QSemaphore suonato;
        std::atomic<bool> primaIlTono{false};
        std::atomic<VoceFinta *> voce{nullptr};
        ServizioVoce servizio(store, messaggi, orologio,
                              [&] {
                                  primaIlTono = suonato.tryAcquire(1, 10000);
                                  auto v = std::make_unique<VoceFinta>();
                                  v->subito = true;
                                  voce = v.get();
                                  return v;
                              },
                              [&] { auto t = std::make_unique<ToniFinti>(); t->suonato = &suonato; return t; });
        servizio.segui(&s);
        s.start();
        orologio.imposta(1041.5);
        s.marca(0);
        QTRY_VERIFY_WITH_TIMEOUT(voce.load() != nullptr, 15000);
        QVERIFY(primaIlTono);
        // The lap is still said once the engine is there.
        QTRY_COMPARE(voce.load()->elenco(), QStringList{QStringLiteral("Rossi, giro 1, 41 e 500")});
    }
};

QTEST_MAIN(TstAnnunci)
#include "tst_annunci.moc"
