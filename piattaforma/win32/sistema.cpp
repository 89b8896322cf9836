#include "piattaforma/sistema.h"

#include <windows.h>

namespace sistema {

bool sottoWine()
{
    // Wine's own ntdll exports its version; Windows' does not.
    static const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

void scriviSulTerminale(const QString &testo)
{
    // A window program has no console of its own. Output redirected by whoever
    // started it is already there; otherwise the console of the program that
    // started it, if any (a command prompt), is borrowed.
    HANDLE uscita = GetStdHandle(STD_OUTPUT_HANDLE);
    bool propria = false;
    if (uscita == nullptr || uscita == INVALID_HANDLE_VALUE || GetFileType(uscita) == FILE_TYPE_UNKNOWN) {
        if (!AttachConsole(ATTACH_PARENT_PROCESS)) return; // started from the menu: nowhere to write
        uscita = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
        if (uscita == INVALID_HANDLE_VALUE) return;
        propria = true;
    }
    DWORD scritti = 0, modo = 0;
    if (GetConsoleMode(uscita, &modo)) {
        // A console shows the accents whatever its code page.
        const std::wstring larga = QString(testo).replace(QLatin1Char('\n'), QLatin1String("\r\n")).toStdWString();
        WriteConsoleW(uscita, larga.c_str(), DWORD(larga.size()), &scritti, nullptr);
    } else {
        const QByteArray byte = testo.toUtf8();
        WriteFile(uscita, byte.constData(), DWORD(byte.size()), &scritti, nullptr);
    }
    if (propria) {
        CloseHandle(uscita);
        FreeConsole();
    }
}

} // namespace sistema
