#include "piattaforma/segnaliuscita.h"

#include <QPointer>

#include <windows.h>

namespace {
QPointer<SegnaliUscita> istanza;
HANDLE compiuta = nullptr;

// Runs on a thread the system starts for it.
BOOL WINAPI gestore(DWORD evento)
{
    SegnaliUscita *s = istanza.data();
    if (!s) return FALSE;
    QMetaObject::invokeMethod(s, &SegnaliUscita::richiesta, Qt::QueuedConnection);
    // Ctrl+C and Ctrl+Break leave the process alone; the others end it when this returns.
    if (evento == CTRL_CLOSE_EVENT || evento == CTRL_LOGOFF_EVENT || evento == CTRL_SHUTDOWN_EVENT)
        WaitForSingleObject(compiuta, 5000);
    return TRUE;
}
} // namespace

struct SegnaliUscita::Dati {};

SegnaliUscita::SegnaliUscita(QObject *parent) : QObject(parent)
{
    istanza = this;
    if (!compiuta) compiuta = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(gestore, TRUE);
}

SegnaliUscita::~SegnaliUscita() { SetConsoleCtrlHandler(gestore, FALSE); }

void SegnaliUscita::uscitaCompiuta()
{
    if (compiuta) SetEvent(compiuta);
}
