#include "timing/rilevago.h"

#include "comune/caratteri.h"
#include "comune/icone.h"
#include "comune/twips.h"
#include "timing/orologio.h"

#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTableView>

namespace {
constexpr int larghezzaClient = 10020, altezzaClient = 8220;

template <typename W> W *piazza(W *w, const QRect &r, const QFont &f)
{
    w->setGeometry(r);
    w->setFont(f);
    return w;
}

QLabel *etichetta(QWidget *genitore, const QString &testo, const QRect &r, const QFont &f,
                  Qt::Alignment allineamento = Qt::AlignLeft | Qt::AlignTop)
{
    auto *l = piazza(new QLabel(testo, genitore), r, f);
    l->setAlignment(allineamento);
    return l;
}

QTableView *griglia(QWidget *genitore, const QString &nome, const QRect &r)
{
    auto *g = piazza(new QTableView(genitore), r, carattere(8.25));
    g->setObjectName(nome);
    g->setEditTriggers(QAbstractItemView::NoEditTriggers);
    g->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Rows that do not fit are reached by scrolling, never cut off.
    g->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    g->verticalHeader()->hide();
    g->verticalHeader()->setDefaultSectionSize(px(255));
    g->horizontalHeader()->setFixedHeight(px(255));
    g->horizontalHeader()->setHighlightSections(false);
    return g;
}
} // namespace

RilevaGo::RilevaGo(Orologio &orologio, Messaggi &messaggi, ArchivioGiri &archivio, QWidget *parent)
    : QMainWindow(parent), orologio_(orologio), sessione_(orologio, messaggi, archivio)
{
    setObjectName(QStringLiteral("RilevaGo"));
    setWindowTitle(QStringLiteral("Gestione Tempi Pista"));
    setWindowIcon(QIcon(iconaProgramma()));
    // Resizable, but without a maximize button.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose, false);
    creaMenu();
    creaControlli();
    resize(px(larghezzaClient), px(altezzaClient) + menuBar()->sizeHint().height());

    connect(&sessione_, &Sessione::cambiato, this, &RilevaGo::aggiorna);
    timer1_.setInterval(100);
    connect(&timer1_, &QTimer::timeout, &sessione_, &Sessione::tick);
    timer1_.start();
    aggiorna();
}

RilevaGo::~RilevaGo()
{
    if (filtroInstallato_) qApp->removeEventFilter(this);
}

