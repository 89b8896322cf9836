#include "results/grigliarisultati.h"

#include "database/database.h"
#include "comune/messaggi.h"
#include "comune/twips.h"

#include <QTableView>

namespace {
constexpr Qt::Alignment sinistra = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment centro = Qt::AlignCenter;
} // namespace

GriglieRisultati::GriglieRisultati(Database &db, Messaggi &messaggi, QTableView *griglia1,
                                   QTableView *griglia2, QObject *parent)
    : QObject(parent), db_(db), messaggi_(messaggi), griglia1_(griglia1), griglia2_(griglia2),
      classifica_(db, QString::fromLatin1(sorgenteClassifica), this),
      giriVeloci_(db, QString::fromLatin1(sorgenteGiriVeloci), this)
{
    if (griglia1_) griglia1_->setModel(&classifica_);
    if (griglia2_) griglia2_->setModel(&giriVeloci_);
}

void GriglieRisultati::aggiornaTabella()
{
    if (!db_.aperto()) {
        // Nothing to read: the failed open has already been reported.
        classifica_.svuota();
        giriVeloci_.svuota();
    } else {
        try {
            classifica_.aggiorna();
            giriVeloci_.aggiorna();
        } catch (const ErroreDatabase &e) {
            e.mostra(messaggi_);
        }
    }
    tabella();
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
