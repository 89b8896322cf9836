#include "garaui/finestragara.h"

#include "comune/caratteri.h"
#include "comune/messaggi.h"
#include "gara/direzionegara.h"
#include "gara/gestionegare.h"
#include "gara/testigara.h"
#include "garaui/dialogopenalita.h"
#include "timing/orologio.h"
#include "timing/tempotesto.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace gara;

namespace {
constexpr int colonnaPrimaCorsia = 3;

QTableWidget *tabella(QWidget *genitore, const char *nome, const QStringList &intestazioni)
{
    auto *t = new QTableWidget(0, int(intestazioni.size()), genitore);
    t->setObjectName(QString::fromLatin1(nome));
    t->setHorizontalHeaderLabels(intestazioni);
    t->verticalHeader()->hide();
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    return t;
}

void riempi(QTableWidget *t, const QVector<QStringList> &righe)
{
    t->setRowCount(int(righe.size()));
    for (int r = 0; r < righe.size(); ++r)
        for (int c = 0; c < righe[r].size() && c < t->columnCount(); ++c) {
            auto *cella = new QTableWidgetItem(righe[r][c]);
            cella->setFlags(cella->flags() & ~Qt::ItemIsEditable);
            t->setItem(r, c, cella);
        }
}

QString tempoOVuoto(float t) { return t > 0 ? testoTempo(t) : QString(); }

// A lane's cell of a heat still to run: the entry list to choose from, or no one.
class DelegatoCorsia : public QStyledItemDelegate {
public:
    DelegatoCorsia(GestioneGare &gestione, QObject *parent) : QStyledItemDelegate(parent), gestione_(gestione) {}
    QWidget *createEditor(QWidget *genitore, const QStyleOptionViewItem &, const QModelIndex &) const override
    {
        auto *c = new QComboBox(genitore);
        c->addItem(QString());
        for (const Iscritto &i : gestione_.stato().iscritti) c->addItem(i.nome);
        return c;
    }
    void setEditorData(QWidget *editor, const QModelIndex &indice) const override
    {
        auto *c = static_cast<QComboBox *>(editor);
        c->setCurrentIndex(std::max(0, c->findText(indice.data().toString())));
    }
    void setModelData(QWidget *editor, QAbstractItemModel *modello, const QModelIndex &indice) const override
    {
        modello->setData(indice, static_cast<QComboBox *>(editor)->currentText());
    }

private:
    GestioneGare &gestione_;
};
} // namespace

