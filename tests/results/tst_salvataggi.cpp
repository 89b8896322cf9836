#include "database/archiviotempi.h"
#include "database/database.h"
#include "database/dialogofile.h"
#include "database/schema.h"
#include "database/sessionisalvate.h"
#include "archiviofinto.h"
#include "dialogofilefinto.h"
#include "messaggifinti.h"
#include "results/grigliarisultati.h"
#include "shell/comune/identita.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

GiroCompletato giro(const QString &pilota, int n, float tempo)
{
    GiroCompletato g;
    g.pilota = pilota;
    g.giroN = n;
    g.tempoGiro = tempo;
    g.tempo = QStringLiteral("00:%1,000").arg(static_cast<int>(tempo));
    g.pista = QStringLiteral("Pista Nord");
    g.quando = QDateTime(QDate(2026, 12, 5), QTime(9, 5, 3));
    return g;
}

QByteArray contenuto(const QString &percorso)
{
    QFile f(percorso);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The standings as the grid shows them, one "name/laps/total" text per row.
QStringList classifica(GriglieRisultati &g)
{
    QStringList r;
    ModelloQuery &m = g.classifica();
    for (int i = 0; i < m.rowCount(); ++i)
        r.append(QStringLiteral("%1/%2/%3").arg(m.valore(i, 0).toString(), m.valore(i, 1).toString(),
                                                m.valore(i, 2).toString()));
    return r;
}

} // namespace

class TestSalvataggi : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> cartella_;
    QString percorso_;
    Database db_;
    MessaggiFinti messaggi_;
    DialogoFileFinto dialogo_;
    std::unique_ptr<ArchivioTempi> archivio_;
    std::unique_ptr<GriglieRisultati> griglie_;
    std::unique_ptr<SessioniSalvate> sessioni_;

    QString file(const QString &nome) const { return cartella_->filePath(nome); }
    void segna(const QString &pilota, int n, float tempo) { archivio_->memorizzaOEccezione(giro(pilota, n, tempo)); }

private slots:
    void init()
    {
        cartella_ = std::make_unique<QTemporaryDir>();
        QVERIFY(cartella_->isValid());
        percorso_ = file(QString::fromUtf8(identita::fileDatabase));
        schema::apriDatabase(db_, percorso_);
        messaggi_ = MessaggiFinti();
        dialogo_ = DialogoFileFinto();
        archivio_ = std::make_unique<ArchivioTempi>(db_, messaggi_);
        griglie_ = std::make_unique<GriglieRisultati>(db_, messaggi_, nullptr, nullptr);
        sessioni_ = std::make_unique<SessioniSalvate>(db_, percorso_, dialogo_, messaggi_);
        segna("Alfa", 1, 40);
        segna("Beta", 1, 42);
        segna("Alfa", 2, 39);
    }
    void cleanup()
    {
        sessioni_.reset();
        griglie_.reset();
        archivio_.reset();
        db_.chiudi();
        cartella_.reset();
    }

    void salvaPoiCaricaRiportaLaClassifica();
    void annullaNonToccaNienteMaAggiornaLeGriglie();
    void salvaSostituisceEUsaIlNomeEsatto();
    void caricaRifiutaFileNonValidi_data();
    void caricaRifiutaFileNonValidi();
    void caricaIlDatabaseStessoNonCambiaNulla();
    void salvataggioFallitoLasciaIlDatabaseAperto();
    void caricaDallaFinestraIniziale();
    void filtroDelDialogo();
};

