// saettino-icona: writes the program's icon for the desktop (a hicolor tree of
// PNGs and one SVG) from the same drawing as the window icon.
#include "comune/icone.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

#include <cstdio>

namespace {
// The 34 x 38 stopwatch centred on a square of `lato` units.
void disegnaCentrata(QPainter &g, double lato)
{
    g.setRenderHint(QPainter::Antialiasing);
    g.scale(lato / 38.0, lato / 38.0);
    g.translate(2, 0);
    disegnaIconaProgramma(g);
}
} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "uso: saettino-icona CARTELLA NOME\n");
        return 2;
    }
    const QDir cartella(QString::fromLocal8Bit(argv[1]));
    const QString nome = QString::fromLocal8Bit(argv[2]);
    for (int lato : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString sotto = QStringLiteral("%1x%1/apps").arg(lato);
        QImage immagine(lato, lato, QImage::Format_ARGB32_Premultiplied);
        immagine.fill(Qt::transparent);
        {
            QPainter g(&immagine);
            disegnaCentrata(g, lato);
        }
        if (!cartella.mkpath(sotto) || !immagine.save(cartella.filePath(sotto + u'/' + nome + ".png"))) {
            std::fprintf(stderr, "saettino-icona: %s non scritto\n", qPrintable(sotto));
            return 1;
        }
    }
    cartella.mkpath(QStringLiteral("scalable/apps"));
    QSvgGenerator svg;
    svg.setFileName(cartella.filePath(QStringLiteral("scalable/apps/") + nome + ".svg"));
    svg.setSize(QSize(38, 38));
    svg.setViewBox(QRectF(0, 0, 38, 38));
    svg.setTitle(QStringLiteral("Saettino Professional"));
    QPainter g;
    if (!g.begin(&svg)) {
        std::fprintf(stderr, "saettino-icona: SVG non scritto\n");
        return 1;
    }
    disegnaCentrata(g, 38);
    return g.end() ? 0 : 1;
}
