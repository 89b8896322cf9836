#include "results/visualtempi.h"

#include "database/database.h"
#include "comune/caratteri.h"
#include "comune/messaggi.h"
#include "comune/twips.h"
#include "timing/tempotesto.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <memory>

namespace {
// The rows behind the grid, in the same order as Sunto gives them.
constexpr const char *sqlRighe = "SELECT id, pilota, giroN, tempoGiro FROM Giri "
                                 "WHERE piega(pilota) LIKE piega(?) ESCAPE '\\' ORDER BY id";

// A lock that lasts is told at once rather than waited for.
struct AttesaBreve {
    Database &db;
    explicit AttesaBreve(Database &d, int ms = TempiPiloti::attesaMs) : db(d) { db.impostaAttesa(ms); }
    ~AttesaBreve() { db.impostaAttesa(Database::attesaPredefinitaMs); }
};
} // namespace

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
    const AttesaBreve breve(db_);
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
    testo_ = testo;
    giri_.clear();
    // The name is bound, never pasted into the statement: an apostrophe is just a letter.
    modello_.impostaQuery(QString::fromLatin1(sqlGiri), {modelloLike(testo)});
    const AttesaBreve breve(db_);
    const bool propria = !db_.inTransazione(); // or the caller's reading, already under way
    try {
        // One reading for the grid and the laps behind its rows: a lap committed meanwhile cannot shift them.
        if (propria) db_.esegui(QStringLiteral("BEGIN"));
        modello_.aggiorna();
        {
            Istruzione q = db_.prepara(sqlRighe);
            q.lega(1, modelloLike(testo));
            while (q.passo())
                giri_.append({q.intero(0), q.testo(1), static_cast<int>(q.intero(2)), static_cast<float>(q.reale(3))});
        }
        if (propria) db_.esegui(QStringLiteral("COMMIT"));
    } catch (const ErroreDatabase &e) {
        try {
            if (propria && db_.inTransazione()) db_.esegui(QStringLiteral("ROLLBACK"));
        } catch (const ErroreDatabase &) {
        }
        giri_.clear();
        modello_.svuota();
        e.mostra(messaggi_);
    }
}

void TempiPiloti::impostaCorrezioni(Esecutore esegui, std::function<void(const CorrezioneGiri &)> seguito)
{
    esegui_ = std::move(esegui);
    seguito_ = std::move(seguito);
}

std::optional<GiroScelto> TempiPiloti::giro(int riga) const
{
    if (riga < 0 || riga >= giri_.size() || giri_.size() != modello_.rowCount()) return std::nullopt;
    const GiroScelto &g = giri_[riga];
    // A file whose Sunto lists other rows than its laps offers nothing to correct.
    if (modello_.valore(riga, 0).toString() != g.pilota || modello_.valore(riga, 1).toInt() != g.giroN)
        return std::nullopt;
    return g;
}

int TempiPiloti::successivo(int riga) const
{
    const std::optional<GiroScelto> g = giro(riga);
    if (!g) return -1;
    int trovato = -1;
    for (int r = 0; r < giri_.size(); ++r) {
        const GiroScelto &a = giri_[r];
        if (a.pilota != g->pilota || a.giroN < g->giroN || (a.giroN == g->giroN && a.id <= g->id)) continue;
        if (trovato < 0 || a.giroN < giri_[trovato].giroN) trovato = r;
    }
    return trovato;
}

bool TempiPiloti::unibile(int riga) const { return successivo(riga) >= 0; }

