// saettino-simulatore: the timing device on a pseudo-terminal, for rehearsals
// without hardware and for the end-to-end tests.
#include "dispositivo/simulatore/dispositivosimulato.h"
#include "piattaforma/console.h"
#include "comune/impostazioni.h"
#include "serial/portareale.h"
#include "serial/portaseriale.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <cmath>
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
    "  -     rilascia tutte le linee     q    esce\n"
    "  m     il dispositivo smette di rispondere (di nuovo m: risponde)\n"
    "  r     il dispositivo si riavvia (con --esteso)";

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

// The command line: its options in the order the help lists them.
struct Opzioni {
    QCommandLineOption aiuto{{QStringLiteral("h"), QStringLiteral("help"), QStringLiteral("?")},
                             QStringLiteral("Mostra questo aiuto ed esce.")};
    QCommandLineOption com{QStringLiteral("com"),
                           QStringLiteral("Collega la porta ComN del programma al simulatore "
                                          "(sezione [Porte] delle impostazioni dell'utente; "
                                          "il valore precedente torna all'uscita)."),
                           QStringLiteral("N")};
    QCommandLineOption collegamento{QStringLiteral("collegamento"),
                                    QStringLiteral("Crea un collegamento simbolico al dispositivo."),
                                    QStringLiteral("percorso")};
    QCommandLineOption programma{QStringLiteral("programma"),
                                 QStringLiteral("File di righe \"<ms> <comandi>\" eseguite a quei "
                                                "millisecondi dall'avvio."),
                                 QStringLiteral("file")};
    QCommandLineOption impulso{QStringLiteral("impulso"), QStringLiteral("Durata di un passaggio in ms (predefinito 150)."),
                               QStringLiteral("ms"), QStringLiteral("150")};
    QCommandLineOption durata{QStringLiteral("durata"), QStringLiteral("Esce dopo questi ms."), QStringLiteral("ms")};
    QCommandLineOption fineProgramma{QStringLiteral("esci-a-fine"),
                                     QStringLiteral("Esce un secondo dopo l'ultimo passo del programma.")};
    QCommandLineOption fileImpostazioni{QStringLiteral("impostazioni"),
                                        QStringLiteral("Usa questo file INI al posto delle "
                                                       "impostazioni dell'utente (per --com)."),
                                        QStringLiteral("file")};
    QCommandLineOption esteso{QStringLiteral("esteso"),
                              QStringLiteral("Risponde anche al protocollo esteso, con la logica del firmware: "
                                             "passaggi marcati dall'orologio del dispositivo, numerati e confermati.")};
    QCommandLineOption deriva{QStringLiteral("deriva"),
                              QStringLiteral("Con --esteso: l'orologio del dispositivo va avanti di tante parti per "
                                             "milione (indietro se negativo), come un risonatore impreciso."),
                              QStringLiteral("ppm"), QStringLiteral("0")};
    QCommandLineOption porta{QStringLiteral("porta"),
                             QStringLiteral("Simula il dispositivo sulla porta COMn di questo computer, "
                                            "collegata a quella del programma (dove non ci sono "
                                            "pseudo-terminali)."),
                             QStringLiteral("N")};
    QList<QCommandLineOption> elenco() const
    {
        return {aiuto, com, collegamento, programma, impulso, durata, fineProgramma, fileImpostazioni, esteso, deriva, porta};
    }
};

const char descrizione[] = "Simula il dispositivo di cronometraggio su uno pseudo-terminale: risponde a ogni spazio "
                           "ricevuto con un byte di stato (bit k a 0 = linea della corsia k attiva); con --esteso "
                           "parla anche il protocollo esteso, come il firmware.";

// The device and what it changed on this computer (a link, a port's entry in the
// settings), put back on every way out, signals included.
class Simulatore {
public:
    Simulatore(const QCommandLineParser &riga, const Opzioni &o) : riga_(riga), o_(o) {}
    ~Simulatore() { ripristina(); }

