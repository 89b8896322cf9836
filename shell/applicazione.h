#pragma once
#include "comune/messaggi.h"
#include "database/archivioasincrono.h"
#include "database/copiesicurezza.h"
#include "database/database.h"
#include "database/dialogofile.h"
#include "results/superficiestampa.h"
#include "serial/impostazioniporta.h"
#include "setup/rilevaavvio.h"
#include "timing/orologio.h"
#include "timing/rilevago.h"
#include "voce/serviziovoce.h"
#include "web/risultatiinrete.h"

#include <QObject>
#include <QPointer>
#include <memory>

// Owns what lives for the whole run (clock, message boxes, the database and the
// lap store's writer) and leads from one window to the next.
class Applicazione : public QObject {
    Q_OBJECT
public:
    // The timing database lives at `percorsoDatabase`, by default beside the program.
    explicit Applicazione(const QString &percorsoDatabase = {});
    ~Applicazione() override;

    void avvia();
    // "Esci": true when the program may end now. Laps the database has not taken
    // yet are committed first; if that cannot be done the operator is asked, and
    // on going ahead they are written to a text file beside the database.
    bool esci();

    RilevaGo *rilevaGo() const { return rilevaGo_; }
    RilevaAvvio *rilevaAvvio() const { return rilevaAvvio_; }
    Database &database() { return database_; }
    ArchivioAsincrono &archivio() { return *archivio_; }
    RisultatiInRete &rete() { return *rete_; }

protected:
    bool eventFilter(QObject *oggetto, QEvent *evento) override;

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
    std::unique_ptr<ArchivioAsincrono> archivio_;
    std::unique_ptr<RisultatiInRete> rete_; // the live results page
    std::unique_ptr<ServizioVoce> voce_;    // announcements and tones, on their own thread
    DialogoFileQt dialogo_;
    StampantiSistema stampanti_;
    QPointer<RilevaGo> rilevaGo_;
    QPointer<RilevaAvvio> rilevaAvvio_;
    bool inStampa_ = false;
    bool inEsportazione_ = false;
};
