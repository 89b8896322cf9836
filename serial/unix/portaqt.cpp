#include "serial/unix/portaqt.h"
#include "serial/portasistema.h"
#include "serial/impostazioniporta.h"

#include <QFile>
#include <QStringList>

#include <cerrno>
#include <termios.h>
#include <unistd.h>

QString dispositivoPorta(int numero, const ImpostazioniPorta &store)
{
    const QString scritto =
        store.leggi(QString::fromUtf8(chiaviPorta::sezionePorte), QStringLiteral("Com%1").arg(numero)).trimmed();
    if (!scritto.isEmpty()) return scritto;
    return QStringLiteral("/dev/ttyS%1").arg(numero - 1);
}

// The QSerialPort is a child, so moving the port to another thread moves it along.
PortaQt::PortaQt(ImpostazioniPorta &store, QObject *parent) : PortaReale(parent), store_(store), porta_(this)
{
    connect(&porta_, &QSerialPort::readyRead, this, &PortaSeriale::onComm);
    connect(&porta_, &QSerialPort::errorOccurred, this, &PortaQt::erroreLinea);
}

PortaQt::~PortaQt() { porta_.close(); }

QString PortaQt::dispositivo() const { return dispositivoPorta(commPort(), store_); }

QString PortaQt::nonSupportato(const ImpostazioniSerie &imp, int) const
{
    // termios knows one or two stop bits only.
    if (imp.stopBit == u"1.5")
        return QStringLiteral("1,5 bit di stop non sono supportati dalle porte seriali di questo sistema.");
    return {};
}

bool PortaQt::setPortOpen(bool aperta)
{
    if (!aperta) {
        if (porta_.isOpen()) {
            porta_.close();
            emit apertaCambiata(false);
        }
        return riuscito();
    }
    if (porta_.isOpen()) return rifiuta(QStringLiteral("La porta %1 è già aperta.").arg(nomePorta()));

    const QString percorso = dispositivo();
    porta_.setPortName(percorso);
    inOperazione_ = true;
    const bool aprita = porta_.open(QIODevice::ReadWrite);
    const QSerialPort::SerialPortError errore = porta_.error();
    inOperazione_ = false;
    if (!aprita) return rifiuta(descriviErroreApertura(errore, percorso));
    if (!applica(impostazioni_, handshaking())) {
        const QString motivo = descrizioneErrore();
        porta_.close();
        return rifiuta(QStringLiteral("Porta %1 (%2) non aperta: impostazioni %3 non applicabili. %4")
                           .arg(nomePorta(), percorso, impostazioni_.testo(), motivo));
    }
    porta_.clearError();
    emit apertaCambiata(true);
    return riuscito();
}

bool PortaQt::output(const QString &testo)
{
    if (!porta_.isOpen()) return rifiuta(QStringLiteral("La porta %1 è chiusa.").arg(nomePorta()));
    const QByteArray byte = testo.toLatin1();
    if (porta_.write(byte) != byte.size())
        return rifiuta(QStringLiteral("Scrittura sulla porta %1 non riuscita: %2").arg(nomePorta(), porta_.errorString()));
    return riuscito();
}

QString PortaQt::input()
{
    if (!porta_.isOpen()) return {};
    return QString::fromLatin1(porta_.readAll());
}