FinestraGara::FinestraGara(GestioneGare &gestione, DirezioneGara *direzione, Orologio &orologio, Messaggi &messaggi,
                           QWidget *parent)
    : QDialog(parent), gestione_(gestione), direzione_(direzione), orologio_(orologio), messaggi_(messaggi)
{
    setObjectName(QStringLiteral("FinestraGara"));
    setWindowTitle(QStringLiteral("Gara"));
    setFont(carattere(10));
    resize(980, 640);
    gareCmb_ = new QComboBox(this);
    gareCmb_->setObjectName(QStringLiteral("gareCmb"));
    gareCmb_->setMinimumWidth(360);
    auto *nuova = nuovoPulsante(this, "nuovaGaraBtn", QStringLiteral("Nuova gara"));
    auto *alto = new QHBoxLayout;
    alto->addWidget(new QLabel(QStringLiteral("Gara:"), this));
    alto->addWidget(gareCmb_, 1);
    alto->addWidget(nuova);
    schede_ = new QTabWidget(this);
    schede_->setObjectName(QStringLiteral("schede"));
    schede_->addTab(creaSchedaGara(), QStringLiteral("Gara"));
    schede_->addTab(creaSchedaIscritti(), QStringLiteral("Iscritti"));
    schede_->addTab(creaSchedaProgramma(), QStringLiteral("Programma"));
    schede_->addTab(creaSchedaRisultati(), QStringLiteral("Risultati"));
    schede_->addTab(creaSchedaRegistro(), QStringLiteral("Registro"));
    auto *chiudi = nuovoPulsante(this, "chiudiBtn", QStringLiteral("Chiudi"));
    connect(chiudi, &QPushButton::clicked, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(alto);
    layout->addWidget(schede_, 1);
    layout->addWidget(chiudi, 0, Qt::AlignRight);

    connect(gareCmb_, &QComboBox::activated, this, [this] {
        nuova_ = false;
        modificato_ = false;
        gestione_.scegliGara(gareCmb_->currentData().toLongLong());
    });
    connect(nuova, &QPushButton::clicked, this, [this] {
        // An empty form; the event is made by "Salva".
        nuova_ = true;
        modificato_ = false;
        schede_->setCurrentIndex(SchedaGara);
        mostraGara();
        nome_->setFocus();
    });
    connect(&gestione_, &GestioneGare::cambiata, this, &FinestraGara::mostra);
}

QPushButton *FinestraGara::nuovoPulsante(QWidget *genitore, const char *nome, const QString &testo)
{
    auto *b = new QPushButton(testo, genitore);
    b->setObjectName(QString::fromLatin1(nome));
    b->setAutoDefault(false);
    return b;
}

QPushButton *FinestraGara::pulsante(const QString &nome) const { return findChild<QPushButton *>(nome); }

qint64 FinestraGara::garaScelta() const { return gestione_.stato().gara ? gestione_.stato().gara->id : 0; }

void FinestraGara::apri(qint64 gara, Scheda scheda)
{
    schede_->setCurrentIndex(scheda);
    gestione_.aggiorna([this, gara] {
        const QVector<Gara> &gare = gestione_.stato().gare;
        const qint64 id = gara > 0 ? gara : gare.isEmpty() ? 0 : gare.last().id;
        nuova_ = id == 0;
        gestione_.scegliGara(id);
    });
}

// --- the event --------------------------------------------------------------

QWidget *FinestraGara::creaSchedaGara()
{
    auto *w = new QWidget(this);
    nome_ = new QLineEdit(w);
    nome_->setObjectName(QStringLiteral("nome"));
    data_ = new QDateEdit(w);
    data_->setObjectName(QStringLiteral("data"));
    data_->setCalendarPopup(true);
    data_->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    pista_ = new QLineEdit(w);
    pista_->setObjectName(QStringLiteral("pista"));
    campionato_ = new QComboBox(w);
    campionato_->setObjectName(QStringLiteral("campionato"));
    tipo_ = new QComboBox(w);
    tipo_->setObjectName(QStringLiteral("tipo"));
    tipo_->addItems(nomiTipi());
    valore_ = new QLineEdit(w);
    valore_->setObjectName(QStringLiteral("valore"));
    auto *unita = new QLabel(w);
    grazia_ = new QLineEdit(w);
    grazia_->setObjectName(QStringLiteral("grazia"));
    falsa_ = new QComboBox(w);
    falsa_->setObjectName(QStringLiteral("falsaPartenza"));
    for (int k = 0; k < 4; ++k) falsa_->addItem(nomePenalitaFalsaPartenza(static_cast<PenalitaFalsaPartenza>(k)));
    auto *riga = new QHBoxLayout;
    for (int k = 0; k < corsieMassime; ++k) {
        corsie_[k] = new QCheckBox(QString::number(k + 1), w);
        corsie_[k]->setObjectName(QStringLiteral("corsia%1").arg(k + 1));
        riga->addWidget(corsie_[k]);
    }
    riga->addStretch();
    auto *valoreRiga = new QHBoxLayout;
    valoreRiga->addWidget(valore_);
    valoreRiga->addWidget(unita);
    const auto unitaDelTipo = [this, unita] {
        const auto t = static_cast<TipoSessione>(tipo_->currentIndex());
        unita->setText(t == TipoSessione::GaraAGiri ? QStringLiteral("giri")
                       : t == TipoSessione::ProvaLibera ? QString() : QStringLiteral("minuti"));
        valore_->setEnabled(t != TipoSessione::ProvaLibera);
    };
    connect(tipo_, &QComboBox::currentIndexChanged, this, unitaDelTipo);
    unitaDelTipo();
    auto *modulo = new QFormLayout;
    modulo->addRow(QStringLiteral("Nome:"), nome_);
    modulo->addRow(QStringLiteral("Data:"), data_);
    modulo->addRow(QStringLiteral("Pista:"), pista_);
    modulo->addRow(QStringLiteral("Campionato:"), campionato_);
    modulo->addRow(QStringLiteral("Manche:"), tipo_);
    modulo->addRow(QStringLiteral("Durata o giri:"), valoreRiga);
    modulo->addRow(QStringLiteral("Tempo dopo la bandiera (migliori giri):"), grazia_);
    modulo->addRow(QStringLiteral("Corsie in uso:"), riga);
    modulo->addRow(QStringLiteral("Falsa partenza:"), falsa_);
    auto *salva = nuovoPulsante(w, "salvaGaraBtn", QStringLiteral("Salva"));
    connect(salva, &QPushButton::clicked, this, &FinestraGara::salvaGara);
    const auto modifica = [this] {
        if (!riempiendo_) modificato_ = true;
    };
    for (QLineEdit *t : {nome_, pista_, valore_, grazia_}) connect(t, &QLineEdit::textChanged, this, modifica);
    for (QComboBox *c : {campionato_, tipo_, falsa_}) connect(c, &QComboBox::currentIndexChanged, this, modifica);
    for (QCheckBox *c : corsie_) connect(c, &QCheckBox::toggled, this, modifica);
    connect(data_, &QDateEdit::dateChanged, this, modifica);
    auto *layout = new QVBoxLayout(w);
    layout->addLayout(modulo);
    layout->addWidget(new QLabel(QStringLiteral("Una corsia guasta si disattiva: il programma usa le altre."), w));
    layout->addStretch();
    layout->addWidget(salva, 0, Qt::AlignRight);
    return w;
}

std::optional<Regole> FinestraGara::regoleMostrate(QString *errore) const
{
    Regole r;
    r.tipo = static_cast<TipoSessione>(std::max(0, tipo_->currentIndex()));
    const std::optional<double> g = leggiNumero(grazia_->text());
    if (!g) {
        if (errore) *errore = QStringLiteral("Il tempo dopo la bandiera non è un numero: indicare quanti migliori giri (per esempio 2).");
        return std::nullopt;
    }
    r.fattoreGrazia = *g;
    if (r.tipo != TipoSessione::ProvaLibera) {
        const std::optional<double> v = leggiNumero(valore_->text());
        if (!v) {
            if (errore)
                *errore = r.tipo == TipoSessione::GaraAGiri ? QStringLiteral("Indicare il numero di giri della gara.")
                                                            : QStringLiteral("Indicare la durata in minuti.");
            return std::nullopt;
        }
        if (r.tipo == TipoSessione::GaraAGiri) {
            if (*v != std::floor(*v)) {
                if (errore) *errore = QStringLiteral("I giri della gara sono un numero intero.");
                return std::nullopt;
            }
            r.giri = int(std::clamp(*v, -1.0, 100000.0));
        } else {
            r.durata = *v * 60.0;
        }
    }
    const QString motivo = r.errore();
    if (!motivo.isEmpty()) {
        if (errore) *errore = motivo;
        return std::nullopt;
    }
    return r;
}

void FinestraGara::salvaGara()
{
    QString errore;
    const std::optional<Regole> regole = regoleMostrate(&errore);
    if (!regole) {
        messaggi_.mostra(errore, Messaggi::Pulsanti::Ok, Messaggi::Icona::Esclamazione, QStringLiteral("Gara"));
        return;
    }
    Gara g = nuova_ || !gestione_.stato().gara ? Gara{} : *gestione_.stato().gara;
    g.nome = nome_->text();
    g.data = data_->date();
    g.pista = pista_->text().trimmed();
    g.campionato = campionato_->currentData().toLongLong();
    g.regole = *regole;
    g.corsie = 0;
    for (int k = 0; k < corsieMassime; ++k)
        if (corsie_[k]->isChecked()) g.corsie |= quint8(1u << k);
    g.falsaPartenza = static_cast<PenalitaFalsaPartenza>(falsa_->currentIndex());
    gestione_.salvaGara(g, [this](bool fatto, const QString &e, const QStringList &a) {
        if (fatto) {
            nuova_ = modificato_ = false;
            mostraGara();
        }
        esito(fatto, e, a);
        if (fatto && direzione_) direzione_->rileggi();
    });
}

void FinestraGara::mostraGara()
{
    const GestioneGare::Stato &s = gestione_.stato();
    riempiendo_ = true;
    campionato_->clear();
    campionato_->addItem(QStringLiteral("Nessuno"), qint64(0));
    for (const Campionato &c : s.campionati) campionato_->addItem(c.nome, c.id);
    const Gara g = nuova_ || !s.gara ? [&] {
        Gara n;
        n.data = orologio_.dataOra().date();
        n.regole.tipo = TipoSessione::GaraATempo;
        n.regole.durata = 5 * 60;
        n.corsie = 0x0F;
        return n;
    }() : *s.gara;
    nome_->setText(g.nome);
    data_->setDate(g.data);
    pista_->setText(g.pista);
    campionato_->setCurrentIndex(std::max(0, campionato_->findData(g.campionato)));
    tipo_->setCurrentIndex(int(g.regole.tipo));
    valore_->setText(g.regole.tipo == TipoSessione::GaraAGiri ? QString::number(g.regole.giri)
                     : g.regole.tipo == TipoSessione::ProvaLibera ? QString()
                                                                  : QString::number(g.regole.durata / 60.0).replace('.', ','));
    grazia_->setText(QString::number(g.regole.fattoreGrazia).replace('.', ','));
    for (int k = 0; k < corsieMassime; ++k) corsie_[k]->setChecked(g.corsie & (1u << k));
    falsa_->setCurrentIndex(int(g.falsaPartenza));
    riempiendo_ = false;
}

// --- entries ----------------------------------------------------------------

QWidget *FinestraGara::creaSchedaIscritti()
{
    auto *w = new QWidget(this);
    iscrittiTbl_ = tabella(w, "iscrittiTbl", {QStringLiteral("N."), QStringLiteral("Pilota"), QStringLiteral("Vettura"),
                                              QStringLiteral("Club")});
    nomeIscritto_ = new QLineEdit(w);
    nomeIscritto_->setObjectName(QStringLiteral("nomeIscritto"));
    nomeIscritto_->setPlaceholderText(QStringLiteral("Pilota"));
    vettura_ = new QLineEdit(w);
    vettura_->setObjectName(QStringLiteral("vettura"));
    vettura_->setPlaceholderText(QStringLiteral("Vettura (facoltativa)"));
    club_ = new QLineEdit(w);
    club_->setObjectName(QStringLiteral("club"));
    club_->setPlaceholderText(QStringLiteral("Club (facoltativo)"));
    auto *iscrivi = nuovoPulsante(w, "iscriviBtn", QStringLiteral("Iscrivi"));
    auto *modifica = nuovoPulsante(w, "modificaIscrittoBtn", QStringLiteral("Salva modifiche"));
    auto *ritira = nuovoPulsante(w, "ritiraBtn", QStringLiteral("Ritira"));
    iscrivi->setDefault(true);
    auto *riga = new QHBoxLayout;
    for (QWidget *x : std::initializer_list<QWidget *>{nomeIscritto_, vettura_, club_, iscrivi, modifica, ritira})
        riga->addWidget(x);
    auto *layout = new QVBoxLayout(w);
    layout->addWidget(iscrittiTbl_, 1);
    layout->addLayout(riga);
    const auto scelto = [this]() -> std::optional<Iscritto> {
        const int r = iscrittiTbl_->currentRow();
        const QVector<Iscritto> &l = gestione_.stato().iscritti;
        if (r < 0 || r >= l.size()) return std::nullopt;
        return l[r];
    };
    connect(iscrittiTbl_, &QTableWidget::itemSelectionChanged, this, [this, scelto] {
        if (const auto i = scelto()) {
            nomeIscritto_->setText(i->nome);
            vettura_->setText(i->vettura);
            club_->setText(i->club);
        }
    });
    const auto svuota = [this](bool fatto, const QString &e, const QStringList &a) {
        esito(fatto, e, a);
        if (!fatto) return;
        for (QLineEdit *t : {nomeIscritto_, vettura_, club_}) t->clear();
        nomeIscritto_->setFocus();
    };
    connect(iscrivi, &QPushButton::clicked, this, [this, svuota] {
        gestione_.iscrivi({0, 0, nomeIscritto_->text(), vettura_->text(), club_->text()}, svuota);
    });
    connect(nomeIscritto_, &QLineEdit::returnPressed, iscrivi, &QPushButton::click);
    connect(modifica, &QPushButton::clicked, this, [this, scelto, svuota] {
        std::optional<Iscritto> i = scelto();
        if (!i) return messaggi_.mostra(QStringLiteral("Scegliere il pilota nell'elenco."), Messaggi::Pulsanti::Ok), void();
        i->nome = nomeIscritto_->text();
        i->vettura = vettura_->text();
        i->club = club_->text();
        gestione_.modificaIscritto(*i, svuota);
    });
    connect(ritira, &QPushButton::clicked, this, [this, scelto, svuota] {
        const std::optional<Iscritto> i = scelto();
        if (!i) return messaggi_.mostra(QStringLiteral("Scegliere il pilota nell'elenco."), Messaggi::Pulsanti::Ok), void();
        if (messaggi_.mostra(QStringLiteral("Ritirare %1 dalla gara?").arg(i->nome), Messaggi::Pulsanti::SiNo,
                             Messaggi::Icona::Domanda, QStringLiteral("Ritira"), 1)
            == Messaggi::Risposta::Si)
            gestione_.ritira(i->id, svuota);
    });
    return w;
}

// --- the schedule -----------------------------------------------------------

QWidget *FinestraGara::creaSchedaProgramma()
{
    auto *w = new QWidget(this);
    QStringList testata{QStringLiteral("Manche"), QStringLiteral("Turno"), QStringLiteral("Tipo")};
    for (int k = 0; k < corsieMassime; ++k) testata << QStringLiteral("Corsia %1").arg(k + 1);
    testata << QStringLiteral("Stato");
    programmaTbl_ = tabella(w, "programmaTbl", testata);
    programmaTbl_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                                   | QAbstractItemView::SelectedClicked);
    programmaTbl_->setSelectionBehavior(QAbstractItemView::SelectItems);
    for (int k = 0; k < corsieMassime; ++k)
        programmaTbl_->setItemDelegateForColumn(colonnaPrimaCorsia + k, new DelegatoCorsia(gestione_, programmaTbl_));
    auto *riga = new QHBoxLayout;
    const struct { const char *nome, *testo; } pulsanti[] = {
        {"generaBtn", "Genera programma"}, {"suBtn", "Su"}, {"giuBtn", "Giù"},
        {"salvaProgrammaBtn", "Salva programma"}, {"regoleMancheBtn", "Tipo della manche..."},
        {"stampaProgrammaBtn", "Stampa programma"}, {"corriBtn", "Corri la manche"}};
    for (const auto &p : pulsanti) riga->addWidget(nuovoPulsante(w, p.nome, QString::fromUtf8(p.testo)));
    auto *layout = new QVBoxLayout(w);
    layout->addWidget(new QLabel(QStringLiteral("Doppio clic su una corsia per cambiare il pilota; Su e Giù spostano "
                                                "la manche. Le manche corse restano come sono."), w));
    layout->addWidget(programmaTbl_, 1);
    layout->addLayout(riga);
    connect(pulsante("generaBtn"), &QPushButton::clicked, this, [this] {
        const bool rifare = !gestione_.stato().manche.isEmpty();
        if (rifare && messaggi_.mostra(QStringLiteral("Rifare il programma? Le manche da correre sono sostituite."),
                                       Messaggi::Pulsanti::SiNo, Messaggi::Icona::Domanda, QStringLiteral("Programma"), 1)
                          != Messaggi::Risposta::Si)
            return;
        gestione_.generaProgramma([this](bool f, const QString &e, const QStringList &a) {
            esito(f, e, a);
            if (f && direzione_) direzione_->rileggi();
        });
    });
    connect(pulsante("suBtn"), &QPushButton::clicked, this, [this] { sposta(-1); });
    connect(pulsante("giuBtn"), &QPushButton::clicked, this, [this] { sposta(+1); });
    connect(pulsante("salvaProgrammaBtn"), &QPushButton::clicked, this, [this] {
        QString errore;
        const std::optional<Programma> p = programmaMostrato(&errore);
        if (!p) return messaggi_.mostra(errore, Messaggi::Pulsanti::Ok, Messaggi::Icona::Esclamazione, QStringLiteral("Programma")), void();
        gestione_.salvaProgramma(*p, [this](bool f, const QString &e, const QStringList &a) {
            esito(f, e, a);
            if (f && direzione_) direzione_->rileggi();
        });
    });
    connect(pulsante("regoleMancheBtn"), &QPushButton::clicked, this, &FinestraGara::regoleManche);
    connect(pulsante("stampaProgrammaBtn"), &QPushButton::clicked, this, [this] {
        if (garaScelta() > 0) emit stampa(StampaGara::Documento::Programma, garaScelta());
    });
    connect(pulsante("corriBtn"), &QPushButton::clicked, this, [this] {
        const QVector<Manche> &m = gestione_.stato().manche;
        const int r = programmaTbl_->currentRow();
        const Manche *scelta = r >= 0 && r < m.size() && m[r].stato() == Manche::Stato::DaCorrere ? &m[r] : nullptr;
        if (!scelta)
            for (const Manche &x : m)
                if (x.stato() == Manche::Stato::DaCorrere && !scelta) scelta = &x;
        if (!scelta)
            return messaggi_.mostra(QStringLiteral("Non ci sono manche da correre in questa gara."), Messaggi::Pulsanti::Ok), void();
        emit corri(garaScelta(), scelta->id);
        accept();
    });
    return w;
}

