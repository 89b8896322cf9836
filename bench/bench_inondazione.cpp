// Device lap error while the live page is flooded and the cores are busy.
//
// The timing window as the program builds it (real port on its own thread,
// serial input, session, the lap writer on a new file, the live page's server
// on its thread) times four lanes of a simulated device. The device runs as a
// separate process (this program again) on a pseudo-terminal: right after
// answering a poll it sets a lane's line for the next poll, about every
// 1.2-1.6 s per lane, and writes down the instant it did. The true lap is the
// time between two such instants; the program's lap is what the session
// timed. Their difference is the device lap error (the fixed delay to the next
// poll cancels out). Four phases of equal length: quiet; a flood of the page
// (3,000 requests a second on keep-alive connections and 100 clients sending
// 4 MB headers, from a separate process, bounded in count and time); two other
// processes spinning on both cores; both together. For each: laps, error
// median / 99th percentile / max, and the program's resident memory.
//
// Usage: bench_inondazione [seconds per phase, default 30]
#include "database/archivioasincrono.h"
#include "database/schema.h"
#include "piattaforma/priorita.h"
#include "messaggifinti.h"
#include "dispositivo/simulatore/dispositivosimulato.h"
#include "comune/impostazioni.h"
#include "timing/lineaseriale.h"
#include "timing/orologio.h"
#include "timing/rilevago.h"
#include "web/risultatiinrete.h"
#include "web/serverrisultati.h"
#include "carico.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int corsie = 4;
int argcFiglio = 1;
char nomeFiglio[] = "bench_inondazione";
char *argvFiglio[] = {nomeFiglio, nullptr};

qint64 oraNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// ---- the device: a process of its own, as hardware would be -------------------------------
int dispositivo()
{
    QCoreApplication app(argcFiglio, argvFiglio);
    // It stands in for hardware, which no load on the computer slows down.
    sched_param p{};
    p.sched_priority = 50;
    if (::sched_setscheduler(0, SCHED_FIFO, &p) != 0) ::setpriority(PRIO_PROCESS, 0, -15);
    DispositivoSimulato d;
    std::printf("Dispositivo: %s\n", qPrintable(d.percorso()));
    std::fflush(stdout);
    std::array<qint64, corsie> prossimo{};
    std::array<bool, corsie> tenuta{};
    const qint64 inizio = oraNs() + 2'000'000'000; // polls settle first
    for (int k = 0; k < corsie; ++k) prossimo[k] = inizio + k * 300'000'000LL;
    QObject::connect(&d, &DispositivoSimulato::interrogato, &d, [&](quint8 risposta) {
        const qint64 t = oraNs();
        for (int k = 0; k < corsie; ++k) {
            if (tenuta[k]) { // one reply saw it active: released
                if (!(risposta & (1u << k))) {
                    d.rilascia(k);
                    tenuta[k] = false;
                }
            } else if (t >= prossimo[k]) {
                d.tieni(k);
                tenuta[k] = true;
                prossimo[k] = t + 1'200'000'000LL + QRandomGenerator::global()->bounded(400'000'000);
                std::printf("c %d %lld\n", k, static_cast<long long>(t));
            }
        }
        std::fflush(stdout);
    });
    QSocketNotifier fine(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&fine, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    return app.exec();
}

// ---- the program and the measure ------------------------------------------------------------
long rssKb(const char *campo)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray &r : f.readAll().split('\n'))
        if (r.startsWith(campo)) return r.mid(qstrlen(campo)).trimmed().split(' ').value(0).toLong();
    return -1;
}

struct Fase {
    const char *nome;
    bool inonda, occupa;
};

