#include "database/risultati.h"

#include "database/database.h"

namespace {
constexpr const char *sorgenteClassifica = "SELECT Pilota, Giri, TempoTotale FROM TempoTotale ORDER BY rowid";
constexpr const char *sorgenteGiriVeloci = "SELECT * FROM Sunto2";
} // namespace

TabellaDati leggiTabella(Database &db, const QString &sql, const QVariantList &parametri)
{
    TabellaDati t;
    Istruzione q = db.prepara(sql);
    for (int i = 0; i < parametri.size(); ++i) q.lega(i + 1, parametri[i]);
    const int n = q.colonne();
    for (int c = 0; c < n; ++c) t.campi.append(q.nomeColonna(c));
    while (q.passo()) {
        QVector<QVariant> riga(n);
        for (int c = 0; c < n; ++c) riga[c] = q.valore(c);
        t.righe.append(std::move(riga));
    }
    return t;
}

QVector<PilotaInClassifica> leggiDettaglio(Database &db)
{
    QVector<PilotaInClassifica> righe;
    Istruzione q = db.prepara(
        "SELECT t.Pilota, t.Giri, t.TempoTotale, p.totale, "
        "(SELECT g.Tempo FROM Giri g WHERE g.pilota = t.Pilota AND g.tempoGiro IS NOT NULL "
        "ORDER BY g.tempoGiro, g.id LIMIT 1) "
        "FROM TempoTotale t LEFT JOIN TotaliPiloti p ON p.pilota = ifnull(t.Pilota, '') ORDER BY t.rowid");
    while (q.passo())
        righe.append({q.testo(0), q.intero(1), q.testo(2), q.reale(3), q.testo(4)});
    return righe;
}

Risultati leggiRisultati(Database &db)
{
    Risultati r;
    r.classifica = leggiTabella(db, QString::fromLatin1(sorgenteClassifica));
    r.giriVeloci = leggiTabella(db, QString::fromLatin1(sorgenteGiriVeloci));
    return r;
}

Risultati FonteDiretta::leggiRisultati()
{
    Risultati r;
    if (!db_.aperto()) {
        r.aperto = false;
    } else {
        try {
            r = ::leggiRisultati(db_);
        } catch (const ErroreDatabase &e) {
            r.errore = e.messaggio();
        }
    }
    r.numero = ++numero_;
    return r;
}
