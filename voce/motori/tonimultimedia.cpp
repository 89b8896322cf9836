// Tones through Qt Multimedia's audio output.
#include "voce/motori.h"

#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>

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
        for (Tono t : {Tono::Giro, Tono::Ignorato, Tono::Luce, Tono::Via}) campioni_[int(t)] = toni::campioni(t);
    }

    QString problema() const override { return problema_; }

    void suona(Tono tono) override
    {
        if (!uscita_) return;
        // A new tone cuts the one still playing: each stays as short as it was made.
        uscita_->stop();
        dati_.close();
        dati_.setData(campioni_[int(tono)]);
        dati_.open(QIODevice::ReadOnly);
        uscita_->start(&dati_);
        if (uscita_->error() == QAudio::OpenError || uscita_->error() == QAudio::FatalError)
            problema_ = QStringLiteral("l'uscita audio non si apre");
    }

private:
    QString problema_;
    std::unique_ptr<QAudioSink> uscita_;
    QByteArray campioni_[4];
    QBuffer dati_;
};
} // namespace

std::unique_ptr<MotoreToni> creaMotoreToni() { return std::make_unique<ToniQt>(); }