bool TempiPiloti::correggi(int riga, correzioni::Tipo tipo)
{
    const std::optional<GiroScelto> g = giro(riga);
    const int dopo = successivo(riga);
    const bool unisci = tipo == correzioni::Tipo::Unisci;
    if (!g || !esegui_ || (unisci && dopo < 0)) return false;
    const QString tempo = modello_.valore(riga, 2).toString();
    const QString titolo = unisci ? QStringLiteral("Unisci al giro successivo") : QStringLiteral("Elimina giro");
    const QString domanda = unisci
        ? QStringLiteral("Unire il giro %1 di %2 (%3) al giro successivo (%4)?\n"
                         "Diventano un solo giro di %5 e i giri seguenti scalano di uno.")
              .arg(g->giroN)
              .arg(g->pilota, tempo, modello_.valore(dopo, 2).toString(),
                   testoTempo(g->tempoGiro + giri_[dopo].tempoGiro))
        : QStringLiteral("Eliminare il giro %1 di %2 (%3)?").arg(g->giroN).arg(g->pilota, tempo)
              + (dopo >= 0 ? QStringLiteral("\nI giri seguenti scalano di uno.") : QString());
    if (messaggi_.mostra(domanda, Messaggi::Pulsanti::SiNo, Messaggi::Icona::Domanda, titolo, 1)
        != Messaggi::Risposta::Si)
        return false;
    struct Esito {
        std::optional<CorrezioneGiri> correzione;
        QString motivo;
        int fatto = -1; // -1 while the writer has not answered
    };
    const auto esito = std::make_shared<Esito>();
    const GiroScelto scelto = *g;
    // The lanes follow a correction made even if the viewer is closed before the writer answers.
    esegui_([esito, scelto, tipo](Database &db) { esito->correzione = correzioni::correggi(db, scelto, tipo, &esito->motivo); },
            [this, vivo = std::weak_ptr<int>(vivo_), messaggi = &messaggi_, seguito = seguito_, esito,
             titolo](bool fatto, const QString &errore) {
                esito->fatto = fatto && esito->correzione;
                if (!esito->fatto)
                    messaggi->mostra(QStringLiteral("La correzione non è stata fatta: ") + (fatto ? esito->motivo : errore),
                                     Messaggi::Pulsanti::Ok, Messaggi::Icona::Esclamazione, titolo);
                else if (seguito)
                    seguito(*esito->correzione);
                if (!vivo.expired()) caricatabella(testo_);
            });
    return esito->fatto != 0;
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
    msFlexGrid1_->setSelectionBehavior(QAbstractItemView::SelectRows);
    msFlexGrid1_->setSelectionMode(QAbstractItemView::SingleSelection);
    // The corrections: the grid's context menu (the menu key too) and a key each.
    unisci_ = new QAction(QStringLiteral("Unisci al giro successivo"), msFlexGrid1_);
    unisci_->setShortcut(QKeySequence(QStringLiteral("Ctrl+U")));
    elimina_ = new QAction(QStringLiteral("Elimina giro"), msFlexGrid1_);
    elimina_->setShortcut(QKeySequence::Delete);
    for (QAction *a : {unisci_, elimina_}) {
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        msFlexGrid1_->addAction(a);
    }
    msFlexGrid1_->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(unisci_, &QAction::triggered, this, [this] { correggi(correzioni::Tipo::Unisci); });
    connect(elimina_, &QAction::triggered, this, [this] { correggi(correzioni::Tipo::Elimina); });
    connect(msFlexGrid1_->selectionModel(), &QItemSelectionModel::currentChanged, this, &Visualtempi::aggiornaAzioni);

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

bool Visualtempi::inizializzaSenzaAttesa()
{
    Database &db = tempi_.db();
    if (!db.aperto()) {
        inizializza(); // tells why there is nothing to read
        return true;
    }
    {
        // A read lock taken without waiting: once it is held no reading below waits either.
        const AttesaBreve subito(db, 0);
        try {
            db.esegui(QStringLiteral("BEGIN"));
            db.prepara("SELECT count(*) FROM sqlite_master").esegui();
        } catch (const ErroreDatabase &e) {
            if (db.inTransazione()) db.esegui(QStringLiteral("ROLLBACK"));
            if (e.occupato()) return false; // another program holds it
        }
    }
    inizializza();
    try {
        if (db.inTransazione()) db.esegui(QStringLiteral("COMMIT"));
    } catch (const ErroreDatabase &) {
        // A reading has nothing to lose; the lock goes with the connection's next statement.
    }
    return true;
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
    disponi();
}

void Visualtempi::disponi()
{
    const int larghezze[] = {1300, 650, 1300};
    for (int c = 0; c < 3; ++c) msFlexGrid1_->setColumnWidth(c, px(larghezze[c]));
    tempi_.modello().impostaAllineamento(0, Qt::AlignLeft | Qt::AlignVCenter);
    tempi_.modello().impostaAllineamento(1, Qt::AlignCenter);
    tempi_.modello().impostaAllineamento(2, Qt::AlignCenter);
    aggiornaAzioni();
}

void Visualtempi::aggiornaAzioni()
{
    const bool attive = tempi_.correzioniAttive();
    const int riga = msFlexGrid1_->currentIndex().row();
    unisci_->setVisible(attive);
    elimina_->setVisible(attive);
    unisci_->setEnabled(attive && tempi_.unibile(riga));
    elimina_->setEnabled(attive && tempi_.giro(riga).has_value());
}

void Visualtempi::correggi(correzioni::Tipo tipo)
{
    const int riga = msFlexGrid1_->currentIndex().row();
    if (riga < 0) return;
    tempi_.correggi(riga, tipo);
    disponi();
    // The cursor stays where it was, on the lap that now holds that place.
    if (const int righe = tempi_.modello().rowCount(); righe > 0) msFlexGrid1_->selectRow(qMin(riga, righe - 1));
    aggiornaAzioni();
}