    // Each step says what went wrong on standard error and returns false.
    bool creaDispositivo();
    bool collega();
    bool collegaCom();
    bool caricaProgramma(QCoreApplication &app);
    void seguiConsole(QCoreApplication &app, Console &console);
    DispositivoSimulato &dispositivo() { return *dispositivo_; }
    // The link removed and the port's entry put back; done once.
    void ripristina()
    {
        if (!link_.isEmpty()) QFile::remove(link_);
        if (store_) store_->scrivi(QString::fromUtf8(chiaviPorta::sezionePorte), chiaveCom_, valorePrecedente_);
        link_.clear();
        store_.reset();
    }

private:
    const QCommandLineParser &riga_;
    const Opzioni &o_;
    Impostazioni impostazioniLato_;
    std::unique_ptr<PortaReale> portaLato_;
    std::unique_ptr<DispositivoSimulato> dispositivo_;
    QString link_;
    std::unique_ptr<Impostazioni> store_;
    QString chiaveCom_, valorePrecedente_;
    QTimer silenzio_;
    bool collegato_ = false;
};

// The device on a COM port when one is named, on a pseudo-terminal otherwise.
bool Simulatore::creaDispositivo()
{
    if (riga_.isSet(o_.porta)) {
        bool ok = false;
        const int numero = riga_.value(o_.porta).toInt(&ok);
        portaLato_ = std::make_unique<PortaReale>(impostazioniLato_);
        if (!ok || !portaLato_->setCommPort(qint16(numero)) || !portaLato_->setPortOpen(true)) {
            std::fprintf(stderr, "Impossibile aprire la porta %s: %s\n", qPrintable(riga_.value(o_.porta)),
                         qPrintable(portaLato_->descrizioneErrore()));
            return false;
        }
        dispositivo_ = std::make_unique<DispositivoSimulato>(*portaLato_);
    } else {
        dispositivo_ = std::make_unique<DispositivoSimulato>();
        if (!dispositivo_->valido()) {
            std::fprintf(stderr, "Impossibile creare lo pseudo-terminale: %s\n", qPrintable(dispositivo_->errore()));
            return false;
        }
    }
    dispositivo_->impostaImpulso(qMax(1, riga_.value(o_.impulso).toInt()));
    if (riga_.isSet(o_.esteso)) {
        bool ok = false;
        const double ppm = riga_.value(o_.deriva).toDouble(&ok);
        if (!ok || std::abs(ppm) > 20000) {
            std::fprintf(stderr, "Deriva non valida: %s (ammessa da -20000 a 20000 ppm)\n", qPrintable(riga_.value(o_.deriva)));
            return false;
        }
        dispositivo_->impostaEsteso(ppm);
    }
    scrivi(QStringLiteral("Dispositivo: %1").arg(dispositivo_->percorso()));
    return true;
}

bool Simulatore::collega()
{
    if (!riga_.isSet(o_.collegamento)) return true;
    const QString link = riga_.value(o_.collegamento);
    QFile::remove(link);
    if (!QFile::link(dispositivo_->percorso(), link)) {
        std::fprintf(stderr, "Impossibile creare il collegamento %s\n", qPrintable(link));
        return false;
    }
    link_ = link;
    scrivi(QStringLiteral("Collegamento: %1").arg(link_));
    return true;
}

// The program's port ComN points at the device until the simulator ends.
bool Simulatore::collegaCom()
{
    if (!riga_.isSet(o_.com)) return true;
    bool ok = false;
    const int numero = riga_.value(o_.com).toInt(&ok);
    if (!ok || numero < 1 || numero > 255) {
        std::fprintf(stderr, "Numero di porta non valido: %s\n", qPrintable(riga_.value(o_.com)));
        return false;
    }
    store_ = riga_.isSet(o_.fileImpostazioni) ? std::make_unique<Impostazioni>(riga_.value(o_.fileImpostazioni))
                                              : std::make_unique<Impostazioni>();
    chiaveCom_ = QStringLiteral("Com%1").arg(numero);
    const QString sezione = QString::fromUtf8(chiaviPorta::sezionePorte);
    valorePrecedente_ = store_->testo(sezione, chiaveCom_);
    store_->scrivi(sezione, chiaveCom_, link_.isEmpty() ? dispositivo_->percorso() : link_);
    scrivi(QStringLiteral("Com%1 -> %2 (in %3)").arg(numero).arg(store_->testo(sezione, chiaveCom_), store_->percorso()));
    return true;
}

