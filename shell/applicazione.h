#pragma once
#include "comune/messaggi.h"
#include "timing/archivio.h"
#include "timing/orologio.h"

#include <QObject>
#include <QPointer>
#include <memory>

#include "timing/rilevago.h"
#include "database/archiviotempi.h"
#include "database/copiesicurezza.h"
#include "database/dialogofile.h"
#include "results/superficiestampa.h"
#include "database/database.h"
#include "setup/rilevaavvio.h"
#include "serial/impostazioniporta.h"

// Owns what lives for the whole run (clock, message boxes) and leads from one
// window to the next.
class Applicazione : public QObject {
    Q_OBJECT
public:
    // The timing database lives at `percorsoDatabase`, by default beside the program.
    explicit Applicazione(const QString &percorsoDatabase = {});
    ~Applicazione() override;

    void avvia();
    RilevaGo *rilevaGo() const { return rilevaGo_; }
    RilevaAvvio *rilevaAvvio() const { return rilevaAvvio_; }
    Database &database() { return database_; }

private:
    void apriDatabase();
    void apriRilevaAvvio();
    void apriRilevaGo(const QStringList &piloti);
    void collegaMenu(RilevaGo *finestra);
    void collegaSeriale(RilevaGo *finestra);
    void mostraInformazioni();

    OrologioSistema orologio_;
    MessaggiQt messaggi_;
    ImpostazioniPorta impostazioniPorta_; // the per-user store of the port settings
    QString percorsoDatabase_;
    Database database_;
    CopieSicurezza copie_{percorsoDatabase_, orologio_};
    ArchivioTempi archivio_{database_, messaggi_};
    DialogoFileQt dialogo_;
    StampantiSistema stampanti_;
    QPointer<RilevaGo> rilevaGo_;
    QPointer<RilevaAvvio> rilevaAvvio_;
};
