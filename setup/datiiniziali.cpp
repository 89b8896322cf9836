#include "setup/datiiniziali.h"

#include "database/database.h"
#include "comune/messaggi.h"
#include "comune/nomepilota.h"
#include "gara/regole.h"

#include <QLocale>

#include <cmath>

namespace {
const QString testoIncompleti = QStringLiteral(" I dati della pista non sono completi !!!");
const QString testoNumerico =
    QStringLiteral(" La lunghezza della pista deve essere in formato numerico !!! ");
const QString testoPresente = QStringLiteral(" Pista già presente nel database !!! ") +
                              QStringLiteral("\n\n") + QStringLiteral(" Vuoi modifcare i dati ? ");
const QString testoNomeMancante = QStringLiteral(" Inserire il nome della pista !!!");
const QString testoCancellata = QStringLiteral(" Pista Cancellata !!!");
const QString testoPilotaMancante = QStringLiteral("Non è stato inserito il pilota");
const QString testoNomiDoppi =
    QStringLiteral("Ogni pilota deve avere un nome diverso: questi hanno lo stesso nome\n");
} // namespace

DatiIniziali::DatiIniziali(Database &db, Messaggi &messaggi) : db_(db), messaggi_(messaggi) {}

void DatiIniziali::comboInit()
{
    piste_.clear();
    // A database that failed to open has been reported already.
    if (!db_.aperto()) return;
    try {
        QVector<PistaCatalogo> lette;
        Istruzione q = db_.prepara("SELECT pista, lunghezza FROM Piste ORDER BY id");
        while (q.passo()) lette.append({q.testo(0), lunghezzaLetta(q.valore(1))});
        piste_ = std::move(lette);
    } catch (const ErroreDatabase &e) {
        e.mostra(messaggi_);
    }
}

QStringList DatiIniziali::nomiPiste() const
{
    QStringList nomi;
    for (const PistaCatalogo &p : piste_) nomi.append(p.nome);
    return nomi;
}

PistaCatalogo DatiIniziali::pistaDellaLista(int indice) const
{
    if (indice < 0 || indice >= piste_.size()) return {};
    return piste_[indice];
}

std::optional<double> DatiIniziali::lunghezzaValida(const QString &testo)
{
    QString t = testo.trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = QLocale::c().toDouble(t, &ok);
    // A minus sign is never a length, not even "-0".
    if (!ok || !std::isfinite(v) || std::signbit(v)) return std::nullopt;
    if (std::nearbyint(v) > 32767.0) return std::nullopt;
    return v;
}

qint16 DatiIniziali::lunghezzaLetta(const QVariant &valore)
{
    if (!valore.isValid() || valore.isNull()) return 0;
    bool ok = false;
    const double v = valore.toDouble(&ok);
    if (!ok || !std::isfinite(v)) return 0;
    const double arrotondato = std::nearbyint(v); // the default rounding mode: halves to even
    if (arrotondato < -32768.0 || arrotondato > 32767.0) return 0;
    return static_cast<qint16>(arrotondato);
}

bool DatiIniziali::nuovaPista(const QString &nome, const QString &lunghezza)
{
    if (nome.isEmpty() || lunghezza.isEmpty()) {
        messaggi_.mostra(testoIncompleti, Messaggi::Pulsanti::Ok, Messaggi::Icona::Esclamazione);
        return false;
    }
    // A length that cannot be held goes back to the user, whether the track
    // is new or is being changed.
    const std::optional<double> metri = lunghezzaValida(lunghezza);
    if (!metri) {
        messaggi_.mostra(testoNumerico);
        return false;
    }
    try {
        QVector<qint64> esistenti;
        {
            Istruzione q = db_.prepara("SELECT id FROM Piste WHERE pista = ? ORDER BY id");
            q.lega(1, nome);
            while (q.passo()) esistenti.append(q.intero(0));
        }
        if (esistenti.isEmpty()) {
            Istruzione ins = db_.prepara("INSERT INTO Piste (pista, lunghezza) VALUES (?, ?)");
            ins.lega(1, nome).lega(2, *metri);
            ins.esegui();
        }
        for (const qint64 id : esistenti) {
            const auto risposta = messaggi_.mostra(testoPresente, Messaggi::Pulsanti::SiNo);
            if (risposta != Messaggi::Risposta::Si) continue;
            Istruzione upd = db_.prepara("UPDATE Piste SET pista = ?, lunghezza = ? WHERE id = ?");
            upd.lega(1, nome).lega(2, *metri).lega(3, id);
            upd.esegui();
        }
    } catch (const ErroreDatabase &e) {
        e.mostra(messaggi_);
        return false;
    }
    comboInit();
    return true;
}

