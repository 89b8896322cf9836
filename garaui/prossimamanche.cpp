#include "garaui/prossimamanche.h"

#include "comune/caratteri.h"

#include <QPainter>

PannelloProssimaManche::PannelloProssimaManche(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("prossimaManche"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PannelloProssimaManche::mostra(const QString &titolo, const QString &sottotitolo,
                                    const QVector<QPair<int, QString>> &piloti)
{
    titolo_ = titolo;
    sottotitolo_ = sottotitolo;
    piloti_ = piloti;
    update();
}

void PannelloProssimaManche::mostraMessaggio(const QString &titolo, const QString &messaggio)
{
    mostra(titolo, messaggio, {});
}

QStringList PannelloProssimaManche::righe() const
{
    QStringList l;
    for (const auto &[corsia, nome] : piloti_) l << QStringLiteral("Corsia %1: %2").arg(corsia + 1).arg(nome);
    return l;
}

void PannelloProssimaManche::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), QColor(16, 21, 28));
    const double w = width(), h = height();
    const double margine = std::max(6.0, w * 0.03);
    // The title, its rules, then one line per lane sharing what is left.
    const double altezzaTitolo = h * 0.14;
    QFont f = carattere(8, true);
    f.setPixelSize(std::max(12, int(altezzaTitolo * 0.7)));
    p.setFont(f);
    p.setPen(QColor(242, 183, 5));
    p.drawText(QRectF(margine, 0, w - 2 * margine, altezzaTitolo), Qt::AlignLeft | Qt::AlignVCenter, titolo_);
    f.setBold(false);
    f.setPixelSize(std::max(10, int(altezzaTitolo * 0.38)));
    p.setFont(f);
    p.setPen(QColor(170, 185, 200));
    p.drawText(QRectF(margine, altezzaTitolo, w - 2 * margine, altezzaTitolo * 0.55), Qt::AlignLeft | Qt::AlignVCenter,
               sottotitolo_);
    const double inizio = altezzaTitolo * 1.7;
    const int n = std::max(4, int(piloti_.size()));
    const double riga = (h - inizio - margine) / n;
    QFont nome = carattere(8, true);
    nome.setPixelSize(std::max(10, int(riga * 0.62)));
    for (int k = 0; k < piloti_.size(); ++k) {
        const double y = inizio + k * riga;
        const QRectF casella(margine, y + riga * 0.08, riga * 0.84 * 1.3, riga * 0.84);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(242, 183, 5));
        p.drawRoundedRect(casella, riga * 0.1, riga * 0.1);
        p.setFont(nome);
        p.setPen(QColor(16, 21, 28));
        p.drawText(casella, Qt::AlignCenter, QString::number(piloti_[k].first + 1));
        p.setPen(QColor(238, 242, 246));
        const QRectF testo(casella.right() + margine, y, w - casella.right() - 2 * margine, riga);
        p.drawText(testo, Qt::AlignLeft | Qt::AlignVCenter,
                   QFontMetrics(nome).elidedText(piloti_[k].second, Qt::ElideRight, int(testo.width())));
    }
}
