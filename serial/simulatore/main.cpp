// saettino-simulatore: the timing device on a pseudo-terminal, for rehearsals
// without hardware and for the end-to-end tests.
#include "console.h"
#include "serial/dispositivosimulato.h"
#include "serial/impostazioniporta.h"
#include "serial/portasistema.h"
#include "serial/portaseriale.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

void scrivi(const QString &riga)
{
    std::fputs(riga.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QString descriviLinee(quint8 stato)
{
    QStringList attive;
    for (int k = 0; k < 8; ++k)
        if (!(stato & (1u << k))) attive << QString::number(k + 1);
    return attive.isEmpty() ? QStringLiteral("Linee attive: nessuna")
                            : QStringLiteral("Linee attive: %1").arg(attive.join(u' '));
}

const char aiuto[] =
    "Comandi (uno o più per riga, separati da spazi):\n"
    "  3     passaggio sulla corsia 3 (pilota 3)\n"
    "  +3    tiene attiva la linea 3     -3   la rilascia\n"
    "  -     rilascia tutte le linee     q    esce";

// "Uso: ...", the description, every option with its value and text, and the
// commands typed while it runs.
QString testoAiuto(const QString &descrizione, const QList<QCommandLineOption> &elenco)
{
    QStringList nomi;
    int larga = 0;
    for (const QCommandLineOption &o : elenco) {
        QStringList forme;
        for (const QString &n : o.names()) forme << (n.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + n;
        QString nome = forme.join(QStringLiteral(", "));
        if (!o.valueName().isEmpty()) nome += QStringLiteral(" <%1>").arg(o.valueName());
        nomi << nome;
        larga = std::max(larga, int(nome.size()));
    }
    QString t = QStringLiteral("Uso: saettino-simulatore [opzioni]\n") + descrizione + QStringLiteral("\n\nOpzioni:\n");
    for (int i = 0; i < elenco.size(); ++i)
        t += QStringLiteral("  ") + nomi[i].leftJustified(larga + 2) + elenco[i].description() + QLatin1Char('\n');
    return t + QLatin1Char('\n') + QString::fromUtf8(aiuto) + QLatin1Char('\n');
}

// What is wrong with the command line, in Italian.
QString erroreOpzioni(const QCommandLineParser &opzioni)
{
    if (!opzioni.unknownOptionNames().isEmpty())
        return QStringLiteral("opzione sconosciuta: %1").arg(opzioni.unknownOptionNames().join(QStringLiteral(", ")));
    if (!opzioni.positionalArguments().isEmpty())
        return QStringLiteral("argomento non previsto: %1").arg(opzioni.positionalArguments().join(u' '));
    // Qt names the option between quotes: "Missing value after '--com'."
    const QString testo = opzioni.errorText();
    const qsizetype a = testo.indexOf(u'\''), b = testo.lastIndexOf(u'\'');
    return a >= 0 && b > a ? QStringLiteral("manca il valore dell'opzione %1").arg(testo.mid(a + 1, b - a - 1))
                           : QStringLiteral("riga di comando non valida");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("saettino-simulatore"));

    QCommandLineParser opzioni;
    const QString descrizione = QStringLiteral(
        "Simula il dispositivo di cronometraggio su uno pseudo-terminale: risponde a ogni spazio "
        "ricevuto con un byte di stato (bit k a 0 = linea della corsia k attiva).");
    const QCommandLineOption aiutoOpzione({QStringLiteral("h"), QStringLiteral("help"), QStringLiteral("?")},
                                          QStringLiteral("Mostra questo aiuto ed esce."));
    const QCommandLineOption com(QStringLiteral("com"),
                                 QStringLiteral("Collega la porta ComN del programma al simulatore "
                                                "(sezione [Porte] delle impostazioni dell'utente; "
                                                "il valore precedente torna all'uscita)."),
                                 QStringLiteral("N"));
    const QCommandLineOption collegamento(QStringLiteral("collegamento"),
                                          QStringLiteral("Crea un collegamento simbolico al dispositivo."),
                                          QStringLiteral("percorso"));
    const QCommandLineOption programma(QStringLiteral("programma"),
                                       QStringLiteral("File di righe \"<ms> <comandi>\" eseguite a quei "
                                                      "millisecondi dall'avvio."),
                                       QStringLiteral("file"));
    const QCommandLineOption impulso(QStringLiteral("impulso"),
                                     QStringLiteral("Durata di un passaggio in ms (predefinito 150)."),
                                     QStringLiteral("ms"), QStringLiteral("150"));
    const QCommandLineOption durata(QStringLiteral("durata"), QStringLiteral("Esce dopo questi ms."),
                                    QStringLiteral("ms"));
    const QCommandLineOption fineProgramma(QStringLiteral("esci-a-fine"),
                                           QStringLiteral("Esce un secondo dopo l'ultimo passo del programma."));
    const QCommandLineOption fileImpostazioni(QStringLiteral("impostazioni"),
                                              QStringLiteral("Usa questo file INI al posto delle "
                                                             "impostazioni dell'utente (per --com)."),
                                              QStringLiteral("file"));
    const QCommandLineOption porta(QStringLiteral("porta"),
                                   QStringLiteral("Simula il dispositivo sulla porta COMn di questo computer, "
                                                  "collegata a quella del programma (dove non ci sono "
                                                  "pseudo-terminali)."),
                                   QStringLiteral("N"));
    const QList<QCommandLineOption> elenco{aiutoOpzione, com, collegamento, programma, impulso,
                                           durata, fineProgramma, fileImpostazioni, porta};
    opzioni.addOptions(elenco);
    // Qt's own help and error texts are in English: these are the program's own.
    if (!opzioni.parse(QCoreApplication::arguments()) || !opzioni.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "saettino-simulatore: %s\nPer l'elenco delle opzioni: saettino-simulatore --help\n",
                     qPrintable(erroreOpzioni(opzioni)));
        return 2;
    }
    if (opzioni.isSet(aiutoOpzione)) {
        std::fputs(testoAiuto(descrizione, elenco).toLocal8Bit().constData(), stdout);
        return 0;
    }

    // The device on a COM port when one is named, on a pseudo-terminal otherwise.
    ImpostazioniPorta impostazioniLato;
    std::unique_ptr<PortaSeriale> portaLato;
    std::unique_ptr<DispositivoSimulato> dispositivoPtr;
    if (opzioni.isSet(porta)) {
        bool ok = false;
        const int numero = opzioni.value(porta).toInt(&ok);
        portaLato.reset(creaPortaSistema(impostazioniLato, nullptr));
        if (!ok || !portaLato->setCommPort(qint16(numero)) || !portaLato->setPortOpen(true)) {
            std::fprintf(stderr, "Impossibile aprire la porta %s: %s\n", qPrintable(opzioni.value(porta)),
                         qPrintable(portaLato->descrizioneErrore()));
            return 1;
        }
        dispositivoPtr = std::make_unique<DispositivoSimulato>(*portaLato);
    } else {
        dispositivoPtr = std::make_unique<DispositivoSimulato>();
        if (!dispositivoPtr->valido()) {
            std::fprintf(stderr, "Impossibile creare lo pseudo-terminale: %s\n", qPrintable(dispositivoPtr->errore()));
            return 1;
        }
    }
    DispositivoSimulato &dispositivo = *dispositivoPtr;
    dispositivo.impostaImpulso(qMax(1, opzioni.value(impulso).toInt()));
    scrivi(QStringLiteral("Dispositivo: %1").arg(dispositivo.percorso()));

    // Clean-up on every way out, signals included.
    QString link;
    std::unique_ptr<ImpostazioniPorta> store;
    QString chiaveCom, valorePrecedente;
    const auto pulisci = [&] {
        if (!link.isEmpty()) QFile::remove(link);
        if (store) store->scrivi(QString::fromUtf8(chiaviPorta::sezionePorte), chiaveCom, valorePrecedente);
    };

    if (opzioni.isSet(collegamento)) {
        link = opzioni.value(collegamento);
        QFile::remove(link);
        if (!QFile::link(dispositivo.percorso(), link)) {
            std::fprintf(stderr, "Impossibile creare il collegamento %s\n", qPrintable(link));
            return 1;
        }
        scrivi(QStringLiteral("Collegamento: %1").arg(link));
    }
    if (opzioni.isSet(com)) {
        bool ok = false;
        const int numero = opzioni.value(com).toInt(&ok);
        if (!ok || numero < 1 || numero > 255) {
            std::fprintf(stderr, "Numero di porta non valido: %s\n", qPrintable(opzioni.value(com)));
            pulisci();
            return 1;
        }
        store = opzioni.isSet(fileImpostazioni) ? std::make_unique<ImpostazioniPorta>(opzioni.value(fileImpostazioni))
                                                : std::make_unique<ImpostazioniPorta>();
        chiaveCom = QStringLiteral("Com%1").arg(numero);
        const QString sezione = QString::fromUtf8(chiaviPorta::sezionePorte);
        valorePrecedente = store->leggi(sezione, chiaveCom);
        store->scrivi(sezione, chiaveCom, link.isEmpty() ? dispositivo.percorso() : link);
        scrivi(QStringLiteral("Com%1 -> %2 (in %3)").arg(numero).arg(store->leggi(sezione, chiaveCom), store->percorso()));
    }

    Console console;
    QObject::connect(&console, &Console::fineRichiesta, &app, &QCoreApplication::quit);

    if (opzioni.isSet(programma)) {
        QFile file(opzioni.value(programma));
        QString errore;
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text)
            || !dispositivo.programma(QString::fromUtf8(file.readAll()), &errore)) {
            std::fprintf(stderr, "Programma %s non valido: %s\n", qPrintable(file.fileName()),
                         qPrintable(errore.isEmpty() ? file.errorString() : errore));
            pulisci();
            return 1;
        }
        if (opzioni.isSet(fineProgramma))
            QObject::connect(&dispositivo, &DispositivoSimulato::programmaFinito, &app,
                             [&app] { QTimer::singleShot(1000, &app, &QCoreApplication::quit); });
    }
    if (opzioni.isSet(durata)) QTimer::singleShot(opzioni.value(durata).toInt(), &app, &QCoreApplication::quit);

    // Tell the person at the keyboard what the program does with the device.
    QTimer silenzio;
    silenzio.setSingleShot(true);
    silenzio.setInterval(2000);
    bool collegato = false;
    QObject::connect(&dispositivo, &DispositivoSimulato::interrogato, &app, [&](quint8) {
        if (!collegato) scrivi(QStringLiteral("Il programma interroga il dispositivo."));
        collegato = true;
        silenzio.start();
    });
    QObject::connect(&silenzio, &QTimer::timeout, &app, [&] {
        collegato = false;
        scrivi(QStringLiteral("Nessuna interrogazione da 2 secondi."));
    });
    QObject::connect(&dispositivo, &DispositivoSimulato::portaLiberata, &app, [] {
        scrivi(QStringLiteral("Il programma non interroga più: la porta è di nuovo libera."));
    });
    QObject::connect(&dispositivo, &DispositivoSimulato::lineeCambiate, &app,
                     [](quint8 stato) { scrivi(descriviLinee(stato)); });

    QObject::connect(&console, &Console::riga, &app, [&](const QString &riga) {
        const QString r = riga.trimmed();
        if (r == u"q") app.quit();
        else if (r == u"?" || r == u"h") scrivi(QString::fromUtf8(aiuto));
        else if (!r.isEmpty() && !dispositivo.comando(r)) scrivi(QStringLiteral("Comando non capito: %1 (? per l'aiuto)").arg(r));
    });
    if (Console::interattiva()) scrivi(QString::fromUtf8(aiuto));

    const int esito = app.exec();
    pulisci();
    scrivi(QStringLiteral("Interrogazioni ricevute: %1").arg(dispositivo.interrogazioni()));
    return esito;
}
