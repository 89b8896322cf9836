#pragma once
#include <QByteArray>
#include <QString>
#include <QVector>
#include <memory>

class Orologio;

// Records the default audio input (in the checks, a null sink's monitor), mono
// 16-bit at the tones' rate, and ties every sample to the program's clock: the
// reading that came soonest after its samples tells when they were played.
// The system's part (Qt Multimedia, or waveIn on Windows) is chosen by CMake.
class Registratore {
public:
    explicit Registratore(Orologio &orologio);
    ~Registratore();

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
    struct Ingresso;
    // Each block as it arrives, from the input's own thread.
    void ricevi(const char *dati, qsizetype byte);

    Orologio &orologio_;
    std::unique_ptr<Ingresso> ingresso_;
    QVector<qint16> campioni_;
    struct Lettura {
        qint64 campioni; // recorded up to this reading
        double ora;
    };
    QVector<Lettura> letture_;
    QString problema_;
};
