#include "serial/win32/portawin32.h"
#include "serial/portasistema.h"

#include <QMutexLocker>

#include <windows.h>

namespace {

HANDLE h(void *p) { return static_cast<HANDLE>(p); }

// How long one read waits for the first byte. Windows returns at the first byte;
// a layer that ignores that rule returns after this time, so it bounds the delay.
constexpr DWORD attesaLetturaMs = 2;

} // namespace

QString descriviErroreWin32(unsigned long codice)
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

PortaWin32::PortaWin32(QObject *parent) : PortaReale(parent)
{
    // The reader's news reaches the port's own thread as queued events.
    connect(this, &PortaWin32::arrivati, this, &PortaSeriale::onComm, Qt::QueuedConnection);
    connect(this, &PortaWin32::guasto, this, &PortaWin32::lineaGuasta, Qt::QueuedConnection);
}

PortaWin32::~PortaWin32() { chiudi(); }

QString PortaWin32::dispositivo() const { return QStringLiteral("COM%1").arg(commPort()); }

bool PortaWin32::setPortOpen(bool aperta)
{
    if (!aperta) {
        if (maniglia_) {
            chiudi();
            emit apertaCambiata(false);
        }
        return riuscito();
    }
    if (maniglia_) return rifiuta(QStringLiteral("La porta %1 è già aperta.").arg(nomePorta()));

    const QString percorso = dispositivo();
    const std::wstring nome = (QStringLiteral("\\\\.\\") + percorso).toStdWString();
    HANDLE porta = CreateFileW(nome.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (porta == INVALID_HANDLE_VALUE) {
        const DWORD e = GetLastError();
        const QString chi = QStringLiteral("%1 (%2)").arg(nomePorta(), percorso);
        if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND)
            return rifiuta(QStringLiteral("La porta %1 non esiste.").arg(chi));
        if (e == ERROR_ACCESS_DENIED || e == ERROR_SHARING_VIOLATION)
            return rifiuta(QStringLiteral("La porta %1 è già in uso da un altro programma.").arg(chi));
        return rifiuta(QStringLiteral("Impossibile aprire la porta %1: %2").arg(chi, descriviErroreWin32(e)));
    }
    maniglia_ = porta;
    if (!applica(impostazioni_, handshaking())) {
        const QString motivo = descrizioneErrore();
        CloseHandle(porta);
        maniglia_ = nullptr;
        return rifiuta(QStringLiteral("Porta %1 (%2) non aperta: impostazioni %3 non applicabili. %4")
                           .arg(nomePorta(), percorso, impostazioni_.testo(), motivo));
    }
    // A read returns what has arrived, or waits a moment for the first byte.
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = MAXDWORD;
    t.ReadTotalTimeoutMultiplier = MAXDWORD;
    t.ReadTotalTimeoutConstant = attesaLetturaMs;
    t.WriteTotalTimeoutConstant = 500;
    SetCommTimeouts(porta, &t);
    PurgeComm(porta, PURGE_RXCLEAR | PURGE_TXCLEAR);
    {
        QMutexLocker l(&mutex_);
        ricevuti_.clear();
    }
    fermare_ = false;
    lettore_ = std::thread([this] { leggiFinoAChiusura(); });
    emit apertaCambiata(true);
    return riuscito();
}

void PortaWin32::leggiFinoAChiusura()
{
    char buffer[256];
    while (!fermare_) {
        DWORD letti = 0;
        if (!ReadFile(h(maniglia_), buffer, sizeof buffer, &letti, nullptr)) {
            const DWORD e = GetLastError();
            if (fermare_) return;
            emit guasto(e);
            return;
        }
        if (letti == 0) continue;
        {
            QMutexLocker l(&mutex_);
            ricevuti_.append(buffer, int(letti));
        }
        emit arrivati();
    }
}

void PortaWin32::chiudi()
{
    if (!maniglia_) return;
    fermare_ = true;
    // Ends a read that is waiting, on the systems that wait for long.
    CancelIoEx(h(maniglia_), nullptr);
    if (lettore_.joinable()) lettore_.join();
    CloseHandle(h(maniglia_));
    maniglia_ = nullptr;
}

