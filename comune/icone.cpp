#include "comune/icone.h"

#include <QPainter>
#include <QPainterPath>

namespace {
QPixmap lampada(const QColor &colore)
{
    QPixmap p(16, 16);
    p.fill(Qt::transparent);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    g.setPen(QPen(Qt::black, 1));
    g.setBrush(colore);
    g.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    g.setPen(Qt::NoPen);
    g.setBrush(Qt::white);
    g.drawEllipse(QRectF(4.5, 4, 3.5, 3));
    return p;
}
} // namespace

QPixmap lampadaVerde() { return lampada(QColor(0, 190, 0)); }
QPixmap lampadaRossa() { return lampada(QColor(220, 0, 0)); }

QPixmap iconaProgramma()
{
    QPixmap p(34, 38);
    p.fill(Qt::transparent);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    disegnaIconaProgramma(g);
    return p;
}

void disegnaIconaProgramma(QPainter &g)
{
    // crown and button of the stopwatch
    g.setPen(QPen(Qt::black, 1));
    g.setBrush(QColor(90, 90, 90));
    g.drawRect(QRectF(14.5, 1.5, 5, 4));
    g.drawRect(QRectF(12.5, 0.5, 9, 2));
    // dial
    g.setBrush(QColor(230, 200, 40));
    g.drawEllipse(QRectF(1.5, 5.5, 31, 31));
    g.setBrush(Qt::white);
    g.drawEllipse(QRectF(5, 9, 24, 24));
    // ticks and a hand sweeping towards the line
    g.setPen(QPen(Qt::black, 1.5));
    for (int i = 0; i < 12; ++i) {
        g.save();
        g.translate(17, 21);
        g.rotate(i * 30);
        g.drawLine(QPointF(0, -11), QPointF(0, i % 3 == 0 ? -8 : -9.5));
        g.restore();
    }
    g.setPen(QPen(QColor(200, 0, 0), 2, Qt::SolidLine, Qt::RoundCap));
    g.drawLine(QPointF(17, 21), QPointF(24, 14));
    g.setBrush(Qt::black);
    g.setPen(Qt::NoPen);
    g.drawEllipse(QPointF(17, 21), 1.8, 1.8);
}
