// The recorder's input through waveIn, read on a thread of its own.
#include "registratore.h"

#include "voce/motori.h"

#include <array>
#include <atomic>
#include <thread>

#include <windows.h>
#include <mmsystem.h>

struct Registratore::Ingresso {
    HWAVEIN h = nullptr;
    HANDLE pronto = nullptr; // set by waveIn when a buffer is full
    // 10 ms each: a reading comes within one of its samples.
    std::array<WAVEHDR, 32> buffer = {};
    std::array<std::array<char, toni::campionamento / 100 * 2>, 32> dati = {};
    std::thread lettore;
    std::atomic<bool> fine{false};
};

Registratore::Registratore(Orologio &orologio) : orologio_(orologio), ingresso_(std::make_unique<Ingresso>()) {}

Registratore::~Registratore() { ferma(); }

bool Registratore::avvia()
{
    Ingresso &i = *ingresso_;
    i.pronto = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    WAVEFORMATEX formato = {};
    formato.wFormatTag = WAVE_FORMAT_PCM;
    formato.nChannels = 1;
    formato.nSamplesPerSec = toni::campionamento;
    formato.wBitsPerSample = 16;
    formato.nBlockAlign = 2;
    formato.nAvgBytesPerSec = toni::campionamento * 2;
    const MMRESULT r = waveInOpen(&i.h, WAVE_MAPPER, &formato, DWORD_PTR(i.pronto), 0, CALLBACK_EVENT);
    if (r != MMSYSERR_NOERROR) {
        i.h = nullptr;
        problema_ = QStringLiteral("l'ingresso audio non si apre (errore %1)").arg(r);
        return false;
    }
    for (size_t k = 0; k < i.buffer.size(); ++k) {
        i.buffer[k].lpData = i.dati[k].data();
        i.buffer[k].dwBufferLength = DWORD(i.dati[k].size());
        waveInPrepareHeader(i.h, &i.buffer[k], sizeof(WAVEHDR));
        waveInAddBuffer(i.h, &i.buffer[k], sizeof(WAVEHDR));
    }
    // Buffers come back full in the order they were given.
    i.lettore = std::thread([this, &i] {
        size_t k = 0;
        while (true) {
            WaitForSingleObject(i.pronto, 50);
            while (i.buffer[k].dwFlags & WHDR_DONE) {
                ricevi(i.buffer[k].lpData, i.buffer[k].dwBytesRecorded);
                i.buffer[k].dwFlags &= ~WHDR_DONE;
                if (!i.fine) waveInAddBuffer(i.h, &i.buffer[k], sizeof(WAVEHDR));
                k = (k + 1) % i.buffer.size();
            }
            if (i.fine) return;
        }
    });
    waveInStart(i.h);
    return true;
}

void Registratore::ferma()
{
    Ingresso &i = *ingresso_;
    if (!i.h) return;
    i.fine = true;
    waveInStop(i.h);
    i.lettore.join();
    waveInReset(i.h);
    for (WAVEHDR &b : i.buffer) waveInUnprepareHeader(i.h, &b, sizeof(WAVEHDR));
    waveInClose(i.h);
    CloseHandle(i.pronto);
    i.h = nullptr;
}
