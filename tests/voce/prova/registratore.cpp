#include "registratore.h"

#include "timing/orologio.h"
#include "voce/motori.h"

#include <QFile>
#include <QtEndian>
#include <algorithm>
#include <cstring>

void Registratore::ricevi(const char *dati, qsizetype byte)
{
    const double ora = orologio_.adesso();
    const qsizetype n = byte / qsizetype(sizeof(qint16));
    if (n == 0) return;
    const qsizetype prima = campioni_.size();
    campioni_.resize(prima + n);
    std::memcpy(campioni_.data() + prima, dati, size_t(n) * sizeof(qint16));
    letture_.append({campioni_.size(), ora});
}

// A block's arrival is the latest its first sample can have been heard; the earliest of
// the arrivals in the half second after sample n fixes its time. Only later blocks count,
// so that samples the input lost before n cannot move it, and the window is short so the
// two clocks' drift (a few parts in ten thousand) does not either.
double Registratore::istante(qint64 n) const
{
    const qint64 raggio = toni::campionamento / 2;
    double origine = 1e300;
    for (const Lettura &l : letture_)
        if (l.campioni > n && (l.campioni <= n + raggio || origine == 1e300)) // the first always
            origine = std::min(origine, l.ora - double(l.campioni) / toni::campionamento);
    return origine + double(n) / toni::campionamento;
}

bool Registratore::salva(const QString &percorso) const
{
    QFile f(percorso);
    if (!f.open(QIODevice::WriteOnly)) return false;
    const quint32 byte = quint32(campioni_.size() * qsizetype(sizeof(qint16)));
    QByteArray testa;
    const auto u32 = [&](quint32 v) { v = qToLittleEndian(v); testa.append(reinterpret_cast<const char *>(&v), 4); };
    const auto u16 = [&](quint16 v) { v = qToLittleEndian(v); testa.append(reinterpret_cast<const char *>(&v), 2); };
    testa += "RIFF";
    u32(36 + byte);
    testa += "WAVEfmt ";
    u32(16);
    u16(1);
    u16(1);
    u32(toni::campionamento);
    u32(toni::campionamento * 2);
    u16(2);
    u16(16);
    testa += "data";
    u32(byte);
    return f.write(testa) == testa.size()
        && f.write(reinterpret_cast<const char *>(campioni_.constData()), byte) == qint64(byte);
}
