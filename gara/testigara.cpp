#include "gara/testigara.h"

#include "timing/tempotesto.h"

#include <QRegularExpression>
#include <cmath>

namespace gara {

namespace {
QString decimali(double v, int cifre)
{
    return QString::number(v, 'f', cifre).replace(QLatin1Char('.'), QLatin1Char(','));
}
QString giriN(int n) { return std::abs(n) == 1 ? QStringLiteral("%1 giro").arg(n) : QStringLiteral("%1 giri").arg(n); }
// A penalty's amount with its sign, after its word (no cell of an export starts with a sign).
QString segnato(int n) { return (n > 0 ? QStringLiteral("+") : QString()) + QString::number(n); }
QString segnato(double s) { return (s > 0 ? QStringLiteral("+") : QString()) + decimali(s, 3); }
} // namespace

QString descriviRegole(const Regole &r)
{
    switch (r.tipo) {
    case TipoSessione::ProvaLibera: return nomeTipo(r.tipo);
    case TipoSessione::GaraAGiri: return QStringLiteral("%1, %2").arg(nomeTipo(r.tipo), giriN(r.giri));
    case TipoSessione::Qualifica:
    case TipoSessione::GaraATempo: {
        const double minuti = r.durata / 60.0;
        const QString m = std::abs(minuti - std::round(minuti)) < 1e-9 ? QString::number(qRound64(minuti))
                                                                       : decimali(minuti, 1);
        return QStringLiteral("%1, %2 %3").arg(nomeTipo(r.tipo), m, minuti == 1 ? QStringLiteral("minuto") : QStringLiteral("minuti"));
    }
    }
    return {};
}

QString testoGiri(double giri) { return decimali(giri, 3); }

QString testoSecondi(double secondi) { return (secondi > 0 ? QStringLiteral("+") : QString()) + decimali(secondi, 3) + QStringLiteral(" s"); }

QString testoSanzioni(const Sanzioni &s)
{
    QStringList parti;
    if (s.giri != 0) parti << QStringLiteral("giri ") + segnato(s.giri);
    if (s.secondi != 0) parti << QStringLiteral("secondi ") + segnato(s.secondi);
    if (s.squalificato) parti << QStringLiteral("squalificato");
    return parti.join(QStringLiteral(", "));
}

QString nomeStatoManche(Manche::Stato stato)
{
    switch (stato) {
    case Manche::Stato::DaCorrere: return QStringLiteral("Da correre");
    case Manche::Stato::InCorso: return QStringLiteral("In corso");
    case Manche::Stato::Conclusa: return QStringLiteral("Conclusa");
    }
    return {};
}

QString notaPosto(const EsitoPilota &e)
{
    if (e.exAequo) return QStringLiteral("ex aequo");
    if (e.decisoSullaLinea) return QStringLiteral("deciso sulla linea (%1)").arg(nomePrecisione(e.precisioneSpareggio));
    return {};
}

QString statoManche(const RisultatoManche &r)
{
    if (r.conclusa) return QStringLiteral("Conclusa");
    if (!r.avviata) return QStringLiteral("In attesa del via");
    if (r.neutralizzata) return QStringLiteral("Neutralizzazione");
    if (r.bandiera) return QStringLiteral("Bandiera a scacchi");
    return QStringLiteral("In corso");
}

QString testoRimanente(const RisultatoManche &r)
{
    if (!r.avviata || r.conclusa || r.bandiera) return {};
    if (r.regole.tipo == TipoSessione::GaraAGiri && r.giriAlTermine >= 0)
        return r.giriAlTermine <= 1 ? QStringLiteral("Ultimo giro") : QStringLiteral("Mancano %1 giri").arg(r.giriAlTermine);
    if (!std::isnan(r.tempoRimanente))
        return QStringLiteral("Tempo rimasto %1").arg(testoTempoSessione(float(std::ceil(r.tempoRimanente))));
    return {};
}

QString quantitaVoce(const VoceRegistro &v)
{
    if (v.tipo == TipoVoce::Giri) return QStringLiteral("giri ") + segnato(v.giri);
    if (v.tipo == TipoVoce::Secondi) return QStringLiteral("secondi ") + segnato(v.secondi);
    return {};
}

QString testoDistacco(const EsitoPilota &e, TipoSessione tipo)
{
    if (e.posizione <= 1 || e.exAequo || e.distacco <= 0) return {};
    Q_UNUSED(tipo);
    return decimali(e.distacco, 3) + QStringLiteral(" s");
}

std::optional<TabellaPunti> leggiTabellaPunti(const QString &testo, QString *errore)
{
    TabellaPunti t;
    t.punti.clear();
    static const QRegularExpression separatori(QStringLiteral("[\\s,;/-]+"));
    for (const QString &parte : testo.split(separatori, Qt::SkipEmptyParts)) {
        bool ok = false;
        const int v = parte.toInt(&ok);
        if (!ok) {
            if (errore) *errore = QStringLiteral("Punti non validi: \"%1\" non è un numero intero.").arg(parte);
            return std::nullopt;
        }
        t.punti.append(v);
    }
    const QString motivo = t.errore();
    if (!motivo.isEmpty()) {
        if (errore) *errore = motivo;
        return std::nullopt;
    }
    return t;
}

std::optional<double> leggiNumero(const QString &testo)
{
    QString t = testo.trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    if (t.startsWith(QLatin1Char('+'))) t.remove(0, 1);
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return v;
}

} // namespace gara
