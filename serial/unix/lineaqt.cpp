// The serial line where QSerialPort reaches the terminal through termios.
#include "serial/lineacom.h"

#include <QFile>
#include <QSerialPort>

#include <cerrno>
#include <termios.h>
#include <unistd.h>

namespace {

// QSerialPort, with what it does not tell: whether the terminal took the
// settings (drivers keep the old value of what they cannot do), and whether a
// refused opening is a lock held by another program or a permission missing.
class LineaQt : public LineaCom {
public:
    explicit LineaQt(QObject *parent) : LineaCom(parent), porta_(this)
    {
        connect(&porta_, &QSerialPort::readyRead, this, &LineaCom::arrivati);
        connect(&porta_, &QSerialPort::errorOccurred, this, &LineaQt::errore);
    }
    ~LineaQt() override { porta_.close(); }

    Apertura apri(const QString &dispositivo) override
    {
        if (porta_.isOpen()) return Apertura::GiaAperta;
        porta_.setPortName(dispositivo);
        inOperazione_ = true;
        const bool aperta = porta_.open(QIODevice::ReadWrite);
        const QSerialPort::SerialPortError e = porta_.error();
        inOperazione_ = false;
        motivo_ = porta_.errorString();
        porta_.clearError();
        if (aperta) return Apertura::Fatta;
        switch (e) {
        case QSerialPort::DeviceNotFoundError: return Apertura::NonEsiste;
        case QSerialPort::PermissionError:
            // Said both for a lock held by another program and for EACCES.
            if (::access(QFile::encodeName(dispositivo).constData(), R_OK | W_OK) != 0 && errno == EACCES)
                return Apertura::AccessoNegato;
            return Apertura::InUso;
        case QSerialPort::OpenError: return Apertura::GiaAperta;
        case QSerialPort::UnsupportedOperationError: return Apertura::NonSeriale;
        default: return Apertura::Altro;
        }
    }

    void chiudi() override { porta_.close(); }
    bool aperta() const override { return porta_.isOpen(); }

    bool scrivi(const QByteArray &byte) override
    {
        if (porta_.write(byte) == byte.size()) return true;
        motivo_ = porta_.errorString();
        return false;
    }

    QByteArray leggi() override { return porta_.isOpen() ? porta_.readAll() : QByteArray(); }

    Esito applica(const ParametriLinea &p) override
    {
        inOperazione_ = true;
        Esito esito;
        const auto fallito = [&](Parametro cosa) {
            motivo_ = porta_.errorString();
            porta_.clearError();
            inOperazione_ = false;
            esito.rifiutato = cosa;
            return esito;
        };
        const QSerialPort::Parity parita = p.parita == ParametriLinea::Parita::Pari      ? QSerialPort::EvenParity
                                           : p.parita == ParametriLinea::Parita::Dispari ? QSerialPort::OddParity
                                           : p.parita == ParametriLinea::Parita::Mark    ? QSerialPort::MarkParity
                                           : p.parita == ParametriLinea::Parita::Space   ? QSerialPort::SpaceParity
                                                                                          : QSerialPort::NoParity;
        const QSerialPort::StopBits stop = p.stop == ParametriLinea::Stop::Due         ? QSerialPort::TwoStop
                                           : p.stop == ParametriLinea::Stop::UnoEMezzo ? QSerialPort::OneAndHalfStop
                                                                                        : QSerialPort::OneStop;
        const QSerialPort::FlowControl flusso = p.rtsCts    ? QSerialPort::HardwareControl
                                                : p.xonXoff ? QSerialPort::SoftwareControl
                                                            : QSerialPort::NoFlowControl;
        if (!porta_.setBaudRate(p.velocita)) return fallito(Parametro::Velocita);
        if (!porta_.setDataBits(static_cast<QSerialPort::DataBits>(p.datiBit))) return fallito(Parametro::DatiBit);
        if (!porta_.setParity(parita)) return fallito(Parametro::Parita);
        if (!porta_.setStopBits(stop)) return fallito(Parametro::Stop);
        if (!porta_.setFlowControl(flusso)) return fallito(Parametro::Flusso);
        inOperazione_ = false;

        termios tio{};
        if (::tcgetattr(porta_.handle(), &tio) != 0) return esito;
        if (p.rtsCts && p.xonXoff) { // both: QSerialPort sets RTS/CTS, XON/XOFF is added by hand
            tio.c_iflag |= IXON | IXOFF;
            ::tcsetattr(porta_.handle(), TCSANOW, &tio);
            ::tcgetattr(porta_.handle(), &tio);
        }
        const tcflag_t dimensioni[] = {CS5, CS6, CS7, CS8};
        if ((tio.c_cflag & CSIZE) != dimensioni[p.datiBit - 5]) esito.ignorati << Parametro::DatiBit;
        const bool conParita = p.parita != ParametriLinea::Parita::Nessuna;
        bool paritaGiusta = bool(tio.c_cflag & PARENB) == conParita;
        if (conParita) {
            const bool dispari = p.parita == ParametriLinea::Parita::Dispari || p.parita == ParametriLinea::Parita::Mark;
            paritaGiusta = paritaGiusta && bool(tio.c_cflag & PARODD) == dispari;
#ifdef CMSPAR
            const bool fissa = p.parita == ParametriLinea::Parita::Mark || p.parita == ParametriLinea::Parita::Space;
            paritaGiusta = paritaGiusta && bool(tio.c_cflag & CMSPAR) == fissa;
#endif
        }
        if (!paritaGiusta) esito.ignorati << Parametro::Parita;
        if (bool(tio.c_cflag & CSTOPB) != (p.stop == ParametriLinea::Stop::Due)) esito.ignorati << Parametro::Stop;
        return esito;
    }

private:
    void errore(QSerialPort::SerialPortError e)
    {
        if (e == QSerialPort::NoError || inOperazione_ || !porta_.isOpen()) return;
        if (e == QSerialPort::ResourceError || e == QSerialPort::ReadError) {
            // Left open, the port would report the same failure again and again and keep the CPU busy.
            const QString motivo = porta_.errorString();
            inOperazione_ = true;
            porta_.close();
            porta_.clearError();
            inOperazione_ = false;
            emit persa(motivo);
            return;
        }
        porta_.clearError();
        emit arrivati();
    }

    QSerialPort porta_;
    bool inOperazione_ = false;
};

} // namespace

namespace lineaSistema {
LineaCom *crea(QObject *parent) { return new LineaQt(parent); }
QString dispositivo(int numero) { return QStringLiteral("/dev/ttyS%1").arg(numero - 1); }
bool porteConfigurabili() { return true; }
// termios knows one or two stop bits only.
bool stopUnoEMezzo() { return false; }
} // namespace lineaSistema
