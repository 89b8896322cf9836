#pragma once
#include <QObject>
#include <QString>
#include <memory>
#include <optional>

class QSettings;

// The program's per-user settings: organization "SaettinoPro", application the
// program's title (~/.config/SaettinoPro/Saettino Professional.conf on Linux,
// the registry on Windows), or an INI file given by name. Values are kept as
// text, so a file written by hand reads the same; the typed readers take only
// what they can use and give nothing for anything else. Every write goes to the
// store at once, so another process sees it, and is told by `cambiata`.
class Impostazioni : public QObject {
    Q_OBJECT
public:
    // The user's own store.
    explicit Impostazioni(QObject *parent = nullptr);
    // A store kept in the given INI file (tests, tools).
    explicit Impostazioni(const QString &fileIni, QObject *parent = nullptr);
    ~Impostazioni() override;

    // The value as written; "" when missing.
    QString testo(const QString &sezione, const QString &chiave) const;
    // "1" or "0".
    std::optional<bool> interruttore(const QString &sezione, const QString &chiave) const;
    // A whole number within [minimo, massimo].
    std::optional<qint64> intero(const QString &sezione, const QString &chiave, qint64 minimo, qint64 massimo) const;
    // A number with "." as decimal point within [minimo, massimo].
    std::optional<double> numero(const QString &sezione, const QString &chiave, double minimo, double massimo) const;

    void scrivi(const QString &sezione, const QString &chiave, const QString &valore);
    void scriviInterruttore(const QString &sezione, const QString &chiave, bool valore);
    void scriviIntero(const QString &sezione, const QString &chiave, qint64 valore);
    void scriviNumero(const QString &sezione, const QString &chiave, double valore);

    // Where the values live, for messages.
    QString percorso() const;
    // Another store on the same values, for another thread (one store object is not shared).
    std::unique_ptr<Impostazioni> copia() const;

signals:
    // A value was written through this store.
    void cambiata(const QString &sezione, const QString &chiave);

private:
    std::unique_ptr<QSettings> store_;
    QString fileIni_;
};