void RilevaGo::creaMenu()
{
    auto voce = [this](QMenu *menu, const QString &nome, const QString &testo,
                       void (RilevaGo::*segnale)(), const QKeySequence &scorciatoia = {}) {
        QAction *a = menu->addAction(testo);
        a->setObjectName(nome);
        a->setShortcut(scorciatoia);
        connect(a, &QAction::triggered, this, segnale);
    };
    QMenu *file = menuBar()->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("file"));
    voce(file, QStringLiteral("load"), QStringLiteral("Load"), &RilevaGo::menuLoad, QKeySequence(QStringLiteral("Ctrl+L")));
    voce(file, QStringLiteral("save"), QStringLiteral("Save"), &RilevaGo::menuSave, QKeySequence(QStringLiteral("Ctrl+S")));
    file->addSeparator()->setObjectName(QStringLiteral("separa2"));
    voce(file, QStringLiteral("piloti"), QStringLiteral("Piloti"), &RilevaGo::menuPiloti, QKeySequence(QStringLiteral("Ctrl+P")));
    file->addSeparator()->setObjectName(QStringLiteral("separa"));
    voce(file, QStringLiteral("stampa"), QStringLiteral("Stampa"), &RilevaGo::menuStampa);
    file->addSeparator()->setObjectName(QStringLiteral("separa3"));
    voce(file, QStringLiteral("esci"), QStringLiteral("Esci"), &RilevaGo::menuEsci, QKeySequence(QStringLiteral("Ctrl+E")));
    file->addSeparator()->setObjectName(QStringLiteral("separa4"));
    voce(file, QStringLiteral("esportacsv"), QStringLiteral("Esporta CSV..."), &RilevaGo::menuEsportaCsv);
    voce(file, QStringLiteral("esportaexcel"), QStringLiteral("Esporta Excel..."), &RilevaGo::menuEsportaExcel);
    QMenu *visualizza = menuBar()->addMenu(QStringLiteral("Visualizza"));
    visualizza->setObjectName(QStringLiteral("visualizza"));
    voce(visualizza, QStringLiteral("tempipiloti"), QStringLiteral("Tempi Piloti"), &RilevaGo::menuTempiPiloti);
    QMenu *opzioni = menuBar()->addMenu(QStringLiteral("Opzioni"));
    opzioni->setObjectName(QStringLiteral("opzioni"));
    voce(opzioni, QStringLiteral("cancdatabase"), QStringLiteral("Canc.Database"), &RilevaGo::menuCancDatabase);
    voce(opzioni, QStringLiteral("portsetting"), QStringLiteral("Proprietà porta"), &RilevaGo::menuPortSetting);
    voce(opzioni, QStringLiteral("tempominimo"), QStringLiteral("Tempo minimo sul giro..."), &RilevaGo::menuTempoMinimo);
    voce(opzioni, QStringLiteral("risultatiinrete"), QStringLiteral("Risultati in rete..."), &RilevaGo::menuRisultatiInRete);
    voce(opzioni, QStringLiteral("annuncivocali"), QStringLiteral("Annunci vocali..."), &RilevaGo::menuAnnunciVocali);
    QMenu *info = menuBar()->addMenu(QStringLiteral("Info"));
    info->setObjectName(QStringLiteral("info"));
    voce(info, QStringLiteral("informazioni"), QStringLiteral("Informazioni"), &RilevaGo::menuInformazioni);
}

void RilevaGo::creaControlli()
{
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setMinimumSize(px(larghezzaClient), px(altezzaClient));
    setCentralWidget(client);
    client->setFont(carattere(8.25));

    creaGriglie(client);
    creaBloccoSessione(client);
    for (int i = 0; i < Sessione::numCorsie; ++i) creaCorsia(client, i);
    creaNascosti(client);

    // The fastest-laps grid comes first in the tab order and takes the focus.
    setTabOrder(msFlexGrid2_, msFlexGrid1_);
    msFlexGrid2_->setFocus();
}

// Result grids, drawn over their captioned frames.
void RilevaGo::creaGriglie(QWidget *client)
{
    auto *frame2 = piazza(new QGroupBox(QStringLiteral("5 giri più veloci"), client), rettangolo(240, 0, 4530, 1815), carattere(8.25, true));
    frame2->setObjectName(QStringLiteral("Frame2"));
    auto *frame3 = piazza(new QGroupBox(QStringLiteral("Classifica"), client), rettangolo(5640, 0, 3615, 2535), carattere(8.25, true));
    frame3->setObjectName(QStringLiteral("Frame3"));
    msFlexGrid2_ = griglia(client, QStringLiteral("MSFlexGrid2"), rettangolo(360, 240, 4305, 1515));
    msFlexGrid1_ = griglia(client, QStringLiteral("MSFlexGrid1"), rettangolo(5760, 240, 3345, 2235));
    // The standings show every driver of a full session: the eight rows share what the header leaves.
    const int righe = (msFlexGrid1_->height() - 2 * msFlexGrid1_->frameWidth() - px(255)) / Sessione::numCorsie;
    msFlexGrid1_->verticalHeader()->setMinimumSectionSize(qMin(righe, px(255)));
    msFlexGrid1_->verticalHeader()->setDefaultSectionSize(qMin(righe, px(255)));
}

