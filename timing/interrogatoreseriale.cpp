#include "timing/interrogatoreseriale.h"

#include "serial/impostazioniserie.h"
#include "serial/portaseriale.h"
#include "timing/orologio.h"

#include <cmath>

namespace {
// What the operator reads about the device on port `porta` ("Com1").
QString testoAvviso(const AvvisoDispositivo &a, const QString &porta)
{
    const QString dispositivo = QStringLiteral("Il dispositivo di cronometraggio su %1").arg(porta);
    switch (a.tipo) {
    case AvvisoDispositivo::Tipo::Esteso:
        return QStringLiteral("Dispositivo di cronometraggio su %1: %2, firmware %3.%4.%5. "
                              "I passaggi sono marcati dal dispositivo stesso, al millesimo di secondo.")
            .arg(porta, QString::fromStdString(a.nome))
            .arg(a.firmware[0])
            .arg(a.firmware[1])
            .arg(a.firmware[2]);
    case AvvisoDispositivo::Tipo::Riavviato:
        return dispositivo + QStringLiteral(" si è riavviato (alimentazione o reset): i passaggi marcati "
                                            "da allora sono stati presi, il cronometraggio continua.");
    case AvvisoDispositivo::Tipo::Persi:
        return dispositivo + (a.quanti == 1 ? QStringLiteral(" ha perso 1 passaggio")
                                            : QStringLiteral(" ha perso %1 passaggi").arg(a.quanti))
            + QStringLiteral(": la sua memoria era piena. Controllare i giri delle corsie in pista.");
    case AvvisoDispositivo::Tipo::Silenzio:
        return dispositivo + QStringLiteral(" non risponde: controllare che sia acceso e collegato. "
                                            "Finché non risponde, i giri si segnano con i pulsanti e la tastiera.");
    case AvvisoDispositivo::Tipo::Risponde:
        return dispositivo + QStringLiteral(" risponde di nuovo.");
    case AvvisoDispositivo::Tipo::Rumore:
        return QStringLiteral("Dal dispositivo di cronometraggio su %1 arrivano risposte non valide: controllare "
                              "la velocità della porta (Opzioni, Proprietà porta) e il cavo. "
                              "Le risposte non valide non diventano giri.")
            .arg(porta);
    case AvvisoDispositivo::Tipo::RumoreFinito:
        return QStringLiteral("Le risposte del dispositivo di cronometraggio su %1 sono di nuovo regolari.").arg(porta);
    }
    return {};
}

// Notices that replace each other: how the link stands, not its history.
QString chiaveAvviso(AvvisoDispositivo::Tipo t)
{
    switch (t) {
    case AvvisoDispositivo::Tipo::Esteso:
    case AvvisoDispositivo::Tipo::Riavviato: return QStringLiteral("dispositivo");
    case AvvisoDispositivo::Tipo::Persi: return QStringLiteral("passaggi persi");
    case AvvisoDispositivo::Tipo::Silenzio:
    case AvvisoDispositivo::Tipo::Risponde: return QStringLiteral("silenzio");
    case AvvisoDispositivo::Tipo::Rumore:
    case AvvisoDispositivo::Tipo::RumoreFinito: break;
    }
    return QStringLiteral("rumore");
}
} // namespace

InterrogatoreSeriale::InterrogatoreSeriale(PortaSeriale &porta, Orologio &orologio, QObject *parent)
    : QObject(parent), porta_(porta), orologio_(orologio), timer2_(this), passo_(this)
{
    monotono_.start();
    timer2_.setInterval(100);
    timer2_.setTimerType(Qt::PreciseTimer);
    connect(&timer2_, &QTimer::timeout, this, &InterrogatoreSeriale::interroga);
    passo_.setSingleShot(true);
    passo_.setTimerType(Qt::PreciseTimer);
    connect(&passo_, &QTimer::timeout, this, &InterrogatoreSeriale::esegui);
    connect(&porta_, &PortaSeriale::onComm, this, &InterrogatoreSeriale::MSComm1_OnComm);
    // The poll follows the port: a device is never left unpolled because of the
    // order in which the port was opened (the dialog may close and reopen it).
    connect(&porta_, &PortaSeriale::apertaCambiata, this, &InterrogatoreSeriale::Gestisci);
    Gestisci(porta_.portOpen());
}