void FinestraGara::mostraProgramma()
{
    const GestioneGare::Stato &s = gestione_.stato();
    QVector<QStringList> righe;
    for (int k = 0; k < s.manche.size(); ++k) {
        const Manche &m = s.manche[k];
        QStringList r{QString::number(m.numero), QString::number(m.turno), descriviRegole(m.regole)};
        for (int c = 0; c < corsieMassime; ++c) {
            QString nome;
            for (const Iscritto &i : s.iscritti)
                if (i.id == m.corsie[c]) nome = i.nome;
            r << nome;
        }
        r << nomeStatoManche(m.stato());
        righe.append(r);
    }
    riempi(programmaTbl_, righe);
    const quint8 attive = s.gara ? s.gara->corsie : 0;
    for (int k = 0; k < s.manche.size(); ++k) {
        const bool daCorrere = s.manche[k].stato() == Manche::Stato::DaCorrere;
        for (int c = 0; c < corsieMassime; ++c) {
            QTableWidgetItem *cella = programmaTbl_->item(k, colonnaPrimaCorsia + c);
            // Only heats to run, on lanes in use, are changed by hand.
            if (daCorrere && (attive & (1u << c))) cella->setFlags(cella->flags() | Qt::ItemIsEditable);
            else cella->setBackground(palette().color(QPalette::AlternateBase));
        }
    }
}

