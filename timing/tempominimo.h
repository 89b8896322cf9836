#pragma once
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class Impostazioni;
class Messaggi;
class QWidget;
class RilevaGo;

// "Tempo minimo sul giro...": the shortest lap the track allows. A mark that
// comes this soon or sooner after the lane's last accepted one is dropped, as
// the one-second lock-out drops it by default. Kept in the per-user settings;
// the timing window's title shows it while it is not the default.
class TempoMinimoGiro : public QObject {
    Q_OBJECT
public:
    static constexpr double predefinito = 1.0, minimo = 0.2, massimo = 600.0;
    static constexpr char sezione[] = "Cronometraggio";
    static constexpr char chiave[] = "TempoMinimoGiro";
    // Asks the operator for a value, starting from the current one; nothing when cancelled.
    using Chiedi = std::function<std::optional<double>(double attuale)>;

    // Applies the stored value to the window's session (a bad one reads as the
    // default, and the operator is told) and answers the window's menu entry.
    TempoMinimoGiro(Impostazioni &store, Messaggi &messaggi, RilevaGo &finestra, Chiedi chiedi = {});

    double valore() const { return valore_; }
    // The menu entry: asks, then applies and stores the answer.
    void menuTempoMinimo();
    // Applies `secondi` to every lane, stores it and shows it.
    void imposta(double secondi);

    // A value as typed or stored: "1,5" or "1.5", up to three decimals, within the limits.
    static std::optional<double> interpreta(const QString &testo);
    // Seconds as the operator reads them: "1,5", "0,25", "600".
    static QString testo(double secondi);
    // The dialog of the menu entry.
    static std::optional<double> chiediConDialogo(QWidget *genitore, double attuale);

private:
    void mostra();

    Impostazioni &store_;
    RilevaGo &finestra_;
    Chiedi chiedi_;
    QString titolo_;
    double valore_ = predefinito;
};
