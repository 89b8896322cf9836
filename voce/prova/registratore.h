#pragma once
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QThread>
#include <QVector>
#include <memory>

class Orologio;
class QAudioSource;

// Records an audio input (a null sink's monitor) on a thread of its own, mono
// 16-bit at the tones' rate, and ties every sample to the program's clock: the
// reading that came soonest after its samples tells when they were played.
class Registratore : public QObject {
    Q_OBJECT
public:
    Registratore(Orologio &orologio, const QByteArray &dispositivo);
    ~Registratore() override;

    // Waits until the input runs; false (and problema()) when it cannot.
    bool avvia();
    void ferma();
    QString problema() const { return problema_; }

    const QVector<qint16> &campioni() const { return campioni_; }
    // Clock time at which sample `n` was played into the sink.
    double istante(qint64 n) const;
    // Writes what was recorded as a WAV file.
    bool salva(const QString &percorso) const;

private:
    void leggi();

    Orologio &orologio_;
    QByteArray dispositivo_;
    QThread thread_;
    QObject *ricevitore_;
    std::unique_ptr<QAudioSource> ingresso_;
    QIODevice *flusso_ = nullptr;
    QVector<qint16> campioni_;
    struct Lettura {
        qint64 campioni; // recorded up to this reading
        double ora;
    };
    QVector<Lettura> letture_;
    QString problema_;
};

namespace rivelatore {
// Where a known tone begins in a recording: each sample where `frequenza`,
// measured over 10 ms, rose to half the tone's own level and stayed there for
// most of the tone's length. `modello` is the tone as it was played.
QVector<qint64> inizi(const QVector<qint16> &registrazione, const QByteArray &modello, double frequenza);
} // namespace rivelatore
