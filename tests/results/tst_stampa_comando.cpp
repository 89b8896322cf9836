#include "database/archiviotempi.h"
#include "database/database.h"
#include "database/schema.h"
#include "dialogofilefinto.h"
#include "messaggifinti.h"
#include "results/stampa.h"
#include "results/superficiestampa.h"
#include "shell/comune/identita.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

// Keeps what would have been printed.
class SuperficieRegistrata : public SuperficieStampa {
public:
    explicit SuperficieRegistrata(QVector<QVector<VoceStampa>> &lavori) : lavori_(lavori) {}
    bool stampa(const QVector<VoceStampa> &voci, QString *) override
    {
        lavori_.append(voci);
        return true;
    }

private:
    QVector<QVector<VoceStampa>> &lavori_;
};

// A system with or without a printer; PDF files are written for real.
class StampantiFinte : public Stampanti {
public:
    bool conStampante = false;
    QVector<QVector<VoceStampa>> stampati;
    QStringList pdfRichiesti;

    bool disponibile() override { return conStampante; }
    std::unique_ptr<SuperficieStampa> predefinita() override
    {
        return std::make_unique<SuperficieRegistrata>(stampati);
    }
    std::unique_ptr<SuperficieStampa> pdf(const QString &percorso) override
    {
        pdfRichiesti.append(percorso);
        return std::make_unique<FilePdf>(percorso);
    }
};

const VoceStampa *trova(const QVector<VoceStampa> &voci, const QString &testo, double x)
{
    for (const auto &v : voci)
        if (v.testo == testo && std::abs(v.x - x) < 1e-9) return &v;
    return nullptr;
}

} // namespace

class TestStampaComando : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> cartella_;
    QString percorso_;
    Database db_;
    MessaggiFinti messaggi_;
    DialogoFileFinto dialogo_;
    StampantiFinte stampanti_;
    std::unique_ptr<Stampa> stampa_;

    void segna(const QString &pilota, int n, float tempo)
    {
        ArchivioTempi archivio(db_, messaggi_);
        GiroCompletato g;
        g.pilota = pilota;
        g.giroN = n;
        g.tempoGiro = tempo;
        g.tempo = QStringLiteral("%1/%2").arg(pilota).arg(n);
        g.pista = QStringLiteral("Pista Sud");
        g.quando = QDateTime(QDate(2026, 12, 5), QTime(10, 0, 0));
        archivio.memorizzaOEccezione(g);
    }

private slots:
    void init()
    {
        cartella_ = std::make_unique<QTemporaryDir>();
        percorso_ = cartella_->filePath(QString::fromUtf8(identita::fileDatabase));
        schema::apriDatabase(db_, percorso_);
        messaggi_ = MessaggiFinti();
        dialogo_ = DialogoFileFinto();
        stampanti_.conStampante = false;
        stampanti_.stampati.clear();
        stampanti_.pdfRichiesti.clear();
        stampa_ = std::make_unique<Stampa>(db_, percorso_, messaggi_, dialogo_, stampanti_);
    }
    void cleanup()
    {
        stampa_.reset();
        db_.chiudi();
        cartella_.reset();
    }

    void leggeLeTreSorgenti();
    void stampanteSubitoSenzaDialoghi();
    void senzaStampanteOffreIlPdf();
    void nessunGiroStampaBlocchiVuoti();
};

void TestStampaComando::leggeLeTreSorgenti()
{
    segna("Lento", 1, 50);
    segna("Veloce", 1, 41);
    segna("Veloce", 2, 39.5f);
    segna("Lento", 2, 52);
    segna("Veloce", 3, 40);
    // A lap with a Null time text prints nothing in its place.
    db_.esegui("UPDATE Giri SET Tempo = NULL WHERE pilota = 'Lento' AND giroN = 2");
    const DatiStampa d = Stampa::leggiDati(db_);

    QVERIFY(d.migliore);
    QCOMPARE(d.migliore->pilota, std::optional<QString>("Veloce"));
    QCOMPARE(d.migliore->giro, std::optional<qint64>(2));
    QCOMPARE(d.migliore->tempo, std::optional<QString>("Veloce/2"));
    QCOMPARE(d.classifica.size(), 2);
    QCOMPARE(*d.classifica[0].pilota, QStringLiteral("Veloce"));
    QCOMPARE(*d.classifica[0].giri, 3);
    QCOMPARE(*d.classifica[0].tempoTotale, QStringLiteral("02:00,500"));
    QCOMPARE(*d.classifica[1].pilota, QStringLiteral("Lento"));
    QCOMPARE(d.sunto.size(), 5);
    QCOMPARE(*d.sunto[0].tempo, QStringLiteral("Lento/1"));
    QCOMPARE(*d.sunto[4].tempo, QStringLiteral("Veloce/3"));
    QVERIFY(!d.sunto[3].tempo.has_value());
}

