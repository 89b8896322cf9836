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
