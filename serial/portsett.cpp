#include "serial/portsett.h"

#include "comune/caratteri.h"
#include "comune/twips.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
constexpr int larghezzaClient = 4800, altezzaClient = 4260;

QComboBox *lista(QWidget *genitore, const QString &nome)
{
    auto *c = new QComboBox(genitore);
    c->setObjectName(nome);
    c->setEditable(false); // choice from the list only
    return c;
}

QGroupBox *cornice(QWidget *genitore, const QString &nome, const QString &titolo)
{
    auto *g = new QGroupBox(titolo, genitore);
    g->setObjectName(nome);
    return g;
}

// Tight margins: the dialog keeps its small design size.
template <typename L> L *compatto(L *layout)
{
    layout->setContentsMargins(6, 2, 6, 4);
    layout->setSpacing(2);
    return layout;
}
} // namespace

PortSett::PortSett(PortaSeriale &porta, Impostazioni &store, Messaggi &messaggi, QWidget *parent)
    : QDialog(parent), logica_(porta, store, messaggi)
{
    setObjectName(QStringLiteral("PortSett"));
    setWindowTitle(QStringLiteral("Proprietà porta di comunicazione"));
    // Fixed dialog border, no minimize or maximize button, not on the task bar.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                   | Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);
    setFont(carattere(8.25));
    setFixedSize(px(larghezzaClient), px(altezzaClient));
    creaControlli();
    Form_Load();
}

void PortSett::creaControlli()
{
    tabSettings_ = new QTabWidget(this);
    tabSettings_->setObjectName(QStringLiteral("tabSettings"));
    tabSettings_->setGeometry(rettangolo(90, 105, 4605, 4065));

    fraSettings_ = new QFrame(this);
    fraSettings_->setObjectName(QStringLiteral("fraSettings"));
    fraSettings_->setFrameShape(QFrame::NoFrame);

    auto *frame2 = cornice(fraSettings_, QStringLiteral("Frame2"), QStringLiteral("Porta :"));
    cboPort_ = lista(frame2, QStringLiteral("cboPort"));
    compatto(new QVBoxLayout(frame2))->addWidget(cboPort_);

    auto *frame1 = cornice(fraSettings_, QStringLiteral("Frame1"), QStringLiteral("Velocità massima"));
    cboSpeed_ = lista(frame1, QStringLiteral("cboSpeed"));
    compatto(new QVBoxLayout(frame1))->addWidget(cboSpeed_);

    auto *connessione = cornice(fraSettings_, QStringLiteral("fraConnection"), QStringLiteral("Impostazioni connessione"));
    auto *grigliaConnessione = compatto(new QGridLayout(connessione));
    grigliaConnessione->setHorizontalSpacing(6);
    const std::array<std::pair<const char *, const char *>, 3> etichette{
        {{"Label3", "Bit di dati:"}, {"Label4", "Parità:"}, {"Label5", "Bit di stop:"}}};
    for (int c = 0; c < 3; ++c) {
        auto *l = new QLabel(QString::fromUtf8(etichette[c].second), connessione);
        l->setObjectName(QString::fromUtf8(etichette[c].first));
        grigliaConnessione->addWidget(l, 0, c);
    }
    cboDataBits_ = lista(connessione, QStringLiteral("cboDataBits"));
    cboParity_ = lista(connessione, QStringLiteral("cboParity"));
    cboStopBits_ = lista(connessione, QStringLiteral("cboStopBits"));
    grigliaConnessione->addWidget(cboDataBits_, 1, 0);
    grigliaConnessione->addWidget(cboParity_, 1, 1);
    grigliaConnessione->addWidget(cboStopBits_, 1, 2);

    auto *frame5 = cornice(fraSettings_, QStringLiteral("Frame5"), QStringLiteral("&Controllo di flusso"));
    auto *colonnaFlusso = compatto(new QVBoxLayout(frame5));
    colonnaFlusso->setSpacing(0);
    auto *gruppo = new QButtonGroup(this);
    const QStringList voci = PortSettLogica::vociFlusso();
    for (int i = 0; i < 4; ++i) {
        optFlow_[i] = new QRadioButton(voci[i], frame5);
        optFlow_[i]->setObjectName(QStringLiteral("optFlow_%1").arg(i));
        gruppo->addButton(optFlow_[i], i);
        colonnaFlusso->addWidget(optFlow_[i]);
        connect(optFlow_[i], &QRadioButton::clicked, this, [this, i] { logica_.optFlow_Click(i); });
    }

    cmdOK_ = new QPushButton(QStringLiteral("OK"), fraSettings_);
    cmdOK_->setObjectName(QStringLiteral("cmdOK"));
    cmdOK_->setDefault(true);
    cmdCancel_ = new QPushButton(QStringLiteral("Annulla"), fraSettings_);
    cmdCancel_->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel_->setAutoDefault(false);
    connect(cmdOK_, &QPushButton::clicked, this, &PortSett::cmdOK_Click);
    connect(cmdCancel_, &QPushButton::clicked, this, &QDialog::reject);

    auto *pulsanti = new QVBoxLayout;
    pulsanti->addStretch();
    pulsanti->addWidget(cmdOK_);
    pulsanti->addWidget(cmdCancel_);

    auto *griglia = new QGridLayout(fraSettings_);
    griglia->setContentsMargins(6, 6, 6, 6);
    griglia->setSpacing(4);
    griglia->addWidget(frame2, 0, 0);
    griglia->addWidget(frame1, 0, 1);
    griglia->addWidget(connessione, 1, 0, 1, 2);
    griglia->addWidget(frame5, 2, 0);
    griglia->addLayout(pulsanti, 2, 1, Qt::AlignRight | Qt::AlignBottom);
}

