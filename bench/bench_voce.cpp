// Announcements against timing, with the real pieces: the timing window, the
// serial port and its poll on their own thread (the device played on a
// pseudo-terminal by a thread of its own), the announcements on theirs.
//
// 1. The same crossings with speech off and on: eight lanes together every 5 s
//    and then one lane at a time every 0.7 s. Each lap the program took is
//    compared with the gap between the device's own replies for that lane:
//    speech on must change none of them (same spread as with speech off).
// 2. With speech on, the delay (the least of them is the engine's own start-up
//    time; the others also waited for the phrase before theirs) from each crossing to the moment its
//    announcement began to be heard, and how many were dropped as too late.
// The engine is this system's (speech-dispatcher) when it answers, otherwise
// a stand-in that speaks for 2.5 s; the first line says which.
//
// Usage: bench_voce [seconds per pattern, default 30]
#include "archiviofinto.h"
#include "dispositivointhread.h"
#include "messaggifinti.h"
#include "comune/impostazioni.h"
#include "timing/globale.h"
#include "timing/lineaseriale.h"
#include "timing/rilevago.h"
#include "voce/serviziovoce.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

void attendi(int ms)
{
    QEventLoop attesa;
    QTimer::singleShot(ms, Qt::PreciseTimer, &attesa, &QEventLoop::quit);
    attesa.exec();
}

struct Cifre {
    double minimo = 0, mediana = 0, p99 = 0, massimo = 0;
};
Cifre cifre(QVector<double> v)
{
    if (v.isEmpty()) return {};
    std::sort(v.begin(), v.end());
    return {v.first(), v[v.size() / 2], v[std::min<qsizetype>(v.size() - 1, qsizetype(std::ceil(0.99 * v.size())) - 1)], v.last()};
}

// Speaks for 2.5 s on the voice's thread, as a slow real voice would.
struct VoceLenta : MotoreVoce {
    QString problema() const override { return {}; }
    QList<Voce> voci() override { return {}; }
    void imposta(const QString &, double, double) override {}
    void pronuncia(const QString &) override
    {
        QTimer::singleShot(20, [this] { if (iniziato) iniziato(); });
        QTimer::singleShot(2500, [this] { if (finito) finito(); });
    }
};

struct Esito {
    QVector<double> scarti;   // |lap taken - gap between the device's replies|, ms
    QVector<double> ritardi;  // crossing to announcement heard, ms
    int giri = 0;
};

Esito corri(bool conVoce, bool voceReale, int secondi, const QString &cartella)
{
    OrologioSistema orologio;
    DispositivoInThread dispositivo(orologio);
    Impostazioni store(cartella + QStringLiteral("/utente.ini"));
    store.scrivi(QStringLiteral("Porte"), QStringLiteral("Com1"), dispositivo.percorso());
    MessaggiFinti messaggi;
    ArchivioFinto archivio;
    ImpostazioniVoce imp;
    imp.attivi = conVoce;
    imp.tonoGiro = conVoce;
    imp.scrivi(store);
    Annunci::FabbricaVoce fabbrica = creaMotoreVoce;
    if (!voceReale) fabbrica = [] { return std::make_unique<VoceLenta>(); };
    ServizioVoce voce(store, messaggi, orologio, fabbrica);
    Esito e;
    QObject::connect(&voce.annunci(), &Annunci::iniziato, &voce,
                     [&](const QString &, double istante, double inizio) { e.ritardi << (inizio - istante) * 1000; });
    if (conVoce) {
        voce.prepara();
        while (!voce.statoNoto()) attendi(50); // the engine is made before the first lap
    }
    RilevaGo w(orologio, messaggi, archivio);
    auto *vista = new VistaLineeRilevaGo(w);
    {
        LineaSeriale linea(store, orologio, messaggi, w.sessione(), *vista);
        linea.ingresso().Form_Load();
        for (int i = 0; i < 8; ++i) w.sessione().impostaPilota(i, QStringLiteral("Pilota %1").arg(i + 1));
        w.inizializza();
        voce.segui(&w.sessione());
        w.show();
        w.sessione().start();
        // Eight lanes together, then one at a time.
        for (int t = 0; t < secondi * 1000; t += 5000) {
            attendi(5000);
            dispositivo.impulso(0x00);
        }
        attendi(1500); // past the shortest lap after the last burst
        for (int t = 0, k = 0; t < secondi * 1000; t += 700, ++k) {
            attendi(700);
            dispositivo.impulso(quint8(~(1u << (k % 8))));
        }
        attendi(3000);
    }
    delete vista;
    // The device's replies in order, and which lanes each carried, give every lane's true laps.
    const QVector<double> passaggi = dispositivo.passaggi();
    QVector<QVector<double>> perCorsia(8);
    // Bursts first (all lanes), then lane k % 8.
    int burst = 0;
    for (int t = 0; t < secondi * 1000; t += 5000) ++burst;
    for (int i = 0; i < int(passaggi.size()); ++i) {
        if (i < burst)
            for (int c = 0; c < 8; ++c) perCorsia[c] << passaggi[i];
        else
            perCorsia[(i - burst) % 8] << passaggi[i];
    }
    QVector<QVector<float>> presi(8);
    for (const GiroCompletato &g : archivio.giri) presi[g.pilota.back().digitValue() - 1] << g.tempoGiro;
    for (int c = 0; c < 8; ++c)
        for (int g = 1; g < perCorsia[c].size() && g < presi[c].size(); ++g) {
            e.scarti << std::abs(presi[c][g] - (perCorsia[c][g] - perCorsia[c][g - 1])) * 1000;
            ++e.giri;
        }
    return e;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int secondi = argc > 1 ? std::max(10, atoi(argv[1])) : 30;
    QTemporaryDir cartella;
    globale().lunghezzaPista = 1200;
    const auto prova = creaMotoreVoce();
    const bool reale = prova->problema().isEmpty();
    std::printf("Engine: %s\n", reale ? "this system's speech engine"
                                      : qPrintable(QStringLiteral("stand-in 2.5 s voice (") + prova->problema() + ")"));
    std::printf("%-9s | %5s | %-42s | %s\n", "speech", "laps", "|lap - device gap| median / p99 / max", "crossing to voice heard");
    for (bool conVoce : {false, true}) {
        const Esito e = corri(conVoce, reale, secondi, cartella.path());
        const Cifre s = cifre(e.scarti), r = cifre(e.ritardi);
        std::printf("%-9s | %5d | %9.3f / %7.3f / %7.3f ms             | ",
                    conVoce ? "on" : "off", e.giri, s.mediana, s.p99, s.massimo);
        if (conVoce)
            std::printf("%lld of %d laps said, min %.0f ms, median %.0f ms, p99 %.0f ms, max %.0f ms\n",
                        static_cast<long long>(e.ritardi.size()), e.giri, r.minimo, r.mediana, r.p99, r.massimo);
        else
            std::printf("-\n");
        std::fflush(stdout);
    }
    return 0;
}
