// This build has no sound output: tones say so and stay silent.
#include "voce/motori.h"

namespace {
struct ToniAssenti : MotoreToni {
    QString problema() const override
    {
        return QStringLiteral("questa versione del programma è stata compilata senza uscita audio");
    }
    void suona(Tono) override {}
};
} // namespace

std::unique_ptr<MotoreToni> creaMotoreToni() { return std::make_unique<ToniAssenti>(); }
