#include "garaui/vistagara.h"

#include "comune/caratteri.h"
#include "comune/messaggi.h"
#include "gara/direzionegara.h"
#include "garaui/dialogopenalita.h"
#include "garaui/lucipartenza.h"
#include "garaui/prossimamanche.h"
#include "timing/rilevago.h"

#include <QAction>
#include <QDockWidget>
#include <QEvent>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
QLabel *etichetta(QWidget *genitore, const char *nome, double punti, bool grassetto)
{
    auto *l = new QLabel(genitore);
    l->setObjectName(QString::fromLatin1(nome));
    l->setFont(carattere(punti, grassetto));
    l->setWordWrap(true);
    return l;
}
} // namespace

VistaGara::VistaGara(RilevaGo &finestra, DirezioneGara &direzione, Messaggi &messaggi)
    : QObject(&finestra), finestra_(finestra), direzione_(direzione), messaggi_(messaggi)
{
    setObjectName(QStringLiteral("vistaGara"));
    creaPannello();
    creaMenu();
    luci_ = new LuciPartenza(finestra_.centralWidget());
    prossima_ = new PannelloProssimaManche(finestra_.centralWidget());
    luci_->hide();
    prossima_->hide();
    centrale_ = finestra_.centralWidget();
    centrale_->installEventFilter(this);
    via_.setSingleShot(true);
    via_.setInterval(durataViaMs);
    connect(&via_, &QTimer::timeout, this, &VistaGara::aggiorna);
    connect(&direzione_, &DirezioneGara::cambiata, this, &VistaGara::aggiorna);
    connect(&direzione_, &DirezioneGara::pronta, this, &VistaGara::aggiorna);
    connect(&direzione_, &DirezioneGara::viaDato, this, [this] {
        via_.start();
        aggiorna();
    });
    disponi();
    aggiorna();
}

VistaGara::~VistaGara() = default;

void VistaGara::creaPannello()
{
    dock_ = new QDockWidget(QStringLiteral("Direzione gara"), &finestra_);
    dock_->setObjectName(QStringLiteral("direzioneGara"));
    dock_->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    auto *contenuto = new QWidget(dock_);
    gara_ = etichetta(contenuto, "gara", 11, true);
    manche_ = etichetta(contenuto, "manche", 10, false);
    stato_ = etichetta(contenuto, "stato", 18, true);
    rimanente_ = etichetta(contenuto, "rimanente", 16, true);
    classifica_ = new QTableWidget(0, 6, contenuto);
    classifica_->setObjectName(QStringLiteral("classificaManche"));
    classifica_->setHorizontalHeaderLabels({QStringLiteral("Pos."), QStringLiteral("Cor."), QStringLiteral("Pilota"),
                                            QStringLiteral("Giri"), QStringLiteral("Stato"), QStringLiteral("Miglior giro")});
    classifica_->verticalHeader()->hide();
    classifica_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    classifica_->setSelectionMode(QAbstractItemView::NoSelection);
    classifica_->setFocusPolicy(Qt::NoFocus);
    classifica_->setFont(carattere(10));
    classifica_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    classifica_->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    auto *comandi = new QGridLayout;
    const struct { const char *nome, *testo; int riga, colonna; } pulsanti[] = {
        {"partenzaBtn", "Partenza (F5)", 0, 0},        {"annullaPartenzaBtn", "Annulla partenza", 0, 1},
        {"neutralizzazioneBtn", "Neutralizzazione (F8)", 1, 0}, {"riprendiBtn", "Riprendi (F8)", 1, 1},
        {"penalitaBtn", "Penalità... (F9)", 2, 0},    {"chiudiMancheBtn", "Chiudi manche", 2, 1},
        {"prossimaMancheBtn", "Prossima manche (F6)", 3, 0}, {"gareBtn", "Gara...", 3, 1}};
    for (const auto &p : pulsanti) {
        auto *b = new QPushButton(QString::fromUtf8(p.testo), contenuto);
        b->setObjectName(QString::fromLatin1(p.nome));
        b->setFont(carattere(11, true));
        b->setMinimumHeight(36);
        // Keys stay with the window: a digit is a lane's mark, never a button press.
        b->setFocusPolicy(Qt::NoFocus);
        comandi->addWidget(b, p.riga, p.colonna);
    }
    connect(pulsante("partenzaBtn"), &QPushButton::clicked, &direzione_, &DirezioneGara::partenza);
    connect(pulsante("annullaPartenzaBtn"), &QPushButton::clicked, &direzione_, &DirezioneGara::annullaPartenza);
    connect(pulsante("neutralizzazioneBtn"), &QPushButton::clicked, &direzione_, &DirezioneGara::neutralizzazione);
    connect(pulsante("riprendiBtn"), &QPushButton::clicked, &direzione_, &DirezioneGara::riprendi);
    connect(pulsante("penalitaBtn"), &QPushButton::clicked, this, &VistaGara::penalita);
    connect(pulsante("chiudiMancheBtn"), &QPushButton::clicked, this, [this] {
        if (messaggi_.mostra(QStringLiteral("Chiudere la manche adesso?\nChi non ha finito è classificato con i giri che ha."),
                             Messaggi::Pulsanti::SiNo, Messaggi::Icona::Domanda, QStringLiteral("Chiudi manche"), 1)
            == Messaggi::Risposta::Si)
            direzione_.chiudiManche();
    });
    connect(pulsante("prossimaMancheBtn"), &QPushButton::clicked, this, &VistaGara::prossimaManche);
    connect(pulsante("gareBtn"), &QPushButton::clicked, this, &VistaGara::menuGare);
    auto *layout = new QVBoxLayout(contenuto);
    layout->addWidget(gara_);
    layout->addWidget(manche_);
    layout->addWidget(stato_);
    layout->addWidget(rimanente_);
    layout->addWidget(classifica_, 1);
    layout->addLayout(comandi);
    contenuto->setMinimumWidth(380);
    dock_->setWidget(contenuto);
    finestra_.addDockWidget(Qt::RightDockWidgetArea, dock_);
    dock_->hide();
}

