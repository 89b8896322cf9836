// Tones through Qt Multimedia's audio output: one stream, opened when the
// engine is made and kept for its life, each tone written to it whole the
// moment it is asked for. Starting the output afresh for every tone made Qt
// 6.4 ask PulseAudio for a smaller buffer each time, until a tone no longer
// filled the prebuffer and stayed silent.
#include "voce/motori.h"

#include <QAudioSink>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <algorithm>

namespace {
class ToniQt : public MotoreToni {
public:
    ToniQt()
    {
        QAudioFormat formato;
        formato.setSampleRate(toni::campionamento);
        formato.setChannelCount(1);
        formato.setSampleFormat(QAudioFormat::Int16);
        const QAudioDevice uscita = QMediaDevices::defaultAudioOutput();
        if (uscita.isNull()) {
            problema_ = QStringLiteral("nessuna uscita audio");
            return;
        }
        if (!uscita.isFormatSupported(formato)) {
            problema_ = QStringLiteral("l'uscita audio \"%1\" non accetta i toni").arg(uscita.description());
            return;
        }
        uscita_ = std::make_unique<QAudioSink>(uscita, formato);
        // Asks the server for a short buffer, so that a tone is never held back behind a long prebuffer.
        uscita_->setBufferSize(formato.bytesForDuration(40000));
        flusso_ = uscita_->start();
        if (!flusso_ || uscita_->error() == QAudio::OpenError || uscita_->error() == QAudio::FatalError) {
            problema_ = QStringLiteral("l'uscita audio non si apre");
            flusso_ = nullptr;
            return;
        }
        // A stream that ran dry plays again once it holds its prebuffer, at most its buffer:
        // a tone shorter than that gets silence after it.
        for (Tono t : {Tono::Giro, Tono::Ignorato, Tono::Luce, Tono::Via}) {
            QByteArray &c = campioni_[int(t)];
            c = toni::campioni(t);
            durata_[int(t)] = formato.durationForBytes(c.size()) / 1000;
            if (c.size() < uscita_->bufferSize()) c.append(QByteArray(uscita_->bufferSize() - c.size(), '\0'));
        }
        orologio_.start();
    }

    QString problema() const override { return problema_; }

    void suona(Tono tono) override
    {
        if (!flusso_) return;
        const int i = int(tono);
        const qint64 ora = orologio_.elapsed();
        // Crossings that come while their tone still sounds are heard as one; the other tone follows it.
        if (i == ultimo_ && ora < fine_) return;
        if (flusso_->write(campioni_[i]) < campioni_[i].size()
            || uscita_->error() == QAudio::FatalError || uscita_->error() == QAudio::IOError) {
            problema_ = QStringLiteral("l'uscita audio non accetta più suoni");
            flusso_ = nullptr;
            return;
        }
        fine_ = std::max(ora, fine_) + durata_[i];
        ultimo_ = i;
    }

private:
    QString problema_;
    std::unique_ptr<QAudioSink> uscita_;
    QIODevice *flusso_ = nullptr;
    QByteArray campioni_[4];
    qint64 durata_[4] = {};
    QElapsedTimer orologio_;
    qint64 fine_ = 0; // when what was written stops sounding, ms of orologio_
    int ultimo_ = -1;
};
} // namespace

std::unique_ptr<MotoreToni> creaMotoreToni() { return std::make_unique<ToniQt>(); }
