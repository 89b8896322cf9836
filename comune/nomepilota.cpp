#include "comune/nomepilota.h"

#include <QList>

namespace {
// Unicode's Default_Ignorable_Code_Point ranges (DerivedCoreProperties): marks
// that show nothing, such as a zero-width space or a right-to-left mark.
constexpr char32_t ignorabili[][2] = {
    {0x00AD, 0x00AD}, {0x034F, 0x034F}, {0x061C, 0x061C}, {0x115F, 0x1160}, {0x17B4, 0x17B5},
    {0x180B, 0x180F}, {0x200B, 0x200F}, {0x202A, 0x202E}, {0x2060, 0x206F}, {0x3164, 0x3164},
    {0xFE00, 0xFE0F}, {0xFEFF, 0xFEFF}, {0xFFA0, 0xFFA0}, {0xFFF0, 0xFFF8}, {0x1BCA0, 0x1BCA3},
    {0x1D173, 0x1D17A}, {0xE0000, 0xE0FFF}};

bool ignorabile(char32_t c)
{
    for (const auto &r : ignorabili)
        if (c >= r[0] && c <= r[1]) return true;
    return false;
}
} // namespace

QString chiaveNomePilota(const QString &nome)
{
    const QString compatibile = nome.normalized(QString::NormalizationForm_KC);
    QString visibile;
    visibile.reserve(compatibile.size());
    for (const char32_t c : compatibile.toUcs4())
        if (!ignorabile(c)) visibile.append(QString::fromUcs4(&c, 1));
    return visibile.simplified().toCaseFolded().normalized(QString::NormalizationForm_KC);
}
