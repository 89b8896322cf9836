#include "comune/dialogofile.h"
#include "comune/messaggi.h"

#include <QFileInfo>

QStringList filtriDialogo(const QString &filtro)
{
    const QStringList parti = filtro.split(QLatin1Char('|'));
    QStringList filtri;
    for (int i = 0; i + 1 < parti.size(); i += 2) {
        QString schema = parti[i + 1];
        // "*.*" means every file; here it would miss the names without a dot.
        schema.replace(QStringLiteral("*.*"), QStringLiteral("*"));
        schema.replace(QLatin1Char(';'), QLatin1Char(' '));
        filtri.append(parti[i] + QStringLiteral(" (") + schema + QLatin1Char(')'));
    }
    return filtri;
}

QString domandaSostituzione(const QString &file)
{
    return QStringLiteral("Il file %1 esiste già. Sostituirlo?").arg(QFileInfo(file).fileName());
}

bool sostituzioneConsentita(Messaggi &messaggi, const QStringList &file)
{
    for (const QString &f : file)
        if (QFileInfo::exists(f)
            && messaggi.mostra(domandaSostituzione(f), Messaggi::Pulsanti::SiNo, Messaggi::Icona::Domanda, {}, 1)
                   != Messaggi::Risposta::Si)
            return false;
    return true;
}

QString nomeDaScrivere(DialogoFile &dialogo, Messaggi &messaggi, const QString &titolo, const QString &filtro,
                       const QString &estensione)
{
    QString nome = dialogo.salva(titolo, filtro);
    if (nome.isEmpty()) return {};
    if (!estensione.isEmpty() && QFileInfo(nome).suffix().isEmpty()) nome += estensione;
    return sostituzioneConsentita(messaggi, {nome}) ? nome : QString();
}