void DatiIniziali::cancellaPista(const QString &nome)
{
    if (nome.isEmpty()) {
        messaggi_.mostra(testoNomeMancante, Messaggi::Pulsanti::Ok, Messaggi::Icona::Esclamazione);
        return;
    }
    try {
        QVector<qint64> trovate;
        {
            Istruzione q = db_.prepara("SELECT id FROM Piste WHERE pista = ? ORDER BY id");
            q.lega(1, nome);
            while (q.passo()) trovate.append(q.intero(0));
        }
        for (const qint64 id : trovate) {
            messaggi_.mostra(testoCancellata);
            Istruzione del = db_.prepara("DELETE FROM Piste WHERE id = ?");
            del.lega(1, id);
            del.esegui();
        }
    } catch (const ErroreDatabase &e) {
        e.mostra(messaggi_);
    }
    comboInit();
}

QString DatiIniziali::chiaveNome(const QString &nome) { return chiaveNomePilota(nome); }

std::optional<gara::Regole> DatiIniziali::regoleInserite(int tipo, const QString &valore, const QString &grazia)
{
    gara::Regole r;
    r.tipo = gara::tipoDaNumero(tipo).value_or(gara::TipoSessione::ProvaLibera);
    const auto numero = [](QString t, double vuoto) {
        t = t.trimmed().replace(QLatin1Char(','), QLatin1Char('.'));
        if (t.isEmpty()) return vuoto;
        bool ok = false;
        const double v = t.toDouble(&ok);
        return ok && std::isfinite(v) ? v : std::nan("");
    };
    r.fattoreGrazia = numero(grazia, 2.0);
    const double v = numero(valore, 0.0);
    if (r.tipo == gara::TipoSessione::GaraAGiri) r.giri = v >= 1 && v == std::floor(v) && v <= 100000 ? int(v) : 0;
    else if (r.tipo != gara::TipoSessione::ProvaLibera) r.durata = v * 60.0;
    QString motivo = std::isnan(r.fattoreGrazia)
        ? QStringLiteral("Il tempo concesso dopo la bandiera deve essere un numero (per esempio 2).")
        : r.errore();
    if (r.tipo == gara::TipoSessione::GaraAGiri && v > 0 && v != std::floor(v))
        motivo = QStringLiteral("Il numero di giri di una gara a giri è un numero intero.");
    if (!motivo.isEmpty()) {
        messaggi_.mostra(motivo, Messaggi::Pulsanti::Ok, Messaggi::Icona::Esclamazione);
        return std::nullopt;
    }
    return r;
}

std::optional<QStringList> DatiIniziali::pilotiInseriti(const QStringList &nomi)
{
    // A box of blanks only is an empty box.
    if (nomi.isEmpty() || nomi.first().trimmed().isEmpty()) {
        messaggi_.mostra(testoPilotaMancante);
        return std::nullopt;
    }
    QStringList presi;
    for (const QString &n : nomi) {
        if (n.trimmed().isEmpty() || presi.size() == 8) break;
        presi.append(n); // as typed: a stored driver continues under exactly this name
    }
    // Two lanes under one name would store their laps as one driver.
    QStringList doppi;
    QVector<bool> visto(presi.size(), false);
    for (int i = 0; i < presi.size(); ++i) {
        if (visto[i]) continue;
        QStringList corsie{QStringLiteral("Pilota %1").arg(i + 1)};
        for (int j = i + 1; j < presi.size(); ++j) {
            if (chiaveNome(presi[j]) != chiaveNome(presi[i])) continue;
            visto[j] = true;
            corsie.append(QStringLiteral("Pilota %1").arg(j + 1));
        }
        if (corsie.size() > 1)
            doppi.append(corsie.join(QStringLiteral(", ")) + QStringLiteral(": ") + presi[i].trimmed());
    }
    if (!doppi.isEmpty()) {
        messaggi_.mostra(testoNomiDoppi + doppi.join(QLatin1Char('\n')), Messaggi::Pulsanti::Ok,
                         Messaggi::Icona::Esclamazione);
        return std::nullopt;
    }
    return presi;
}
