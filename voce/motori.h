#pragma once
#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>
#include <functional>
#include <memory>

// The speech engine as the announcements use it: Qt TextToSpeech on Linux,
// SAPI 5 on Windows; tests use a fake. Made, used and destroyed on one thread.
class MotoreVoce {
public:
    struct Voce {
        QString nome;
        QString lingua; // "it_IT"
    };
    virtual ~MotoreVoce() = default;
    // Empty while the engine works; otherwise what is wrong, for the operator.
    virtual QString problema() const = 0;
    // Italian voices first, then those of the engine's own language.
    virtual QList<Voce> voci() = 0;
    // An empty voice is the engine's default Italian one; rate -1..1, volume 0..1.
    virtual void imposta(const QString &voce, double velocita, double volume) = 0;
    virtual void pronuncia(const QString &testo) = 0;

    // Set by the user of the engine, called from the engine's thread.
    std::function<void()> iniziato; // the voice is heard
    std::function<void()> finito;   // done, or given up
    std::function<void(const QString &)> guasto;
};

// Luce: each second and light of a race start; Via: lights out and the restart after a track call.
enum class Tono { Giro, Ignorato, Luce, Via };
Q_DECLARE_METATYPE(Tono)

// The sound output of the lap tones: Qt Multimedia on Linux, waveOut on Windows.
class MotoreToni {
public:
    virtual ~MotoreToni() = default;
    virtual QString problema() const = 0;
    // Returns at once: the system plays the tone. A tone asked for while the same
    // one still sounds is heard as one with it; the other tone follows it.
    virtual void suona(Tono tono) = 0;
};

// The two engines of this build; a Linux build without Qt TextToSpeech or Qt
// Multimedia has stand-ins whose problema() says the system has none.
std::unique_ptr<MotoreVoce> creaMotoreVoce();
std::unique_ptr<MotoreToni> creaMotoreToni();

namespace toni {
inline constexpr int campionamento = 22050;
// The tone as signed 16-bit mono samples at `campionamento`: a short high beep
// for a lap, a longer low one for an ignored crossing, faded in and out so it
// does not click.
QByteArray campioni(Tono tono);
} // namespace toni
