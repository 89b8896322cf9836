#include "results/esportazionecsv.h"

#include "database/database.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <charconv>

namespace {

const QByteArray bom = "\xEF\xBB\xBF";
const QByteArray fineRiga = "\r\n";

QByteArray cella(QString testo)
{
    if (!testo.isEmpty() && QStringView(u"=+-@\t\r").contains(testo.front())) testo.prepend(QLatin1Char('\''));
    QByteArray t = testo.toUtf8();
    if (t.contains(';') || t.contains('"') || t.contains('\n') || t.contains('\r'))
        t = '"' + t.replace('"', "\"\"") + '"';
    return t;
}

QByteArray intero(const std::optional<qint64> &n) { return n ? QByteArray::number(*n) : QByteArray(); }

// The shortest decimal that reads back as the same lap time, with a comma.
QByteArray decimale(const std::optional<double> &v)
{
    if (!v) return {};
    char testo[64];
    const float f = float(*v);
    const auto fatto = double(f) == *v ? std::to_chars(testo, testo + sizeof testo, f, std::chars_format::fixed)
                                       : std::to_chars(testo, testo + sizeof testo, *v, std::chars_format::fixed);
    QByteArray t(testo, fatto.ptr - testo);
    return t.replace('.', ',');
}

} // namespace

QByteArray EsportazioneCsv::cella(const QString &testo) { return ::cella(testo); }
QByteArray EsportazioneCsv::marcaBom() { return bom; }
QByteArray EsportazioneCsv::aCapo() { return fineRiga; }

EsportazioneCsv::EsportazioneCsv(QString percorsoDatabase, Messaggi &messaggi, DialogoFile &dialogo,
                                 ArchivioAsincrono *archivio)
    : percorso_(std::move(percorsoDatabase)), messaggi_(messaggi), dialogo_(dialogo), archivio_(archivio)
{
}

EsportazioneCsv::Dati EsportazioneCsv::leggi(Database &db)
{
    Dati d;
    {
        Istruzione q = db.prepara("SELECT pilota, giroN, Tempo, tempoGiro, Data, ora, pista FROM Giri ORDER BY id");
        while (q.passo()) {
            std::optional<double> secondi;
            if (!q.nullo(3)) secondi = q.reale(3);
            d.giri.append({q.testo(0), q.interoONullo(1), q.testo(2), secondi, q.testo(4), q.testo(5), q.testo(6)});
        }
    }
    Istruzione q = db.prepara("SELECT Pilota, Giri, TempoTotale FROM TempoTotale ORDER BY rowid");
    while (q.passo()) d.classifica.append({q.testo(0), q.interoONullo(1), q.testo(2)});
    return d;
}

QByteArray EsportazioneCsv::testoGiri(const Dati &dati)
{
    QByteArray t = bom + "Pilota;Giro;Tempo;Secondi;Data;Ora;Pista" + fineRiga;
    t.reserve(t.size() + dati.giri.size() * 64);
    for (const Giro &g : dati.giri)
        t += cella(g.pilota) + ';' + intero(g.giro) + ';' + cella(g.tempo) + ';' + decimale(g.secondi) + ';'
           + cella(g.data) + ';' + cella(g.ora) + ';' + cella(g.pista) + fineRiga;
    return t;
}

QByteArray EsportazioneCsv::testoClassifica(const Dati &dati)
{
    QByteArray t = bom + "Posizione;Pilota;Giri;TempoTotale" + fineRiga;
    for (int i = 0; i < dati.classifica.size(); ++i) {
        const Posto &p = dati.classifica[i];
        t += QByteArray::number(i + 1) + ';' + cella(p.pilota) + ';' + intero(p.giri) + ';' + cella(p.tempoTotale)
           + fineRiga;
    }
    return t;
}

QString EsportazioneCsv::fileClassifica(const QString &fileGiri)
{
    const QFileInfo info(fileGiri);
    const QString suffisso = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    return info.dir().filePath(info.completeBaseName() + QStringLiteral("-classifica") + suffisso);
}

bool EsportazioneCsv::scrivi(const QString &fileGiri, const Dati &dati, QString *errore)
{
    // Both written in full to temporary files first; renamed only when both are complete.
    // Unbuffered: a buffered write that fails only at commit (a full disk) would
    // go unnoticed there and leave a cut file in place.
    QSaveFile giri(fileGiri), classifica(fileClassifica(fileGiri));
    for (auto [file, testo] : {std::pair{&giri, testoGiri(dati)}, std::pair{&classifica, testoClassifica(dati)}}) {
        const bool aperto = file->open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        if (!aperto || file->write(testo) != testo.size()) {
            if (errore) *errore = motivoScrittura(*file, aperto);
            return false;
        }
    }
    if (!giri.commit()) {
        if (errore) *errore = motivoScrittura(giri, true);
        return false;
    }
    if (!classifica.commit()) {
        // The laps file is already in place: it goes, so no half export is left.
        if (errore) *errore = motivoScrittura(classifica, true);
        QFile::remove(fileGiri);
        return false;
    }
    return true;
}

EsportazioneCsv::Esito EsportazioneCsv::esporta()
{
    const Esportazione esportazione{
        QString::fromUtf8(titolo), QString::fromUtf8(filtro), QStringLiteral(".csv"),
        [](const QString &nome) { return QStringList{nome, fileClassifica(nome)}; },
        [](Database &db, const QString &nome, QString *errore) { return scrivi(nome, leggi(db), errore); }};
    return esportazione.esegui(percorso_, messaggi_, dialogo_, archivio_);
}