void VistaGara::creaMenu()
{
    menu_ = new QMenu(QStringLiteral("Gara"), finestra_.menuBar());
    menu_->setObjectName(QStringLiteral("gara"));
    auto voce = [this](const char *nome, const QString &testo, const QKeySequence &tasto, auto &&azione) {
        QAction *a = menu_->addAction(testo);
        a->setObjectName(QString::fromLatin1(nome));
        a->setShortcut(tasto);
        // A notice on top (it waits for nobody) must not take race control's keys away.
        a->setShortcutContext(Qt::ApplicationShortcut);
        connect(a, &QAction::triggered, this, azione);
        return a;
    };
    voce("gare", QStringLiteral("Gara..."), QKeySequence(Qt::CTRL | Qt::Key_G), [this] { emit menuGare(); });
    voce("campionato", QStringLiteral("Campionato..."), {}, [this] { emit menuCampionato(); });
    voce("impostazioniPartenza", QStringLiteral("Partenza e ripresa..."), {}, [this] { emit menuPartenza(); });
    menu_->addSeparator();
    voce("partenza", QStringLiteral("Partenza"), QKeySequence(Qt::Key_F5), [this] { direzione_.partenza(); });
    voce("prossimaManche", QStringLiteral("Prossima manche"), QKeySequence(Qt::Key_F6), [this] { prossimaManche(); });
    voce("neutralizzazione", QStringLiteral("Neutralizzazione / Riprendi"), QKeySequence(Qt::Key_F8),
         [this] { neutralizzazioneORipresa(); });
    voce("penalita", QStringLiteral("Penalità..."), QKeySequence(Qt::Key_F9), [this] { penalita(); });
    voce("chiudiManche", QStringLiteral("Chiudi manche"), {}, [this] { pulsante("chiudiMancheBtn")->click(); });
    menu_->addSeparator();
    voce("stampaProgramma", QStringLiteral("Stampa programma"), {},
         [this] { emit menuStampa(StampaGara::Documento::Programma); });
    voce("stampaRisultati", QStringLiteral("Stampa risultati"), {},
         [this] { emit menuStampa(StampaGara::Documento::Risultati); });
    voce("esportaGaraCsv", QStringLiteral("Esporta gara CSV..."), {}, [this] { emit menuEsportaCsv(); });
    voce("esportaGaraExcel", QStringLiteral("Esporta gara Excel..."), {}, [this] { emit menuEsportaExcel(); });
    // Before "Info", as the last menu of the program's own.
    QMenu *info = finestra_.menuBar()->findChild<QMenu *>(QStringLiteral("info"));
    if (info) finestra_.menuBar()->insertMenu(info->menuAction(), menu_);
    else finestra_.menuBar()->addMenu(menu_);
}

QAction *VistaGara::azione(const QString &nome) const { return menu_->findChild<QAction *>(nome); }

QPushButton *VistaGara::pulsante(const QString &nome) const { return dock_->findChild<QPushButton *>(nome); }

void VistaGara::penalita()
{
    if (!direzione_.gara()) {
        messaggi_.mostra(QStringLiteral("Nessuna gara in uso: sceglierla in Gara... ."), Messaggi::Pulsanti::Ok,
                         Messaggi::Icona::Esclamazione);
        return;
    }
    const std::optional<gara::Manche> manche = direzione_.inCorso() || direzione_.fase() == DirezioneGara::Fase::Pronta
                                                   ? direzione_.mancheCorrente()
                                                   : std::nullopt;
    DialogoPenalita dialogo(*direzione_.gara(), direzione_.iscritti(), manche,
                            [this](const gara::Sanzione &s, auto esito) { direzione_.sanziona(s, std::move(esito)); },
                            &finestra_);
    dialogo.exec();
}

