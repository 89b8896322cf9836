// Lap error against the true crossing instants, with the timing device's classic protocol
// and with its extended one.
//
// The device is the firmware that is flashed, on a simulated ATmega328P under
// saettino-banco, its serial line on a pseudo-terminal paced to the wall clock; it drives
// four lanes, each crossing every 1.2-2.6 s, and prints each crossing's simulated instant,
// exact to the cycle. The program is the timing window as the program builds it (the real
// port on its own thread, the session, the lap writer on a new file, the live page's
// server). For each protocol (the classic one by a chip that never sees a frame's start,
// as a device of that protocol alone), after ten seconds connected: a quiet phase, one with
// two processes spinning on both cores, one with the live page flooded, each as long as
// asked. For each: laps, |program lap - true lap| median / 99th percentile / max in ms,
// crossings lost and laps doubled, and how far the simulation itself fell behind.
//
// Usage: bench_dispositivo [seconds per phase, default 30]
#include "carico.h"
#include "comune/impostazioni.h"
#include "piattaforma/priorita.h"
#include "database/archivioasincrono.h"
#include "database/schema.h"
#include "messaggifinti.h"
#include "timing/interrogatoreseriale.h"
#include "timing/lineaseriale.h"
#include "timing/orologio.h"
#include "timing/rilevago.h"
#include "web/risultatiinrete.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int corsie = 4;
constexpr int fasi = 3;
const char *const nomiFasi[fasi] = {"quiet", "busy cores", "page flood"};
int argcFiglio = 1;
char nomeFiglio[] = "bench_dispositivo";
char *argvFiglio[] = {nomeFiglio, nullptr};

struct Risultato {
    std::array<std::vector<double>, fasi> errori; // ms
    int persi = 0, doppi = 0, laps = 0, passaggi = 0;
    double ritardoMs = 0;
};

// One protocol: the bench, the program, the phases.
Risultato misura(bool classico, int secondi, quint16 portaWeb)
{
    Risultato r;
    QTemporaryDir cartella;
    const double riscaldamento = 10; // seconds connected before the first crossing
    // Crossings from the first phase to the end of the last, by lane.
    QByteArray copione;
    QRandomGenerator caso(classico ? 11 : 12);
    for (int k = 0; k < corsie; ++k)
        for (double t = 500 + 250 * k; t < fasi * secondi * 1000.0 - 500; t += 1200 + caso.bounded(1400))
            copione += QByteArray::number(k + 1) + ' ' + QByteArray::number(t, 'f', 1) + " 40\n";
    const QString file = cartella.filePath(QStringLiteral("passaggi")), com = cartella.filePath(QStringLiteral("com1"));
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly) || f.write(copione) != copione.size()) return r;
    f.close();

    QProcess banco;
    QStringList argomenti{"--elf", FIRMWARE, "--collegamento", com, "--passaggi", file, "--via", "--durata", "3600000"};
    if (classico) argomenti << QStringLiteral("--classico");
    std::array<std::vector<double>, corsie> veri; // simulated ms
    QByteArray uscita;
    bool pronto = false;
    QObject::connect(&banco, &QProcess::readyReadStandardOutput, &banco, [&] {
        uscita += banco.readAllStandardOutput();
        qsizetype a;
        while ((a = uscita.indexOf('\n')) >= 0) {
            const QList<QByteArray> c = uscita.left(a).split(' ');
            uscita.remove(0, a + 1);
            if (c.value(0) == "pronto") pronto = true;
            else if (c.value(0) == "passaggio" && c.size() >= 4) veri[c[1].toInt() - 1].push_back(c[3].toDouble());
            else if (c.value(0) == "fine") r.ritardoMs = c.value(1).toDouble();
        }
    });
    banco.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    banco.start(QStringLiteral(BANCO), argomenti);
    QElapsedTimer attesa;
    attesa.start();
    while (!pronto && banco.state() != QProcess::NotRunning && attesa.elapsed() < 10000) QTest::qWait(20);
    if (!pronto) {
        std::fprintf(stderr, "saettino-banco non avviato\n");
        return r;
    }

    Impostazioni store(cartella.filePath(QStringLiteral("utente.ini")));
    store.scrivi(QStringLiteral("Porte"), QStringLiteral("Com1"), com);
    store.scrivi(QStringLiteral("RisultatiInRete"), QStringLiteral("Attivo"), QStringLiteral("1"));
    store.scrivi(QStringLiteral("RisultatiInRete"), QStringLiteral("Porta"), QString::number(portaWeb));
    Database db;
    const QString percorso = cartella.filePath(QStringLiteral("saettinopro.mb"));
    schema::apriDatabase(db, percorso);
    OrologioSistema orologio;
    MessaggiFinti messaggi;
    ArchivioAsincrono archivio(db, percorso, messaggi);
    RilevaGo w(orologio, messaggi, archivio);
    VistaLineeRilevaGo vista(w);
    auto linea = std::make_unique<LineaSeriale>(store, orologio, messaggi, w.sessione(), vista);
    linea->ingresso().Form_Load();
    RisultatiInRete rete(store, archivio);
    if (!rete.applica()) std::fprintf(stderr, "pagina non avviata: %s\n", qPrintable(rete.errore()));
    rete.seguiSessione(&w.sessione());
    for (int k = 0; k < corsie; ++k) w.sessione().impostaPilota(k, QStringLiteral("Pilota %1").arg(k + 1));
    w.inizializza();
    w.show();
    std::array<std::vector<double>, corsie> giri; // seconds, as the session timed them
    QObject::connect(&w.sessione(), &Sessione::giroSegnato, &w, [&](const PassaggioGiro &g) { giri[g.corsia].push_back(g.tempo); });
    QTest::qWait(int(riscaldamento * 1000));
    const auto modo = [&] {
        auto m = CollegamentoDispositivo::Modo::Fermo;
        QMetaObject::invokeMethod(&linea->interrogatore(), [&] { m = linea->interrogatore().modo(); }, Qt::BlockingQueuedConnection);
        return m;
    };
    std::printf("  protocol in use: %s\n", modo() == CollegamentoDispositivo::Modo::Esteso ? "extended" : "classic");
    std::fflush(stdout);
    w.sessione().start();
    QTest::qWait(1500); // past the shortest lap from Start
    banco.write("via\n");

    for (int f = 0; f < fasi; ++f) {
        std::vector<std::unique_ptr<QProcess>> carico;
        auto lancia = [&](const char *ruolo, const QString &arg) {
            auto p = std::make_unique<QProcess>();
            QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
            e.insert(QStringLiteral("BENCH_RUOLO"), QString::fromLatin1(ruolo));
            e.insert(QStringLiteral("BENCH_ARG"), arg);
            p->setProcessEnvironment(e);
            p->setProcessChannelMode(QProcess::ForwardedOutputChannel);
            p->start(QCoreApplication::applicationFilePath(), {QString::number(secondi)});
            carico.push_back(std::move(p));
        };
        if (f == 1)
            for (int i = 0; i < 2; ++i) lancia("occupa", QString());
        if (f == 2) lancia("inonda", QString::number(portaWeb));
        QTest::qWait(secondi * 1000);
        for (auto &p : carico)
            if (!p->waitForFinished(5000)) p->kill();
    }
    QTest::qWait(1500);
    linea.reset(); // the port closes before the bench ends
    banco.write("fine\n");
    banco.waitForFinished(5000);

    // Lane by lane in order: the first crossing ends the lap from Start; lap i is crossing
    // i-1 to crossing i, in the phase of its end.
    for (int k = 0; k < corsie; ++k) {
        const size_t n = std::min(giri[k].size(), veri[k].size());
        r.passaggi += int(veri[k].size());
        r.laps += int(giri[k].size());
        r.persi += int(std::max<qsizetype>(0, qsizetype(veri[k].size()) - qsizetype(giri[k].size())));
        r.doppi += int(std::max<qsizetype>(0, qsizetype(giri[k].size()) - qsizetype(veri[k].size())));
        for (size_t i = 1; i < n; ++i) {
            const int fase = std::min(fasi - 1, int(veri[k][i] / 1000.0 / secondi));
            r.errori[fase].push_back(std::abs(giri[k][i] - (veri[k][i] - veri[k][i - 1]) / 1000.0) * 1000.0);
        }
    }
    return r;
}