void PortaWin32::lineaGuasta(unsigned long codice)
{
    if (!maniglia_) return;
    const QString descrizione = QStringLiteral("La porta %1 non è più disponibile (%2): "
                                               "il dispositivo di cronometraggio è scollegato.")
                                    .arg(nomePorta(), descriviErroreWin32(codice));
    chiudi();
    rifiuta(descrizione);
    emit apertaCambiata(false);
    emit lineaPersa(descrizione);
}

bool PortaWin32::output(const QString &testo)
{
    if (!maniglia_) return rifiuta(QStringLiteral("La porta %1 è chiusa.").arg(nomePorta()));
    const QByteArray byte = testo.toLatin1();
    DWORD scritti = 0;
    if (!WriteFile(h(maniglia_), byte.constData(), DWORD(byte.size()), &scritti, nullptr) || scritti != DWORD(byte.size()))
        return rifiuta(QStringLiteral("Scrittura sulla porta %1 non riuscita: %2")
                           .arg(nomePorta(), descriviErroreWin32(GetLastError())));
    return riuscito();
}

QString PortaWin32::input()
{
    QMutexLocker l(&mutex_);
    const QString r = QString::fromLatin1(ricevuti_);
    ricevuti_.clear();
    return r;
}

bool PortaWin32::applica(const ImpostazioniSerie &imp, int flusso)
{
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(h(maniglia_), &dcb))
        return rifiuta(QStringLiteral("La porta %1 non risponde (%2).").arg(nomePorta(), descriviErroreWin32(GetLastError())));
    dcb.BaudRate = DWORD(imp.velocita);
    dcb.ByteSize = BYTE(imp.datiBit);
    dcb.fBinary = TRUE;
    dcb.fParity = imp.parita != u'n';
    dcb.Parity = imp.parita == u'e' ? EVENPARITY
                 : imp.parita == u'o' ? ODDPARITY
                 : imp.parita == u'm' ? MARKPARITY
                 : imp.parita == u's' ? SPACEPARITY
                                      : NOPARITY;
    dcb.StopBits = imp.stopBit == u"2" ? TWOSTOPBITS : imp.stopBit == u"1.5" ? ONE5STOPBITS : ONESTOPBIT;
    const bool xon = flusso == 1 || flusso == 3;
    const bool rts = flusso >= 2;
    dcb.fOutX = xon;
    dcb.fInX = xon;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.XonLim = 2048;
    dcb.XoffLim = 512;
    dcb.fOutxCtsFlow = rts;
    dcb.fRtsControl = rts ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fAbortOnError = FALSE;
    if (!SetCommState(h(maniglia_), &dcb))
        return rifiuta(QStringLiteral("La porta %1 non accetta le impostazioni %2 (%3).")
                           .arg(nomePorta(), imp.testo(), descriviErroreWin32(GetLastError())));
    // What the driver really took: some keep their old value of what they cannot do.
    DCB letto{};
    letto.DCBlength = sizeof letto;
    if (GetCommState(h(maniglia_), &letto)) {
        QStringList ignorate;
        if (letto.BaudRate != dcb.BaudRate) ignorate << QStringLiteral("la velocità %1").arg(imp.velocita);
        if (letto.ByteSize != dcb.ByteSize) ignorate << QStringLiteral("%1 bit di dati").arg(imp.datiBit);
        if (letto.Parity != dcb.Parity) ignorate << QStringLiteral("la parità \"%1\"").arg(imp.parita);
        if (letto.StopBits != dcb.StopBits) ignorate << QStringLiteral("%1 bit di stop").arg(imp.stopBit);
        if (!ignorate.isEmpty())
            return rifiuta(QStringLiteral("Il dispositivo %1 non applica %2.").arg(dispositivo(), ignorate.join(QStringLiteral(", "))));
    }
    return riuscito();
}

// Windows names its ports COMn: the settings store has nothing to add.
PortaSeriale *creaPortaSistema(ImpostazioniPorta &, QObject *parent) { return new PortaWin32(parent); }
