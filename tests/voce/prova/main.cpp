// saettino-prova-voce: says one lap announcement through this system's speech
// engine and plays both tones, then reports how long the voice took to start
// and to finish. With --giri N it marks N laps in the timing window instead,
// and checks the recorded lap tones (giri.cpp). scripts/prova-audio.sh records
// what comes out.
//   saettino-prova-voce [--giri N [--pausa MIN-MAX ms] [--wav FILE] [--voce-facoltativa]]
#include "voce/frasi.h"
#include "voce/motori.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>
#include <algorithm>
#include <cstdio>

int provaGiri(int giri, int pausaMinima, int pausaMassima, const QString &wav, bool voceFacoltativa);

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList argomenti = app.arguments();
    if (const qsizetype g = argomenti.indexOf(QStringLiteral("--giri")); g > 0 && g + 1 < argomenti.size()) {
        const auto valore = [&](const QString &nome) {
            const qsizetype i = argomenti.indexOf(nome);
            return i > 0 && i + 1 < argomenti.size() ? argomenti[i + 1] : QString();
        };
        const QStringList pausa = valore(QStringLiteral("--pausa")).split(u'-');
        const int minima = pausa.size() == 2 ? pausa[0].toInt() : 2000;
        const int massima = pausa.size() == 2 ? pausa[1].toInt() : 6000;
        return provaGiri(argomenti[g + 1].toInt(), minima, std::max(minima, massima), valore(QStringLiteral("--wav")),
                         argomenti.contains(QStringLiteral("--voce-facoltativa")));
    }
    QElapsedTimer orologio;
    orologio.start();
    auto voce = creaMotoreVoce();
    if (!voce->problema().isEmpty()) {
        std::printf("sintesi vocale non disponibile: %s\n", qPrintable(voce->problema()));
        return 1;
    }
    int italiane = 0;
    for (const auto &v : voce->voci()) italiane += v.lingua.startsWith(QLatin1String("it"));
    std::printf("motore pronto in %lld ms, %d voci italiane\n", static_cast<long long>(orologio.elapsed()), italiane);
    voce->imposta({}, 0, 1);
    const QString testo = frasi::giro(QStringLiteral("Mario Rossi"), 12, 41.235f);
    qint64 inizio = -1, fine = -1;
    voce->iniziato = [&] { inizio = orologio.elapsed(); };
    voce->finito = [&] {
        fine = orologio.elapsed();
        QTimer::singleShot(200, &app, &QCoreApplication::quit);
    };
    voce->guasto = [](const QString &e) { std::printf("errore della voce: %s\n", qPrintable(e)); };
    QTimer::singleShot(20000, &app, &QCoreApplication::quit);
    const qint64 detto = orologio.elapsed();
    voce->pronuncia(testo);
    app.exec();
    if (inizio < 0 || fine < 0) {
        std::printf("la voce non ha parlato entro 20 s\n");
        return 1;
    }
    std::printf("\"%s\": voce iniziata dopo %lld ms, finita dopo %lld ms\n", qPrintable(testo),
                static_cast<long long>(inizio - detto), static_cast<long long>(fine - detto));
    auto toni = creaMotoreToni();
    if (!toni->problema().isEmpty()) {
        std::printf("toni non disponibili: %s\n", qPrintable(toni->problema()));
        return 1;
    }
    toni->suona(Tono::Giro);
    QTimer::singleShot(400, &app, [&] { toni->suona(Tono::Ignorato); });
    QTimer::singleShot(1200, &app, &QCoreApplication::quit);
    app.exec();
    std::printf("toni suonati%s\n", toni->problema().isEmpty() ? "" : qPrintable(QStringLiteral(": ") + toni->problema()));
    return toni->problema().isEmpty() ? 0 : 1;
}
