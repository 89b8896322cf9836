// The lap tones as the track hears them: the timing window with announcements
// and lap tones on, digit keys marking laps at random gaps, the sound output
// recorded. Every accepted lap must have its tone, whole, in the recording;
// prints how long after each mark it sounded. Without a speech engine the laps
// are marked all the same when `voceFacoltativa`, else the check fails.
#include "comune/messaggi.h"
#include "comune/impostazioni.h"
#include "timing/archivio.h"
#include "timing/orologio.h"
#include "timing/rilevago.h"
#include "timing/sessione.h"
#include "registratore.h"
#include "rivelatore.h"
#include "voce/serviziovoce.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace {

struct MessaggiStampati : Messaggi {
    Risposta mostra(const QString &testo, Pulsanti, Icona, const QString &, int) override
    {
        std::printf("messaggio: %s\n", qPrintable(testo));
        return Risposta::Ok;
    }
    void avvisa(const QString &testo, Icona) override { std::printf("avviso: %s\n", qPrintable(testo)); }
};

struct ArchivioContato : ArchivioGiri {
    int giri = 0;
    int contaGiri(const QString &) override { return 0; }
    void scriviGiroVeloce(float) override {}
    void memorizza(const GiroCompletato &) override { ++giri; }
};

void attendi(int ms)
{
    QEventLoop attesa;
    QTimer::singleShot(ms, Qt::PreciseTimer, &attesa, &QEventLoop::quit);
    attesa.exec();
}

void premi(RilevaGo &finestra, int corsia)
{
    QWidget *destinatario = QApplication::focusWidget() ? QApplication::focusWidget() : &finestra;
    const QString testo(QChar(u'1' + corsia));
    QKeyEvent giu(QEvent::KeyPress, Qt::Key_1 + corsia, Qt::NoModifier, testo);
    QApplication::sendEvent(destinatario, &giu);
    QKeyEvent su(QEvent::KeyRelease, Qt::Key_1 + corsia, Qt::NoModifier, testo);
    QApplication::sendEvent(destinatario, &su);
}

} // namespace

