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

    void salvaPoiCarica();
    void annullaNonToccaNienteMaAggiornaLeGriglie();
    void caricaRifiutaFileNonValidi_data();
    void caricaRifiutaFileNonValidi();
    void casiLimite();
};

void TestSalvataggi::salvaPoiCarica()
{
    griglie_->aggiornaTabella();
    const QStringList alSalvataggio = classifica(*griglie_);
    // An existing file is replaced, and the name is used as typed.
    QFile vecchio(file("gara1"));
    QVERIFY(vecchio.open(QIODevice::WriteOnly) && vecchio.write("vecchio") > 0);
    vecchio.close();
    dialogo_.risposte = {file("gara1")};
    sessioni_->salva(*griglie_);
    QCOMPARE(dialogo_.richieste[0].titolo, QStringLiteral("Salva Tempi"));
    QCOMPARE(dialogo_.richieste[0].filtro, QStringLiteral("Salvataggi|*.qlt|Tutti i file|*.*"));
    QVERIFY(messaggi_.mostrati.isEmpty() && db_.aperto());
    QCOMPARE(contenuto(file("gara1")), contenuto(percorso_));

    // More laps, then back to the saved moment; the loaded file takes new laps.
    segna("Gamma", 1, 38);
    segna("Beta", 2, 41);
    dialogo_.risposte = {file("gara1")};
    sessioni_->carica(griglie_.get());
    QCOMPARE(dialogo_.richieste.last().titolo, QStringLiteral("Carica Tempi"));
    QVERIFY(messaggi_.mostrati.isEmpty() && db_.aperto());
    QCOMPARE(classifica(*griglie_), alSalvataggio);
    QCOMPARE(archivio_->contaGiriOEccezione("Gamma"), 0);
    segna("Alfa", 3, 37);
    QVERIFY(contenuto(file("gara1")) != contenuto(percorso_));
    QCOMPARE(QDir(cartella_->path()).entryList(QDir::Files).size(), 2); // no copy left over
}

void TestSalvataggi::annullaNonToccaNienteMaAggiornaLeGriglie()
{
    TabelleFinte contate;
    const QByteArray prima = contenuto(percorso_);
    sessioni_->salva(contate);
    sessioni_->carica(&contate);
    sessioni_->carica(nullptr); // the start window has no grids
    QCOMPARE(contate.aggiornamenti, 2);
    QCOMPARE(dialogo_.richieste.size(), 3);
    QCOMPARE(contenuto(percorso_), prima);
    QCOMPARE(QDir(cartella_->path()).entryList(QDir::Files).size(), 1);
    QVERIFY(messaggi_.mostrati.isEmpty() && db_.aperto());
}

void TestSalvataggi::caricaRifiutaFileNonValidi_data()
{
    QTest::addColumn<QString>("tipo");
    for (const char *t : {"mancante", "vuoto", "testo", "casuale", "password", "senzaviste"}) QTest::newRow(t) << t;
}

void TestSalvataggi::caricaRifiutaFileNonValidi()
{
    QFETCH(QString, tipo);
    const QString candidato = file("scelto.qlt");
    if (tipo == "password" || tipo == "senzaviste") {
        Database altro;
        altro.apri(candidato, tipo == "password" ? QStringLiteral("altra") : QString::fromUtf8(identita::password), true);
        if (tipo == "password") schema::prepara(altro, true);
        else altro.esegui("CREATE TABLE Giri (pilota TEXT); CREATE TABLE Piste (pista TEXT)");
    } else if (tipo != "mancante") {
        QFile f(candidato);
        QVERIFY(f.open(QIODevice::WriteOnly));
        if (tipo == "testo") f.write("Pilota;Tempo\nAlfa;00:40,000\n");
        for (int i = 0; tipo == "casuale" && i < 8192; ++i) f.putChar(static_cast<char>((i * 7919 + 13) % 251));
    }
    const QByteArray prima = contenuto(percorso_);
    const QStringList fileprima = QDir(cartella_->path()).entryList(QDir::Files);
    TabelleFinte contate;
    dialogo_.risposte = {candidato};
    sessioni_->carica(&contate);

    QCOMPARE(messaggi_.mostrati.size(), 1);
    QVERIFY(messaggi_.ultimo().contains(candidato));
    QVERIFY(messaggi_.ultimo().contains(QStringLiteral("I tempi attuali non sono stati modificati.")));
    QCOMPARE(contate.aggiornamenti, 1);
    QCOMPARE(contenuto(percorso_), prima);
    QCOMPARE(QDir(cartella_->path()).entryList(QDir::Files), fileprima);
    QVERIFY(db_.aperto());
    QCOMPARE(archivio_->contaGiriOEccezione("Alfa"), 2);
}

void TestSalvataggi::casiLimite()
{
    // Loading the database itself, by any path, changes nothing.
    const QByteArray prima = contenuto(percorso_);
    QCOMPARE(sessioni_->caricaDa(cartella_->path() + "/./" + QString::fromUtf8(identita::fileDatabase), nullptr),
             SessioniSalvate::Esito::Invariato);
    QCOMPARE(contenuto(percorso_), prima);

    // A failed save says why and leaves the database open.
    const QString impossibile = file("manca/gara.qlt");
    dialogo_.risposte = {impossibile};
    TabelleFinte contate;
    sessioni_->salva(contate);
    QVERIFY(messaggi_.ultimo().startsWith(QStringLiteral("Impossibile salvare i tempi in\n") + impossibile));
    QVERIFY(db_.aperto());
    segna("Beta", 2, 41);
    QCOMPARE(archivio_->contaGiriOEccezione("Beta"), 2);

    QCOMPARE(DialogoFileQt::filtriQt(QString::fromUtf8(SessioniSalvate::filtro)),
             QStringList({"Salvataggi (*.qlt)", "Tutti i file (*)"}));
}

QTEST_MAIN(TestSalvataggi)
#include "tst_salvataggi.moc"
