#include "results/superficiestampa.h"
#include "comune/caratteri.h"
#include "comune/identita.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSet>

bool disegnaVoci(QPagedPaintDevice &dispositivo, const QVector<VoceStampa> &voci,
                 QString *errore)
{
    QPainter painter;
    if (!painter.begin(&dispositivo)) {
        if (errore) *errore = QStringLiteral("La stampa non può essere avviata.");
        return false;
    }
    const double pxCmX = dispositivo.logicalDpiX() / 2.54;
    const double pxCmY = dispositivo.logicalDpiY() / 2.54;
    int pagina = 0;
    double puntiCorrenti = -1;
    bool grassettoCorrente = false;
    double ascesa = 0;
    // The lap rule is repeated on the same spot after every lap of a row: draw it once.
    QSet<quint64> disegnate;
    for (const VoceStampa &v : voci) {
        while (pagina < v.pagina) {
            if (!dispositivo.newPage()) {
                if (errore) *errore = QStringLiteral("La stampa non può passare alla pagina successiva.");
                painter.end();
                return false;
            }
            ++pagina;
            disegnate.clear();
        }
        if (v.punti != puntiCorrenti || v.grassetto != grassettoCorrente) {
            QFont f = carattereStampa(v.punti, v.grassetto);
            // No ligatures: the printed text must read back exactly as typed.
            f.setStyleStrategy(QFont::PreferNoShaping);
            painter.setFont(f);
            ascesa = QFontMetricsF(f, &dispositivo).ascent();
            puntiCorrenti = v.punti;
            grassettoCorrente = v.grassetto;
        }
        if (v.testo.startsWith(QLatin1Char('-')) && v.testo.count(QLatin1Char('-')) == v.testo.size()) {
            // A rule is known by its place (in millimetres) and its length.
            const quint64 chiave = (quint64(qRound(v.x * 10)) << 42) | (quint64(qRound(v.y * 10)) << 21)
                | quint64(v.testo.size());
            if (disegnate.contains(chiave)) continue;
            disegnate.insert(chiave);
        }
        // The item's position is the top-left corner of its text; QPainter wants the baseline.
        painter.drawText(QPointF(v.x * pxCmX, v.y * pxCmY + ascesa), v.testo);
    }
    if (!painter.end()) {
        if (errore) *errore = QStringLiteral("La stampa non è stata completata.");
        return false;
    }
    return true;
}

StampantePredefinita::StampantePredefinita()
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    // Without a printer QPrinter silently turns into a PDF printer with no file.
    if (!info.isNull()) printer_ = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
}

StampantePredefinita::~StampantePredefinita() = default;

double StampantePredefinita::altezzaPagina()
{
    return printer_ ? printer_->pageLayout().paintRect(QPageLayout::Millimeter).height() / 10.0 : 0.0;
}

bool StampantePredefinita::stampa(const QVector<VoceStampa> &voci, QString *errore)
{
    if (!printer_) {
        if (errore) *errore = QStringLiteral("Nessuna stampante disponibile.");
        return false;
    }
    printer_->setDocName(LayoutStampa::titolo().trimmed());
    return disegnaVoci(*printer_, voci, errore);
}

QPageLayout FilePdf::pagina()
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                       QMarginsF(margineMm, margineMm, margineMm, margineMm), QPageLayout::Millimeter);
}

double FilePdf::altezzaPagina() { return pagina().paintRect(QPageLayout::Millimeter).height() / 10.0; }

bool FilePdf::stampa(const QVector<VoceStampa> &voci, QString *errore)
{
    QPdfWriter pdf(percorso_);
    pdf.setTitle(LayoutStampa::titolo().trimmed());
    pdf.setCreator(QString::fromUtf8(identita::nomeStampa));
    pdf.setPageLayout(pagina());
    if (!disegnaVoci(pdf, voci, errore)) {
        if (errore) *errore = QStringLiteral("Il file PDF non può essere scritto:\n") + percorso_;
        return false;
    }
    return true;
}

bool StampantiSistema::disponibile() { return !QPrinterInfo::defaultPrinter().isNull(); }

std::unique_ptr<SuperficieStampa> StampantiSistema::predefinita()
{
    return std::make_unique<StampantePredefinita>();
}

std::unique_ptr<SuperficieStampa> StampantiSistema::pdf(const QString &percorso)
{
    return std::make_unique<FilePdf>(percorso);
}
