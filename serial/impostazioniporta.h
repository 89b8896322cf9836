#pragma once
#include <QString>
#include <memory>

class QSettings;

// The per-user settings store of the program: organization "SaettinoPro",
// application the program's title. Values are texts; a missing key reads as "".
class ImpostazioniPorta {
public:
    // The user's own store.
    ImpostazioniPorta();
    // A store kept in the given INI file (tests, tools).
    explicit ImpostazioniPorta(const QString &fileIni);
    ~ImpostazioniPorta();

    QString leggi(const QString &sezione, const QString &chiave) const;
    // Written through at once, so another process sees it.
    void scrivi(const QString &sezione, const QString &chiave, const QString &valore);
    // Where the values live, for messages and the README.
    QString percorso() const;
    // Another store on the same values, for another thread (one store object is not shared).
    std::unique_ptr<ImpostazioniPorta> copia() const;

private:
    std::unique_ptr<QSettings> store_;
    QString fileIni_;
};

// Section and keys of the port settings.
namespace chiaviPorta {
inline constexpr char sezione[] = "Properties";
inline constexpr char settings[] = "Settings";
inline constexpr char commPort[] = "CommPort";
inline constexpr char handshaking[] = "Handshaking";
// Section naming the device behind each port number where the system has no COM names.
inline constexpr char sezionePorte[] = "Porte";
} // namespace chiaviPorta
