#include "voce/impostazionivoce.h"

#include "serial/impostazioniporta.h"

#include <QtGlobal>

namespace {
struct Chiavi {
    const char *chiave;
    bool ImpostazioniVoce::*campo;
};
constexpr Chiavi interruttori[] = {
    {"Attivi", &ImpostazioniVoce::attivi},           {"OgniGiro", &ImpostazioniVoce::ogniGiro},
    {"MigliorGiro", &ImpostazioniVoce::migliorGiro}, {"GiroVeloce", &ImpostazioniVoce::giroVeloce},
    {"TempoRimasto", &ImpostazioniVoce::tempoRimasto}, {"Partenza", &ImpostazioniVoce::partenza},
    {"TonoGiro", &ImpostazioniVoce::tonoGiro},       {"TonoIgnorato", &ImpostazioniVoce::tonoIgnorato},
};

// A stored number within [minimo, massimo]; anything else keeps the default.
void numero(const QString &testo, double minimo, double massimo, double &campo)
{
    bool ok = false;
    const double v = testo.toDouble(&ok);
    if (ok && v >= minimo && v <= massimo) campo = v;
}
} // namespace

ImpostazioniVoce ImpostazioniVoce::leggi(const ImpostazioniPorta &store)
{
    ImpostazioniVoce v;
    const QString s = QString::fromLatin1(sezione);
    for (const auto &[chiave, campo] : interruttori) {
        const QString t = store.leggi(s, QString::fromLatin1(chiave));
        if (t == QLatin1String("1")) v.*campo = true;
        else if (t == QLatin1String("0")) v.*campo = false;
    }
    v.voce = store.leggi(s, QStringLiteral("Voce"));
    numero(store.leggi(s, QStringLiteral("Velocita")), -1, 1, v.velocita);
    numero(store.leggi(s, QStringLiteral("Volume")), 0, 1, v.volume);
    return v;
}

void ImpostazioniVoce::scrivi(ImpostazioniPorta &store) const
{
    const QString s = QString::fromLatin1(sezione);
    for (const auto &[chiave, campo] : interruttori)
        store.scrivi(s, QString::fromLatin1(chiave), this->*campo ? QStringLiteral("1") : QStringLiteral("0"));
    store.scrivi(s, QStringLiteral("Voce"), voce);
    store.scrivi(s, QStringLiteral("Velocita"), QString::number(velocita));
    store.scrivi(s, QStringLiteral("Volume"), QString::number(volume));
}
