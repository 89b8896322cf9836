#include "shell/frmabout.h"

#include "comune/caratteri.h"
#include "comune/icone.h"
#include "comune/identita.h"
#include "comune/twips.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

FrmAbout::FrmAbout(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    // Fixed dialog border, no minimize or maximize button, not on the task bar.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);
    setFixedSize(px(4260), px(2325));
    // Centred on the screen rather than on the window that opens it.
    if (const QScreen *schermo = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
        const QRect area = schermo->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    setFont(carattere(8.25));

    const QString titolo = QString::fromUtf8(identita::titolo);
    setWindowTitle(QStringLiteral("Informazioni su ") + titolo);

    auto *picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setGeometry(rettangolo(240, 240, 570, 630));
    picIcon->setPixmap(iconaProgramma());

    lblTitle_ = new QLabel(titolo, this);
    lblTitle_->setObjectName(QStringLiteral("lblTitle"));
    lblTitle_->setGeometry(rettangolo(1050, 240, 2685, 240));

    lblVersion_ = new QLabel(testoVersione(identita::versioneMaggiore, identita::versioneMinore,
                                           identita::revisione), this);
    lblVersion_->setObjectName(QStringLiteral("lblVersion"));
    lblVersion_->setGeometry(rettangolo(1050, 600, 2685, 225));

    auto *descrizione = new QLabel(QStringLiteral("Cronometraggio giri per prove e gare in pista."), this);
    descrizione->setObjectName(QStringLiteral("lblDescription"));
    descrizione->setGeometry(rettangolo(1080, 960, 2685, 570));
    descrizione->setWordWrap(true);
    descrizione->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // Etched rule: a white line under a grey one.
    auto *bianca = new QFrame(this);
    bianca->setObjectName(QStringLiteral("Line1_0"));
    bianca->setGeometry(px(240), px(1560) + 1, px(4230) - px(240), 2);
    bianca->setStyleSheet(QStringLiteral("background: white;"));
    auto *grigia = new QFrame(this);
    grigia->setObjectName(QStringLiteral("Line1_1"));
    grigia->setGeometry(px(240), px(1560), px(4230) - px(240), 1);
    grigia->setStyleSheet(QStringLiteral("background: rgb(128,128,128);"));

    auto *link = new QLabel(QStringLiteral("www.saettinopro.it"), this);
    link->setObjectName(QStringLiteral("lblDisclaimer"));
    link->setGeometry(rettangolo(480, 1680, 2295, 225));
    QFont f = carattere(9.75);
    f.setUnderline(true);
    link->setFont(f);
    link->setStyleSheet(QStringLiteral("color: blue;"));

    cmdOK_ = new QPushButton(QStringLiteral("Chiudi"), this);
    cmdOK_->setObjectName(QStringLiteral("cmdOK"));
    cmdOK_->setGeometry(rettangolo(3240, 1800, 780, 345));
    cmdOK_->setDefault(true);
    cmdOK_->setAutoDefault(true);
    cmdOK_->setFocus();
    connect(cmdOK_, &QPushButton::clicked, this, &QDialog::accept);
}

QString FrmAbout::testoVersione(int maggiore, int minore, int revisione)
{
    return QStringLiteral("Versione %1.%2.%3").arg(maggiore).arg(minore).arg(revisione);
}
