// Tones through the Windows audio API (waveOut): the default output opened
// once when the engine is made, each tone a buffer prepared then and queued
// the moment it is asked for.
#include "voce/motori.h"

#include <windows.h>
#include <mmsystem.h>

namespace {

QString testoErrore(MMRESULT r)
{
    WCHAR testo[MAXERRORLENGTH] = {};
    if (waveOutGetErrorTextW(r, testo, MAXERRORLENGTH) != MMSYSERR_NOERROR) return QStringLiteral("errore %1").arg(r);
    return QString::fromWCharArray(testo);
}

class ToniWaveOut : public MotoreToni {
public:
    ToniWaveOut()
    {
        WAVEFORMATEX formato = {};
        formato.wFormatTag = WAVE_FORMAT_PCM;
        formato.nChannels = 1;
        formato.nSamplesPerSec = toni::campionamento;
        formato.wBitsPerSample = 16;
        formato.nBlockAlign = 2;
        formato.nAvgBytesPerSec = toni::campionamento * 2;
        const MMRESULT r = waveOutOpen(&uscita_, WAVE_MAPPER, &formato, 0, 0, CALLBACK_NULL);
        if (r != MMSYSERR_NOERROR) {
            uscita_ = nullptr;
            problema_ = r == MMSYSERR_BADDEVICEID || r == MMSYSERR_NODRIVER
                ? QStringLiteral("nessuna uscita audio")
                : QStringLiteral("l'uscita audio non si apre: %1").arg(testoErrore(r));
            return;
        }
        for (Tono t : {Tono::Giro, Tono::Ignorato, Tono::Luce, Tono::Via}) {
            const int i = int(t);
            campioni_[i] = toni::campioni(t);
            buffer_[i].lpData = campioni_[i].data();
            buffer_[i].dwBufferLength = DWORD(campioni_[i].size());
            waveOutPrepareHeader(uscita_, &buffer_[i], sizeof(WAVEHDR));
        }
    }

    ~ToniWaveOut() override
    {
        if (!uscita_) return;
        waveOutReset(uscita_);
        for (WAVEHDR &b : buffer_) waveOutUnprepareHeader(uscita_, &b, sizeof(WAVEHDR));
        waveOutClose(uscita_);
    }

    QString problema() const override { return problema_; }

    void suona(Tono tono) override
    {
        if (!uscita_ || !problema_.isEmpty()) return;
        WAVEHDR &b = buffer_[int(tono)];
        // Crossings that come while their tone still sounds are heard as one; the other tone follows it.
        if (b.dwFlags & WHDR_INQUEUE) return;
        const MMRESULT r = waveOutWrite(uscita_, &b, sizeof(WAVEHDR));
        if (r != MMSYSERR_NOERROR) problema_ = QStringLiteral("l'uscita audio non accetta più suoni: %1").arg(testoErrore(r));
    }

private:
    HWAVEOUT uscita_ = nullptr;
    QByteArray campioni_[4];
    WAVEHDR buffer_[4] = {};
    QString problema_;
};
} // namespace

std::unique_ptr<MotoreToni> creaMotoreToni() { return std::make_unique<ToniWaveOut>(); }