void PortSett::Form_Load()
{
    // Centred on the screen.
    if (const QScreen *schermo = QGuiApplication::primaryScreen()) {
        const QRect area = schermo->geometry();
        move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
    }
    // The panel goes into the tab strip's client area, in front.
    tabSettings_->addTab(fraSettings_, QStringLiteral("Proprietà"));
    fraSettings_->raise();
    LoadPropertySettings();
}

void PortSett::LoadPropertySettings()
{
    const std::array<std::pair<QComboBox *, QStringList>, 5> liste{{{cboPort_, PortSettLogica::vociPorta()},
                                                                     {cboSpeed_, PortSettLogica::vociVelocita()},
                                                                     {cboDataBits_, PortSettLogica::vociDatiBit()},
                                                                     {cboParity_, PortSettLogica::vociParita()},
                                                                     {cboStopBits_, PortSettLogica::vociStopBit()}}};
    for (const auto &[combo, voci] : liste) {
        combo->clear();
        combo->addItems(voci);
    }
    const PortSettLogica::Scelte s = logica_.LoadPropertySettings();
    cboSpeed_->setCurrentIndex(s.velocita);
    cboParity_->setCurrentIndex(s.parita);
    cboDataBits_->setCurrentIndex(s.datiBit);
    cboStopBits_->setCurrentIndex(s.stopBit);
    cboPort_->setCurrentIndex(s.porta);
    if (s.flusso >= 0) optFlow_[s.flusso]->setChecked(true);
}

void PortSett::cmdOK_Click()
{
    PortSettLogica::Scelte s;
    s.porta = cboPort_->currentIndex();
    s.velocita = cboSpeed_->currentIndex();
    s.datiBit = cboDataBits_->currentIndex();
    s.parita = cboParity_->currentIndex();
    s.stopBit = cboStopBits_->currentIndex();
    s.flusso = logica_.selectedFlow();
    if (logica_.cmdOK_Click(s)) accept();
}

void PortSett::keyPressEvent(QKeyEvent *evento)
{
    // "Annulla" has no key: Esc does not close the dialog.
    if (evento->key() == Qt::Key_Escape && evento->modifiers() == Qt::NoModifier) return;
    QDialog::keyPressEvent(evento);
}
