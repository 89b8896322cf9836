// Lap timing with the real pieces of the program: the timing window, the serial
// port and its poll on their own thread (the device played on a pseudo-terminal
// by a thread of its own), the lap writer on the real encrypted file.
//
// 1. One reply with eight lines active every 1.2 s, 20 replies, at 1,000 and
//    100,000 stored laps, on this machine's disk and with 30 ms added to every
//    commit: the spread of the eight stored laps of a reply (target 0 ms) and the
//    longest time the window's thread was busy while a reply went from arrival
//    to the grids (target p99 at most 16 ms).
// 2. The longest gap between two polls while a 150-driver x 400-lap report is
//    printed (target at most 110 ms).
// 3. Under 30 ms per commit: eight lanes every 100 ms (80 laps a second) for
//    10 s, the most laps ever waiting and how long after the last lap all were
//    stored; then 4,000 laps at once, the laps per second the writer commits.
#include "database/archivioasincrono.h"
#include "database/archiviotempi.h"
#include "database/database.h"
#include "database/schema.h"
#include "dispositivointhread.h"
#include "dialogofilefinto.h"
#include "messaggifinti.h"
#include "results/grigliarisultati.h"
#include "results/stampa.h"
#include "results/superficiestampa.h"
#include "comune/impostazioni.h"
#include "timing/globale.h"
#include "timing/lineaseriale.h"
#include "timing/rilevago.h"
#include "timing/tempotesto.h"
#include "vfsprova.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>

namespace {

// Waits in a real event loop, which sleeps between events (QTest::qWait polls).
void attendi(int ms)
{
    QEventLoop attesa;
    QTimer::singleShot(ms, Qt::PreciseTimer, &attesa, &QEventLoop::quit);
    attesa.exec();
}

struct Cifre {
    double mediana = 0, p99 = 0, massimo = 0;
};
Cifre cifre(QVector<double> v)
{
    if (v.isEmpty()) return {};
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v[std::min<qsizetype>(v.size() - 1, qsizetype(std::ceil(0.99 * v.size())) - 1)], v.last()};
}

// Laps stored round by round for `piloti` drivers, as a race produces them.
void riempi(const QString &percorso, int piloti, int giri)
{
    Database db;
    schema::apriDatabase(db, percorso);
    Transazione t(db);
    for (int g = 1; g <= giri; ++g) {
        for (int p = 0; p < piloti; ++p) {
            const float tempo = 38.0f + static_cast<float>((p * 37 + g * 11) % 900) / 100.0f;
            ArchivioTempi::inserisciGiro(db, {QStringLiteral("Storico %1").arg(p + 1), g, tempo, testoTempo(tempo),
                                              QStringLiteral("Pista Nord"), QDateTime::currentDateTime()});
        }
    }
    ArchivioTempi::ricostruisciTempoTotale(db);
    t.conferma();
}

// The program's event handling timed where every event of the window's thread
// passes: busy spells are events handled back to back (less than 0.1 ms apart).
class AppMisurata : public QApplication {
public:
    using QApplication::QApplication;
    OrologioSistema orologio;
    QVector<std::pair<double, double>> tratti;

    bool notify(QObject *oggetto, QEvent *evento) override
    {
        if (QThread::currentThread() != thread()) return QApplication::notify(oggetto, evento);
        const bool esterno = profondita_++ == 0;
        const double inizio = esterno ? orologio.adesso() : 0;
        const bool r = QApplication::notify(oggetto, evento);
        if (--profondita_ == 0 && esterno) {
            const double fine = orologio.adesso();
            if (!tratti.isEmpty() && inizio - tratti.last().second < 0.0001) tratti.last().second = fine;
            else tratti.append({inizio, fine});
        }
        return r;
    }
    // The longest spell that overlaps [da, a], in milliseconds.
    double massimo(double da, double a) const
    {
        double m = 0;
        for (const auto &[i, f] : tratti)
            if (f >= da && i <= a) m = std::max(m, (f - i) * 1000);
        return m;
    }

private:
    int profondita_ = 0;
};

AppMisurata *applicazione() { return static_cast<AppMisurata *>(qApp); }

