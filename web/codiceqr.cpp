#include "web/codiceqr.h"

#include <qrencode.h>

QImage codiceQr(const QString &testo)
{
    const QByteArray dati = testo.toUtf8();
    QRcode *qr = QRcode_encodeString(dati.constData(), 0, QR_ECLEVEL_M, QR_MODE_8, 1);
    if (!qr) return {};
    constexpr int margine = 4;
    const int lato = qr->width + 2 * margine;
    QImage immagine(lato, lato, QImage::Format_Mono);
    immagine.setColor(0, qRgb(255, 255, 255));
    immagine.setColor(1, qRgb(0, 0, 0));
    immagine.fill(0);
    for (int y = 0; y < qr->width; ++y)
        for (int x = 0; x < qr->width; ++x)
            if (qr->data[y * qr->width + x] & 1) immagine.setPixel(x + margine, y + margine, 1);
    QRcode_free(qr);
    return immagine;
}