std::optional<Programma> FinestraGara::programmaMostrato(QString *errore) const
{
    const GestioneGare::Stato &s = gestione_.stato();
    Programma p;
    for (int r = 0; r < programmaTbl_->rowCount() && r < s.manche.size(); ++r) {
        if (programmaTbl_->item(r, colonnaPrimaCorsia + corsieMassime)->text() != nomeStatoManche(Manche::Stato::DaCorrere))
            continue;
        MancheProgrammata m;
        m.turno = programmaTbl_->item(r, 1)->text().toInt();
        for (int c = 0; c < corsieMassime; ++c) {
            const QString nome = programmaTbl_->item(r, colonnaPrimaCorsia + c)->text().trimmed();
            if (nome.isEmpty()) continue;
            int posizione = -1;
            for (int i = 0; i < s.iscritti.size(); ++i)
                if (s.iscritti[i].nome == nome) posizione = i;
            if (posizione < 0) {
                if (errore) *errore = QStringLiteral("%1 non è iscritto a questa gara.").arg(nome);
                return std::nullopt;
            }
            m.corsie[c] = posizione;
        }
        p.append(m);
    }
    return p;
}

// Moves the chosen heat still to run up or down among those still to run.
void FinestraGara::sposta(int verso)
{
    const int r = programmaTbl_->currentRow();
    const int altra = r + verso;
    const QString daCorrere = nomeStatoManche(Manche::Stato::DaCorrere);
    const int stato = colonnaPrimaCorsia + corsieMassime;
    if (r < 0 || altra < 0 || altra >= programmaTbl_->rowCount()) return;
    if (programmaTbl_->item(r, stato)->text() != daCorrere || programmaTbl_->item(altra, stato)->text() != daCorrere) return;
    // The heat's number stays with its place; the rest goes with the heat.
    for (int c = 1; c < programmaTbl_->columnCount(); ++c) {
        QTableWidgetItem *a = programmaTbl_->takeItem(r, c);
        QTableWidgetItem *b = programmaTbl_->takeItem(altra, c);
        programmaTbl_->setItem(r, c, b);
        programmaTbl_->setItem(altra, c, a);
    }
    programmaTbl_->setCurrentCell(altra, programmaTbl_->currentColumn());
}

