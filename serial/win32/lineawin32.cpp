// The serial line on Windows over plain Win32 calls. The overlapped waits a
// generic serial class relies on are not completed by every Windows layer
// (Wine's among them), so nothing here uses them: a reader of its own waits on
// the line with plain reads and hands what arrives to the line's thread at once.
#include "serial/lineacom.h"

#include <QMutex>
#include <QMutexLocker>

#include <atomic>
#include <string>
#include <thread>
#include <utility>
#include <windows.h>

namespace {

// How long one read waits for the first byte. Windows returns at the first byte;
// a layer that ignores that rule returns after this time, so it bounds the delay.
constexpr DWORD attesaLetturaMs = 2;

// A Win32 error code as Italian text.
QString testoErrore(DWORD codice)
{
    wchar_t *testo = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                       | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, codice, MAKELANGID(LANG_ITALIAN, SUBLANG_ITALIAN),
                                   reinterpret_cast<wchar_t *>(&testo), 0, nullptr);
    QString r = n ? QString::fromWCharArray(testo, int(n)).trimmed() : QString();
    if (testo) LocalFree(testo);
    if (r.isEmpty()) r = QStringLiteral("errore di sistema %1").arg(codice);
    return r;
}

class LineaWin32 : public LineaCom {
    Q_OBJECT
public:
    explicit LineaWin32(QObject *parent) : LineaCom(parent)
    {
        // The reader's news reaches the line's own thread as queued events.
        connect(this, &LineaWin32::letti, this, &LineaCom::arrivati, Qt::QueuedConnection);
        connect(this, &LineaWin32::guasto, this, &LineaWin32::guastoLinea, Qt::QueuedConnection);
    }
    ~LineaWin32() override { chiudi(); }