void VistaGara::neutralizzazioneORipresa()
{
    if (direzione_.fase() == DirezioneGara::Fase::InCorso) direzione_.neutralizzazione();
    else if (direzione_.controllo().fase() == ControlloNeutralizzazione::Fase::Neutralizzata) direzione_.riprendi();
    else if (direzione_.controllo().fase() == ControlloNeutralizzazione::Fase::Ripresa) direzione_.neutralizzazione();
}

void VistaGara::prossimaManche()
{
    QString errore;
    // The heat after the one on the lanes (a heat on the grid is skipped: it stays to be run).
    const std::optional<gara::Manche> prossima = direzione_.prossima();
    if (!direzione_.caricaManche(prossima ? prossima->id : 0, &errore))
        messaggi_.mostra(errore, Messaggi::Pulsanti::Ok, Messaggi::Icona::Esclamazione, QStringLiteral("Prossima manche"));
}

bool VistaGara::eventFilter(QObject *oggetto, QEvent *evento)
{
    // The area kept from the start: while the window is destroyed its events still come, the window gone.
    if (oggetto == centrale_ && evento->type() == QEvent::Resize) disponi();
    return QObject::eventFilter(oggetto, evento);
}

// The lights and next-up cover the whole client area: the lanes take no lap meanwhile.
void VistaGara::disponi()
{
    const QRect area = centrale_->rect();
    if (luci_) luci_->setGeometry(area);
    if (prossima_) prossima_->setGeometry(area);
}

void VistaGara::aggiorna()
{
    using Fase = DirezioneGara::Fase;
    prospetto_ = prospetto(direzione_);
    const ProspettoGara &p = prospetto_;
    const Fase fase = direzione_.fase();
    dock_->setVisible(!p.gara.isEmpty());
    // A heat ends by its own rules: the practice session's limit does not apply to it.
    finestra_.settempo()->setEnabled(fase == Fase::Nessuna);
    gara_->setText(p.gara);
    manche_->setText(p.manche);
    stato_->setText(p.stato);
    const bool allarme = fase == Fase::Neutralizzata || fase == Fase::Partenza;
    stato_->setStyleSheet(allarme ? QStringLiteral("color: rgb(200, 0, 0);") : QString());
    rimanente_->setText(p.rimanente);
    classifica_->setRowCount(int(p.classifica.size()));
    for (int r = 0; r < p.classifica.size(); ++r) {
        const ProspettoGara::Riga &riga = p.classifica[r];
        const QStringList celle{QString::number(riga.posizione), QString::number(riga.corsia), riga.pilota,
                                QString::number(riga.giri), riga.stato, riga.migliorGiro};
        for (int c = 0; c < celle.size(); ++c) {
            auto *cella = classifica_->item(r, c);
            if (!cella) classifica_->setItem(r, c, cella = new QTableWidgetItem);
            cella->setText(celle[c]);
            cella->setToolTip(riga.note);
        }
    }
    const bool ripresa = direzione_.controllo().fase() == ControlloNeutralizzazione::Fase::Ripresa;
    pulsante("partenzaBtn")->setEnabled(fase == Fase::Pronta || (fase == Fase::Partenza && direzione_.procedura().fase() == ProceduraPartenza::Fase::Pronta));
    pulsante("annullaPartenzaBtn")->setEnabled(fase == Fase::Partenza);
    pulsante("neutralizzazioneBtn")->setEnabled(fase == Fase::InCorso || ripresa);
    pulsante("riprendiBtn")->setEnabled(fase == Fase::Neutralizzata && !ripresa);
    pulsante("chiudiMancheBtn")->setEnabled(direzione_.inCorso());
    pulsante("prossimaMancheBtn")->setEnabled(!direzione_.inCorso() && direzione_.prossima().has_value());
    pulsante("penalitaBtn")->setEnabled(direzione_.gara().has_value());

    // The lights for the start, "VIA!" for a moment after it, the restart's countdown.
    const bool viaAppena = via_.isActive() && fase == Fase::InCorso;
    const bool conLuci = fase == Fase::Partenza || viaAppena || (fase == Fase::Neutralizzata && ripresa);
    if (conLuci) {
        luci_->impostaTitolo(p.manche);
        luci_->impostaLuci(fase == Fase::Partenza ? direzione_.luci() : 0);
        if (viaAppena) luci_->impostaTesto(QStringLiteral("VIA!"), true);
        else if (fase == Fase::Neutralizzata) luci_->impostaTesto(QStringLiteral("Si riparte tra %1").arg(direzione_.secondiRimasti()));
        else if (direzione_.secondiRimasti() > 0) luci_->impostaTesto(QStringLiteral("Partenza tra %1").arg(direzione_.secondiRimasti()));
        else luci_->impostaTesto(QString());
    }
    luci_->setVisible(conLuci);
    if (conLuci) luci_->raise();
    const bool conProssima = !conLuci && p.mostraProssima;
    if (conProssima) {
        prossima_->mostra(p.titoloProssima, p.regoleProssima, p.prossimi);
        prossima_->raise();
    }
    prossima_->setVisible(conProssima);
    emit prospettoCambiato(p);
}