void FinestraGara::regoleManche()
{
    const QVector<Manche> &m = gestione_.stato().manche;
    const int r = programmaTbl_->currentRow();
    if (r < 0 || r >= m.size()) return messaggi_.mostra(QStringLiteral("Scegliere la manche nel programma."), Messaggi::Pulsanti::Ok), void();
    bool ok = false;
    const QString tipo = QInputDialog::getItem(this, QStringLiteral("Tipo della manche"),
                                               QStringLiteral("Manche %1:").arg(m[r].numero), nomiTipi(),
                                               int(m[r].regole.tipo), false, &ok);
    if (!ok) return;
    Regole regole = m[r].regole;
    regole.tipo = tipoDaNome(tipo).value_or(TipoSessione::ProvaLibera);
    if (regole.tipo != TipoSessione::ProvaLibera) {
        const bool giri = regole.tipo == TipoSessione::GaraAGiri;
        const QString valore = QInputDialog::getText(this, QStringLiteral("Tipo della manche"),
                                                     giri ? QStringLiteral("Giri:") : QStringLiteral("Minuti:"),
                                                     QLineEdit::Normal,
                                                     giri ? QString::number(std::max(1, regole.giri))
                                                          : QString::number(std::max(1.0, regole.durata / 60)),
                                                     &ok);
        if (!ok) return;
        const double v = leggiNumero(valore).value_or(0);
        if (giri) regole.giri = v == std::floor(v) ? int(std::clamp(v, -1.0, 100000.0)) : -1;
        else regole.durata = v * 60;
    }
    gestione_.impostaRegoleManche(m[r].id, regole, [this](bool f, const QString &e, const QStringList &a) {
        esito(f, e, a);
        if (f && direzione_) direzione_->rileggi();
    });
}

