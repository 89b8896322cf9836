#pragma once
#include <QObject>
#include <QString>

// The serial port as the timing window and the port dialog use it. Every
// operation that the port refuses returns false and leaves a description of
// the refusal in descrizioneErrore(), ready to be shown to the operator.
class PortaSeriale : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~PortaSeriale() override = default;

    // speed,parity,data bits,stop bits, read back with a lower-case parity.
    virtual QString settings() const = 0;
    // Takes effect at once, also while the port is open.
    virtual bool setSettings(const QString &valore) = 0;
    virtual qint16 commPort() const = 0;
    // Chooses the port for the next opening; refused while the port is open.
    virtual bool setCommPort(qint16 numero) = 0;
    // 0 none, 1 XON/XOFF, 2 RTS/CTS, 3 both.
    virtual int handshaking() const = 0;
    virtual bool setHandshaking(int codice) = 0;
    virtual bool portOpen() const = 0;
    // Opening a missing or busy port, or one already open, is refused.
    virtual bool setPortOpen(bool aperta) = 0;
    // Each character goes out as one byte; nothing waits for an answer.
    virtual bool output(const QString &testo) = 0;
    // Everything waiting, one character per byte, and the input emptied.
    virtual QString input() = 0;

    QString descrizioneErrore() const { return errore_; }

signals:
    // Bytes are waiting, or something else happened on the line.
    void onComm();
    // The port was opened or closed, by anyone or by the line going away.
    void apertaCambiata(bool aperta);
    // The device went away while the port was open; the port is closed now.
    void lineaPersa(const QString &descrizione);

protected:
    bool rifiuta(const QString &descrizione)
    {
        errore_ = descrizione;
        return false;
    }
    bool riuscito()
    {
        errore_.clear();
        return true;
    }

private:
    QString errore_;
};

// Section and keys of the port settings in the per-user store.
namespace chiaviPorta {
inline constexpr char sezione[] = "Properties";
inline constexpr char settings[] = "Settings";
inline constexpr char commPort[] = "CommPort";
inline constexpr char handshaking[] = "Handshaking";
// Section naming the device behind each port number where the system has no COM names.
inline constexpr char sezionePorte[] = "Porte";
} // namespace chiaviPorta
