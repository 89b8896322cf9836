#include "gara/archiviogara.h"

#include "comune/nomepilota.h"
#include "database/cancellatempi.h"
#include "database/database.h"

#include <QSet>
#include <cmath>

namespace gara {

namespace {
const char *const codiciVoce[] = {"giri", "secondi", "squalifica", "avviso",
                                  "annullamento", "eliminazione", "unione", "cancellazione"};

QString codice(TipoVoce t) { return QString::fromLatin1(codiciVoce[static_cast<int>(t)]); }

TipoVoce daCodice(const QString &c)
{
    for (int k = 0; k < 8; ++k)
        if (c == QLatin1String(codiciVoce[k])) return static_cast<TipoVoce>(k);
    return TipoVoce::Avviso;
}

bool eSanzione(TipoVoce t)
{
    return t == TipoVoce::Giri || t == TipoVoce::Secondi || t == TipoVoce::Squalifica || t == TipoVoce::Avviso;
}

double realeONaN(const Istruzione &q, int c) { return q.nullo(c) ? std::nan("") : q.reale(c); }

void legaReale(Istruzione &q, int i, double v)
{
    if (std::isnan(v)) q.legaNullo(i);
    else q.lega(i, v);
}

void legaId(Istruzione &q, int i, qint64 id)
{
    if (id > 0) q.lega(i, id);
    else q.legaNullo(i);
}

qint64 ultimoId(Database &db)
{
    Istruzione q = db.prepara("SELECT last_insert_rowid()");
    return q.passo() ? q.intero(0) : 0;
}

bool rifiuta(QString *errore, const QString &motivo)
{
    if (errore) *errore = motivo;
    return false;
}

Regole regoleDa(const Istruzione &q, int c) // tipo, durata, giri, grazia from column c
{
    Regole r;
    r.tipo = tipoDaNumero(int(q.intero(c))).value_or(TipoSessione::ProvaLibera);
    r.durata = q.reale(c + 1);
    r.giri = int(q.intero(c + 2));
    r.fattoreGrazia = q.reale(c + 3);
    return r;
}

// Adds one trail line to the penalties in force.
void aggiungi(Sanzioni &s, TipoVoce tipo, int giri, double secondi)
{
    if (tipo == TipoVoce::Giri) s.giri += giri;
    else if (tipo == TipoVoce::Secondi) s.secondi += secondi;
    else if (tipo == TipoVoce::Squalifica) s.squalificato = true;
}

const QString garaSparita = QStringLiteral("La gara non c'è più nel database.");
const QString mancheSparita = QStringLiteral("La manche non c'è più nel database.");
} // namespace

QString nomeVoce(TipoVoce tipo)
{
    switch (tipo) {
    case TipoVoce::Giri: return QStringLiteral("Giri");
    case TipoVoce::Secondi: return QStringLiteral("Secondi");
    case TipoVoce::Squalifica: return QStringLiteral("Squalifica");
    case TipoVoce::Avviso: return QStringLiteral("Avviso");
    case TipoVoce::Annullamento: return QStringLiteral("Annullamento");
    case TipoVoce::Eliminazione: return QStringLiteral("Giro eliminato");
    case TipoVoce::Unione: return QStringLiteral("Giri uniti");
    case TipoVoce::Cancellazione: return QStringLiteral("Cancellazione");
    }
    return {};
}

QString Gara::errore() const
{
    if (nome.trimmed().isEmpty()) return QStringLiteral("Indicare il nome della gara.");
    if (!data.isValid()) return QStringLiteral("Indicare la data della gara.");
    if ((corsie & 0xFF) == 0)
        return QStringLiteral("Tutte le corsie sono disattivate: attivarne almeno una per preparare le manche.");
    return regole.errore();
}

Manche::Stato Manche::stato() const
{
    if (std::isnan(partenza)) return Stato::DaCorrere;
    return std::isnan(fine) ? Stato::InCorso : Stato::Conclusa;
}

QString Campionato::errore() const
{
    if (nome.trimmed().isEmpty()) return QStringLiteral("Indicare il nome del campionato.");
    if (scarti < 0) return QStringLiteral("Il numero dei risultati scartati non può essere negativo.");
    return punti.errore();
}

ArchivioGara::ArchivioGara(Database &db) : db_(db) {}

// --- events -----------------------------------------------------------------

qint64 ArchivioGara::creaGara(const Gara &g, QString *errore)
{
    QString motivo = g.errore();
    if (motivo.isEmpty() && g.campionato > 0 && !campionato(g.campionato))
        motivo = QStringLiteral("Il campionato scelto non c'è più nel database.");
    if (!motivo.isEmpty()) return rifiuta(errore, motivo), 0;
    Transazione t(db_);
    Istruzione q = db_.prepara("INSERT INTO Gare (nome, data, pista, campionato, tipo, durata, giri, grazia, corsie, "
                               "falsaPartenza) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    q.lega(1, g.nome.trimmed()).lega(2, g.data.toString(Qt::ISODate)).lega(3, g.pista);
    legaId(q, 4, g.campionato);
    q.lega(5, int(g.regole.tipo)).lega(6, g.regole.durata).lega(7, g.regole.giri).lega(8, g.regole.fattoreGrazia);
    q.lega(9, int(g.corsie)).lega(10, int(g.falsaPartenza));
    q.esegui();
    const qint64 id = ultimoId(db_);
    t.conferma();
    return id;
}

bool ArchivioGara::modificaGara(const Gara &g, QString *errore)
{
    QString motivo = g.errore();
    if (motivo.isEmpty() && !gara(g.id)) motivo = garaSparita;
    if (motivo.isEmpty() && g.campionato > 0 && !campionato(g.campionato))
        motivo = QStringLiteral("Il campionato scelto non c'è più nel database.");
    if (!motivo.isEmpty()) return rifiuta(errore, motivo);
    Istruzione q = db_.prepara("UPDATE Gare SET nome = ?, data = ?, pista = ?, campionato = ?, tipo = ?, durata = ?, "
                               "giri = ?, grazia = ?, corsie = ?, falsaPartenza = ? WHERE id = ?");
    q.lega(1, g.nome.trimmed()).lega(2, g.data.toString(Qt::ISODate)).lega(3, g.pista);
    legaId(q, 4, g.campionato);
    q.lega(5, int(g.regole.tipo)).lega(6, g.regole.durata).lega(7, g.regole.giri).lega(8, g.regole.fattoreGrazia);
    q.lega(9, int(g.corsie)).lega(10, int(g.falsaPartenza)).lega(11, g.id);
    q.esegui();
    return true;
}

std::optional<Gara> ArchivioGara::gara(qint64 id)
{
    for (const Gara &g : gare())
        if (g.id == id) return g;
    return std::nullopt;
}

QVector<Gara> ArchivioGara::gare()
{
    QVector<Gara> l;
    Istruzione q = db_.prepara("SELECT id, nome, data, pista, ifnull(campionato, 0), tipo, durata, giri, grazia, "
                               "corsie, falsaPartenza FROM Gare ORDER BY data, id");
    while (q.passo()) {
        Gara g;
        g.id = q.intero(0);
        g.nome = q.testo(1);
        g.data = QDate::fromString(q.testo(2), Qt::ISODate);
        g.pista = q.testo(3);
        g.campionato = q.intero(4);
        g.regole = regoleDa(q, 5);
        g.corsie = quint8(q.intero(9));
        g.falsaPartenza = static_cast<PenalitaFalsaPartenza>(std::clamp(int(q.intero(10)), 0, 3));
        l.append(g);
    }
    return l;
}

// --- entries ----------------------------------------------------------------

QVector<Iscritto> ArchivioGara::iscritti(qint64 gara)
{
    QVector<Iscritto> l;
    Istruzione q = db_.prepara("SELECT id, gara, nome, ifnull(vettura, ''), ifnull(club, ''), ordine FROM Iscritti "
                               "WHERE gara = ? ORDER BY ordine, id");
    q.lega(1, gara);
    while (q.passo()) l.append({q.intero(0), q.intero(1), q.testo(2), q.testo(3), q.testo(4), int(q.intero(5))});
    return l;
}

qint64 ArchivioGara::iscrivi(const Iscritto &i, QString *errore)
{
    const QString nome = i.nome.trimmed();
    if (nome.isEmpty()) return rifiuta(errore, QStringLiteral("Indicare il nome del pilota.")), 0;
    if (!gara(i.gara)) return rifiuta(errore, garaSparita), 0;
    const QString chiave = chiaveNomePilota(nome);
    for (const Iscritto &altro : iscritti(i.gara))
        if (chiaveNomePilota(altro.nome) == chiave)
            return rifiuta(errore, QStringLiteral("%1 è già iscritto a questa gara come %2: "
                                                  "ogni pilota deve avere un nome diverso.")
                                       .arg(nome, altro.nome)),
                   0;
    Transazione t(db_);
    int ordine = i.ordine;
    if (ordine <= 0) {
        Istruzione q = db_.prepara("SELECT ifnull(max(ordine), 0) + 1 FROM Iscritti WHERE gara = ?");
        q.lega(1, i.gara);
        ordine = q.passo() ? int(q.intero(0)) : 1;
    }
    Istruzione q = db_.prepara("INSERT INTO Iscritti (gara, nome, chiave, vettura, club, ordine) VALUES (?, ?, ?, ?, ?, ?)");
    q.lega(1, i.gara).lega(2, nome).lega(3, chiave).lega(4, i.vettura.trimmed()).lega(5, i.club.trimmed()).lega(6, ordine);
    q.esegui();
    const qint64 id = ultimoId(db_);
    t.conferma();
    return id;
}

bool ArchivioGara::modificaIscritto(const Iscritto &i, QString *errore)
{
    const QString nome = i.nome.trimmed();
    if (nome.isEmpty()) return rifiuta(errore, QStringLiteral("Indicare il nome del pilota."));
    const QVector<Iscritto> tutti = iscritti(i.gara);
    const auto prima = std::find_if(tutti.cbegin(), tutti.cend(), [&](const Iscritto &x) { return x.id == i.id; });
    if (prima == tutti.cend()) return rifiuta(errore, QStringLiteral("Il pilota non è più iscritto a questa gara."));
    const QString chiave = chiaveNomePilota(nome);
    for (const Iscritto &altro : tutti)
        if (altro.id != i.id && chiaveNomePilota(altro.nome) == chiave)
            return rifiuta(errore, QStringLiteral("%1 è già iscritto a questa gara come %2: "
                                                  "ogni pilota deve avere un nome diverso.").arg(nome, altro.nome));
    if (nome != prima->nome) {
        // His laps are stored under the name he raced with.
        Istruzione q = db_.prepara("SELECT 1 FROM MancheCorsie mc JOIN Manche m ON m.id = mc.manche "
                                   "WHERE mc.iscritto = ? AND m.partenza IS NOT NULL LIMIT 1");
        q.lega(1, i.id);
        if (q.passo())
            return rifiuta(errore, QStringLiteral("Il nome di %1 non si può cambiare: ha già corso una manche.")
                                       .arg(prima->nome));
    }
    Istruzione q = db_.prepara("UPDATE Iscritti SET nome = ?, chiave = ?, vettura = ?, club = ?, ordine = ? WHERE id = ?");
    q.lega(1, nome).lega(2, chiave).lega(3, i.vettura.trimmed()).lega(4, i.club.trimmed());
    q.lega(5, i.ordine > 0 ? i.ordine : prima->ordine).lega(6, i.id);
    q.esegui();
    return true;
}

bool ArchivioGara::ritira(qint64 iscritto, QString *errore)
{
    Istruzione q = db_.prepara("SELECT i.nome, (SELECT count(*) FROM MancheCorsie mc JOIN Manche m ON m.id = mc.manche "
                               "WHERE mc.iscritto = i.id AND m.partenza IS NOT NULL) FROM Iscritti i WHERE i.id = ?");
    q.lega(1, iscritto);
    if (!q.passo()) return rifiuta(errore, QStringLiteral("Il pilota non è più iscritto a questa gara."));
    if (q.intero(1) > 0)
        return rifiuta(errore, QStringLiteral("%1 ha già corso una manche: non si può ritirare dalla gara.").arg(q.testo(0)));
    Transazione t(db_);
    Istruzione via = db_.prepara("DELETE FROM MancheCorsie WHERE iscritto = ?");
    via.lega(1, iscritto);
    via.esegui();
    Istruzione del = db_.prepara("DELETE FROM Iscritti WHERE id = ?");
    del.lega(1, iscritto);
    del.esegui();
    t.conferma();
    return true;
}

// --- schedule ---------------------------------------------------------------

QVector<Manche> ArchivioGara::manche(qint64 gara)
{
    QVector<Manche> l;
    QHash<qint64, int> dove;
    {
        Istruzione q = db_.prepara("SELECT id, gara, numero, turno, tipo, durata, giri, grazia, partenza, fine "
                                   "FROM Manche WHERE gara = ? ORDER BY numero");
        q.lega(1, gara);
        while (q.passo()) {
            Manche m;
            m.id = q.intero(0);
            m.gara = q.intero(1);
            m.numero = int(q.intero(2));
            m.turno = int(q.intero(3));
            m.regole = regoleDa(q, 4);
            m.partenza = realeONaN(q, 8);
            m.fine = realeONaN(q, 9);
            dove.insert(m.id, l.size());
            l.append(m);
        }
    }
    Istruzione q = db_.prepara("SELECT mc.manche, mc.corsia, mc.iscritto FROM MancheCorsie mc "
                               "JOIN Manche m ON m.id = mc.manche WHERE m.gara = ?");
    q.lega(1, gara);
    while (q.passo()) {
        const int c = int(q.intero(1));
        const auto it = dove.constFind(q.intero(0));
        if (it != dove.cend() && c >= 0 && c < corsieMassime) l[*it].corsie[c] = q.intero(2);
    }
    return l;
}

std::optional<Manche> ArchivioGara::mancheDaId(qint64 id)
{
    Istruzione q = db_.prepara("SELECT gara FROM Manche WHERE id = ?");
    q.lega(1, id);
    if (!q.passo()) return std::nullopt;
    for (const Manche &m : manche(q.intero(0)))
        if (m.id == id) return m;
    return std::nullopt;
}

std::optional<Manche> ArchivioGara::prossimaManche(qint64 gara)
{
    for (const Manche &m : manche(gara))
        if (m.stato() == Manche::Stato::DaCorrere) return m;
    return std::nullopt;
}

Programma ArchivioGara::programma(qint64 gara)
{
    QHash<qint64, int> posizione;
    const QVector<Iscritto> elenco = iscritti(gara);
    for (int k = 0; k < elenco.size(); ++k) posizione.insert(elenco[k].id, k);
    Programma p;
    for (const Manche &m : manche(gara)) {
        MancheProgrammata mp;
        mp.turno = m.turno;
        for (int c = 0; c < corsieMassime; ++c) mp.corsie[c] = m.corsie[c] > 0 ? posizione.value(m.corsie[c], -1) : -1;
        p.append(mp);
    }
    return p;
}

bool ArchivioGara::generaProgramma(qint64 garaId, QString *errore)
{
    const std::optional<Gara> g = gara(garaId);
    if (!g) return rifiuta(errore, garaSparita);
    for (const Manche &m : manche(garaId))
        if (m.stato() != Manche::Stato::DaCorrere)
            return rifiuta(errore, QStringLiteral("Il programma non si può rifare: la manche %1 è già stata corsa. "
                                                  "Le manche da correre si possono cambiare a mano.").arg(m.numero));
    const ProgrammaGenerato nuovo = ::gara::generaProgramma(int(iscritti(garaId).size()), g->corsie);
    if (!nuovo.errore.isEmpty()) return rifiuta(errore, nuovo.errore);
    return salvaProgramma(garaId, nuovo.programma, errore);
}

bool ArchivioGara::salvaProgramma(qint64 garaId, const Programma &daCorrere, QString *errore, QStringList *avvisi)
{
    const std::optional<Gara> g = gara(garaId);
    if (!g) return rifiuta(errore, garaSparita);
    const QVector<Iscritto> elenco = iscritti(garaId);
    QStringList nomi;
    for (const Iscritto &i : elenco) nomi.append(i.nome);
    // The heats already run stay as they were, first.
    Programma tutto;
    int corse = 0, ultimoNumero = 0;
    const Programma stored = programma(garaId);
    const QVector<Manche> esistenti = manche(garaId);
    for (int k = 0; k < esistenti.size(); ++k)
        if (esistenti[k].stato() != Manche::Stato::DaCorrere) {
            tutto.append(stored[k]);
            ++corse;
            ultimoNumero = std::max(ultimoNumero, esistenti[k].numero);
        }
    tutto += daCorrere;
    const VerificaProgramma v = verificaProgramma(tutto, nomi, g->corsie, corse);
    if (!v.valido()) return rifiuta(errore, v.errore);
    if (avvisi) *avvisi = v.avvisi;
    Transazione t(db_);
    {
        Istruzione q = db_.prepara("DELETE FROM MancheCorsie WHERE manche IN "
                                   "(SELECT id FROM Manche WHERE gara = ? AND partenza IS NULL)");
        q.lega(1, garaId);
        q.esegui();
        Istruzione d = db_.prepara("DELETE FROM Manche WHERE gara = ? AND partenza IS NULL");
        d.lega(1, garaId);
        d.esegui();
    }
    for (int k = 0; k < daCorrere.size(); ++k) {
        const MancheProgrammata &mp = daCorrere[k];
        Istruzione ins = db_.prepara("INSERT INTO Manche (gara, numero, turno, tipo, durata, giri, grazia) "
                                     "VALUES (?, ?, ?, ?, ?, ?, ?)");
        ins.lega(1, garaId).lega(2, ultimoNumero + k + 1).lega(3, mp.turno).lega(4, int(g->regole.tipo));
        ins.lega(5, g->regole.durata).lega(6, g->regole.giri).lega(7, g->regole.fattoreGrazia);
        ins.esegui();
        const qint64 id = ultimoId(db_);
        for (int c = 0; c < corsieMassime; ++c) {
            if (mp.corsie[c] < 0) continue;
            Istruzione l = db_.prepara("INSERT INTO MancheCorsie (manche, corsia, iscritto) VALUES (?, ?, ?)");
            l.lega(1, id).lega(2, c).lega(3, elenco[mp.corsie[c]].id);
            l.esegui();
        }
    }
    t.conferma();
    return true;
}

bool ArchivioGara::nonPartita(qint64 id, QString *errore)
{
    const std::optional<Manche> m = mancheDaId(id);
    if (!m) return rifiuta(errore, mancheSparita);
    if (m->stato() != Manche::Stato::DaCorrere)
        return rifiuta(errore, QStringLiteral("La manche %1 è già partita.").arg(m->numero));
    return true;
}

bool ArchivioGara::impostaRegoleManche(qint64 id, const Regole &regole, QString *errore)
{
    const QString motivo = regole.errore();
    if (!motivo.isEmpty()) return rifiuta(errore, motivo);
    if (!nonPartita(id, errore)) return false;
    Istruzione q = db_.prepara("UPDATE Manche SET tipo = ?, durata = ?, giri = ?, grazia = ? WHERE id = ?");
    q.lega(1, int(regole.tipo)).lega(2, regole.durata).lega(3, regole.giri).lega(4, regole.fattoreGrazia).lega(5, id);
    q.esegui();
    return true;
}

// --- running a heat ---------------------------------------------------------

bool ArchivioGara::avviaManche(qint64 id, double partenza, QString *errore)
{
    if (!nonPartita(id, errore)) return false;
    const Manche m = *mancheDaId(id);
    const QString motivo = m.regole.errore();
    if (!motivo.isEmpty()) return rifiuta(errore, QStringLiteral("Manche %1: %2").arg(m.numero).arg(motivo));
    const quint8 attive = gara(m.gara).value_or(Gara{}).corsie;
    int piloti = 0;
    for (int c = 0; c < corsieMassime; ++c) {
        if (m.corsie[c] <= 0) continue;
        ++piloti;
        if (!(attive & (1u << c)))
            return rifiuta(errore, QStringLiteral("La manche %1 usa la corsia %2, che è disattivata: "
                                                  "rifare o correggere il programma.").arg(m.numero).arg(c + 1));
    }
    if (piloti == 0) return rifiuta(errore, QStringLiteral("La manche %1 non ha piloti.").arg(m.numero));
    Istruzione q = db_.prepara("UPDATE Manche SET partenza = ? WHERE id = ?");
    q.lega(1, partenza).lega(2, id);
    q.esegui();
    return true;
}

bool ArchivioGara::chiudiManche(qint64 id, double fine, QString *errore)
{
    const std::optional<Manche> m = mancheDaId(id);
    if (!m) return rifiuta(errore, mancheSparita);
    if (m->stato() == Manche::Stato::DaCorrere)
        return rifiuta(errore, QStringLiteral("La manche %1 non è ancora partita.").arg(m->numero));
    if (m->stato() == Manche::Stato::Conclusa)
        return rifiuta(errore, QStringLiteral("La manche %1 è già conclusa.").arg(m->numero));
    Istruzione q = db_.prepara("UPDATE Manche SET fine = ? WHERE id = ?");
    q.lega(1, std::max(fine, m->partenza)).lega(2, id);
    q.esegui();
    return true;
}

bool ArchivioGara::annullaPartenza(qint64 id, QString *errore)
{
    const std::optional<Manche> m = mancheDaId(id);
    if (!m) return rifiuta(errore, mancheSparita);
    if (m->stato() != Manche::Stato::InCorso)
        return rifiuta(errore, QStringLiteral("La manche %1 non è in corso.").arg(m->numero));
    Transazione t(db_);
    for (const char *sql : {"UPDATE Giri SET manche = NULL WHERE manche = ?",
                            "DELETE FROM EventiManche WHERE manche = ? AND tipo = 'neutralizzazione'",
                            "UPDATE Manche SET partenza = NULL, fine = NULL WHERE id = ?"}) {
        Istruzione q = db_.prepara(sql);
        q.lega(1, id);
        q.esegui();
    }
    t.conferma();
    return true;
}

void ArchivioGara::registraNeutralizzazione(qint64 manche, const Neutralizzazione &n)
{
    Istruzione q = db_.prepara("INSERT INTO EventiManche (manche, tipo, inizio, fine) VALUES (?, 'neutralizzazione', ?, ?)");
    q.lega(1, manche).lega(2, n.inizio);
    legaReale(q, 3, std::isfinite(n.fine) ? n.fine : std::nan(""));
    q.esegui();
}

qint64 ArchivioGara::registraFalsaPartenza(qint64 id, int corsia, double istante, PenalitaFalsaPartenza penalita,
                                           const QDateTime &quando, QString *errore)
{
    const std::optional<Manche> m = mancheDaId(id);
    if (!m) return rifiuta(errore, mancheSparita), 0;
    if (corsia < 0 || corsia >= corsieMassime || m->corsie[corsia] <= 0)
        return rifiuta(errore, QStringLiteral("Nella manche %1 la corsia %2 non ha piloti.").arg(m->numero).arg(corsia + 1)), 0;
    QString pilota;
    for (const Iscritto &i : iscritti(m->gara))
        if (i.id == m->corsie[corsia]) pilota = i.nome;
    VoceRegistro v;
    v.quando = quando;
    v.gara = m->gara;
    v.manche = id;
    v.pilota = pilota;
    v.motivo = QStringLiteral("Falsa partenza, corsia %1").arg(corsia + 1);
    switch (penalita) {
    case PenalitaFalsaPartenza::Avviso: v.tipo = TipoVoce::Avviso; break;
    case PenalitaFalsaPartenza::UnSecondo: v.tipo = TipoVoce::Secondi; v.secondi = 1; break;
    case PenalitaFalsaPartenza::UnGiro: v.tipo = TipoVoce::Giri; v.giri = -1; break;
    case PenalitaFalsaPartenza::Ripartenza:
        v.tipo = TipoVoce::Avviso;
        v.motivo += QStringLiteral(": partenza ripetuta");
        break;
    }
    Transazione t(db_);
    Istruzione q = db_.prepara("INSERT INTO EventiManche (manche, tipo, inizio, corsia) VALUES (?, 'falsa partenza', ?, ?)");
    q.lega(1, id).lega(2, istante).lega(3, corsia);
    q.esegui();
    const qint64 voce = scriviVoce(v);
    t.conferma();
    return voce;
}

// --- results ----------------------------------------------------------------

QVector<ArchivioGara::MancheCaricata> ArchivioGara::carica(qint64 garaId, qint64 soloManche)
{
    // One event's heats (or one heat) read in five queries, whatever their number.
    const QString dove = soloManche > 0 ? QStringLiteral("m.id = ?") : QStringLiteral("m.gara = ?");
    const qint64 chiave = soloManche > 0 ? soloManche : garaId;
    QVector<MancheCaricata> l;
    QHash<qint64, int> indice;
    {
        Istruzione q = db_.prepara(QStringLiteral("SELECT m.id, m.gara, m.numero, m.turno, m.tipo, m.durata, m.giri, "
                                                  "m.grazia, m.partenza, m.fine FROM Manche m WHERE %1 ORDER BY m.numero")
                                       .arg(dove));
        q.lega(1, chiave);
        while (q.passo()) {
            MancheCaricata mc;
            Manche &m = mc.manche;
            m.id = q.intero(0);
            m.gara = q.intero(1);
            m.numero = int(q.intero(2));
            m.turno = int(q.intero(3));
            m.regole = regoleDa(q, 4);
            m.partenza = realeONaN(q, 8);
            m.fine = realeONaN(q, 9);
            mc.dati.regole = m.regole;
            mc.dati.partenza = m.partenza;
            mc.dati.chiusura = std::isnan(m.fine) ? infinito : m.fine;
            indice.insert(m.id, l.size());
            l.append(mc);
        }
    }
    // Lanes, and where each driver's laps go.
    QVector<QHash<QString, int>> perNome(l.size()), perChiave(l.size());
    {
        Istruzione q = db_.prepara(QStringLiteral("SELECT mc.manche, mc.corsia, i.id, i.nome FROM MancheCorsie mc "
                                                  "JOIN Manche m ON m.id = mc.manche JOIN Iscritti i ON i.id = mc.iscritto "
                                                  "WHERE %1 ORDER BY mc.manche, mc.corsia").arg(dove));
        q.lega(1, chiave);
        while (q.passo()) {
            const int k = indice.value(q.intero(0), -1);
            if (k < 0) continue;
            MancheCaricata &mc = l[k];
            const int corsia = int(q.intero(1));
            mc.manche.corsie[std::clamp(corsia, 0, corsieMassime - 1)] = q.intero(2);
            mc.iscrittoDiCorsia.insert(corsia, q.intero(2));
            PilotaManche p;
            p.corsia = corsia;
            p.pilota = q.testo(3);
            perNome[k].insert(p.pilota, mc.dati.piloti.size());
            perChiave[k].insert(chiaveNomePilota(p.pilota), mc.dati.piloti.size());
            mc.dati.piloti.append(p);
        }
    }
    {
        Istruzione q = db_.prepara(QStringLiteral("SELECT g.manche, g.pilota, g.giroN, g.tempoGiro, g.istante, g.stampato "
                                                  "FROM Manche m JOIN Giri g ON g.manche = m.id WHERE %1 "
                                                  "ORDER BY g.manche, g.pilota, g.giroN, g.id").arg(dove));
        q.lega(1, chiave);
        qint64 mancheCorrente = -1;
        QString pilotaCorrente;
        int pilota = -1;
        double precedente = 0;
        while (q.passo()) {
            const qint64 m = q.intero(0);
            const int k = indice.value(m, -1);
            if (k < 0) continue;
            const QString nome = q.testo(1);
            if (m != mancheCorrente || nome != pilotaCorrente) {
                mancheCorrente = m;
                pilotaCorrente = nome;
                pilota = perNome[k].value(nome, -1);
                if (pilota < 0) pilota = perChiave[k].value(chiaveNomePilota(nome), -1);
                precedente = l[k].dati.partenza;
            }
            if (pilota < 0) continue; // not a driver of this heat
            GiroManche g;
            g.giroN = int(q.intero(2));
            g.tempo = static_cast<float>(q.reale(3));
            if (q.nullo(4)) {
                // Stored without its instant: the start plus the laps so far.
                g.istante = precedente + g.tempo;
                g.precisione = Precisione::Ricostruito;
            } else {
                g.istante = q.reale(4);
                g.precisione = q.intero(5) != 0 ? Precisione::Dispositivo : Precisione::Arrivo;
            }
            precedente = g.istante;
            l[k].dati.piloti[pilota].giri.append(g);
        }
    }
    {
        Istruzione q = db_.prepara(QStringLiteral("SELECT e.manche, e.inizio, e.fine FROM EventiManche e "
                                                  "JOIN Manche m ON m.id = e.manche WHERE %1 "
                                                  "AND e.tipo = 'neutralizzazione' ORDER BY e.inizio").arg(dove));
        q.lega(1, chiave);
        while (q.passo()) {
            const int k = indice.value(q.intero(0), -1);
            if (k >= 0) l[k].dati.neutralizzazioni.append({q.reale(1), q.nullo(2) ? infinito : q.reale(2)});
        }
    }
    {
        // Penalties on the heats, without those withdrawn.
        Istruzione q = db_.prepara(QStringLiteral("SELECT r.manche, r.pilota, r.tipo, r.giri, r.secondi FROM RegistroGara r "
                                                  "JOIN Manche m ON m.id = r.manche WHERE %1 AND r.tipo IN "
                                                  "('giri', 'secondi', 'squalifica') AND NOT EXISTS (SELECT 1 FROM "
                                                  "RegistroGara a WHERE a.annulla = r.id)").arg(dove));
        q.lega(1, chiave);
        while (q.passo()) {
            const int k = indice.value(q.intero(0), -1);
            if (k < 0) continue;
            const int p = perChiave[k].value(chiaveNomePilota(q.testo(1)), -1);
            if (p >= 0) aggiungi(l[k].dati.piloti[p].sanzioni, daCodice(q.testo(2)), int(q.intero(3)), q.reale(4));
        }
    }
    return l;
}

DatiManche ArchivioGara::datiManche(qint64 manche)
{
    const QVector<MancheCaricata> l = carica(0, manche);
    return l.isEmpty() ? DatiManche{} : l.first().dati;
}

RisultatoManche ArchivioGara::risultatoManche(qint64 manche, double ora) { return valuta(datiManche(manche), ora); }

QHash<QString, Sanzioni> ArchivioGara::sanzioniDiGara(qint64 garaId)
{
    QHash<QString, Sanzioni> s;
    Istruzione q = db_.prepara("SELECT r.pilota, r.tipo, r.giri, r.secondi FROM RegistroGara r WHERE r.gara = ? "
                               "AND r.manche IS NULL AND r.tipo IN ('giri', 'secondi', 'squalifica') "
                               "AND NOT EXISTS (SELECT 1 FROM RegistroGara a WHERE a.annulla = r.id)");
    q.lega(1, garaId);
    while (q.passo()) aggiungi(s[chiaveNomePilota(q.testo(0))], daCodice(q.testo(1)), int(q.intero(2)), q.reale(3));
    return s;
}

RisultatoGara ArchivioGara::risultatoGara(qint64 garaId)
{
    QVector<IscrittoGara> elenco;
    QHash<QString, qint64> perChiave;
    for (const Iscritto &i : iscritti(garaId)) {
        elenco.append({i.id, i.nome});
        perChiave.insert(chiaveNomePilota(i.nome), i.id);
    }
    QHash<qint64, QVector<EsitoInManche>> esiti;
    int corse = 0, programmate = 0;
    for (const MancheCaricata &mc : carica(garaId, 0)) {
        if (eGara(mc.manche.regole.tipo)) ++programmate;
        if (mc.manche.stato() == Manche::Stato::DaCorrere) continue;
        if (eGara(mc.manche.regole.tipo)) ++corse;
        const RisultatoManche r = valuta(mc.dati);
        for (const EsitoPilota &e : r.classifica)
            esiti[mc.iscrittoDiCorsia.value(e.corsia)].append({mc.manche.id, mc.manche.numero, mc.manche.regole.tipo, e});
    }
    QHash<qint64, Sanzioni> sanzioni;
    const QHash<QString, Sanzioni> diGara = sanzioniDiGara(garaId);
    for (auto it = diGara.cbegin(); it != diGara.cend(); ++it)
        if (perChiave.contains(it.key())) sanzioni.insert(perChiave.value(it.key()), it.value());
    RisultatoGara r = calcolaRisultatoGara(elenco, esiti, sanzioni);
    r.mancheCorse = corse;
    r.mancheProgrammate = programmate;
    return r;
}

// --- penalties and the trail ------------------------------------------------

qint64 ArchivioGara::scriviVoce(const VoceRegistro &v)
{
    Istruzione q = db_.prepara("INSERT INTO RegistroGara (quando, gara, manche, pilota, tipo, giri, secondi, motivo, annulla) "
                               "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
    q.lega(1, v.quando.toString(Qt::ISODate));
    legaId(q, 2, v.gara);
    legaId(q, 3, v.manche);
    q.lega(4, v.pilota).lega(5, codice(v.tipo)).lega(6, v.giri).lega(7, v.secondi).lega(8, v.motivo.trimmed());
    legaId(q, 9, v.annulla);
    q.esegui();
    return ultimoId(db_);
}

// Why `giriInPiu` laps more (fewer when negative) cannot be given to the driver; empty when they can.
QString ArchivioGara::controllaGiri(const Sanzione &s, int giriInPiu)
{
    if (giriInPiu >= 0) return {};
    const QString chiave = chiaveNomePilota(s.pilota);
    int giri = 0;
    if (s.manche > 0) {
        const QVector<MancheCaricata> l = carica(0, s.manche);
        // A heat still to run or running has laps to come; the result never shows fewer than 0.
        if (l.isEmpty() || l.first().manche.stato() != Manche::Stato::Conclusa) return {};
        for (const EsitoPilota &e : valuta(l.first().dati).classifica)
            if (chiaveNomePilota(e.pilota) == chiave) giri = e.giri + e.sanzioni.giri;
    } else {
        for (const RisultatoPilotaGara &p : risultatoGara(s.gara).classifica) {
            if (chiaveNomePilota(p.nome) != chiave) continue;
            for (const EsitoInManche &m : p.dettaglio)
                if (eGara(m.tipo) && m.esito.stato != StatoPilota::Squalificato) giri += m.esito.giriSanzionati;
            giri += p.sanzioniGara.giri;
        }
    }
    if (giri + giriInPiu >= 0) return {};
    return QStringLiteral("La penalità non è stata data: %1 ha %2 giri e ne avrebbe %3. "
                          "I giri non possono essere meno di zero.")
        .arg(s.pilota).arg(giri).arg(giri + giriInPiu);
}

qint64 ArchivioGara::sanziona(const Sanzione &richiesta, const QDateTime &quando, QString *errore)
{
    Sanzione s = richiesta;
    if (!eSanzione(s.tipo)) return rifiuta(errore, QStringLiteral("Una penalità è di giri, di secondi, una squalifica o un avviso.")), 0;
    if (s.motivo.trimmed().isEmpty()) return rifiuta(errore, QStringLiteral("Indicare il motivo della penalità.")), 0;
    if (s.tipo == TipoVoce::Giri && s.giri == 0)
        return rifiuta(errore, QStringLiteral("Indicare di quanti giri è la penalità (in più o in meno).")), 0;
    if (s.tipo == TipoVoce::Secondi && (s.secondi == 0 || !std::isfinite(s.secondi)))
        return rifiuta(errore, QStringLiteral("Indicare di quanti secondi è la penalità (in più o in meno).")), 0;
    if (s.tipo != TipoVoce::Giri) s.giri = 0;
    if (s.tipo != TipoVoce::Secondi) s.secondi = 0;
    std::optional<Manche> m;
    if (s.manche > 0) {
        m = mancheDaId(s.manche);
        if (!m) return rifiuta(errore, mancheSparita), 0;
        s.gara = m->gara;
    }
    if (!gara(s.gara)) return rifiuta(errore, garaSparita), 0;
    // The driver as the entry list writes him.
    const QString chiave = chiaveNomePilota(s.pilota);
    std::optional<Iscritto> iscritto;
    for (const Iscritto &i : iscritti(s.gara))
        if (chiaveNomePilota(i.nome) == chiave) iscritto = i;
    if (!iscritto) return rifiuta(errore, QStringLiteral("%1 non è iscritto a questa gara.").arg(s.pilota.trimmed())), 0;
    s.pilota = iscritto->nome;
    if (m && !m->corsie.contains(iscritto->id))
        return rifiuta(errore, QStringLiteral("%1 non corre nella manche %2.").arg(s.pilota).arg(m->numero)), 0;
    if (s.tipo == TipoVoce::Squalifica) {
        bool gia = sanzioniDiGara(s.gara).value(chiave).squalificato;
        if (m)
            for (const PilotaManche &p : datiManche(m->id).piloti)
                if (chiaveNomePilota(p.pilota) == chiave && p.sanzioni.squalificato) gia = true;
        if (gia) return rifiuta(errore, QStringLiteral("%1 è già squalificato.").arg(s.pilota)), 0;
    }
    if (s.tipo == TipoVoce::Giri) {
        const QString motivo = controllaGiri(s, s.giri);
        if (!motivo.isEmpty()) return rifiuta(errore, motivo), 0;
    }
    VoceRegistro v;
    v.quando = quando;
    v.gara = s.gara;
    v.manche = s.manche;
    v.pilota = s.pilota;
    v.tipo = s.tipo;
    v.giri = s.giri;
    v.secondi = s.secondi;
    v.motivo = s.motivo;
    return scriviVoce(v);
}

bool ArchivioGara::annullaSanzione(qint64 voce, const QString &motivo, const QDateTime &quando, QString *errore)
{
    if (motivo.trimmed().isEmpty()) return rifiuta(errore, QStringLiteral("Indicare il motivo dell'annullamento."));
    Istruzione q = db_.prepara("SELECT ifnull(gara, 0), ifnull(manche, 0), pilota, tipo, giri, "
                               "EXISTS (SELECT 1 FROM RegistroGara a WHERE a.annulla = r.id) FROM RegistroGara r WHERE id = ?");
    q.lega(1, voce);
    if (!q.passo()) return rifiuta(errore, QStringLiteral("La penalità non c'è più nel registro."));
    Sanzione s;
    s.gara = q.intero(0);
    s.manche = q.intero(1);
    s.pilota = q.testo(2);
    s.tipo = daCodice(q.testo(3));
    s.giri = int(q.intero(4));
    const bool gia = q.intero(5) != 0;
    if (!eSanzione(s.tipo)) return rifiuta(errore, QStringLiteral("Si possono annullare solo le penalità."));
    if (gia) return rifiuta(errore, QStringLiteral("Questa penalità è già stata annullata."));
    if (s.tipo == TipoVoce::Giri) {
        const QString perche = controllaGiri(s, -s.giri);
        if (!perche.isEmpty()) return rifiuta(errore, perche);
    }
    VoceRegistro v;
    v.quando = quando;
    v.gara = s.gara;
    v.manche = s.manche;
    v.pilota = s.pilota;
    v.tipo = TipoVoce::Annullamento;
    v.motivo = motivo;
    v.annulla = voce;
    scriviVoce(v);
    return true;
}

QVector<VoceRegistro> ArchivioGara::registro(qint64 garaId)
{
    QVector<VoceRegistro> l;
    QSet<qint64> annullate;
    Istruzione q = db_.prepara("SELECT id, quando, ifnull(gara, 0), ifnull(manche, 0), pilota, tipo, giri, secondi, motivo, "
                               "ifnull(annulla, 0) FROM RegistroGara WHERE gara = ? "
                               "OR manche IN (SELECT id FROM Manche WHERE gara = ?) ORDER BY id");
    q.lega(1, garaId).lega(2, garaId);
    while (q.passo()) {
        VoceRegistro v;
        v.id = q.intero(0);
        v.quando = QDateTime::fromString(q.testo(1), Qt::ISODate);
        v.gara = q.intero(2);
        v.manche = q.intero(3);
        v.pilota = q.testo(4);
        v.tipo = daCodice(q.testo(5));
        v.giri = int(q.intero(6));
        v.secondi = q.reale(7);
        v.motivo = q.testo(8);
        v.annulla = q.intero(9);
        if (v.annulla > 0) annullate.insert(v.annulla);
        l.append(v);
    }
    for (VoceRegistro &v : l) v.annullata = annullate.contains(v.id);
    return l;
}

// --- championships ----------------------------------------------------------

qint64 ArchivioGara::creaCampionato(const Campionato &c, QString *errore)
{
    const QString motivo = c.errore();
    if (!motivo.isEmpty()) return rifiuta(errore, motivo), 0;
    Transazione t(db_);
    Istruzione q = db_.prepara("INSERT INTO Campionati (nome, scarti) VALUES (?, ?)");
    q.lega(1, c.nome.trimmed()).lega(2, c.scarti);
    q.esegui();
    const qint64 id = ultimoId(db_);
    for (int k = 0; k < c.punti.punti.size(); ++k) {
        Istruzione p = db_.prepara("INSERT INTO PuntiCampionato (campionato, posizione, punti) VALUES (?, ?, ?)");
        p.lega(1, id).lega(2, k + 1).lega(3, c.punti.punti[k]);
        p.esegui();
    }
    t.conferma();
    return id;
}

bool ArchivioGara::modificaCampionato(const Campionato &c, QString *errore)
{
    QString motivo = c.errore();
    if (motivo.isEmpty() && !campionato(c.id)) motivo = QStringLiteral("Il campionato non c'è più nel database.");
    if (!motivo.isEmpty()) return rifiuta(errore, motivo);
    Transazione t(db_);
    Istruzione q = db_.prepara("UPDATE Campionati SET nome = ?, scarti = ? WHERE id = ?");
    q.lega(1, c.nome.trimmed()).lega(2, c.scarti).lega(3, c.id);
    q.esegui();
    Istruzione d = db_.prepara("DELETE FROM PuntiCampionato WHERE campionato = ?");
    d.lega(1, c.id);
    d.esegui();
    for (int k = 0; k < c.punti.punti.size(); ++k) {
        Istruzione p = db_.prepara("INSERT INTO PuntiCampionato (campionato, posizione, punti) VALUES (?, ?, ?)");
        p.lega(1, c.id).lega(2, k + 1).lega(3, c.punti.punti[k]);
        p.esegui();
    }
    t.conferma();
    return true;
}

QVector<Campionato> ArchivioGara::campionati()
{
    QVector<Campionato> l;
    QHash<qint64, int> dove;
    {
        Istruzione q = db_.prepara("SELECT id, nome, scarti FROM Campionati ORDER BY id");
        while (q.passo()) {
            Campionato c;
            c.id = q.intero(0);
            c.nome = q.testo(1);
            c.scarti = int(q.intero(2));
            c.punti.punti.clear();
            dove.insert(c.id, l.size());
            l.append(c);
        }
    }
    Istruzione q = db_.prepara("SELECT campionato, punti FROM PuntiCampionato ORDER BY campionato, posizione");
    while (q.passo()) {
        const int k = dove.value(q.intero(0), -1);
        if (k >= 0) l[k].punti.punti.append(int(q.intero(1)));
    }
    return l;
}

std::optional<Campionato> ArchivioGara::campionato(qint64 id)
{
    for (const Campionato &c : campionati())
        if (c.id == id) return c;
    return std::nullopt;
}

ClassificaCampionato ArchivioGara::classificaCampionato(qint64 id)
{
    const std::optional<Campionato> c = campionato(id);
    if (!c) return {};
    QVector<GaraDelCampionato> disputate;
    for (const Gara &g : gare()) {
        if (g.campionato != id) continue;
        const RisultatoGara r = risultatoGara(g.id);
        if (r.mancheCorse == 0) continue; // not raced yet: no places to give
        GaraDelCampionato d;
        d.id = g.id;
        d.nome = g.nome;
        d.data = g.data;
        for (const RisultatoPilotaGara &p : r.classifica)
            if (p.manche > 0) d.classifica.append({p.nome, p.posizione, p.squalificato});
        disputate.append(d);
    }
    return calcolaCampionato(disputate, c->punti, c->scarti);
}

// --- Canc.Database ----------------------------------------------------------

void ArchivioGara::cancella(Database &db, Cancellazione ambito, qint64 garaId, bool conGiri, const QDateTime &quando)
{
    Transazione t(db);
    cancellaTabelle(db, ambito, garaId, conGiri, quando);
    t.conferma();
}

void ArchivioGara::cancellaTabelle(Database &db, Cancellazione ambito, qint64 garaId, bool conGiri,
                                   const QDateTime &quando)
{
    CancellaTempi::svuotaTabelle(db, conGiri);
    // Every heat lost its laps: back to be run, with what judged its run.
    db.esegui(QStringLiteral("UPDATE Manche SET partenza = NULL, fine = NULL"));
    db.esegui(QStringLiteral("DELETE FROM EventiManche"));
    db.esegui(QStringLiteral("DELETE FROM RegistroGara WHERE manche IS NOT NULL"));
    QString nota = QStringLiteral("Canc.Database: cancellati tutti i giri; le manche tornano da correre.");
    if (ambito == Cancellazione::AncheGara && garaId > 0) {
        QString nome;
        {
            Istruzione q = db.prepara("SELECT nome FROM Gare WHERE id = ?");
            q.lega(1, garaId);
            if (q.passo()) nome = q.testo(0);
        }
        for (const char *sql : {"DELETE FROM MancheCorsie WHERE manche IN (SELECT id FROM Manche WHERE gara = ?)",
                                "DELETE FROM Manche WHERE gara = ?", "DELETE FROM Iscritti WHERE gara = ?",
                                "DELETE FROM RegistroGara WHERE gara = ?", "DELETE FROM Gare WHERE id = ?"}) {
            Istruzione q = db.prepara(sql);
            q.lega(1, garaId);
            q.esegui();
        }
        nota = QStringLiteral("Canc.Database: cancellati tutti i giri e la gara %1; "
                              "le manche delle altre gare tornano da correre.").arg(nome);
        garaId = 0;
    }
    Istruzione q = db.prepara("INSERT INTO RegistroGara (quando, gara, pilota, tipo, motivo) VALUES (?, ?, '', ?, ?)");
    q.lega(1, quando.toString(Qt::ISODate));
    legaId(q, 2, garaId);
    q.lega(3, codice(TipoVoce::Cancellazione)).lega(4, nota);
    q.esegui();
}

} // namespace gara