// --- results and the trail --------------------------------------------------

QWidget *FinestraGara::creaSchedaRisultati()
{
    auto *w = new QWidget(this);
    risultatoTbl_ = tabella(w, "risultatoTbl", {QStringLiteral("Pos."), QStringLiteral("Pilota"), QStringLiteral("Giri"),
                                                QStringLiteral("Manche"), QStringLiteral("Miglior giro"),
                                                QStringLiteral("Penalità")});
    mancheCmb_ = new QComboBox(w);
    mancheCmb_->setObjectName(QStringLiteral("mancheCmb"));
    mancheTbl_ = tabella(w, "mancheTbl", {QStringLiteral("Pos."), QStringLiteral("Corsia"), QStringLiteral("Pilota"),
                                          QStringLiteral("Giri"), QStringLiteral("Stato"), QStringLiteral("Miglior giro"),
                                          QStringLiteral("Note")});
    auto *riga = new QHBoxLayout;
    riga->addWidget(nuovoPulsante(w, "stampaRisultatiBtn", QStringLiteral("Stampa risultati")));
    riga->addWidget(nuovoPulsante(w, "esportaCsvBtn", QStringLiteral("Esporta CSV...")));
    riga->addWidget(nuovoPulsante(w, "esportaExcelBtn", QStringLiteral("Esporta Excel...")));
    riga->addStretch();
    auto *layout = new QVBoxLayout(w);
    layout->addWidget(new QLabel(QStringLiteral("Classifica della gara (giri delle manche di gara con le penalità e la "
                                                "frazione dell'ultimo giro):"), w));
    layout->addWidget(risultatoTbl_, 2);
    layout->addWidget(mancheCmb_);
    layout->addWidget(mancheTbl_, 2);
    layout->addLayout(riga);
    connect(mancheCmb_, &QComboBox::currentIndexChanged, this, &FinestraGara::mostraRisultati);
    connect(pulsante("stampaRisultatiBtn"), &QPushButton::clicked, this, [this] {
        if (garaScelta() > 0) emit stampa(StampaGara::Documento::Risultati, garaScelta());
    });
    connect(pulsante("esportaCsvBtn"), &QPushButton::clicked, this, [this] {
        if (garaScelta() > 0) emit esportaCsv(garaScelta(), gestione_.stato().gara->campionato > 0);
    });
    connect(pulsante("esportaExcelBtn"), &QPushButton::clicked, this, [this] {
        if (garaScelta() > 0) emit esportaExcel(garaScelta());
    });
    return w;
}