// The session clock, its limit in minutes, and Start, Pausa and Riprendi in one place.
void RilevaGo::creaBloccoSessione(QWidget *client)
{
    const QFont normale = carattere(8.25);
    auto *frameTempo = piazza(new QGroupBox(QStringLiteral("Tempo Sessione"), client), rettangolo(240, 1920, 3255, 615), carattere(8.25, true));
    frameTempo->setObjectName(QStringLiteral("FrameTempo"));
    tempotot_ = etichetta(frameTempo, QStringLiteral("00:00"), rettangolo(240, 255, 1200, 285), carattere(9.75, true), Qt::AlignLeft | Qt::AlignVCenter);
    tempotot_->setObjectName(QStringLiteral("tempotot"));
    auto *min = etichetta(frameTempo, QStringLiteral("Minuti:"), rettangolo(1440, 255, 870, 285), normale, Qt::AlignRight | Qt::AlignVCenter);
    min->setObjectName(QStringLiteral("min"));
    settempo_ = piazza(new QLineEdit(QStringLiteral("99"), client), rettangolo(2595, 2160, 375, 285), normale);
    settempo_->setObjectName(QStringLiteral("settempo"));
    connect(settempo_, &QLineEdit::textChanged, &sessione_, &Sessione::impostaSettempo);

    const QRect postoStart = rettangolo(3960, 2040, 1215, 375);
    partiBtn_ = piazza(new QPushButton(QStringLiteral("Start"), client), postoStart, carattere(12));
    partiBtn_->setObjectName(QStringLiteral("partiBtn"));
    pausabtn_ = piazza(new QPushButton(QStringLiteral("Pausa"), client), postoStart, carattere(12));
    pausabtn_->setObjectName(QStringLiteral("pausabtn"));
    pausabtn2_ = piazza(new QPushButton(QStringLiteral("Riprendi"), client), postoStart, carattere(12));
    pausabtn2_->setObjectName(QStringLiteral("pausabtn2"));
    connect(partiBtn_, &QPushButton::clicked, &sessione_, &Sessione::start);
    connect(pausabtn_, &QPushButton::clicked, &sessione_, &Sessione::pausa);
    connect(pausabtn2_, &QPushButton::clicked, &sessione_, &Sessione::riprendi);
}

