#include "garaui/lucipartenza.h"

#include "comune/caratteri.h"

#include <QPainter>
#include <QRadialGradient>

LuciPartenza::LuciPartenza(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("luciPartenza"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void LuciPartenza::impostaLuci(int accese)
{
    accese_ = qBound(0, accese, 5);
    update();
}

void LuciPartenza::impostaTesto(const QString &testo, bool verde)
{
    testo_ = testo;
    verde_ = verde;
    update();
}

void LuciPartenza::impostaTitolo(const QString &titolo)
{
    titolo_ = titolo;
    update();
}

void LuciPartenza::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), QColor(12, 14, 18));
    const double w = width(), h = height();
    // Five lamps across the width, as big as the height leaves room for the text below.
    const double diametro = std::min(h * 0.42, w / 6.2);
    const double passo = w / 5.0;
    // Below the title; in the middle of what is left when no line goes under them.
    const double cy = testo_.isEmpty() ? h * 0.12 + (h * 0.88) / 2 : h * 0.14 + diametro / 2 + h * 0.06;
    for (int k = 0; k < 5; ++k) {
        const QPointF centro(passo * (k + 0.5), cy);
        const bool accesa = k < accese_;
        p.setPen(QPen(QColor(70, 70, 70), std::max(2.0, diametro * 0.04)));
        if (accesa) {
            QRadialGradient g(centro, diametro / 2);
            g.setColorAt(0, QColor(255, 120, 110));
            g.setColorAt(0.6, QColor(230, 0, 0));
            g.setColorAt(1, QColor(140, 0, 0));
            p.setBrush(g);
        } else {
            p.setBrush(QColor(38, 38, 42));
        }
        p.drawEllipse(centro, diametro / 2, diametro / 2);
    }
    QFont titolo = carattere(8);
    titolo.setPixelSize(std::max(10, int(h * 0.07)));
    titolo.setBold(true);
    p.setFont(titolo);
    p.setPen(QColor(200, 205, 210));
    p.drawText(QRectF(0, h * 0.02, w, h * 0.12), Qt::AlignCenter, titolo_);
    QFont grande = carattere(8);
    grande.setPixelSize(std::max(12, int(h * 0.2)));
    grande.setBold(true);
    p.setFont(grande);
    p.setPen(verde_ ? QColor(40, 220, 90) : QColor(245, 245, 245));
    p.drawText(QRectF(0, cy + diametro / 2 + h * 0.02, w, h - (cy + diametro / 2) - h * 0.02), Qt::AlignCenter, testo_);
}
