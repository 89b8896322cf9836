#include "timing/orologio.h"

#include <QElapsedTimer>
#include <memory>

namespace {
OrologioSistema::Monotono monotonoDiSistema()
{
    auto t = std::make_shared<QElapsedTimer>();
    t->start();
    return [t] { return t->nsecsElapsed(); };
}
} // namespace

OrologioSistema::OrologioSistema()
    : OrologioSistema(monotonoDiSistema(), [] { return QDateTime::currentDateTime(); })
{
}

OrologioSistema::OrologioSistema(Monotono monotono, Muro muro)
    : monotono_(std::move(monotono)), muro_(std::move(muro))
{
    origine_ = monotono_();
    ancora_ = muro_().time().msecsSinceStartOfDay() / 1000.0;
}

double OrologioSistema::adesso() { return ancora_ + (monotono_() - origine_) / 1e9; }

QDateTime OrologioSistema::dataOra() { return muro_(); }
