#pragma once
#include "garaui/lucipartenza.h"
#include "garaui/prospettogara.h"
#include "garaui/prossimamanche.h"
#include "results/stampagara.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

class DirezioneGara;
class Messaggi;
class QAction;
class QDockWidget;
class QLabel;
class QMenu;
class QPushButton;
class QTableWidget;
class RilevaGo;

// Race control on the timing window, added to it from outside: the panel
// "Direzione gara" beside the lanes, the start lights and the next-up panel
// drawn over the lanes, the menu "Gara" and its keys (F5 start, F6 next heat,
// F8 track call and restart, F9 penalty). A view over DirezioneGara; the
// practice session shows none of it.
class VistaGara : public QObject {
    Q_OBJECT
public:
    VistaGara(RilevaGo &finestra, DirezioneGara &direzione, Messaggi &messaggi);
    ~VistaGara() override;

    // How long "VIA!" stays on screen after lights out.
    static constexpr int durataViaMs = 1500;

    QDockWidget *pannello() const { return dock_; }
    LuciPartenza *luci() const { return luci_; }
    PannelloProssimaManche *prossima() const { return prossima_; }
    QTableWidget *classifica() const { return classifica_; }
    QLabel *stato() const { return stato_; }
    QLabel *rimanente() const { return rimanente_; }
    QMenu *menu() const { return menu_; }
    QAction *azione(const QString &nome) const;
    QPushButton *pulsante(const QString &nome) const;
    const ProspettoGara &ultimo() const { return prospetto_; }

    // The penalty dialog of the event in use (F9).
    void penalita();
    // F8: a track call, its restart, or a call again during the restart countdown.
    void neutralizzazioneORipresa();
    // F6: the next heat's drivers on their lanes.
    void prossimaManche();

signals:
    void menuGare();
    void menuCampionato();
    void menuPartenza();
    void menuStampa(StampaGara::Documento documento);
    void menuEsportaCsv();
    void menuEsportaExcel();
    // The state shown changed (for the live page).
    void prospettoCambiato(const ProspettoGara &prospetto);

protected:
    bool eventFilter(QObject *oggetto, QEvent *evento) override;

private:
    void creaPannello();
    void creaMenu();
    void aggiorna();
    void disponi();

    RilevaGo &finestra_;
    DirezioneGara &direzione_;
    Messaggi &messaggi_;
    QDockWidget *dock_ = nullptr;
    QLabel *gara_ = nullptr, *manche_ = nullptr, *stato_ = nullptr, *rimanente_ = nullptr;
    QTableWidget *classifica_ = nullptr;
    QMenu *menu_ = nullptr;
    QWidget *centrale_ = nullptr; // the timing window's client area
    QPointer<LuciPartenza> luci_;
    QPointer<PannelloProssimaManche> prossima_;
    QTimer via_; // "VIA!" on screen
    ProspettoGara prospetto_;
};
