#include "results/visualtempi.h"

#include "database/database.h"
#include "comune/caratteri.h"
#include "comune/messaggi.h"
#include "comune/twips.h"

#include <QComboBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>

TempiPiloti::TempiPiloti(Database &db, Messaggi &messaggi)
    : db_(db), messaggi_(messaggi), modello_(db, QString::fromLatin1(sqlGiri))
{
}

QString TempiPiloti::modelloLike(const QString &testo)
{
    QString r;
    r.reserve(testo.size() + 4);
    for (const QChar c : testo) {
        if (c == QLatin1Char('*')) r += QLatin1Char('%');
        else if (c == QLatin1Char('?')) r += QLatin1Char('_');
        else if (c == QLatin1Char('%') || c == QLatin1Char('_') || c == QLatin1Char('\\'))
            r += QLatin1Char('\\') + QString(c);
        else r += c;
    }
    return r;
}

QStringList TempiPiloti::piloti()
{
    QStringList nomi;
    try {
        Istruzione q = db_.prepara(sqlPiloti);
        while (q.passo()) nomi.append(q.nullo(0) ? QString() : q.testo(0));
    } catch (const ErroreDatabase &e) {
        e.mostra(messaggi_);
        return {};
    }
    return nomi;
}

void TempiPiloti::caricatabella(const QString &testo)
{
    // The name is bound, never pasted into the statement: an apostrophe is just a letter.
    modello_.impostaQuery(QString::fromLatin1(sqlGiri), {modelloLike(testo)});
    try {
        modello_.aggiorna();
    } catch (const ErroreDatabase &e) {
        modello_.svuota();
        e.mostra(messaggi_);
    }
}

Visualtempi::Visualtempi(Database &db, Messaggi &messaggi, QWidget *parent)
    : QDialog(parent), tempi_(db, messaggi)
{
    setObjectName(QStringLiteral("Visualtempi"));
    setWindowTitle(QStringLiteral("Tempi Pilota"));
    // Resizable, with a maximize button.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);
    resize(px(3960), px(6660));
    setFont(carattere(8.25));

    msFlexGrid1_ = new QTableView(this);
    msFlexGrid1_->setObjectName(QStringLiteral("MSFlexGrid1"));
    msFlexGrid1_->setGeometry(rettangolo(240, 120, 3593, 5610));
    msFlexGrid1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the grid for the driver box and "Aggiorna" instead of walking the cells.
    msFlexGrid1_->setTabKeyNavigation(false);
    msFlexGrid1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    msFlexGrid1_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    msFlexGrid1_->verticalHeader()->hide();
    msFlexGrid1_->verticalHeader()->setDefaultSectionSize(px(255));
    msFlexGrid1_->horizontalHeader()->setHighlightSections(false);
    msFlexGrid1_->setModel(&tempi_.modello());

    piloticmb_ = new QComboBox(this);
    piloticmb_->setObjectName(QStringLiteral("piloticmb"));
    piloticmb_->setEditable(true);
    piloticmb_->setInsertPolicy(QComboBox::NoInsert);
    piloticmb_->setGeometry(rettangolo(240, 6120, 2415, 315));

    command1_ = new QPushButton(QStringLiteral("Aggiorna"), this);
    command1_->setObjectName(QStringLiteral("Command1"));
    command1_->setGeometry(rettangolo(2760, 6120, 975, 375));
    command1_->setAutoDefault(false);
    connect(command1_, &QPushButton::clicked, this, &Visualtempi::caricatabella);
}

void Visualtempi::inizializza()
{
    combo();
    caricatabella();
}

void Visualtempi::combo()
{
    const QStringList nomi = tempi_.piloti();
    piloticmb_->clear();
    piloticmb_->setEditText(QString());
    for (const QString &nome : nomi) piloticmb_->addItem(nome);
    // The first driver is the initial choice; a list that starts with an empty name keeps the text empty.
    piloticmb_->setEditText(nomi.isEmpty() ? QString() : nomi.first());
}

void Visualtempi::caricatabella()
{
    tempi_.caricatabella(piloticmb_->currentText());
    const int larghezze[] = {1300, 650, 1300};
    for (int c = 0; c < 3; ++c) msFlexGrid1_->setColumnWidth(c, px(larghezze[c]));
    tempi_.modello().impostaAllineamento(0, Qt::AlignLeft | Qt::AlignVCenter);
    tempi_.modello().impostaAllineamento(1, Qt::AlignCenter);
    tempi_.modello().impostaAllineamento(2, Qt::AlignCenter);
}