void FinestraGara::mostraRisultati()
{
    const GestioneGare::Stato &s = gestione_.stato();
    QVector<QStringList> righe;
    for (const RisultatoPilotaGara &p : s.risultato.classifica)
        righe.append({QString::number(p.posizione) + (p.exAequo ? QStringLiteral(" ex aequo") : QString()), p.nome,
                      p.squalificato ? QStringLiteral("squalificato") : testoGiri(p.totale), QString::number(p.manche),
                      tempoOVuoto(p.migliorGiro), testoSanzioni(p.sanzioniGara)});
    riempi(risultatoTbl_, righe);
    if (!riempiendo_ && mancheCmb_->count() != s.risultati.size()) {
        riempiendo_ = true;
        mancheCmb_->clear();
        for (const Manche &m : s.manche)
            if (s.risultati.contains(m.id))
                mancheCmb_->addItem(QStringLiteral("Manche %1 - %2").arg(m.numero).arg(descriviRegole(m.regole)), m.id);
        riempiendo_ = false;
    }
    righe.clear();
    const auto r = s.risultati.constFind(mancheCmb_->currentData().toLongLong());
    if (r != s.risultati.cend())
        for (const EsitoPilota &e : r->classifica) {
            QStringList note;
            if (!notaPosto(e).isEmpty()) note << notaPosto(e);
            if (!testoSanzioni(e.sanzioni).isEmpty()) note << QStringLiteral("penalità: ") + testoSanzioni(e.sanzioni);
            righe.append({QString::number(e.posizione), QString::number(e.corsia + 1), e.pilota,
                          QString::number(e.giriSanzionati), nomeStato(e.stato), tempoOVuoto(e.migliorGiro),
                          note.join(QStringLiteral("; "))});
        }
    riempi(mancheTbl_, righe);
}

QWidget *FinestraGara::creaSchedaRegistro()
{
    auto *w = new QWidget(this);
    registroTbl_ = tabella(w, "registroTbl", {QStringLiteral("Riga"), QStringLiteral("Quando"), QStringLiteral("Manche"),
                                              QStringLiteral("Pilota"), QStringLiteral("Cosa"), QStringLiteral("Quanto"),
                                              QStringLiteral("Motivo")});
    registroTbl_->horizontalHeader()->setSectionResizeMode(6, QHeaderView::Stretch);
    auto *riga = new QHBoxLayout;
    riga->addWidget(nuovoPulsante(w, "penalitaBtn", QStringLiteral("Penalità...")));
    riga->addWidget(nuovoPulsante(w, "annullaPenalitaBtn", QStringLiteral("Annulla penalità...")));
    riga->addStretch();
    auto *layout = new QVBoxLayout(w);
    layout->addWidget(registroTbl_, 1);
    layout->addLayout(riga);
    connect(pulsante("penalitaBtn"), &QPushButton::clicked, this, &FinestraGara::penalita);
    connect(pulsante("annullaPenalitaBtn"), &QPushButton::clicked, this, &FinestraGara::annullaPenalita);
    return w;
}

void FinestraGara::mostraRegistro()
{
    const GestioneGare::Stato &s = gestione_.stato();
    QHash<qint64, int> numeri;
    for (const Manche &m : s.manche) numeri.insert(m.id, m.numero);
    QVector<QStringList> righe;
    for (const VoceRegistro &v : s.registro) {
        QString cosa = nomeVoce(v.tipo) + (v.annullata ? QStringLiteral(" (annullata)") : QString());
        QString motivo = v.annulla > 0 ? QStringLiteral("annulla la riga %1: %2").arg(v.annulla).arg(v.motivo) : v.motivo;
        righe.append({QString::number(v.id), v.quando.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")),
                      v.manche > 0 ? QString::number(numeri.value(v.manche)) : QStringLiteral("gara"), v.pilota, cosa,
                      quantitaVoce(v), motivo});
    }
    riempi(registroTbl_, righe);
}

