#include "results/grigliarisultati.h"

#include "comune/messaggi.h"
#include "comune/twips.h"

#include <QTableView>

namespace {
constexpr Qt::Alignment sinistra = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment centro = Qt::AlignCenter;
} // namespace

GriglieRisultati::GriglieRisultati(Database &db, Messaggi &messaggi, QTableView *griglia1,
                                   QTableView *griglia2, QObject *parent)
    : GriglieRisultati(std::make_unique<FonteDiretta>(db), nullptr, messaggi, griglia1, griglia2, parent)
{
}

GriglieRisultati::GriglieRisultati(FonteRisultati &fonte, Messaggi &messaggi, QTableView *griglia1,
                                   QTableView *griglia2, QObject *parent)
    : GriglieRisultati(nullptr, &fonte, messaggi, griglia1, griglia2, parent)
{
}

GriglieRisultati::GriglieRisultati(std::unique_ptr<FonteRisultati> propria, FonteRisultati *altra,
                                   Messaggi &messaggi, QTableView *griglia1, QTableView *griglia2,
                                   QObject *parent)
    : QObject(parent), propria_(std::move(propria)), fonte_(altra ? *altra : *propria_),
      messaggi_(messaggi), griglia1_(griglia1), griglia2_(griglia2), classifica_(this), giriVeloci_(this)
{
    if (griglia1_) griglia1_->setModel(&classifica_);
    if (griglia2_) griglia2_->setModel(&giriVeloci_);
}

void GriglieRisultati::aggiornaTabella()
{
    const Risultati r = fonte_.leggiRisultati();
    mostra(r);
    // A failed reading keeps what was shown; the failure is told.
    if (!r.errore.isEmpty())
        messaggi_.mostra(r.errore, Messaggi::Pulsanti::Ok, Messaggi::Icona::Esclamazione);
    tabella();
}

void GriglieRisultati::ricevi(const Risultati &risultati)
{
    if (programmato_ && risultati.numero <= inArrivo_.numero) return;
    inArrivo_ = risultati;
    if (programmato_) return;
    programmato_ = true;
    QMetaObject::invokeMethod(this, [this] {
        programmato_ = false;
        mostra(inArrivo_);
        tabella();
    }, Qt::QueuedConnection);
}

void GriglieRisultati::mostra(const Risultati &r)
{
    if (r.numero != 0 && r.numero <= mostrato_) return;
    mostrato_ = r.numero;
    if (!r.aperto) {
        // Nothing to read: the failed open has already been reported.
        classifica_.svuota();
        giriVeloci_.svuota();
    } else if (r.errore.isEmpty()) {
        classifica_.imposta(r.classifica);
        giriVeloci_.imposta(r.giriVeloci);
    }
}

void GriglieRisultati::tabella()
{
    const int larghezze[] = {1300, 650, 1300};
    for (int c = 0; c < 3; ++c) {
        if (griglia1_) griglia1_->setColumnWidth(c, px(larghezze[c]));
    }
    for (int c = 0; c < 3; ++c) {
        if (griglia2_) griglia2_->setColumnWidth(c, px(larghezze[c]));
    }
    classifica_.impostaAllineamento(0, sinistra);
    classifica_.impostaAllineamento(1, centro);
    classifica_.impostaAllineamento(2, centro);
    giriVeloci_.impostaAllineamento(0, sinistra);
    for (int c = 1; c < 4; ++c) giriVeloci_.impostaAllineamento(c, centro);
}