// The timing window of the program on `percorso`, eight drivers, Com1 on `dispositivo`.
struct Programma {
    OrologioSistema &orologio;
    MessaggiFinti messaggi;
    Database letture;
    std::unique_ptr<ArchivioAsincrono> archivio;
    std::unique_ptr<RilevaGo> w;
    std::unique_ptr<LineaSeriale> linea;
    VistaLineeRilevaGo *vista = nullptr;

    Programma(OrologioSistema &o, const QString &percorso, Impostazioni &store) : orologio(o)
    {
        schema::apriDatabase(letture, percorso);
        archivio = std::make_unique<ArchivioAsincrono>(letture, percorso, messaggi);
        w = std::make_unique<RilevaGo>(orologio, messaggi, *archivio);
        auto *griglie = new GriglieRisultati(*archivio, messaggi, w->griglia1(), w->griglia2(), w.get());
        w->impostaTabelle(griglie);
        QObject::connect(archivio.get(), &ArchivioAsincrono::risultati, griglie, &GriglieRisultati::ricevi);
        vista = new VistaLineeRilevaGo(*w);
        linea = std::make_unique<LineaSeriale>(store, orologio, messaggi, w->sessione(), *vista);
        linea->ingresso().Form_Load();
        for (int i = 0; i < 8; ++i) w->sessione().impostaPilota(i, QStringLiteral("Pilota %1").arg(i + 1));
        w->inizializza();
        w->show();
    }
    ~Programma()
    {
        linea.reset();
        delete vista;
    }
};

void rispostaOttoLinee(const QString &cartella, int storici, int ritardoMs)
{
    vfsprova::ritardoCommit(ritardoMs);
    const QString percorso = cartella + QStringLiteral("/otto-%1-%2.mb").arg(storici).arg(ritardoMs);
    riempi(percorso, 100, storici / 100);
    OrologioSistema orologio;
    DispositivoInThread dispositivo(orologio);
    Impostazioni store(cartella + QStringLiteral("/utente.ini"));
    store.scrivi(QStringLiteral("Porte"), QStringLiteral("Com1"), dispositivo.percorso());
    Programma p(orologio, percorso, store);
    p.w->sessione().start();
    constexpr int risposte = 20;
    for (int r = 0; r < risposte; ++r) {
        attendi(1200);
        dispositivo.impulso(0x00);
    }
    attendi(800);
    p.archivio->svuota();
    attendi(100);
    // Spread of the eight laps of each reply, and the window's longest busy spell per reply.
    QVector<double> spread, occupazione;
    const auto passaggi = dispositivo.passaggi();
    for (int g = 1; g <= risposte; ++g) {
        Istruzione q = p.letture.prepara("SELECT max(tempoGiro) - min(tempoGiro), count(*) FROM Giri "
                                         "WHERE pilota LIKE 'Pilota %' AND giroN = ?");
        q.lega(1, g);
        if (q.passo() && q.intero(1) == 8) spread << q.reale(0) * 1000;
    }
    // The two clocks share the monotonic source but not the anchor: compare as offsets.
    const double scarto = applicazione()->orologio.adesso() - orologio.adesso();
    for (double t : passaggi) occupazione << applicazione()->massimo(t + scarto, t + scarto + 0.5);
    const Cifre s = cifre(spread), o = cifre(occupazione);
    std::printf("%9d | %7s | %8lld | %5lld | spread max %.3f ms | busy median %.2f p99 %.2f max %.2f ms\n",
                storici, ritardoMs ? "+30 ms" : "disk", static_cast<long long>(spread.size()),
                static_cast<long long>(passaggi.size()), s.massimo, o.mediana, o.p99, o.massimo);
    std::fflush(stdout);
    vfsprova::ritardoCommit(0);
}

struct PdfSoltanto : Stampanti {
    bool disponibile() override { return false; }
    std::unique_ptr<SuperficieStampa> predefinita() override { return nullptr; }
    std::unique_ptr<SuperficieStampa> pdf(const QString &percorso) override { return std::make_unique<FilePdf>(percorso); }
};