int provaGiri(int giri, int pausaMinima, int pausaMassima, const QString &wav, bool voceFacoltativa)
{
    OrologioSistema orologio;
    Registratore registratore(orologio);
    if (!registratore.avvia()) {
        std::printf("registrazione impossibile: %s\n", qPrintable(registratore.problema()));
        return 1;
    }
    QTemporaryDir cartella;
    Impostazioni store(cartella.filePath(QStringLiteral("utente.ini")));
    ImpostazioniVoce imp;
    imp.attivi = imp.tonoGiro = true;
    imp.scrivi(store);
    MessaggiStampati messaggi;
    ArchivioContato archivio;
    ServizioVoce voce(store, messaggi, orologio);
    int detti = 0;
    QObject::connect(&voce.annunci(), &Annunci::iniziato, &voce, [&] { ++detti; });
    QElapsedTimer pronto;
    pronto.start();
    voce.prepara();
    while (!voce.statoNoto() && pronto.elapsed() < 30000) attendi(50);
    if (!voce.statoNoto() || !voce.problemaToni().isEmpty()) {
        std::printf("toni non disponibili: %s\n", qPrintable(voce.problemaToni()));
        return 1;
    }
    if (!voce.problemaVoce().isEmpty()) {
        std::printf("sintesi vocale non disponibile: %s\n", qPrintable(voce.problemaVoce()));
        if (!voceFacoltativa) return 1;
    } else {
        std::printf("%lld voci, la prima \"%s\"\n", static_cast<long long>(voce.voci().size()),
                    qPrintable(voce.voci().value(0)));
    }

    RilevaGo finestra(orologio, messaggi, archivio);
    constexpr int corsie = 4;
    for (int i = 0; i < corsie; ++i) finestra.sessione().impostaPilota(i, QStringLiteral("Pilota %1").arg(i + 1));
    finestra.inizializza();
    voce.segui(&finestra.sessione());
    QVector<double> segni;
    QObject::connect(&finestra.sessione(), &Sessione::giroSegnato, &finestra,
                     [&](const PassaggioGiro &g) { segni << g.istante; });
    finestra.show();
    finestra.activateWindow();
    finestra.sessione().start();
    attendi(1500);

    const quint32 seme = QRandomGenerator::system()->generate();
    QRandomGenerator caso(seme);
    std::printf("%d giri, uno ogni %d-%d ms, seme %u\n", giri, pausaMinima, pausaMassima, seme);
    for (int k = 0; k < giri; ++k) {
        attendi(int(caso.bounded(pausaMinima, pausaMassima + 1)));
        premi(finestra, k % corsie);
    }
    attendi(2000);
    registratore.ferma();
    if (!wav.isEmpty() && !registratore.salva(wav)) std::printf("registrazione non salvata in %s\n", qPrintable(wav));

    // Each mark takes the first tone that began after it, within a second and before the next mark.
    const QVector<qint64> inizi = rivelatore::inizi(registratore.campioni(), toni::campioni(Tono::Giro), 1760);
    QVector<double> toni;
    for (qint64 n : inizi) toni << registratore.istante(n);
    QVector<double> ritardi;
    QVector<int> senzaTono;
    QVector<bool> usato(toni.size(), false);
    for (int k = 0; k < segni.size(); ++k) {
        // Some ms before the mark is the measure's own error: the sink renders a block ahead, and
        // Wine's waveIn tells a block's time up to some 30 ms off.
        const double errore = 0.04;
        const auto it = std::lower_bound(toni.begin(), toni.end(), segni[k] - errore);
        const double quando = segni[k] - registratore.istante(0);
        const double limite = std::min(segni[k] + 1.0, k + 1 < segni.size() ? segni[k + 1] - errore : 1e300);
        if (it == toni.end() || *it >= limite || usato[it - toni.begin()]) {
            std::printf("giro %2d: segnato a %7.3f s della registrazione, nessun tono\n", k + 1, quando);
            senzaTono << k + 1;
            continue;
        }
        usato[it - toni.begin()] = true;
        ritardi << (*it - segni[k]) * 1000;
        std::printf("giro %2d: segnato a %7.3f s della registrazione, tono dopo %.0f ms\n", k + 1, quando, ritardi.last());
    }
    const qsizetype spuri = std::count(usato.begin(), usato.end(), false);
    for (qsizetype i = 0; i < toni.size(); ++i)
        if (!usato[i]) std::printf("tono a %7.3f s della registrazione senza un giro\n", toni[i] - registratore.istante(0));
    std::sort(ritardi.begin(), ritardi.end());
    std::printf("giri segnati %lld (tasti %d, archiviati %d), annunci iniziati %d, toni riconosciuti %lld\n",
                static_cast<long long>(segni.size()), giri, archivio.giri, detti, static_cast<long long>(toni.size()));
    if (!ritardi.isEmpty())
        std::printf("ritardo dal segno al suono: minimo %.0f ms, mediana %.0f ms, massimo %.0f ms\n", ritardi.first(),
                    ritardi[ritardi.size() / 2], ritardi.last());
    QStringList mancanti;
    for (int k : senzaTono) mancanti << QString::number(k);
    std::printf("giri senza tono: %lld%s%s; toni senza giro: %lld\n", static_cast<long long>(senzaTono.size()),
                mancanti.isEmpty() ? "" : " (", mancanti.isEmpty() ? "" : qPrintable(mancanti.join(u' ') + u')'),
                static_cast<long long>(spuri));
    // With a voice the laps must have been heard under it.
    if (voce.problemaVoce().isEmpty() && detti == 0) std::printf("nessun annuncio è stato detto\n");
    return segni.size() == giri && senzaTono.isEmpty() && spuri == 0 && (detti > 0 || !voce.problemaVoce().isEmpty())
        ? 0 : 1;
}