void TestStampaComando::stampanteSubitoSenzaDialoghi()
{
    segna("Alfa", 1, 40);
    segna("Alfa", 2, 41);
    stampanti_.conStampante = true;
    QCOMPARE(stampa_->stampa(), Stampa::Esito::Stampato);
    QVERIFY(messaggi_.mostrati.isEmpty() && dialogo_.richieste.isEmpty());
    // What reaches the printer is the layout of what the database holds.
    const auto atteso = LayoutStampa::componi(Stampa::leggiDati(db_));
    QVERIFY(trova(atteso, "Alfa/2", 4.0) && trova(atteso, "01:21,000", 15.5));
    QCOMPARE(stampanti_.stampati.size(), 1);
    QCOMPARE(stampanti_.stampati[0].size(), atteso.size());
    for (int i = 0; i < atteso.size(); ++i) QCOMPARE(stampanti_.stampati[0][i].testo, atteso[i].testo);
}

void TestStampaComando::senzaStampanteOffreIlPdf()
{
    segna("Alfa", 1, 40);
    // The operator declines: nothing is written.
    messaggi_.risposte = {Messaggi::Risposta::No};
    QCOMPARE(stampa_->stampa(), Stampa::Esito::Annullato);
    QVERIFY(messaggi_.ultimo().startsWith(QStringLiteral("Nessuna stampante")));
    QCOMPARE(messaggi_.mostrati[0].pulsanti, Messaggi::Pulsanti::SiNo);
    QVERIFY(dialogo_.richieste.isEmpty());

    // Accepts, then cancels the dialog.
    messaggi_.risposte = {Messaggi::Risposta::Si};
    QCOMPARE(stampa_->stampa(), Stampa::Esito::Annullato);
    QCOMPARE(dialogo_.richieste.size(), 1);
    QVERIFY(dialogo_.richieste[0].salvataggio);
    QCOMPARE(dialogo_.richieste[0].titolo, QStringLiteral("Salva stampa"));
    QCOMPARE(dialogo_.richieste[0].filtro, QStringLiteral("PDF|*.pdf"));
    QVERIFY(stampanti_.pdfRichiesti.isEmpty());

    // Accepts and names a file: the same report lands there.
    const QString file = cartella_->filePath(QStringLiteral("stampa.pdf"));
    messaggi_.risposte = {Messaggi::Risposta::Si};
    dialogo_.risposte = {file};
    QCOMPARE(stampa_->stampa(), Stampa::Esito::SalvatoPdf);
    QCOMPARE(stampanti_.pdfRichiesti, QStringList{file});
    QFile pdf(file);
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    QVERIFY(pdf.read(5) == "%PDF-");

    // A file that cannot be written is reported.
    messaggi_.risposte = {Messaggi::Risposta::Si};
    dialogo_.risposte = {cartella_->filePath(QStringLiteral("manca/stampa.pdf"))};
    QCOMPARE(stampa_->stampa(), Stampa::Esito::Errore);
    QVERIFY(messaggi_.ultimo().contains(QStringLiteral("PDF")));
}

void TestStampaComando::nessunGiroStampaBlocchiVuoti()
{
    stampanti_.conStampante = true;
    QCOMPARE(stampa_->stampa(), Stampa::Esito::Stampato);
    QVERIFY(messaggi_.mostrati.isEmpty());
    QVERIFY(trova(stampanti_.stampati.at(0), "Tempi Totali", 2.0));

    // A file that is not a database is reported instead of printed.
    db_.chiudi();
    QFile rotto(percorso_);
    QVERIFY(rotto.open(QIODevice::WriteOnly | QIODevice::Truncate));
    rotto.write(QByteArray(4096, 'x'));
    rotto.close();
    QCOMPARE(stampa_->stampa(), Stampa::Esito::Errore);
    QCOMPARE(stampanti_.stampati.size(), 1);
    QVERIFY(messaggi_.ultimo().startsWith(QStringLiteral("Errore del database")));
}

QTEST_MAIN(TestStampaComando)
#include "tst_stampa_comando.moc"
