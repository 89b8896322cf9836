#include "voce/impostazionivoce.h"

#include "comune/impostazioni.h"

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
    {"Gara", &ImpostazioniVoce::gara},               {"ToniPartenza", &ImpostazioniVoce::toniPartenza},
};
} // namespace

// A stored value the store cannot use keeps the default.
ImpostazioniVoce ImpostazioniVoce::leggi(const Impostazioni &store)
{
    ImpostazioniVoce v;
    const QString s = QString::fromLatin1(sezione);
    for (const auto &[chiave, campo] : interruttori) v.*campo = store.interruttore(s, QString::fromLatin1(chiave)).value_or(v.*campo);
    v.voce = store.testo(s, QStringLiteral("Voce"));
    v.velocita = store.numero(s, QStringLiteral("Velocita"), -1, 1).value_or(v.velocita);
    v.volume = store.numero(s, QStringLiteral("Volume"), 0, 1).value_or(v.volume);
    return v;
}

void ImpostazioniVoce::scrivi(Impostazioni &store) const
{
    const QString s = QString::fromLatin1(sezione);
    for (const auto &[chiave, campo] : interruttori) store.scriviInterruttore(s, QString::fromLatin1(chiave), this->*campo);
    store.scrivi(s, QStringLiteral("Voce"), voce);
    store.scriviNumero(s, QStringLiteral("Velocita"), velocita);
    store.scriviNumero(s, QStringLiteral("Volume"), volume);
}
