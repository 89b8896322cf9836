#pragma once
#include <QImage>
#include <QString>

// The QR code of a text: one pixel per module, black on white, with the quiet
// zone of four modules around it. A null image when the text does not fit.
QImage codiceQr(const QString &testo);