void stampa(const char *protocollo, Risultato &r)
{
    for (int f = 0; f < fasi; ++f) {
        std::vector<double> &e = r.errori[f];
        std::sort(e.begin(), e.end());
        auto q = [&](double x) { return e.empty() ? 0.0 : e[std::min(e.size() - 1, size_t(x * double(e.size())))]; };
        std::printf("%-10s %-12s %6zu %9.3f %9.3f %9.3f\n", protocollo, nomiFasi[f], e.size(), q(0.5), q(0.99),
                    e.empty() ? 0.0 : e.back());
    }
    std::printf("%-10s crossings %d, laps %d, lost %d, doubled %d; the simulation fell behind by %.1f ms at worst\n",
                protocollo, r.passaggi, r.laps, r.persi, r.doppi, r.ritardoMs);
}

} // namespace

int main(int argc, char *argv[])
{
    const QByteArray ruolo = qgetenv("BENCH_RUOLO");
    const int secondi = argc > 1 ? qMax(10, QString::fromLocal8Bit(argv[1]).toInt()) : 30;
    if (ruolo == "occupa") return carico::occupa(secondi);
    if (ruolo == "inonda") return carico::inonda(argcFiglio, argvFiglio, quint16(qEnvironmentVariableIntValue("BENCH_ARG")), secondi);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    quint16 porta = 0;
    {
        QTcpServer libera;
        libera.listen(QHostAddress::LocalHost, 0);
        porta = libera.serverPort();
    }
    std::printf("Serial thread raised above normal: %s; %d s per phase\n", priorita::alzabile() ? "yes" : "no", secondi);
    std::printf("classic protocol:\n");
    std::fflush(stdout);
    Risultato classico = misura(true, secondi, porta);
    std::printf("extended protocol:\n");
    std::fflush(stdout);
    Risultato esteso = misura(false, secondi, porta);
    std::printf("\nLap error |program lap - true lap| in ms (target for the extended protocol: p99 <= 1 ms, none lost or doubled)\n");
    std::printf("%-10s %-12s %6s %9s %9s %9s\n", "protocol", "phase", "laps", "median", "p99", "max");
    stampa("classic", classico);
    stampa("extended", esteso);
    return 0;
}
