#include "setup/rilevaavvio.h"

#include "comune/twips.h"
#include "gara/regole.h"
#include "timing/globale.h"

#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>

namespace {
// The start window of old, with one more row below the track for the session kind.
constexpr int rigaSessione = 720;
constexpr int larghezzaClient = 6225, altezzaClient = 5580 + rigaSessione;
const int righe[4] = {240, 600, 960, 1320};
} // namespace

RilevaAvvio::RilevaAvvio(Database &db, Messaggi &messaggi, QWidget *parent)
    : QMainWindow(parent), dati_(db, messaggi)
{
    setObjectName(QStringLiteral("RilevaAvvio"));
    setWindowTitle(QStringLiteral("Inserimento dati iniziali"));
    // Resizable, but without a maximize button.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    creaMenu();
    creaControlli();
    resize(px(larghezzaClient), px(altezzaClient) + menuBar()->sizeHint().height());
}

void RilevaAvvio::creaMenu()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("File"));
    load_ = file->addAction(QStringLiteral("Load"));
    load_->setObjectName(QStringLiteral("load"));
    load_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    save_ = file->addAction(QStringLiteral("Save"));
    save_->setObjectName(QStringLiteral("save"));
    save_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    save_->setEnabled(false);
    file->addSeparator();
    esci_ = file->addAction(QStringLiteral("Esci"));
    esci_->setObjectName(QStringLiteral("esci"));
    QMenu *info = menuBar()->addMenu(QStringLiteral("Info"));
    informazioni_ = info->addAction(QStringLiteral("Informazioni"));
    informazioni_->setObjectName(QStringLiteral("informazioni"));
    connect(load_, &QAction::triggered, this, &RilevaAvvio::menuLoad);
    connect(esci_, &QAction::triggered, this, &RilevaAvvio::menuEsci);
    connect(informazioni_, &QAction::triggered, this, &RilevaAvvio::menuInformazioni);
}

