#include "app/avvio.h"
#include "comune/identita.h"
#include "comune/messaggi.h"
#include "piattaforma/luoghi.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>

Richiesta leggiRichiesta(const QStringList &argomenti)
{
    for (const QString &a : argomenti.mid(1)) {
        if (a == QLatin1String("--version") || a == QLatin1String("-v")) return Richiesta::Versione;
        if (a == QLatin1String("--help") || a == QLatin1String("-h") || a == QLatin1String("-?"))
            return Richiesta::Aiuto;
    }
    return Richiesta::Avvia;
}

QString testoVersione()
{
    return QStringLiteral("%1 %2.%3.%4\n")
        .arg(QString::fromUtf8(identita::titolo))
        .arg(identita::versioneMaggiore)
        .arg(identita::versioneMinore)
        .arg(identita::revisione);
}

QString testoAiuto()
{
    QStringList sistema = luoghi::cartelleDiSistema();
    sistema.removeDuplicates();
    return QStringLiteral(
        "Uso: saettinopro [opzioni]\n"
        "Saettino Professional: cronometraggio giri per prove e gare in pista.\n"
        "\n"
        "  -h, --help      mostra questo aiuto ed esce\n"
        "  -v, --version   mostra la versione ed esce\n"
        "\n"
        "I giri stanno nell'archivio saettinopro.mb, nella cartella del programma se è\n"
        "dell'utente e non è una cartella di sistema (%1),\n"
        "altrimenti nella cartella dei dati dell'utente (%2).\n")
        .arg(sistema.join(QStringLiteral(", ")), luoghi::cartellaDatiDescritta());
}

namespace {
QtMessageHandler gestorePrecedente = nullptr;

// Qt ends with a fatal message (and abort) when no platform plugin starts.
// Qt's warnings before it (which plugin, which display) still go out.
void gestoreAvvio(QtMsgType tipo, const QMessageLogContext &contesto, const QString &testo)
{
    if (tipo != QtFatalMsg) {
        if (gestorePrecedente) gestorePrecedente(tipo, contesto, testo);
        else std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(tipo, contesto, testo)));
        return;
    }
    std::fprintf(stderr,
                 "saettinopro: nessuno schermo disponibile; il programma ha bisogno di una sessione "
                 "grafica (DISPLAY o WAYLAND_DISPLAY).\n"
                 "saettinopro: no display available; the program needs a graphical session "
                 "(DISPLAY or WAYLAND_DISPLAY).\n");
    std::fflush(stderr);
    std::_Exit(1);
}
} // namespace

std::unique_ptr<QApplication> apriInterfaccia(int &argc, char **argv)
{
    gestorePrecedente = qInstallMessageHandler(gestoreAvvio);
    auto app = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(gestorePrecedente);
    return app;
}

bool caricaTraduzioniQt(QCoreApplication &app)
{
    auto *traduttore = new QTranslator(&app);
    if (!traduttore->load(QLocale(QLocale::Italian), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete traduttore;
        return false;
    }
    return QCoreApplication::installTranslator(traduttore);
}

// Takes the lock of the database at `percorso`, or tells the operator why not.
bool Avvio::blocca(const QString &percorso)
{
    blocco_ = std::make_unique<BloccoArchivio>(percorso);
    switch (blocco_->prendi()) {
    case BloccoArchivio::Esito::Preso:
        return true;
    case BloccoArchivio::Esito::Occupato:
        messaggi_.mostra(BloccoArchivio::testoOccupato(), Messaggi::Pulsanti::Ok, Messaggi::Icona::Esclamazione);
        break;
    case BloccoArchivio::Esito::Impossibile:
        messaggi_.mostra(blocco_->testoImpossibile(), Messaggi::Pulsanti::Ok, Messaggi::Icona::Critico);
        break;
    }
    blocco_.reset();
    return false;
}

bool Avvio::prepara(const QString &cartellaProgramma, const QString &cartellaUtente)
{
    const PosizioneArchivio posizione = posizioneArchivio(cartellaProgramma, cartellaUtente, scrivibile_, regola_);
    if (posizione.origine.isEmpty()) {
        if (!blocca(posizione.percorso)) return false;
        percorso_ = posizione.percorso;
        return true;
    }
    // The copy is made under the lock of the place it goes to.
    QString errore;
    blocco_ = std::make_unique<BloccoArchivio>(posizione.percorso);
    const BloccoArchivio::Esito esito = blocco_->prendi();
    if (esito == BloccoArchivio::Esito::Occupato) {
        messaggi_.mostra(BloccoArchivio::testoOccupato(), Messaggi::Pulsanti::Ok, Messaggi::Icona::Esclamazione);
        return false;
    }
    if (esito == BloccoArchivio::Esito::Preso && copiaArchivio(posizione.origine, posizione.percorso, &errore)) {
        messaggi_.mostra(QStringLiteral("L'archivio dei tempi non può stare nella cartella del programma, quindi\n%1\n"
                                        "è stato copiato in\n%2\n\nDa ora i giri e le piste sono registrati lì.")
                             .arg(posizione.origine, posizione.percorso),
                         Messaggi::Pulsanti::Ok, Messaggi::Icona::Informazione);
        percorso_ = posizione.percorso;
        return true;
    }
    if (esito == BloccoArchivio::Esito::Impossibile) errore = blocco_->errore();
    // Better the old file, read-only, than a new empty one; it is locked where it is.
    if (!blocca(posizione.origine)) return false;
    messaggi_.mostra(QStringLiteral("L'archivio dei tempi\n%1\nnon può essere copiato in\n%2\n(%3)\n\n"
                                    "Viene usato dov'è, ma lì i nuovi giri non possono essere registrati.")
                         .arg(posizione.origine, posizione.percorso, errore),
                     Messaggi::Pulsanti::Ok, Messaggi::Icona::Esclamazione);
    percorso_ = posizione.origine;
    return true;
}
