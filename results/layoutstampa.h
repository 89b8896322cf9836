#pragma once
#include <QString>
#include <QVector>
#include <optional>

// One text of the printed report: its top-left corner in centimetres from the
// top-left corner of the printable area, its font and its page (0-based).
struct VoceStampa {
    double x = 0;
    double y = 0;
    double punti = 10;
    bool grassetto = false;
    int pagina = 0;
    QString testo;
};

// The rows the report reads; an empty optional is a Null field.
struct GiroMigliore {
    std::optional<QString> pilota;
    std::optional<qint64> giro;
    std::optional<QString> tempo;
};

struct RigaClassifica {
    std::optional<QString> pilota;
    std::optional<qint64> giri;
    std::optional<QString> tempoTotale;
};

struct RigaSunto {
    std::optional<QString> pilota;
    std::optional<QString> tempo;
};

struct DatiStampa {
    std::optional<GiroMigliore> migliore; // absent when no lap is stored
    QVector<RigaClassifica> classifica;
    QVector<RigaSunto> sunto;
};

// Lays out the session report as a sequence of texts; it draws nothing.
class LayoutStampa {
public:
    // `altezzaPagina`: the height of the printable area in centimetres. Only a
    // standings list too long for it breaks because of it, and a footer that
    // would fall off it is raised; the lap times break at the fixed limit below.
    static QVector<VoceStampa> componi(const DatiStampa &dati, double altezzaPagina);

    // The line position above which the lap times break the page, in centimetres.
    static constexpr double limitePagina = 23.0;
    static QString lineaCrediti();
    static QString titolo();
    static QString regola(int trattini) { return QString(trattini, QLatin1Char('-')); }
    // A number prints with one blank where its sign would stand.
    static QString numero(qint64 n);
};