void RilevaAvvio::creaControlli()
{
    auto *client = new QWidget(this);
    setCentralWidget(client);

    for (int k = 0; k < 8; ++k) {
        // Boxes 0-3 form the left column, 4-7 the right one; label 4 is "Pista:".
        const int riga = k % 4;
        const bool destra = k >= 4;
        const int lbl = destra ? k + 1 : k;
        datiLbl_[lbl] = new QLabel(QStringLiteral("Pilota %1:").arg(k + 1), client);
        datiLbl_[lbl]->setGeometry(rettangolo(destra ? 3240 : 480, righe[riga], 1000, 285));
        datiTxt_[k] = new QLineEdit(client);
        datiTxt_[k]->setObjectName(QStringLiteral("datiTxt%1").arg(k));
        datiTxt_[k]->setGeometry(rettangolo(destra ? 4320 : 1560, righe[riga], 1215, 285));
    }
    datiLbl_[4] = new QLabel(QStringLiteral("Pista:"), client);
    datiLbl_[4]->setGeometry(rettangolo(480, 1680, 1000, 315));
    datiCmb_ = new QComboBox(client);
    datiCmb_->setObjectName(QStringLiteral("datiCmb"));
    datiCmb_->setEditable(true);
    // The list holds the catalogue only: typed text is never added to it.
    datiCmb_->setInsertPolicy(QComboBox::NoInsert);
    datiCmb_->setGeometry(rettangolo(1560, 1680, 1335, 315));
    // The completer ignores case but keeps the letters typed: "circ" would show
    // "circuito Interno", a name "&Ok" does not know. A text naming a track in
    // another case shows the catalogue's spelling, so the box shows the track taken.
    connect(datiCmb_->lineEdit(), &QLineEdit::textChanged, this, [this](const QString &testo) {
        if (datiCmb_->findText(testo, Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0) return;
        const int i = datiCmb_->findText(testo, Qt::MatchFixedString);
        if (i >= 0) datiCmb_->lineEdit()->setText(datiCmb_->itemText(i));
    });

    const char *didascalie[5] = {"&Ok", "&Esci", "&Nuova", "Annulla", "Ok"};
    nuovaPistaFrm_ = new QGroupBox(QStringLiteral("Nuova Pista"), client);
    nuovaPistaFrm_->setObjectName(QStringLiteral("NuovaPistaFrm"));
    nuovaPistaFrm_->setGeometry(rettangolo(1320, 2280 + rigaSessione, 3375, 2295));
    for (int i = 0; i < 5; ++i) {
        QWidget *genitore = i >= 3 ? static_cast<QWidget *>(nuovaPistaFrm_) : client;
        actionbtn_[i] = new QPushButton(QString::fromUtf8(didascalie[i]), genitore);
        actionbtn_[i]->setObjectName(QStringLiteral("actionbtn%1").arg(i));
        connect(actionbtn_[i], &QPushButton::clicked, this, [this, i] { actionbtnClick(i); });
    }
    actionbtn_[0]->setGeometry(rettangolo(3360, 4680 + rigaSessione, 1215, 495));
    actionbtn_[1]->setGeometry(rettangolo(1080, 4680 + rigaSessione, 1215, 495));
    actionbtn_[2]->setGeometry(rettangolo(3000, 1680, 1095, 315));
    actionbtn_[0]->setDefault(true);

    nuovaPistaLbl_[0] = new QLabel(QStringLiteral("Nome"), nuovaPistaFrm_);
    nuovaPistaLbl_[0]->setGeometry(rettangolo(240, 360, 1200, 285));
    nuovaPistaLbl_[1] = new QLabel(QStringLiteral("Lunghezza m. :"), nuovaPistaFrm_);
    nuovaPistaLbl_[1]->setGeometry(rettangolo(240, 840, 1200, 285));
    for (int i = 0; i < 2; ++i) {
        text2_[i] = new QLineEdit(nuovaPistaFrm_);
        text2_[i]->setObjectName(QStringLiteral("Text2%1").arg(i));
        text2_[i]->setGeometry(rettangolo(1440, i == 0 ? 360 : 840, 1695, 285));
    }
    cancellabtn_ = new QPushButton(QStringLiteral("Cancella Pista"), nuovaPistaFrm_);
    cancellabtn_->setObjectName(QStringLiteral("cancellabtn"));
    cancellabtn_->setGeometry(rettangolo(240, 1680, 1215, 375));
    actionbtn_[3]->setGeometry(rettangolo(1560, 1680, 735, 375));
    actionbtn_[4]->setGeometry(rettangolo(2400, 1680, 735, 375));
    connect(cancellabtn_, &QPushButton::clicked, this, &RilevaAvvio::cancellabtnClick);
    nuovaPistaFrm_->hide();
    creaSessione(client);

    // Tab: boxes 1-4, "&Ok", the track list, "&Nuova", "&Esci", boxes 5-8, then the editor.
    QList<QWidget *> ordine = {datiTxt_[0], datiTxt_[1], datiTxt_[2], datiTxt_[3],
                               actionbtn_[0], datiCmb_, actionbtn_[2], tipoCmb_, valoreTxt_, graziaTxt_, garaBtn_,
                               actionbtn_[1],
                               datiTxt_[4], datiTxt_[5], datiTxt_[6], datiTxt_[7],
                               text2_[0], text2_[1], cancellabtn_, actionbtn_[3], actionbtn_[4]};
    for (int i = 0; i + 1 < ordine.size(); ++i) setTabOrder(ordine[i], ordine[i + 1]);
    datiTxt_[0]->setFocus();
}

// "Sessione": the kind beside the track, "Prova libera" unless chosen, with its minutes or laps and grace.
void RilevaAvvio::creaSessione(QWidget *client)
{
    auto *frame = new QGroupBox(QStringLiteral("Sessione"), client);
    frame->setObjectName(QStringLiteral("sessioneFrm"));
    frame->setGeometry(rettangolo(360, 2040, 5520, 660));
    tipoCmb_ = new QComboBox(frame);
    tipoCmb_->setObjectName(QStringLiteral("tipoCmb"));
    tipoCmb_->addItems(gara::nomiTipi());
    tipoCmb_->setGeometry(rettangolo(120, 255, 1575, 315));
    valoreLbl_ = new QLabel(QStringLiteral("Minuti:"), frame);
    valoreLbl_->setGeometry(rettangolo(1800, 270, 615, 285));
    valoreLbl_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    valoreTxt_ = new QLineEdit(frame);
    valoreTxt_->setObjectName(QStringLiteral("valoreTxt"));
    valoreTxt_->setGeometry(rettangolo(2460, 270, 495, 285));
    auto *grazia = new QLabel(QStringLiteral("Grazia:"), frame);
    grazia->setGeometry(rettangolo(3000, 270, 615, 285));
    grazia->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    graziaTxt_ = new QLineEdit(QStringLiteral("2"), frame);
    graziaTxt_->setObjectName(QStringLiteral("graziaTxt"));
    graziaTxt_->setGeometry(rettangolo(3660, 270, 375, 285));
    const QString spiegazione = QStringLiteral("Dopo la bandiera a scacchi un pilota ha tante volte il suo miglior giro "
                                               "per passare ancora; chi non passa è classificato con i giri che ha.");
    grazia->setToolTip(spiegazione);
    graziaTxt_->setToolTip(spiegazione);
    garaBtn_ = new QPushButton(QStringLiteral("&Gara..."), frame);
    garaBtn_->setObjectName(QStringLiteral("garaBtn"));
    garaBtn_->setToolTip(QStringLiteral("Gare con iscritti, manche a rotazione delle corsie e campionati"));
    garaBtn_->setGeometry(rettangolo(4200, 240, 1200, 345));
    connect(garaBtn_, &QPushButton::clicked, this, &RilevaAvvio::menuGara);
    connect(tipoCmb_, &QComboBox::currentIndexChanged, this, &RilevaAvvio::tipoScelto);
    tipoScelto();
}

void RilevaAvvio::tipoScelto()
{
    const auto tipo = gara::tipoDaNumero(tipoCmb_->currentIndex()).value_or(gara::TipoSessione::ProvaLibera);
    const bool gara = tipo != gara::TipoSessione::ProvaLibera;
    valoreLbl_->setText(tipo == gara::TipoSessione::GaraAGiri ? QStringLiteral("Giri:") : QStringLiteral("Minuti:"));
    valoreTxt_->setEnabled(gara);
    graziaTxt_->setEnabled(gara);
}

void RilevaAvvio::carica()
{
    comboInit();
    if (const QScreen *schermo = screen()) {
        const QRect area = schermo->geometry();
        move(area.x() + (area.width() - frameGeometry().width()) / 2,
             area.y() + (area.height() - frameGeometry().height()) / 2);
    }
}

void RilevaAvvio::comboInit()
{
    dati_.comboInit();
    datiCmb_->clear();
    datiCmb_->addItems(dati_.nomiPiste());
    datiCmb_->setCurrentIndex(datiCmb_->count() > 0 ? 0 : -1);
}

int RilevaAvvio::indiceLista() const
{
    const QString testo = datiCmb_->currentText();
    const int corrente = datiCmb_->currentIndex();
    if (corrente >= 0 && datiCmb_->itemText(corrente) == testo) return corrente;
    return datiCmb_->findText(testo, Qt::MatchExactly | Qt::MatchCaseSensitive);
}

void RilevaAvvio::actionbtnClick(int indice)
{
    switch (indice) {
    case 0: ok(); break;
    case 1: emit menuEsci(); break;
    case 2: apriEditor(true); break;
    case 3: apriEditor(false); break;
    case 4:
        if (dati_.nuovaPista(text2_[0]->text(), text2_[1]->text())) {
            comboInit();
            apriEditor(false);
        }
        break;
    default: break;
    }
}

void RilevaAvvio::cancellabtnClick()
{
    const QString nome = text2_[0]->text();
    dati_.cancellaPista(nome);
    if (!nome.isEmpty()) comboInit();
}

void RilevaAvvio::apriEditor(bool aperto)
{
    datiCmb_->setEnabled(!aperto);
    nuovaPistaFrm_->setVisible(aperto);
    actionbtn_[0]->setEnabled(!aperto);
    actionbtn_[1]->setEnabled(!aperto);
    if (aperto) text2_[0]->setFocus();
}

void RilevaAvvio::ok()
{
    QStringList nomi;
    for (const QLineEdit *t : datiTxt_) nomi.append(t->text());
    // A race of 0 laps or 0 minutes is refused before anything else is looked at.
    std::optional<gara::Regole> regole;
    if (tipoCmb_->currentIndex() > 0) {
        regole = dati_.regoleInserite(tipoCmb_->currentIndex(), valoreTxt_->text(), graziaTxt_->text());
        if (!regole) return;
    }
    const std::optional<QStringList> piloti = dati_.pilotiInseriti(nomi);
    if (!piloti) return;
    applicaPista();
    if (regole) emit avviaGara(*piloti, *regole);
    else emit avvia(*piloti);
    close();
}

void RilevaAvvio::applicaPista()
{
    const PistaCatalogo pista = dati_.pistaDellaLista(indiceLista());
    globale().nomePista = pista.nome;
    globale().lunghezzaPista = pista.lunghezza;
}

// Enter presses the focused button, or else the default button "&Ok".
void RilevaAvvio::keyPressEvent(QKeyEvent *evento)
{
    if (evento->key() != Qt::Key_Return && evento->key() != Qt::Key_Enter) {
        QMainWindow::keyPressEvent(evento);
        return;
    }
    auto *pulsante = qobject_cast<QPushButton *>(focusWidget());
    if (!pulsante || !pulsante->isVisible()) pulsante = actionbtn_[0];
    if (pulsante->isEnabled() && pulsante->isVisible()) pulsante->click();
    evento->accept();
}
