#pragma once
#include <QRect>
#include <QtMath>

// Window geometry is laid out in twips; the screen has 15 twips to a pixel.
constexpr int twipsPerPixel = 15;
inline int px(int twips) { return qRound(twips / double(twipsPerPixel)); }
inline QRect rettangolo(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}
