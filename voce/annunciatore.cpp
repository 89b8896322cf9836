#include "voce/annunciatore.h"

#include "timing/orologio.h"
#include "voce/motori.h"

Annunciatore::Annunciatore(Orologio &orologio, MotoreVoce &motore) : orologio_(orologio), motore_(motore)
{
    motore_.finito = [this] { finito(); };
}

Annunciatore::~Annunciatore() { motore_.finito = nullptr; }

int Annunciatore::posto(int corsia) { return corsia >= 0 && corsia < 8 ? corsia : 8; }

int Annunciatore::inAttesa() const
{
    int n = 0;
    for (const auto &a : attesa_) n += a.has_value();
    return n;
}

void Annunciatore::accoda(const Annuncio &annuncio)
{
    auto &posto = attesa_[Annunciatore::posto(annuncio.corsia)];
    if (posto && scartato) scartato(*posto);
    posto = annuncio;
    if (!inCorso_) prossimo();
}

void Annunciatore::prossimo()
{
    const double ora = orologio_.adesso();
    std::optional<Annuncio> *scelto = nullptr;
    for (auto &a : attesa_) {
        if (!a) continue;
        if (ora - a->istante > ritardoMassimo) {
            if (scartato) scartato(*a);
            a.reset();
            continue;
        }
        if (!scelto || a->priorita > (*scelto)->priorita
            || (a->priorita == (*scelto)->priorita && a->istante < (*scelto)->istante))
            scelto = &a;
    }
    if (!scelto) return;
    inCorso_ = std::move(**scelto);
    scelto->reset();
    inizioCorso_ = ora;
    if (avviato) avviato(*inCorso_, ora);
    motore_.pronuncia(inCorso_->testo);
}

void Annunciatore::finito()
{
    if (!inCorso_) return;
    inCorso_.reset();
    prossimo();
}

void Annunciatore::controlla()
{
    if (inCorso_ && orologio_.adesso() - inizioCorso_ > durataMassima) finito();
    else if (!inCorso_) prossimo(); // drops what has grown too old
}
