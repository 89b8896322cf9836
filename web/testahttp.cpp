#include "web/testahttp.h"

#include <QList>
#include <QUrl>

namespace {

// Where a head ends (past its blank line), or -1 while it has not.
qsizetype fineTesta(const QByteArray &d, qsizetype da)
{
    const qsizetype crlf = d.indexOf("\r\n\r\n", da), lf = d.indexOf("\n\n", da);
    if (crlf >= 0 && (lf < 0 || crlf < lf)) return crlf + 4;
    return lf >= 0 ? lf + 2 : -1;
}

// Is `token` among the comma-separated values of a header, any case?
bool contiene(const QByteArray &valori, const char *token)
{
    for (const QByteArray &v : valori.split(','))
        if (v.trimmed().compare(token, Qt::CaseInsensitive) == 0) return true;
    return false;
}

} // namespace

TestaHttp leggiTestaHttp(const QByteArray &dati, qsizetype limite)
{
    TestaHttp t;
    // Blank lines between requests are no request.
    qsizetype inizio = 0;
    while (inizio < dati.size() && (dati[inizio] == '\r' || dati[inizio] == '\n')) ++inizio;
    t.consumati = inizio;
    if (inizio == dati.size()) return t;
    const qsizetype fine = fineTesta(dati, inizio);
    if ((fine < 0 ? dati.size() : fine) - inizio > limite) {
        t.esito = TestaHttp::Esito::TroppoLunga;
        return t;
    }
    if (fine < 0) {
        t.esito = TestaHttp::Esito::Incompleta;
        return t;
    }
    t.consumati = fine;
    const QList<QByteArray> righe = dati.mid(inizio, fine - inizio).trimmed().split('\n');
    const QList<QByteArray> parti = righe.value(0).trimmed().split(' ');
    if (parti.size() != 3 || !parti[2].startsWith("HTTP/1.")) {
        t.esito = TestaHttp::Esito::NonValida;
        return t;
    }
    t.esito = TestaHttp::Esito::Completa;
    t.metodo = parti[0];
    t.percorso = QUrl::fromEncoded(parti[1]).path();
    t.chiudi = parti[2] == "HTTP/1.0";
    for (qsizetype i = 1; i < righe.size(); ++i) {
        const QByteArray &r = righe[i];
        const qsizetype due = r.indexOf(':');
        if (due <= 0) continue;
        const QByteArray nome = r.left(due).trimmed().toLower(), valore = r.mid(due + 1).trimmed();
        if (nome == "connection") {
            if (contiene(valore, "close")) t.chiudi = true;
            else if (contiene(valore, "keep-alive")) t.chiudi = false;
        } else if (nome == "transfer-encoding" || (nome == "content-length" && valore != "0")) {
            t.conCorpo = true;
        }
    }
    // A body would not be read: the connection ends after the answer instead.
    if (t.conCorpo) t.chiudi = true;
    return t;
}