// Lane i: two columns, lane i in column i % 2 and row i / 2; its frame, its
// number and the two lamps of its line beside the frame.
void RilevaGo::creaCorsia(QWidget *client, int i)
{
    const QFont normale = carattere(8.25);
    const int riga = i / 2;
    const bool destra = i % 2 == 1;
    ControlliCorsia &c = corsie_[i];
    c.pilotiLbl1 = piazza(new QGroupBox(client), rettangolo(destra ? 5400 : 480, 2640 + 1320 * riga, 4335, 1215), carattere(9.75, true));
    c.pilotiLbl1->setObjectName(QStringLiteral("pilotiLbl1_%1").arg(i));
    QWidget *f = c.pilotiLbl1;
    c.tempo = etichetta(f, QStringLiteral("00:00,000"), rettangolo(120, 240, 1335, 375), carattere(13.5), Qt::AlignHCenter | Qt::AlignTop);
    c.tempo->setObjectName(QStringLiteral("Tempo_%1").arg(i));
    c.vel = etichetta(f, QStringLiteral("0 Km/h"), rettangolo(1680, 360, 975, 255), normale);
    c.vel->setObjectName(QStringLiteral("Vel_%1").arg(i));
    c.fineBtn = piazza(new QPushButton(QStringLiteral("Stop"), f), rettangolo(3240, 360, 975, 255), normale);
    c.fineBtn->setObjectName(QStringLiteral("fineBtn_%1").arg(i));
    c.fineBtn->setToolTip(QStringLiteral("Termina il cronometraggio"));
    etichetta(f, QStringLiteral("Ultimo Giro"), rettangolo(360, 600, 855, 255), normale, Qt::AlignHCenter | Qt::AlignTop)
        ->setObjectName(QStringLiteral("Label1_%1").arg(i));
    c.tempolast = etichetta(f, QStringLiteral("00:00,000"), rettangolo(360, 840, 855, 255), carattere(9.75), Qt::AlignHCenter | Qt::AlignTop);
    c.tempolast->setObjectName(QStringLiteral("tempolast_%1").arg(i));
    etichetta(f, QStringLiteral("Miglior Giro"), rettangolo(1560, 600, 855, 255), normale, Qt::AlignHCenter | Qt::AlignTop)
        ->setObjectName(QStringLiteral("Label2_%1").arg(i));
    c.bestlapper = etichetta(f, QStringLiteral("00:00,000"), rettangolo(1560, 840, 855, 255), carattere(9.75), Qt::AlignHCenter | Qt::AlignTop);
    c.bestlapper->setObjectName(QStringLiteral("bestlapper_%1").arg(i));
    c.intertempoBtn = piazza(new QPushButton(QString::number(i + 1), f),
                             i == 0 ? rettangolo(2760, 720, 1455, 375) : rettangolo(2880, 720, 1335, 375), carattere(9.75));
    c.intertempoBtn->setObjectName(QStringLiteral("intertempoBtn_%1").arg(i));
    c.intertempoBtn->setToolTip(QStringLiteral("Prendi i tempi parziali e di giro"));
    connect(c.intertempoBtn, &QPushButton::clicked, this, [this, i] { sessione_.marca(i); });
    connect(c.fineBtn, &QPushButton::clicked, this, [this, i] { sessione_.stop(i); });

    auto *numero = etichetta(client, QString::number(i + 1), rettangolo(destra ? 5040 : 120, 2760 + 1320 * riga, 375, 1095),
                             carattere(21.75, true, QStringLiteral("Times New Roman")));
    numero->setObjectName(QStringLiteral("Label3_%1").arg(i));
    const QRect lampada = rettangolo(destra ? 5040 : 120, 3360 + 1320 * riga, 240, 240);
    nonconnesso_[i] = piazza(new QLabel(client), lampada, normale);
    nonconnesso_[i]->setObjectName(QStringLiteral("nonconnesso_%1").arg(i));
    nonconnesso_[i]->setPixmap(lampadaRossa());
    connesso_[i] = piazza(new QLabel(client), lampada, normale);
    connesso_[i]->setObjectName(QStringLiteral("connesso_%1").arg(i));
    connesso_[i]->setPixmap(lampadaVerde());
    for (QLabel *l : {connesso_[i], nonconnesso_[i]}) {
        // The caption, then what the lamp tells about the lane's line.
        l->setToolTip(QStringLiteral("Toggles Port\n")
                      + (l == connesso_[i] ? QStringLiteral("Verde: linea attiva") : QStringLiteral("Rosso: linea a riposo")));
        l->hide();
    }
}

// Controls the window keeps but never shows, and the laps-waiting line below the lanes.
void RilevaGo::creaNascosti(QWidget *client)
{
    prova_ = new QLineEdit(client);
    prova_->setObjectName(QStringLiteral("prova"));
    text2_ = new QLineEdit(QStringLiteral("Text2"), client);
    text2_->setObjectName(QStringLiteral("Text2"));
    text2_->setEnabled(false);
    auto *testo10 = new QLineEdit(QStringLiteral("Text2"), client);
    testo10->setObjectName(QStringLiteral("testo10"));
    auto *visualtempbtn = new QPushButton(QStringLiteral("Tempi"), client);
    // Below the lanes: laps the database has not taken yet, shown only while there are some.
    giriInAttesa_ = etichetta(client, QString(), rettangolo(480, 7860, 9255, 300), carattere(9.75, true));
    giriInAttesa_->setObjectName(QStringLiteral("giriInAttesa"));
    giriInAttesa_->setStyleSheet(QStringLiteral("color: rgb(200, 0, 0);"));
    giriInAttesa_->hide();
    visualtempbtn->setObjectName(QStringLiteral("visualtempbtn"));
    for (QWidget *w : std::initializer_list<QWidget *>{prova_, text2_, testo10, visualtempbtn}) w->hide();
}

