#pragma once
#include "shell/comune/messaggi.h"
#include "timing/archivio.h"
#include "timing/orologio.h"

#include <QObject>
#include <QPointer>
#include <memory>

#include "timing/rilevago.h"

// Owns what lives for the whole run (clock, message boxes) and leads from one
// window to the next.
class Applicazione : public QObject {
    Q_OBJECT
public:
    Applicazione();
    ~Applicazione() override;

    void avvia();
    RilevaGo *rilevaGo() const { return rilevaGo_; }

private:
    void apriRilevaGo(const QStringList &piloti);
    void collegaMenu(RilevaGo *finestra);
    void mostraInformazioni();

    OrologioSistema orologio_;
    MessaggiQt messaggi_;
    ArchivioNullo archivioNullo_;
    QPointer<RilevaGo> rilevaGo_;
};
