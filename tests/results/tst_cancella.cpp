#include "database/archiviotempi.h"
#include "database/cancellatempi.h"
#include "database/database.h"
#include "database/schema.h"
#include "messaggifinti.h"
#include "orologiomanuale.h"
#include "results/classificamostrata.h"
#include "results/grigliarisultati.h"
#include "shell/comune/identita.h"
#include "timing/globale.h"
#include "timing/sessione.h"

#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {
qint64 conta(Database &db, const char *sql)
{
    Istruzione q = db.prepara(sql);
    return q.passo() ? q.intero(0) : -1;
}
} // namespace

class TestCancella : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> cartella_;
    QString percorso_;
    Database db_;
    MessaggiFinti messaggi_;
    OrologioManuale orologio_;
    std::unique_ptr<ArchivioTempi> archivio_;
    std::unique_ptr<GriglieRisultati> griglie_;
    std::unique_ptr<Sessione> sessione_;
    std::unique_ptr<CancellaTempi> cancella_;

    std::function<bool()> comeMostrata()
    {
        return [this] { return classificaConGiri(griglie_->classifica()); };
    }
    // Three drivers, two laps each, through the real mark path.
    void corri()
    {
        sessione_->start();
        for (int giro = 0; giro < 2; ++giro) {
            for (int i = 0; i < 3; ++i) {
                orologio_.avanza(30.0f + i);
                sessione_->marca(i);
            }
        }
        QVERIFY(messaggi_.mostrati.isEmpty());
    }

private slots:
    void init()
    {
        cartella_ = std::make_unique<QTemporaryDir>();
        percorso_ = cartella_->filePath(QString::fromUtf8(identita::fileDatabase));
        schema::apriDatabase(db_, percorso_);
        messaggi_ = MessaggiFinti();
        orologio_ = OrologioManuale();
        globale().nomePista = QStringLiteral("Pista Nord");
        globale().lunghezzaPista = 1200;
        archivio_ = std::make_unique<ArchivioTempi>(db_, messaggi_);
        griglie_ = std::make_unique<GriglieRisultati>(db_, messaggi_, nullptr, nullptr);
        sessione_ = std::make_unique<Sessione>(orologio_, messaggi_, *archivio_, *griglie_);
        for (int i = 0; i < 3; ++i) sessione_->impostaPilota(i, QStringLiteral("Pilota%1").arg(i + 1));
        sessione_->inizializza();
        cancella_ = std::make_unique<CancellaTempi>(db_, percorso_, messaggi_, *sessione_);
    }
    void cleanup()
    {
        cancella_.reset();
        sessione_.reset();
        griglie_.reset();
        archivio_.reset();
        db_.chiudi();
        cartella_.reset();
    }

    void okCancellaTempiEAzzeraLeCorsie();
    void annullaNonCambiaNulla();
    void classificaMostrataVuotaLasciaIGiri();
};

