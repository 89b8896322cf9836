#include "web/statopagina.h"

#include "timing/sessione.h"
#include "timing/tempotesto.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

// The page's resources live in this static library: they are registered by hand.
static void registraRisorse() { Q_INIT_RESOURCE(pagina); }

namespace {

QString statoSessione(const Sessione &s)
{
    if (s.startAbilitato()) return QStringLiteral("In attesa del via");
    if (s.riprendiVisibile()) return QStringLiteral("In pausa");
    for (int i = 0; i < Sessione::numCorsie; ++i)
        if (s.corsia(i).inCorsa) return QStringLiteral("In corso");
    return QStringLiteral("Terminata");
}

QString distacco(const PilotaInClassifica &p, const PilotaInClassifica &primo)
{
    if (&p == &primo) return {};
    const qint64 dietro = primo.giri - p.giri;
    if (dietro > 0) return dietro == 1 ? QStringLiteral("+1 giro") : QStringLiteral("+%1 giri").arg(dietro);
    return QLatin1Char('+') + testoTempoDoppio(qMax(0.0, p.totale - primo.totale));
}

QString testoCella(const QVariant &v) { return v.isNull() ? QString() : v.toString(); }

// The page's pieces, kept in the program's resources.
QByteArray risorsa(const char *nome)
{
    static const bool registrate = (registraRisorse(), true);
    Q_UNUSED(registrate);
    QFile f(QStringLiteral(":/web/pagina/") + QLatin1String(nome));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
const QByteArray &modello()
{
    static const QByteArray m = risorsa("pagina.html");
    return m;
}
const QByteArray &script()
{
    static const QByteArray s = risorsa("pagina.js");
    return s;
}
const QByteArray &stile()
{
    static const QByteArray s = risorsa("pagina.css");
    return s;
}
QByteArray impronta(const QByteArray &testo)
{
    return "'sha256-" + QCryptographicHash::hash(testo, QCryptographicHash::Sha256).toBase64() + '\'';
}

// The template with each {{NAME}} marker replaced, in one pass over the template
// alone, so no value is ever looked at again.
QByteArray compila(const QByteArray &modello, const QHash<QByteArray, QByteArray> &valori)
{
    QByteArray testo;
    qsizetype da = 0;
    for (qsizetype inizio; (inizio = modello.indexOf("{{", da)) >= 0;) {
        const qsizetype fine = modello.indexOf("}}", inizio);
        if (fine < 0) break;
        testo += modello.mid(da, inizio - da) + valori.value(modello.mid(inizio + 2, fine - inizio - 2));
        da = fine + 2;
    }
    return testo + modello.mid(da);
}

QByteArray esc(const QString &testo) { return testo.toHtmlEscaped().replace(QLatin1Char('\''), QLatin1String("&#39;")).toUtf8(); }

// A cell as the page's script makes it: driver names wrap, numbers align right.
QByteArray cella(const QString &testo, const char *classe = nullptr)
{
    return classe ? "<td class=\"" + QByteArray(classe) + "\">" + esc(testo) + "</td>" : "<td>" + esc(testo) + "</td>";
}
QByteArray numero(qint64 n) { return cella(QString::number(n), "num"); }
QByteArray righe(const QVector<QByteArray> &r, int colonne, const char *vuoto)
{
    if (r.isEmpty())
        return "<tr><td class=\"vuoto\" colspan=\"" + QByteArray::number(colonne) + "\">" + vuoto + "</td></tr>";
    QByteArray tutto;
    for (const QByteArray &riga : r) tutto += "<tr>" + riga + "</tr>";
    return tutto;
}

} // namespace

FotoSessione fotografa(const Sessione &sessione, const QString &pista)
{
    FotoSessione f;
    f.pista = pista;
    f.tempoSessione = sessione.tempotot();
    f.stato = statoSessione(sessione);
    for (int i = 0; i < Sessione::numCorsie; ++i) {
        const Sessione::Corsia &c = sessione.corsia(i);
        if (c.inUso) f.corsie.append({i + 1, c.nome, c.numGiri, c.tempolast, c.bestlapper});
    }
    return f;
}

namespace pagina {

QVector<Posto> classifica(const Risultati &r)
{
    QVector<Posto> posti;
    if (r.conDettaglio) {
        for (const PilotaInClassifica &p : r.dettaglio)
            posti.append({int(posti.size()) + 1, p.pilota, p.giri, p.tempoTotale, p.migliorGiro,
                          distacco(p, r.dettaglio.first())});
    } else {
        // Without the detail the grid's own columns are all there is.
        for (const auto &riga : r.classifica.righe)
            posti.append({int(posti.size()) + 1, testoCella(riga.value(0)), riga.value(1).toLongLong(),
                          testoCella(riga.value(2)), {}, {}});
    }
    return posti;
}

QByteArray json(const StatoPagina &stato)
{
    QJsonArray posti, veloci, corsie;
    for (const Posto &p : classifica(stato.risultati))
        posti.append(QJsonObject{{"posizione", p.posizione}, {"pilota", p.pilota}, {"giri", p.giri},
                                 {"tempoTotale", p.tempoTotale}, {"migliorGiro", p.migliorGiro},
                                 {"distacco", p.distacco}});
    for (const auto &riga : stato.risultati.giriVeloci.righe)
        veloci.append(QJsonObject{{"posizione", veloci.size() + 1}, {"pilota", testoCella(riga.value(0))},
                                  {"giro", riga.value(1).toLongLong()}, {"tempo", testoCella(riga.value(2))}});
    for (const FotoSessione::Corsia &c : stato.sessione.corsie)
        corsie.append(QJsonObject{{"corsia", c.numero}, {"pilota", c.pilota}, {"giri", c.giri},
                                  {"ultimoGiro", c.ultimoGiro}, {"migliorGiro", c.migliorGiro}});
    const FotoGara &g = stato.sessione.gara;
    QJsonArray postiGara;
    for (const FotoGara::Posto &p : g.classifica)
        postiGara.append(QJsonObject{{"posizione", p.posizione}, {"corsia", p.corsia}, {"pilota", p.pilota},
                                     {"giri", p.giri}, {"stato", p.stato}});
    const QJsonObject gara{{"gara", g.gara}, {"manche", g.manche}, {"stato", g.stato}, {"rimanente", g.rimanente},
                           {"classifica", postiGara}, {"prossima", g.prossima},
                           {"prossimiPiloti", QJsonArray::fromStringList(g.prossimiPiloti)}};
    const QJsonObject tutto{{"pista", stato.sessione.pista},
                            {"tempoSessione", stato.sessione.tempoSessione},
                            {"stato", stato.sessione.stato},
                            {"lettura", qint64(stato.risultati.numero)},
                            {"classifica", posti},
                            {"giriVeloci", veloci},
                            {"corsie", corsie},
                            {"gara", gara}};
    return QJsonDocument(tutto).toJson(QJsonDocument::Compact);
}

QByteArray html(const StatoPagina &stato)
{
    QVector<QByteArray> posti, veloci, corsie;
    for (const Posto &p : classifica(stato.risultati))
        posti.append(numero(p.posizione) + cella(p.pilota, "nome") + numero(p.giri) + cella(p.tempoTotale)
                     + cella(p.migliorGiro) + cella(p.distacco));
    for (const auto &riga : stato.risultati.giriVeloci.righe)
        veloci.append(numero(veloci.size() + 1) + cella(testoCella(riga.value(0)), "nome")
                      + numero(riga.value(1).toLongLong()) + cella(testoCella(riga.value(2))));
    for (const FotoSessione::Corsia &c : stato.sessione.corsie)
        corsie.append(numero(c.numero) + cella(c.pilota, "nome") + numero(c.giri) + cella(c.ultimoGiro)
                      + cella(c.migliorGiro));
    const FotoGara &g = stato.sessione.gara;
    QVector<QByteArray> postiGara;
    for (const FotoGara::Posto &p : g.classifica)
        postiGara.append(numero(p.posizione) + numero(p.corsia) + cella(p.pilota, "nome") + numero(p.giri) + cella(p.stato));
    QByteArray prossimi;
    for (const QString &riga : g.prossimiPiloti) prossimi += "<li>" + esc(riga) + "</li>";
    const QString pista = stato.sessione.pista.isEmpty() ? QStringLiteral("Risultati") : stato.sessione.pista;
    return compila(modello(), {{"PISTA", esc(pista)},
                               {"TEMPO", esc(stato.sessione.tempoSessione)},
                               {"STATO", esc(stato.sessione.stato)},
                               {"CLASSIFICA", righe(posti, 6, "Nessun giro registrato")},
                               {"VELOCI", righe(veloci, 4, "Nessun giro registrato")},
                               {"CORSIE", righe(corsie, 5, "Nessuna corsia in uso")},
                               {"GARA_NASCOSTA", g.gara.isEmpty() ? QByteArray(" hidden") : QByteArray()},
                               {"GARA", esc(g.gara)},
                               {"MANCHE", esc(g.manche)},
                               {"STATO_GARA", esc(g.stato)},
                               {"RIMANENTE", esc(g.rimanente)},
                               {"CLASSIFICA_GARA", righe(postiGara, 5, "In attesa del via")},
                               {"PROSSIMA_NASCOSTA", g.prossima.isEmpty() ? QByteArray(" hidden") : QByteArray()},
                               {"PROSSIMA", esc(g.prossima)},
                               {"PROSSIMI", prossimi},
                               {"STILE", stile()},
                               {"SCRIPT", script()}});
}

QByteArray politicaSicurezza()
{
    static const QByteArray politica = "default-src 'none'; script-src " + impronta(script()) + "; style-src "
                                     + impronta(stile())
                                     + "; connect-src 'self'; img-src 'self'; base-uri 'none'; form-action 'none'; "
                                       "frame-ancestors 'none'";
    return politica;
}

} // namespace pagina