bool PortaQt::applica(const ImpostazioniSerie &imp, int flusso)
{
    inOperazione_ = true;
    const auto fallito = [&](const QString &cosa) {
        const QString motivo = porta_.errorString();
        porta_.clearError();
        inOperazione_ = false;
        return rifiuta(QStringLiteral("La porta %1 non accetta %2 (%3).").arg(nomePorta(), cosa, motivo));
    };
    const QSerialPort::Parity parita = imp.parita == u'e'   ? QSerialPort::EvenParity
                                       : imp.parita == u'o' ? QSerialPort::OddParity
                                       : imp.parita == u'm' ? QSerialPort::MarkParity
                                       : imp.parita == u's' ? QSerialPort::SpaceParity
                                                            : QSerialPort::NoParity;
    const QSerialPort::StopBits stop = imp.stopBit == u"2"     ? QSerialPort::TwoStop
                                       : imp.stopBit == u"1.5" ? QSerialPort::OneAndHalfStop
                                                               : QSerialPort::OneStop;
    const QSerialPort::FlowControl controllo = flusso == 1 ? QSerialPort::SoftwareControl
                                               : flusso >= 2 ? QSerialPort::HardwareControl
                                                             : QSerialPort::NoFlowControl;
    if (!porta_.setBaudRate(imp.velocita)) return fallito(QStringLiteral("la velocità %1").arg(imp.velocita));
    if (!porta_.setDataBits(static_cast<QSerialPort::DataBits>(imp.datiBit)))
        return fallito(QStringLiteral("%1 bit di dati").arg(imp.datiBit));
    if (!porta_.setParity(parita)) return fallito(QStringLiteral("la parità \"%1\"").arg(imp.parita));
    if (!porta_.setStopBits(stop)) return fallito(QStringLiteral("%1 bit di stop").arg(imp.stopBit));
    if (!porta_.setFlowControl(controllo)) return fallito(QStringLiteral("il controllo di flusso %1").arg(flusso));
    inOperazione_ = false;

    // What the terminal really took: drivers keep the old value of what they cannot do.
    termios tio{};
    if (::tcgetattr(porta_.handle(), &tio) != 0) return riuscito();
    if (flusso == 3) { // both: RTS/CTS is set, add XON/XOFF by hand
        tio.c_iflag |= IXON | IXOFF;
        ::tcsetattr(porta_.handle(), TCSANOW, &tio);
        ::tcgetattr(porta_.handle(), &tio);
    }
    const tcflag_t dimensioni[] = {CS5, CS6, CS7, CS8};
    QStringList ignorate;
    if ((tio.c_cflag & CSIZE) != dimensioni[imp.datiBit - 5])
        ignorate << QStringLiteral("%1 bit di dati").arg(imp.datiBit);
    const bool conParita = imp.parita != u'n';
    bool paritaGiusta = bool(tio.c_cflag & PARENB) == conParita;
    if (conParita) {
        paritaGiusta = paritaGiusta && bool(tio.c_cflag & PARODD) == (imp.parita == u'o' || imp.parita == u'm');
#ifdef CMSPAR
        paritaGiusta = paritaGiusta && bool(tio.c_cflag & CMSPAR) == (imp.parita == u'm' || imp.parita == u's');
#endif
    }
    if (!paritaGiusta) ignorate << QStringLiteral("la parità \"%1\"").arg(imp.parita);
    if (bool(tio.c_cflag & CSTOPB) != (imp.stopBit == u"2")) ignorate << QStringLiteral("%1 bit di stop").arg(imp.stopBit);
    if (!ignorate.isEmpty())
        return rifiuta(QStringLiteral("Il dispositivo %1 non applica %2.").arg(porta_.portName(), ignorate.join(QStringLiteral(", "))));
    return riuscito();
}

QString PortaQt::descriviErroreApertura(QSerialPort::SerialPortError errore, const QString &percorso) const
{
    const QString porta = QStringLiteral("%1 (%2)").arg(nomePorta(), percorso);
    switch (errore) {
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("La porta %1 non esiste. Per usare un altro dispositivo scrivere "
                              "%2=/dev/ttyUSB0 (o il percorso voluto) nella sezione [Porte] di %3.")
            .arg(porta, nomePorta(), store_.percorso());
    case QSerialPort::PermissionError:
        // QSerialPort says PermissionError both for a lock held by another program and for EACCES.
        if (::access(QFile::encodeName(percorso).constData(), R_OK | W_OK) != 0 && errno == EACCES)
            return QStringLiteral("Accesso negato alla porta %1: l'utente deve far parte del gruppo "
                                  "dialout (sudo usermod -aG dialout $USER, poi rientrare nella sessione).")
                .arg(porta);
        return QStringLiteral("La porta %1 è già in uso da un altro programma.").arg(porta);
    case QSerialPort::OpenError:
        return QStringLiteral("La porta %1 è già aperta.").arg(porta);
    case QSerialPort::UnsupportedOperationError:
        return QStringLiteral("%1 non è una porta seriale (%2).").arg(porta, porta_.errorString());
    default:
        return QStringLiteral("Impossibile aprire la porta %1: %2").arg(porta, porta_.errorString());
    }
}

void PortaQt::erroreLinea(QSerialPort::SerialPortError errore)
{
    if (errore == QSerialPort::NoError || inOperazione_ || !porta_.isOpen()) return;
    if (errore == QSerialPort::ResourceError || errore == QSerialPort::ReadError) {
        // The device went away (adapter pulled out, other end closed): left open, the
        // port would report the same failure again and again and keep the CPU busy.
        const QString descrizione = QStringLiteral("La porta %1 non è più disponibile (%2): "
                                                   "il dispositivo di cronometraggio è scollegato.")
                                        .arg(nomePorta(), porta_.errorString());
        inOperazione_ = true;
        porta_.close();
        porta_.clearError();
        inOperazione_ = false;
        rifiuta(descrizione);
        emit apertaCambiata(false);
        emit lineaPersa(descrizione);
        return;
    }
    porta_.clearError();
    emit onComm();
}

PortaSeriale *creaPortaSistema(ImpostazioniPorta &store, QObject *parent) { return new PortaQt(store, parent); }