    Apertura apri(const QString &dispositivo) override
    {
        if (maniglia_ != INVALID_HANDLE_VALUE) return Apertura::GiaAperta;
        const std::wstring nome = (QStringLiteral("\\\\.\\") + dispositivo).toStdWString();
        HANDLE h = CreateFileW(nome.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD e = GetLastError();
            motivo_ = testoErrore(e);
            if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) return Apertura::NonEsiste;
            if (e == ERROR_ACCESS_DENIED || e == ERROR_SHARING_VIOLATION) return Apertura::InUso;
            return Apertura::Altro;
        }
        maniglia_ = h;
        // A read returns what has arrived, or waits a moment for the first byte.
        COMMTIMEOUTS t{};
        t.ReadIntervalTimeout = MAXDWORD;
        t.ReadTotalTimeoutMultiplier = MAXDWORD;
        t.ReadTotalTimeoutConstant = attesaLetturaMs;
        t.WriteTotalTimeoutConstant = 500;
        SetCommTimeouts(h, &t);
        PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR);
        {
            QMutexLocker l(&mutex_);
            ricevuti_.clear();
        }
        fermare_ = false;
        lettore_ = std::thread([this] { leggiFinoAChiusura(); });
        return Apertura::Fatta;
    }

    void chiudi() override
    {
        if (maniglia_ == INVALID_HANDLE_VALUE) return;
        fermare_ = true;
        // Ends a read that is waiting, on the systems that wait for long.
        CancelIoEx(maniglia_, nullptr);
        if (lettore_.joinable()) lettore_.join();
        CloseHandle(maniglia_);
        maniglia_ = INVALID_HANDLE_VALUE;
    }

    bool aperta() const override { return maniglia_ != INVALID_HANDLE_VALUE; }

    bool scrivi(const QByteArray &byte) override
    {
        DWORD scritti = 0;
        if (WriteFile(maniglia_, byte.constData(), DWORD(byte.size()), &scritti, nullptr) && scritti == DWORD(byte.size()))
            return true;
        motivo_ = testoErrore(GetLastError());
        return false;
    }

    QByteArray leggi() override
    {
        QMutexLocker l(&mutex_);
        return std::exchange(ricevuti_, {});
    }

    Esito applica(const ParametriLinea &p) override
    {
        Esito esito;
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (!GetCommState(maniglia_, &dcb)) {
            motivo_ = testoErrore(GetLastError());
            esito.rifiutato = Parametro::Tutti;
            return esito;
        }
        dcb.BaudRate = DWORD(p.velocita);
        dcb.ByteSize = BYTE(p.datiBit);
        dcb.fBinary = TRUE;
        dcb.fParity = p.parita != ParametriLinea::Parita::Nessuna;
        dcb.Parity = p.parita == ParametriLinea::Parita::Pari      ? EVENPARITY
                     : p.parita == ParametriLinea::Parita::Dispari ? ODDPARITY
                     : p.parita == ParametriLinea::Parita::Mark    ? MARKPARITY
                     : p.parita == ParametriLinea::Parita::Space   ? SPACEPARITY
                                                                    : NOPARITY;
        dcb.StopBits = p.stop == ParametriLinea::Stop::Due         ? TWOSTOPBITS
                       : p.stop == ParametriLinea::Stop::UnoEMezzo ? ONE5STOPBITS
                                                                    : ONESTOPBIT;
        dcb.fOutX = p.xonXoff;
        dcb.fInX = p.xonXoff;
        dcb.XonChar = 0x11;
        dcb.XoffChar = 0x13;
        dcb.XonLim = 2048;
        dcb.XoffLim = 512;
        dcb.fOutxCtsFlow = p.rtsCts;
        dcb.fRtsControl = p.rtsCts ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
        dcb.fOutxDsrFlow = FALSE;
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
        dcb.fDsrSensitivity = FALSE;
        dcb.fAbortOnError = FALSE;
        if (!SetCommState(maniglia_, &dcb)) {
            motivo_ = testoErrore(GetLastError());
            esito.rifiutato = Parametro::Tutti;
            return esito;
        }
        // What the driver really took: some keep their old value of what they cannot do.
        DCB letto{};
        letto.DCBlength = sizeof letto;
        if (GetCommState(maniglia_, &letto)) {
            if (letto.BaudRate != dcb.BaudRate) esito.ignorati << Parametro::Velocita;
            if (letto.ByteSize != dcb.ByteSize) esito.ignorati << Parametro::DatiBit;
            if (letto.Parity != dcb.Parity) esito.ignorati << Parametro::Parita;
            if (letto.StopBits != dcb.StopBits) esito.ignorati << Parametro::Stop;
        }
        return esito;
    }

signals:
    // From the reader: bytes arrived, or the line failed with this Win32 error.
    void letti();
    void guasto(unsigned long codice);

private:
    void leggiFinoAChiusura()
    {
        char buffer[256];
        while (!fermare_) {
            DWORD n = 0;
            if (!ReadFile(maniglia_, buffer, sizeof buffer, &n, nullptr)) {
                const DWORD e = GetLastError();
                if (!fermare_) emit guasto(e);
                return;
            }
            if (n == 0) continue;
            {
                QMutexLocker l(&mutex_);
                ricevuti_.append(buffer, int(n));
            }
            emit letti();
        }
    }

    void guastoLinea(unsigned long codice)
    {
        if (maniglia_ == INVALID_HANDLE_VALUE) return;
        chiudi();
        emit persa(testoErrore(codice));
    }

    HANDLE maniglia_ = INVALID_HANDLE_VALUE;
    std::thread lettore_;
    std::atomic<bool> fermare_{false};
    QMutex mutex_;
    QByteArray ricevuti_; // guarded by mutex_
};

} // namespace

namespace lineaSistema {
LineaCom *crea(QObject *parent) { return new LineaWin32(parent); }
QString dispositivo(int numero) { return QStringLiteral("COM%1").arg(numero); }
// Windows names its ports COMn: the settings have nothing to add.
bool porteConfigurabili() { return false; }
bool stopUnoEMezzo() { return true; }
} // namespace lineaSistema

#include "lineawin32.moc"