void RilevaGo::inizializza()
{
    if (const QScreen *schermo = screen()) {
        const QRect area = schermo->geometry();
        move(area.x() + (area.width() - frameGeometry().width()) / 2,
             area.y() + (area.height() - frameGeometry().height()) / 2);
    }
    sessione_.inizializza();
    if (sessione_.anteprimaTasti() && !filtroInstallato_) {
        qApp->installEventFilter(this);
        filtroInstallato_ = true;
    }
    inoltro_.aggiornaTabella();
}

void RilevaGo::mostraGiriInAttesa(int n)
{
    giriInAttesa_->setText(QStringLiteral("Giri in attesa di salvataggio: %1").arg(n));
    giriInAttesa_->setVisible(n > 0);
}

// Key preview: the window sees every key before the focused control, which
// still gets it afterwards (typing "5" into the limit box marks lane 4 too).
// Keys that reach one of this window's message boxes count too: a message on
// screen never stops the timing.
bool RilevaGo::eventFilter(QObject *oggetto, QEvent *evento)
{
    if (evento->type() != QEvent::KeyPress) return QMainWindow::eventFilter(oggetto, evento);
    const double istante = orologio_.adesso(); // the mark's instant: before anything else runs
    auto *w = qobject_cast<QWidget *>(oggetto);
    if (!w) return false;
    QWidget *finestra = w->window();
    const bool messaggio = finestra != this && qobject_cast<QMessageBox *>(finestra)
        && finestra->parentWidget() && finestra->parentWidget()->window() == this;
    if (finestra != this && !messaggio) return false;
    // A key travels up from the focused widget; look at it once, where it starts.
    QWidget *destinatario = QApplication::focusWidget() ? QApplication::focusWidget() : this;
    if (w != destinatario) return false;
    auto *tasto = static_cast<QKeyEvent *>(evento);
    if (!tasto->isAutoRepeat()) sessione_.tastoGiu(tasto->key(), tasto->modifiers());
    sessione_.carattereDigitato(tasto->text(), tasto->modifiers(), istante);
    return false;
}

void RilevaGo::aggiorna()
{
    for (int i = 0; i < Sessione::numCorsie; ++i) {
        const Sessione::Corsia &s = sessione_.corsia(i);
        ControlliCorsia &c = corsie_[i];
        c.pilotiLbl1->setTitle(s.nome);
        c.pilotiLbl1->setEnabled(s.inUso);
        c.intertempoBtn->setText(s.captionBtn);
        c.intertempoBtn->setEnabled(s.btnAbilitato);
        c.fineBtn->setEnabled(s.fineAbilitato);
        c.tempo->setText(s.tempo);
        QPalette p = c.tempo->palette();
        // Active and inactive only: a lane not in use keeps the greyed look.
        for (auto gruppo : {QPalette::Active, QPalette::Inactive})
            p.setColor(gruppo, QPalette::WindowText, s.tempoRosso ? QColor(255, 0, 0) : QColor(0, 0, 0));
        if (s.tempoSfondoPulsante) p.setColor(QPalette::Window, palette().color(QPalette::Button));
        c.tempo->setAutoFillBackground(s.tempoSfondoPulsante);
        c.tempo->setPalette(p);
        c.tempolast->setText(s.tempolast);
        c.bestlapper->setText(s.bestlapper);
        c.vel->setText(s.vel);
    }
    tempotot_->setText(sessione_.tempotot());
    partiBtn_->setEnabled(sessione_.startAbilitato());
    pausabtn_->setVisible(sessione_.pausaVisibile());
    pausabtn2_->setVisible(sessione_.riprendiVisibile());
    prova_->setText(sessione_.prova());
    if (sessione_.timer1Attivo() != timer1_.isActive()) {
        if (sessione_.timer1Attivo()) timer1_.start();
        else timer1_.stop();
    }
}