int misura(int secondi)
{
    const QString io = QCoreApplication::applicationFilePath();
    QProcess disp;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("BENCH_RUOLO"), QStringLiteral("dispositivo"));
    disp.setProcessEnvironment(env);
    disp.start(io, {});
    if (!disp.waitForReadyRead(5000)) {
        std::fprintf(stderr, "dispositivo non avviato\n");
        return 1;
    }
    const QString percorso = QString::fromLocal8Bit(disp.readLine()).trimmed().section(u' ', 1);
    // The device's changes, by lane, and the phase each lap fell in.
    std::array<std::vector<qint64>, corsie> cambi;
    QObject::connect(&disp, &QProcess::readyReadStandardOutput, &disp, [&] {
        while (disp.canReadLine()) {
            const QList<QByteArray> c = disp.readLine().trimmed().split(' ');
            if (c.size() == 3 && c[0] == "c") cambi[c[1].toInt()].push_back(c[2].toLongLong());
        }
    });

    QTemporaryDir cartella;
    Impostazioni store(cartella.filePath(QStringLiteral("utente.ini")));
    store.scrivi(QStringLiteral("Porte"), QStringLiteral("Com1"), percorso);
    quint16 porta = 0;
    {
        QTcpServer libera;
        libera.listen(QHostAddress::LocalHost, 0);
        porta = libera.serverPort();
    }
    store.scrivi(QStringLiteral("RisultatiInRete"), QStringLiteral("Attivo"), QStringLiteral("1"));
    store.scrivi(QStringLiteral("RisultatiInRete"), QStringLiteral("Porta"), QString::number(porta));
    Database db;
    const QString file = cartella.filePath(QStringLiteral("saettinopro.mb"));
    schema::apriDatabase(db, file);
    OrologioSistema orologio;
    MessaggiFinti messaggi;
    ArchivioAsincrono archivio(db, file, messaggi);
    RilevaGo w(orologio, messaggi, archivio);
    VistaLineeRilevaGo vista(w);
    LineaSeriale linea(store, orologio, messaggi, w.sessione(), vista);
    linea.ingresso().Form_Load();
    RisultatiInRete rete(store, archivio);
    if (!rete.applica()) {
        std::fprintf(stderr, "pagina non avviata: %s\n", qPrintable(rete.errore()));
        return 1;
    }
    rete.seguiSessione(&w.sessione());
    for (int k = 0; k < corsie; ++k) w.sessione().impostaPilota(k, QStringLiteral("Pilota %1").arg(k + 1));
    w.inizializza();
    w.show();
    if (!linea.porta().portOpen()) {
        std::fprintf(stderr, "porta non aperta: %s\n", qPrintable(messaggi.ultimo()));
        return 1;
    }
    w.sessione().start();
    std::printf("Serial thread raised above normal: %s\n", priorita::alzabile() ? "yes" : "no (other threads lowered)");

    // The program's laps by lane (from the second on: the first began at Start), with their phase.
    struct Giro {
        double secondi;
        int fase;
    };
    std::array<std::vector<Giro>, corsie> giri;
    std::array<int, corsie> visti{};
    int fase = -1;
    QObject::connect(&w.sessione(), &Sessione::cambiato, &w, [&] {
        for (int k = 0; k < corsie; ++k) {
            const Sessione::Corsia &c = w.sessione().corsia(k);
            for (; visti[k] < c.numGiri; ++visti[k])
                if (visti[k] + 1 >= 2) giri[k].push_back({c.tempiGiro.value(visti[k] + 1), fase});
        }
    });
    QTest::qWait(3000);

    const Fase fasi[] = {{"quiet", false, false}, {"page flood", true, false}, {"busy cores", false, true},
                         {"flood + busy cores", true, true}};
    std::vector<long> rss;
    for (int f = 0; f < 4; ++f) {
        std::printf("Phase: %s, %d s\n", fasi[f].nome, secondi);
        std::fflush(stdout);
        std::vector<std::unique_ptr<QProcess>> carico;
        auto lancia = [&](const char *ruolo, const QString &arg) {
            auto p = std::make_unique<QProcess>();
            QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
            e.insert(QStringLiteral("BENCH_RUOLO"), QString::fromLatin1(ruolo));
            e.insert(QStringLiteral("BENCH_ARG"), arg);
            p->setProcessEnvironment(e);
            p->setProcessChannelMode(QProcess::ForwardedOutputChannel);
            p->start(io, {QString::number(secondi)});
            carico.push_back(std::move(p));
        };
        if (fasi[f].inonda) lancia("inonda", QString::number(porta));
        if (fasi[f].occupa)
            for (int i = 0; i < 2; ++i) lancia("occupa", QString());
        QTest::qWait(500); // the load under way
        fase = f;
        QTest::qWait(secondi * 1000);
        fase = -1;
        rss.push_back(rssKb("VmRSS:"));
        for (auto &p : carico) {
            if (!p->waitForFinished(secondi * 1000 + 10000)) p->kill();
        }
        QTest::qWait(1000);
    }
    disp.write("q\n");
    disp.waitForFinished(3000);

    // Program laps against the device's, lane by lane in order.
    std::array<std::vector<double>, 4> errori;
    int scartati = 0;
    for (int k = 0; k < corsie; ++k) {
        const size_t n = std::min(giri[k].size(), cambi[k].size() > 0 ? cambi[k].size() - 1 : 0);
        for (size_t i = 0; i < n; ++i) {
            if (giri[k][i].fase < 0) continue;
            const double vero = double(cambi[k][i + 1] - cambi[k][i]) / 1e9;
            const double e = std::abs(giri[k][i].secondi - vero) * 1000.0;
            if (e > 500) ++scartati; // a lap lost or split: out of step
            else errori[giri[k][i].fase].push_back(e);
        }
    }
    std::printf("\nDevice lap error, |program lap - device lap| in ms (target: 99th percentile <= 10 ms, RSS < 100 MB)\n");
    std::printf("%-20s %6s %8s %8s %8s %10s\n", "phase", "laps", "median", "p99", "max", "RSS MB");
    for (int f = 0; f < 4; ++f) {
        std::vector<double> &e = errori[f];
        std::sort(e.begin(), e.end());
        auto q = [&](double x) { return e.empty() ? 0.0 : e[std::min(e.size() - 1, size_t(x * double(e.size())))]; };
        std::printf("%-20s %6zu %8.2f %8.2f %8.2f %10.1f\n", fasi[f].nome, e.size(), q(0.5), q(0.99),
                    e.empty() ? 0.0 : e.back(), rss[f] / 1024.0);
    }
    std::printf("peak RSS %.1f MB; laps out of step %d\n", rssKb("VmHWM:") / 1024.0, scartati);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    const QByteArray ruolo = qgetenv("BENCH_RUOLO");
    const int secondi = argc > 1 ? qMax(5, QString::fromLocal8Bit(argv[1]).toInt()) : 30;
    if (ruolo == "dispositivo") return dispositivo();
    if (ruolo == "occupa") return carico::occupa(secondi);
    if (ruolo == "inonda") return carico::inonda(argcFiglio, argvFiglio, quint16(qEnvironmentVariableIntValue("BENCH_ARG")), secondi);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return misura(secondi);
}
