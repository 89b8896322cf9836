#pragma once
#include "serial/portareale.h"

#include <QByteArray>
#include <QMutex>
#include <atomic>
#include <thread>

// The real port on Windows over plain Win32 calls. A reader of its own waits on
// the line with short read time-outs and hands what arrives to the port's thread
// at once, so a reply is stamped within a millisecond or two of its arrival. The
// overlapped waits a generic serial class relies on are not completed by every
// Windows layer (Wine's among them), so nothing here uses them.
class PortaWin32 : public PortaReale {
    Q_OBJECT
public:
    explicit PortaWin32(QObject *parent = nullptr);
    ~PortaWin32() override;

    bool portOpen() const override { return maniglia_ != nullptr; }
    bool setPortOpen(bool aperta) override;
    bool output(const QString &testo) override;
    QString input() override;

    QString dispositivo() const;

signals:
    // From the reader: bytes arrived, or the line failed with this Win32 error.
    void arrivati();
    void guasto(unsigned long codice);

protected:
    QString nonSupportato(const ImpostazioniSerie &, int) const override { return {}; }
    bool applica(const ImpostazioniSerie &imp, int flusso) override;

private:
    void chiudi();
    void leggiFinoAChiusura();
    void lineaGuasta(unsigned long codice);
    void *maniglia_ = nullptr; // HANDLE, kept opaque so no window code sees <windows.h>
    std::thread lettore_;
    std::atomic<bool> fermare_{false};
    QMutex mutex_;
    QByteArray ricevuti_;      // guarded by mutex_
};

// A Win32 error code as Italian text, for the port's refusals.
QString descriviErroreWin32(unsigned long codice);
