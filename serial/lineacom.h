#pragma once
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

// The line parameters as a serial driver takes them.
struct ParametriLinea {
    enum class Parita { Nessuna, Pari, Dispari, Mark, Space };
    enum class Stop { Uno, UnoEMezzo, Due };
    qint32 velocita = 9600;
    int datiBit = 8;                 // 5 to 8
    Parita parita = Parita::Nessuna;
    Stop stop = Stop::Uno;
    bool xonXoff = false;            // software flow control
    bool rtsCts = false;             // hardware flow control
};

// A serial line of this system, opened by its device name, with no policy and
// no words of its own beyond the system's: the port above it decides what to
// tell the operator. Lives on the thread of the object that owns it.
class LineaCom : public QObject {
    Q_OBJECT
public:
    enum class Apertura { Fatta, NonEsiste, InUso, AccessoNegato, GiaAperta, NonSeriale, Altro };
    enum class Parametro { Nessuno, Velocita, DatiBit, Parita, Stop, Flusso, Tutti };
    // What became of the parameters put on an open line.
    struct Esito {
        Parametro rifiutato = Parametro::Nessuno; // refused by the driver (`motivo` says why)
        QList<Parametro> ignorati;                // taken without a word, yet left as they were
    };

    using QObject::QObject;
    ~LineaCom() override = default;

    virtual Apertura apri(const QString &dispositivo) = 0;
    virtual void chiudi() = 0;
    virtual bool aperta() const = 0;
    virtual bool scrivi(const QByteArray &byte) = 0;
    // Everything that arrived since the last call.
    virtual QByteArray leggi() = 0;
    virtual Esito applica(const ParametriLinea &parametri) = 0;
    // The system's words for the last failure.
    QString motivo() const { return motivo_; }

signals:
    // Bytes are waiting, or something else happened on the line.
    void arrivati();
    // The line failed while open (the device went away); it is closed now.
    void persa(const QString &motivo);

protected:
    QString motivo_;
};

// This system's lines and what its ports can do.
namespace lineaSistema {
LineaCom *crea(QObject *parent);
// The device behind port number `numero` when nothing else is said: /dev/ttyS(n-1), COMn.
QString dispositivo(int numero);
// Whether port numbers may be pointed at other devices in the settings (where
// the system names its ports COMn, the name is the port).
bool porteConfigurabili();
bool stopUnoEMezzo();
} // namespace lineaSistema