bool Simulatore::caricaProgramma(QCoreApplication &app)
{
    if (riga_.isSet(o_.programma)) {
        QFile file(riga_.value(o_.programma));
        QString errore;
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text)
            || !dispositivo_->programma(QString::fromUtf8(file.readAll()), &errore)) {
            std::fprintf(stderr, "Programma %s non valido: %s\n", qPrintable(file.fileName()),
                         qPrintable(errore.isEmpty() ? file.errorString() : errore));
            return false;
        }
        if (riga_.isSet(o_.fineProgramma))
            QObject::connect(dispositivo_.get(), &DispositivoSimulato::programmaFinito, &app,
                             [&app] { QTimer::singleShot(1000, &app, &QCoreApplication::quit); });
    }
    if (riga_.isSet(o_.durata)) QTimer::singleShot(riga_.value(o_.durata).toInt(), &app, &QCoreApplication::quit);
    return true;
}

// Tells the person at the keyboard what the program does with the device, and
// takes the commands typed.
void Simulatore::seguiConsole(QCoreApplication &app, Console &console)
{
    QObject::connect(&console, &Console::fineRichiesta, &app, &QCoreApplication::quit);
    silenzio_.setSingleShot(true);
    silenzio_.setInterval(2000);
    DispositivoSimulato &d = *dispositivo_;
    QObject::connect(&d, &DispositivoSimulato::interrogato, &app, [this](quint8) {
        if (!collegato_) scrivi(QStringLiteral("Il programma interroga il dispositivo."));
        collegato_ = true;
        silenzio_.start();
    });
    QObject::connect(&silenzio_, &QTimer::timeout, &app, [this] {
        collegato_ = false;
        scrivi(QStringLiteral("Nessuna interrogazione da 2 secondi."));
    });
    QObject::connect(&d, &DispositivoSimulato::portaLiberata, &app, [] {
        scrivi(QStringLiteral("Il programma non interroga più: la porta è di nuovo libera."));
    });
    QObject::connect(&d, &DispositivoSimulato::lineeCambiate, &app, [](quint8 stato) { scrivi(descriviLinee(stato)); });
    QObject::connect(&d, &DispositivoSimulato::protocolloCambiato, &app, [](bool esteso) {
        scrivi(esteso ? QStringLiteral("Il programma usa il protocollo esteso.")
                      : QStringLiteral("Il dispositivo è tornato al protocollo classico."));
    });
    QObject::connect(&console, &Console::riga, &app, [&app, &d](const QString &riga) {
        const QString r = riga.trimmed();
        if (r == u"q") app.quit();
        else if (r == u"?" || r == u"h") scrivi(QString::fromUtf8(aiuto));
        else if (r == u"m") {
            d.impostaMuto(!d.muto());
            scrivi(d.muto() ? QStringLiteral("Il dispositivo non risponde più.") : QStringLiteral("Il dispositivo risponde di nuovo."));
        } else if (r == u"r" && d.esteso()) {
            d.riavvia();
            scrivi(QStringLiteral("Il dispositivo si è riavviato."));
        }
        else if (!r.isEmpty() && !d.comando(r)) scrivi(QStringLiteral("Comando non capito: %1 (? per l'aiuto)").arg(r));
    });
    if (Console::interattiva()) scrivi(QString::fromUtf8(aiuto));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("saettino-simulatore"));

    const Opzioni o;
    QCommandLineParser riga;
    riga.addOptions(o.elenco());
    // Qt's own help and error texts are in English: these are the program's own.
    if (!riga.parse(QCoreApplication::arguments()) || !riga.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "saettino-simulatore: %s\nPer l'elenco delle opzioni: saettino-simulatore --help\n",
                     qPrintable(erroreOpzioni(riga)));
        return 2;
    }
    if (riga.isSet(o.aiuto)) {
        std::fputs(testoAiuto(QString::fromUtf8(descrizione), o.elenco()).toLocal8Bit().constData(), stdout);
        return 0;
    }

    Simulatore simulatore(riga, o);
    if (!simulatore.creaDispositivo() || !simulatore.collega() || !simulatore.collegaCom()
        || !simulatore.caricaProgramma(app))
        return 1;
    Console console;
    simulatore.seguiConsole(app, console);
    const int esito = app.exec();
    simulatore.ripristina();
    scrivi(QStringLiteral("Interrogazioni ricevute: %1").arg(simulatore.dispositivo().interrogazioni()));
    return esito;
}
