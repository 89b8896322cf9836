#include "console.h"

#include <QMetaObject>

#include <atomic>
#include <io.h>
#include <iostream>
#include <string>
#include <thread>
#include <windows.h>

namespace {
std::atomic<Console *> attuale{nullptr};

BOOL WINAPI controllo(DWORD)
{
    if (Console *c = attuale) QMetaObject::invokeMethod(c, &Console::fineRichiesta, Qt::QueuedConnection);
    return TRUE;
}
} // namespace

struct Console::Dati {};

// Standard input cannot be watched by the event loop here: a reader of its own
// hands each line over. It is left blocked in its read at exit, as nothing else
// can end it.
Console::Console(QObject *parent) : QObject(parent), d_(new Dati)
{
    attuale = this;
    SetConsoleCtrlHandler(controllo, TRUE);
    std::thread([] {
        std::string testo;
        while (std::getline(std::cin, testo)) {
            const QString r = QString::fromLocal8Bit(testo.c_str());
            Console *c = attuale;
            if (!c) return;
            QMetaObject::invokeMethod(c, [c, r] { emit c->riga(r); }, Qt::QueuedConnection);
        }
    }).detach();
}

Console::~Console()
{
    attuale = nullptr;
    SetConsoleCtrlHandler(controllo, FALSE);
    delete d_;
}

bool Console::interattiva() { return _isatty(_fileno(stdin)); }