void InterrogatoreSeriale::Gestisci(bool cond)
{
    if (cond) {
        if (collegamento_.modo() != CollegamentoDispositivo::Modo::Fermo) return;
        ImpostazioniSerie imp;
        QString errore;
        if (analizzaSettings(porta_.settings(), imp, errore)) collegamento_.impostaVelocita(imp.velocita);
        // The classic poll waits: the device is asked for the extended protocol first.
        collegamento_.avvia(ora());
        esegui();
    } else {
        timer2_.stop();
        passo_.stop();
        const bool eraEsteso = collegamento_.modo() == CollegamentoDispositivo::Modo::Esteso;
        collegamento_.ferma();
        if (eraEsteso) emit protocolloEsteso(false);
    }
}

void InterrogatoreSeriale::uscita(qint16 a)
{
    if (porta_.portOpen()) porta_.output(QString(QChar(ushort(a))));
}

// Timer2: the replies to the last blank are judged, then the next one goes out.
void InterrogatoreSeriale::interroga()
{
    collegamento_.interrogaClassico(ora());
    uscita(32);
}

void InterrogatoreSeriale::MSComm1_OnComm()
{
    // The reply arrived at or before this moment: the instant comes before the read.
    const double istante = ora();
    bufferSeriale_ = porta_.input();
    if (bufferSeriale_.isEmpty()) return;
    byteSeriale_ = qint16(bufferSeriale_.at(0).unicode());
    const QByteArray byte = bufferSeriale_.toLatin1();
    collegamento_.ricevi(reinterpret_cast<const uint8_t *>(byte.constData()), size_t(byte.size()), istante);
    // A reply just completed may let the next request go at once.
    if (collegamento_.modo() != CollegamentoDispositivo::Modo::Classico) esegui();
}

void InterrogatoreSeriale::esegui()
{
    scrivi(collegamento_.passo(ora()));
    if (collegamento_.modo() == CollegamentoDispositivo::Modo::Classico && !timer2_.isActive()) {
        // No identification came: a device of the classic protocol, polled as it always was.
        passo_.stop();
        interroga();
        timer2_.start();
        return;
    }
    pianifica();
}

void InterrogatoreSeriale::pianifica()
{
    const double quando = collegamento_.prossimo();
    if (!std::isfinite(quando)) {
        passo_.stop();
        return;
    }
    passo_.start(int(std::max(0.0, std::ceil((quando - ora()) * 1000.0))));
}

void InterrogatoreSeriale::scrivi(const std::vector<uint8_t> &byte)
{
    if (byte.empty() || !porta_.portOpen()) return;
    porta_.output(QString::fromLatin1(reinterpret_cast<const char *>(byte.data()), qsizetype(byte.size())));
}

bool InterrogatoreSeriale::impostaUscite(quint8 luci, bool rele)
{
    // They go with the next request, within a poll's period.
    return collegamento_.impostaUscite(luci, rele);
}

// An instant of the link's clock on the program's: as long ago as it is.
double InterrogatoreSeriale::istante(double t) { return orologio_.adesso() - (ora() - t); }

void InterrogatoreSeriale::stato(uint8_t byte, double t) { emit risposta(qint16(byte), istante(t)); }
void InterrogatoreSeriale::linee(uint8_t stato) { emit lineeDispositivo(quint8(stato)); }
void InterrogatoreSeriale::passaggio(int corsia, double t) { emit passaggioStampato(corsia, istante(t)); }
void InterrogatoreSeriale::riposo() { emit lampadeARiposo(); }

void InterrogatoreSeriale::avviso(const AvvisoDispositivo &a)
{
    if (a.tipo == AvvisoDispositivo::Tipo::Esteso) emit protocolloEsteso(true);
    const bool buono = a.tipo == AvvisoDispositivo::Tipo::Esteso || a.tipo == AvvisoDispositivo::Tipo::Risponde
        || a.tipo == AvvisoDispositivo::Tipo::RumoreFinito;
    emit avvisoDispositivo(chiaveAvviso(a.tipo), testoAvviso(a, QStringLiteral("Com%1").arg(porta_.commPort())), buono);
}