void TestCancella::okCancellaTempiEAzzeraLeCorsie()
{
    corri();
    QCOMPARE(conta(db_, "SELECT count(*) FROM Giri"), 6);
    const qint64 piste = conta(db_, "SELECT count(*) FROM Piste");
    const QString ultimo = sessione_->corsia(1).tempolast;
    const QString migliore = sessione_->corsia(1).bestlapper;
    db_.esegui("DELETE FROM Tempofast"); // a file that lost its one row gets it back

    messaggi_.risposte = {Messaggi::Risposta::Ok};
    cancella_->menuCancDatabase(*griglie_, comeMostrata());

    QCOMPARE(messaggi_.mostrati.size(), 1);
    const auto &domanda = messaggi_.mostrati[0];
    QCOMPARE(domanda.titolo, QStringLiteral("Reset Database"));
    QCOMPARE(domanda.testo, QStringLiteral("Attenzione: questo comando\ncancellerà tutti i tempi.\nVuoi continuare?"));
    QCOMPARE(domanda.pulsanti, Messaggi::Pulsanti::OkAnnulla);
    QCOMPARE(domanda.icona, Messaggi::Icona::Esclamazione);
    QCOMPARE(domanda.predefinito, 1);

    QCOMPARE(conta(db_, "SELECT count(*) FROM Giri") + conta(db_, "SELECT count(*) FROM TempoTotale"), 0);
    QCOMPARE(conta(db_, "SELECT count(*) FROM Tempofast"), 1);
    QCOMPARE(conta(db_, "SELECT count(*) FROM Tempofast WHERE Tempo = 0"), 1);
    QCOMPARE(conta(db_, "SELECT count(*) FROM Piste"), piste);
    // The grids were refreshed: header only.
    QCOMPARE(griglie_->classifica().rowCount() + griglie_->giriVeloci().rowCount(), 0);

    for (int i = 0; i < 3; ++i) {
        const auto &c = sessione_->corsia(i);
        QCOMPARE(c.numGiri, 0);
        QCOMPARE(c.migliorGiro, 100.0f);
        QCOMPARE(c.tempo, QStringLiteral("00:00,000"));
        QCOMPARE(c.vel, QStringLiteral("0 Km/h"));
        QVERIFY(c.tempoSfondoPulsante);
    }
    QCOMPARE(sessione_->giroVeloce(), 0.0f);
    // Last and best lap labels keep their text.
    QCOMPARE(sessione_->corsia(1).tempolast, ultimo);
    QCOMPARE(sessione_->corsia(1).bestlapper, migliore);

    // The next lap is lap 1 again, and a new fastest lap is written.
    orologio_.avanza(45);
    sessione_->marca(0);
    QCOMPARE(conta(db_, "SELECT giroN FROM Giri"), 1);
    QCOMPARE(griglie_->classifica().rowCount(), 1);
}

void TestCancella::annullaNonCambiaNulla()
{
    corri();
    const float veloce = sessione_->giroVeloce();
    messaggi_.risposte = {Messaggi::Risposta::Annulla};
    QVERIFY(!cancella_->cancellaTempi(comeMostrata()));
    QCOMPARE(conta(db_, "SELECT count(*) FROM Giri"), 6);
    QCOMPARE(conta(db_, "SELECT count(*) FROM TempoTotale"), 3);
    QVERIFY(conta(db_, "SELECT count(*) FROM Tempofast WHERE Tempo > 0") == 1);
    for (int i = 0; i < 3; ++i) QCOMPARE(sessione_->corsia(i).numGiri, 2);
    QCOMPARE(sessione_->giroVeloce(), veloce);
}

void TestCancella::classificaMostrataVuotaLasciaIGiri()
{
    // Laps stored, but the grid was never refreshed since: the test runs on what it showed.
    corri();
    griglie_->classifica().svuota();
    db_.esegui("INSERT INTO Tempofast VALUES (7.25)");
    messaggi_.risposte = {Messaggi::Risposta::Ok};
    QVERIFY(cancella_->cancellaTempi(comeMostrata()));
    QCOMPARE(conta(db_, "SELECT count(*) FROM Giri"), 6);
    QCOMPARE(conta(db_, "SELECT count(*) FROM TempoTotale"), 3);
    // Tempofast is always left with its one row at 0.
    QCOMPARE(conta(db_, "SELECT count(*) FROM Tempofast WHERE Tempo = 0"), conta(db_, "SELECT count(*) FROM Tempofast"));
    QCOMPARE(conta(db_, "SELECT count(*) FROM Tempofast"), 1);
    // The lanes are reset all the same.
    for (int i = 0; i < 3; ++i) QCOMPARE(sessione_->corsia(i).numGiri, 0);

    // A standings row with zero laps does not count as one with laps.
    db_.esegui("DELETE FROM TempoTotale; INSERT INTO TempoTotale VALUES ('Zero', 0, '00:00,000'), ('Nullo', NULL, NULL)");
    griglie_->aggiornaTabella();
    QCOMPARE(griglie_->classifica().rowCount(), 2);
    QVERIFY(!classificaConGiri(griglie_->classifica()));
}

QTEST_MAIN(TestCancella)
#include "tst_cancella.moc"
