#pragma once
#include "results/layoutstampa.h"

#include <QString>
#include <QVector>
#include <memory>

class QPageLayout;
class QPagedPaintDevice;
class QPrinter;

// Where a laid-out report goes: a printer, a PDF file, or a recorder in tests.
class SuperficieStampa {
public:
    virtual ~SuperficieStampa() = default;
    // The height of the printable area in centimetres, for the layout.
    virtual double altezzaPagina() = 0;
    // Draws every item and ends the document; false with the reason when it cannot.
    virtual bool stampa(const QVector<VoceStampa> &voci, QString *errore) = 0;
};

// Draws the items on a printer or PDF writer in its own device units: the
// painter is never scaled to centimetres, since QFont would round the sizes.
bool disegnaVoci(QPagedPaintDevice &dispositivo, const QVector<VoceStampa> &voci,
                 QString *errore);

// The system's default printer, used at once without a dialog.
class StampantePredefinita : public SuperficieStampa {
public:
    StampantePredefinita();
    ~StampantePredefinita() override;
    double altezzaPagina() override;
    bool stampa(const QVector<VoceStampa> &voci, QString *errore) override;

private:
    std::unique_ptr<QPrinter> printer_; // none without a default printer
};

// A PDF file on A4 paper with 0.5 cm margins, the room a footer may need.
class FilePdf : public SuperficieStampa {
public:
    explicit FilePdf(QString percorso) : percorso_(std::move(percorso)) {}
    double altezzaPagina() override;
    bool stampa(const QVector<VoceStampa> &voci, QString *errore) override;
    static constexpr double margineMm = 5.0;
    static QPageLayout pagina();

private:
    QString percorso_;
};

// What the system offers for printing.
class Stampanti {
public:
    virtual ~Stampanti() = default;
    virtual bool disponibile() = 0;
    virtual std::unique_ptr<SuperficieStampa> predefinita() = 0;
    virtual std::unique_ptr<SuperficieStampa> pdf(const QString &percorso) = 0;
};

class StampantiSistema : public Stampanti {
public:
    bool disponibile() override;
    std::unique_ptr<SuperficieStampa> predefinita() override;
    std::unique_ptr<SuperficieStampa> pdf(const QString &percorso) override;
};