void FinestraGara::penalita()
{
    const GestioneGare::Stato &s = gestione_.stato();
    if (!s.gara) return;
    // The event on the lanes gets its penalties through race control, so the heat shows them at once.
    const bool inPista = direzione_ && direzione_->gara() && direzione_->gara()->id == s.gara->id;
    std::optional<Manche> manche;
    if (inPista && (direzione_->inCorso() || direzione_->fase() == DirezioneGara::Fase::Pronta))
        manche = direzione_->mancheCorrente();
    DialogoPenalita dialogo(*s.gara, s.iscritti, manche,
                            [this, inPista](const Sanzione &sanzione, std::function<void(bool, const QString &)> esito) {
                                if (inPista)
                                    direzione_->sanziona(sanzione, [this, esito](bool f, const QString &e) {
                                        esito(f, e);
                                        gestione_.aggiorna();
                                    });
                                else
                                    gestione_.sanziona(sanzione, orologio_.dataOra(),
                                                       [esito](bool f, const QString &e, const QStringList &) { esito(f, e); });
                            },
                            this);
    // A heat already run is chosen in the dialog's list when none is on the lanes.
    if (!manche)
        for (const Manche &m : s.manche)
            if (m.stato() != Manche::Stato::DaCorrere)
                dialogo.ambito()->addItem(QStringLiteral("Manche %1").arg(m.numero), m.id);
    dialogo.exec();
}

void FinestraGara::annullaPenalita()
{
    const QVector<VoceRegistro> &l = gestione_.stato().registro;
    const int r = registroTbl_->currentRow();
    if (r < 0 || r >= l.size())
        return messaggi_.mostra(QStringLiteral("Scegliere la penalità nel registro."), Messaggi::Pulsanti::Ok), void();
    bool ok = false;
    const QString motivo = QInputDialog::getText(this, QStringLiteral("Annulla penalità"),
                                                 QStringLiteral("Motivo dell'annullamento (riga %1):").arg(l[r].id),
                                                 QLineEdit::Normal, QString(), &ok);
    if (!ok) return;
    const qint64 voce = l[r].id;
    const auto fine = [this](bool f, const QString &e) {
        esito(f, e, {});
        gestione_.aggiorna();
    };
    if (direzione_ && direzione_->gara() && gestione_.stato().gara && direzione_->gara()->id == gestione_.stato().gara->id)
        direzione_->annullaSanzione(voce, motivo, fine);
    else
        gestione_.annullaSanzione(voce, motivo, orologio_.dataOra(), [fine](bool f, const QString &e, const QStringList &) { fine(f, e); });
}

// --- showing ----------------------------------------------------------------

void FinestraGara::mostra()
{
    const GestioneGare::Stato &s = gestione_.stato();
    riempiendo_ = true;
    gareCmb_->clear();
    for (const Gara &g : s.gare)
        gareCmb_->addItem(QStringLiteral("%1 - %2").arg(g.data.toString(QStringLiteral("dd/MM/yyyy")), g.nome), g.id);
    gareCmb_->setCurrentIndex(s.gara ? gareCmb_->findData(s.gara->id) : -1);
    riempiendo_ = false;
    // Changes being typed stay, even after a refusal.
    if (!modificato_) mostraGara();
    QVector<QStringList> iscritti;
    for (int k = 0; k < s.iscritti.size(); ++k)
        iscritti.append({QString::number(k + 1), s.iscritti[k].nome, s.iscritti[k].vettura, s.iscritti[k].club});
    riempi(iscrittiTbl_, iscritti);
    riempiendo_ = true;
    mancheCmb_->clear();
    riempiendo_ = false;
    mostraProgramma();
    mostraRisultati();
    mostraRegistro();
    const bool conGara = s.gara.has_value();
    for (int k = SchedaIscritti; k <= SchedaRegistro; ++k) schede_->setTabEnabled(k, conGara);
}

void FinestraGara::esito(bool fatto, const QString &errore, const QStringList &avvisi)
{
    if (!fatto) {
        messaggi_.mostra(errore, Messaggi::Pulsanti::Ok, Messaggi::Icona::Esclamazione, QStringLiteral("Gara"));
        return;
    }
    if (!avvisi.isEmpty())
        messaggi_.mostra(QStringLiteral("Il programma è stato salvato. Da sapere:\n") + avvisi.join(QLatin1Char('\n')),
                         Messaggi::Pulsanti::Ok, Messaggi::Icona::Informazione, QStringLiteral("Programma"));
}
