// This build has no speech engine: announcements say so and stay silent.
#include "voce/motori.h"

namespace {
struct VoceAssente : MotoreVoce {
    QString problema() const override
    {
        return QStringLiteral("questa versione del programma è stata compilata senza sintesi vocale");
    }
    QList<Voce> voci() override { return {}; }
    void imposta(const QString &, double, double) override {}
    void pronuncia(const QString &) override {}
};
} // namespace

std::unique_ptr<MotoreVoce> creaMotoreVoce() { return std::make_unique<VoceAssente>(); }
