#include "app/avvio.h"
#include "shell/applicazione.h"
#include "piattaforma/segnaliuscita.h"
#include "comune/caratteri.h"
#include "comune/icone.h"
#include "comune/identita.h"
#include "piattaforma/sistema.h"

#include <QApplication>
#include <QIcon>
#include <QStandardPaths>


int main(int argc, char *argv[])
{
    // --version and --help need no display; they go to the terminal the program was started from.
    QStringList argomenti;
    for (int i = 0; i < argc; ++i) argomenti.append(QString::fromLocal8Bit(argv[i]));
    if (const Richiesta r = leggiRichiesta(argomenti); r != Richiesta::Avvia) {
        sistema::scriviSulTerminale(r == Richiesta::Versione ? testoVersione() : testoAiuto());
        return 0;
    }

    const auto app = apriInterfaccia(argc, argv);
    QApplication::setOrganizationName(QString::fromUtf8(identita::organizzazione));
    QApplication::setApplicationName(QString::fromUtf8(identita::titolo));
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(identita::versioneMaggiore)
                                            .arg(identita::versioneMinore)
                                            .arg(identita::revisione));
    QGuiApplication::setDesktopFileName(QStringLiteral(ID_APPLICAZIONE));
    QApplication::setWindowIcon(QIcon(iconaProgramma()));
    caricaTraduzioniQt(*app);
    registraSostituzioniCaratteri();
    QApplication::setFont(carattere(8.25));

    // The lock is held until the program ends; a second program on the same file stops here.
    MessaggiQt messaggi;
    Avvio avvio(messaggi);
    if (!avvio.prepara(QApplication::applicationDirPath(),
                       QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)))
        return 1;

    Applicazione applicazione(avvio.percorso());
    QObject::connect(&applicazione, &Applicazione::terminata, app.get(), &QCoreApplication::exit);
    // A signal, or the desktop session ending, closes the program as "Esci" without a question.
    SegnaliUscita segnali;
    applicazione.seguiUscite(segnali);
    applicazione.avvia();
    const int codice = app->exec();
    SegnaliUscita::uscitaCompiuta();
    return codice;
}