void TestSalvataggi::salvaPoiCaricaRiportaLaClassifica()
{
    griglie_->aggiornaTabella();
    const QStringList alSalvataggio = classifica(*griglie_);
    QCOMPARE(alSalvataggio.size(), 2);

    dialogo_.risposte = {file("gara1.qlt")};
    sessioni_->salva(*griglie_);
    QCOMPARE(dialogo_.richieste.size(), 1);
    QVERIFY(dialogo_.richieste[0].salvataggio);
    QCOMPARE(dialogo_.richieste[0].titolo, QStringLiteral("Salva Tempi"));
    QCOMPARE(dialogo_.richieste[0].filtro, QStringLiteral("Salvataggi|*.qlt|Tutti i file|*.*"));
    QVERIFY(messaggi_.mostrati.isEmpty());
    QVERIFY(db_.aperto());
    // A byte copy: it opens with the same password and holds the same laps.
    QCOMPARE(contenuto(file("gara1.qlt")), contenuto(percorso_));

    // More laps after the save, then back to the saved moment.
    segna("Gamma", 1, 38);
    segna("Beta", 2, 41);
    griglie_->aggiornaTabella();
    QVERIFY(classifica(*griglie_) != alSalvataggio);

    dialogo_.risposte = {file("gara1.qlt")};
    sessioni_->carica(griglie_.get());
    QCOMPARE(dialogo_.richieste.last().titolo, QStringLiteral("Carica Tempi"));
    QVERIFY(!dialogo_.richieste.last().salvataggio);
    QVERIFY(messaggi_.mostrati.isEmpty());
    QCOMPARE(classifica(*griglie_), alSalvataggio);
    QCOMPARE(griglie_->giriVeloci().rowCount(), 3);

    // The loaded file takes new laps, and the saved file stays as it was.
    QVERIFY(db_.aperto());
    QCOMPARE(archivio_->contaGiriOEccezione("Alfa"), 2);
    QCOMPARE(archivio_->contaGiriOEccezione("Gamma"), 0);
    segna("Alfa", 3, 37);
    QVERIFY(contenuto(file("gara1.qlt")) != contenuto(percorso_));
    // No copy left over beside either file.
    QCOMPARE(QDir(cartella_->path()).entryList(QDir::Files).size(), 2);
}

void TestSalvataggi::annullaNonToccaNienteMaAggiornaLeGriglie()
{
    TabelleFinte contate;
    const QByteArray prima = contenuto(percorso_);
    const QStringList fileprima = QDir(cartella_->path()).entryList(QDir::Files);
    sessioni_->salva(contate);
    sessioni_->carica(&contate);
    QCOMPARE(contate.aggiornamenti, 2);
    QCOMPARE(dialogo_.richieste.size(), 2);
    QCOMPARE(contenuto(percorso_), prima);
    QCOMPARE(QDir(cartella_->path()).entryList(QDir::Files), fileprima);
    QVERIFY(messaggi_.mostrati.isEmpty());
    QVERIFY(db_.aperto());
}

void TestSalvataggi::salvaSostituisceEUsaIlNomeEsatto()
{
    QFile vecchio(file("gara2"));
    QVERIFY(vecchio.open(QIODevice::WriteOnly));
    vecchio.write("vecchio salvataggio");
    vecchio.close();

    QCOMPARE(sessioni_->salvaIn(file("gara2"), nullptr), SessioniSalvate::Esito::Fatto);
    QVERIFY(!QFile::exists(file("gara2.qlt")));
    QCOMPARE(contenuto(file("gara2")), contenuto(percorso_));
    QString motivo;
    QVERIFY2(Database::verificaFile(file("gara2"), QString::fromUtf8(identita::password), &motivo),
             qPrintable(motivo));
}

void TestSalvataggi::caricaRifiutaFileNonValidi_data()
{
    QTest::addColumn<QString>("tipo");
    QTest::newRow("missing") << "mancante";
    QTest::newRow("empty") << "vuoto";
    QTest::newRow("text") << "testo";
    QTest::newRow("random") << "casuale";
    QTest::newRow("other password") << "password";
    QTest::newRow("no views") << "senzaviste";
}