void pollDuranteLaStampa(const QString &cartella)
{
    const QString percorso = cartella + QStringLiteral("/stampa.mb");
    riempi(percorso, 150, 400);
    OrologioSistema orologio;
    DispositivoInThread dispositivo(orologio);
    Impostazioni store(cartella + QStringLiteral("/utente.ini"));
    store.scrivi(QStringLiteral("Porte"), QStringLiteral("Com1"), dispositivo.percorso());
    Programma p(orologio, percorso, store);
    attendi(500);
    MessaggiFinti messaggi;
    DialogoFileFinto dialogo;
    dialogo.risposte = {cartella + QStringLiteral("/stampa.pdf")};
    PdfSoltanto stampanti;
    const double scarto = applicazione()->orologio.adesso() - orologio.adesso();
    const double inizio = orologio.adesso();
    Stampa(percorso, messaggi, dialogo, stampanti).stampa();
    const double fine = orologio.adesso();
    QVector<double> polls;
    for (double t : dispositivo.interrogazioni())
        if (t >= inizio - 0.2 && t <= fine + 0.2) polls << t;
    double gap = 0;
    for (int i = 1; i < polls.size(); ++i) gap = std::max(gap, (polls[i] - polls[i - 1]) * 1000);
    std::printf("Report of 150 drivers x 400 laps to PDF: %.0f ms, %lld polls meanwhile, longest gap between "
                "polls %.1f ms (target at most 110), window busy at most %.1f ms at a time\n",
                (fine - inizio) * 1000, static_cast<long long>(polls.size()), gap,
                applicazione()->massimo(inizio + scarto, fine + scarto));
}

void scrittoreAl30(const QString &cartella)
{
    vfsprova::ritardoCommit(30);
    const QString percorso = cartella + QStringLiteral("/ritmo.mb");
    Database letture;
    schema::apriDatabase(letture, percorso);
    MessaggiFinti messaggi;
    ArchivioAsincrono archivio(letture, percorso, messaggi);
    QElapsedTimer t;
    int inAttesaMax = 0, numero = 0;
    t.start();
    QTimer passo;
    QObject::connect(&passo, &QTimer::timeout, [&] {
        for (int corsia = 0; corsia < 8; ++corsia)
            archivio.memorizza({QStringLiteral("Pilota %1").arg(corsia + 1), ++numero, 40.5f,
                                QStringLiteral("00:40,500"), QStringLiteral("Pista Nord"), QDateTime::currentDateTime()});
        inAttesaMax = std::max(inAttesaMax, archivio.giriInAttesa());
    });
    passo.start(100);
    attendi(10000);
    passo.stop();
    QElapsedTimer coda;
    coda.start();
    while (archivio.giriInAttesa() > 0) attendi(1);
    std::printf("Writer at 30 ms a commit, 8 laps every 100 ms for 10 s: %d laps, at most %d waiting, "
                "all stored %lld ms after the last\n",
                numero, inAttesaMax, static_cast<long long>(coda.elapsed()));
    int commit = 0;
    QObject::connect(archivio.scrittore(), &ScrittoreGiri::scritte, [&] { ++commit; });
    t.restart();
    for (int k = 0; k < 4000; ++k) {
        archivio.memorizza({QStringLiteral("Pilota %1").arg(k % 8 + 1), 10000 + k, 40.5f, QStringLiteral("00:40,500"),
                            QStringLiteral("Pista Nord"), QDateTime::currentDateTime()});
        if (k % 100 == 99) QCoreApplication::processEvents(); // handed over as they come
    }
    while (archivio.giriInAttesa() > 0) attendi(1);
    std::printf("Writer at 30 ms a commit, 4,000 laps as fast as they come: %.0f laps per second "
                "(target at least 80), %d commits\n",
                4000.0 / (t.elapsed() / 1000.0), commit);
    vfsprova::ritardoCommit(0);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    AppMisurata app(argc, argv);
    vfsprova::installa();
    QTemporaryDir cartella;
    globale().nomePista = QStringLiteral("Pista Nord");
    globale().lunghezzaPista = 1200;
    std::printf("One reply with eight lines active, 20 replies\n");
    std::printf("%9s | %7s | %8s | %5s |\n", "stored", "disk", "replies", "seen");
    for (int storici : {1000, 100000})
        for (int ritardo : {0, 30}) rispostaOttoLinee(cartella.path(), storici, ritardo);
    pollDuranteLaStampa(cartella.path());
    scrittoreAl30(cartella.path());
    return 0;
}