void TestSalvataggi::caricaRifiutaFileNonValidi()
{
    QFETCH(QString, tipo);
    const QString candidato = file("scelto.qlt");
    if (tipo == "vuoto" || tipo == "testo" || tipo == "casuale") {
        QFile f(candidato);
        QVERIFY(f.open(QIODevice::WriteOnly));
        if (tipo == "testo") f.write("Pilota;Tempo\nAlfa;00:40,000\n");
        if (tipo == "casuale")
            for (int i = 0; i < 8192; ++i) f.putChar(static_cast<char>((i * 7919 + 13) % 251));
    } else if (tipo == "password") {
        Database altro;
        altro.apri(candidato, QStringLiteral("altrapassword"), true);
        schema::prepara(altro, true);
    } else if (tipo == "senzaviste") {
        Database altro;
        altro.apri(candidato, QString::fromUtf8(identita::password), true);
        altro.esegui("CREATE TABLE Giri (pilota TEXT); CREATE TABLE Piste (pista TEXT)");
    }
    const QByteArray prima = contenuto(percorso_);
    const QStringList fileprima = QDir(cartella_->path()).entryList(QDir::Files);

    TabelleFinte contate;
    dialogo_.risposte = {candidato};
    sessioni_->carica(&contate);

    QCOMPARE(messaggi_.mostrati.size(), 1);
    QVERIFY(messaggi_.ultimo().contains(candidato));
    QVERIFY(messaggi_.ultimo().contains(QStringLiteral("non sono stati modificati")));
    QCOMPARE(messaggi_.mostrati.last().icona, Messaggi::Icona::Esclamazione);
    QCOMPARE(contate.aggiornamenti, 1);
    QCOMPARE(contenuto(percorso_), prima);
    QCOMPARE(QDir(cartella_->path()).entryList(QDir::Files), fileprima);
    QVERIFY(db_.aperto());
    QCOMPARE(archivio_->contaGiriOEccezione("Alfa"), 2);
}

void TestSalvataggi::caricaIlDatabaseStessoNonCambiaNulla()
{
    const QByteArray prima = contenuto(percorso_);
    dialogo_.risposte = {percorso_};
    TabelleFinte contate;
    sessioni_->carica(&contate);
    QVERIFY(messaggi_.mostrati.isEmpty());
    QCOMPARE(contate.aggiornamenti, 1);
    QCOMPARE(contenuto(percorso_), prima);
    QVERIFY(db_.aperto());
    // The same file reached by another path is recognised too.
    QCOMPARE(sessioni_->caricaDa(cartella_->path() + "/./" + QString::fromUtf8(identita::fileDatabase), nullptr),
             SessioniSalvate::Esito::Invariato);
    QCOMPARE(archivio_->contaGiriOEccezione("Beta"), 1);
}

void TestSalvataggi::salvataggioFallitoLasciaIlDatabaseAperto()
{
    const QString impossibile = file("cartella-che-non-esiste/gara.qlt");
    dialogo_.risposte = {impossibile};
    TabelleFinte contate;
    sessioni_->salva(contate);
    QCOMPARE(messaggi_.mostrati.size(), 1);
    QVERIFY(messaggi_.ultimo().startsWith(QStringLiteral("Impossibile salvare i tempi in")));
    QVERIFY(messaggi_.ultimo().contains(impossibile));
    QCOMPARE(contate.aggiornamenti, 1);
    QVERIFY(db_.aperto());
    segna("Beta", 2, 41);
    QCOMPARE(archivio_->contaGiriOEccezione("Beta"), 2);
}

void TestSalvataggi::caricaDallaFinestraIniziale()
{
    QCOMPARE(sessioni_->salvaIn(file("mattina.qlt"), nullptr), SessioniSalvate::Esito::Fatto);
    db_.esegui("DELETE FROM Giri; DELETE FROM TempoTotale");
    dialogo_.risposte = {file("mattina.qlt")};
    sessioni_->carica(nullptr);
    QVERIFY(messaggi_.mostrati.isEmpty());
    QVERIFY(db_.aperto());
    QCOMPARE(archivio_->contaGiriOEccezione("Alfa"), 2);
    // The standings go on from the loaded laps.
    segna("Alfa", 3, 30);
    griglie_->aggiornaTabella();
    QCOMPARE(classifica(*griglie_).first(), QStringLiteral("Alfa/3/01:49,000"));
}

void TestSalvataggi::filtroDelDialogo()
{
    QCOMPARE(DialogoFileQt::filtriQt(QString::fromUtf8(SessioniSalvate::filtro)),
             QStringList({"Salvataggi (*.qlt)", "Tutti i file (*)"}));
    QCOMPARE(DialogoFileQt::filtriQt("PDF|*.pdf"), QStringList({"PDF (*.pdf)"}));
}

QTEST_MAIN(TestSalvataggi)
#include "tst_salvataggi.moc"
