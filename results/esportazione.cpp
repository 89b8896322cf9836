#include "results/esportazione.h"

#include "comune/identita.h"
#include "comune/indisparte.h"
#include "comune/messaggi.h"
#include "database/archivioasincrono.h"
#include "database/database.h"
#include "comune/dialogofile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <memory>

QString motivoScrittura(const QSaveFile &f, bool aperto)
{
    const QFileInfo info(f.fileName());
    const QFileInfo cartella(info.absolutePath());
    QString perche;
    if (!cartella.isDir()) perche = QStringLiteral("la cartella %1 non esiste").arg(QDir::toNativeSeparators(cartella.filePath()));
    else if (info.isDir()) perche = QStringLiteral("esiste una cartella con lo stesso nome");
    else if (aperto) perche = QStringLiteral("scrittura non riuscita, il disco potrebbe essere pieno");
    else if (!cartella.isWritable()) perche = QStringLiteral("la cartella non consente di scrivere");
    else perche = QStringLiteral("il file non può essere creato");
    if (f.error() != QFileDevice::NoError) perche += QStringLiteral(" (%1)").arg(f.errorString());
    return QStringLiteral("Impossibile scrivere il file %1: %2.").arg(QDir::toNativeSeparators(info.absoluteFilePath()), perche);
}

bool scriviFileIntero(const QString &nome, const QByteArray &byte, QString *errore)
{
    // Unbuffered: a buffered write that fails only at commit (a full disk)
    // would go unnoticed there and leave a cut file in place.
    QSaveFile file(nome);
    const bool aperto = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    if (aperto && file.write(byte) == byte.size() && file.commit()) return true;
    if (errore) *errore = motivoScrittura(file, aperto);
    return false;
}

EsitoEsportazione Esportazione::esegui(const QString &percorsoDatabase, Messaggi &messaggi, DialogoFile &dialogo,
                                       ArchivioAsincrono *archivio) const
{
    const QString nome = nomeDaScrivere(dialogo, messaggi, titolo, filtro, estensione);
    if (nome.isEmpty()) return EsitoEsportazione::Annullato;
    // The chosen file was asked about with the name; the others written beside it are asked about here.
    if (!sostituzioneConsentita(messaggi, file(nome).mid(1))) return EsitoEsportazione::Annullato;
    // Laps marked until now go in too: the writer commits what waits first.
    const bool completo = !archivio || archivio->svuota();
    const int mancanti = archivio ? archivio->giriInAttesa() : 0;
    std::unique_ptr<ErroreDatabase> fallito;
    QString errore;
    bool scritto = false;
    eseguiInDisparte([&] {
        try {
            Database db;
            db.apri(percorsoDatabase, QString::fromUtf8(identita::password), false);
            scritto = scrivi(db, nome, &errore);
        } catch (const ErroreDatabase &e) {
            fallito = std::make_unique<ErroreDatabase>(e);
        }
    });
    if (fallito) {
        fallito->mostra(messaggi);
        return EsitoEsportazione::Errore;
    }
    if (!scritto) {
        messaggi.mostra(QStringLiteral("Esportazione non riuscita. ") + errore
                            + QStringLiteral("\nNessun file è stato scritto."),
                        Messaggi::Pulsanti::Ok, Messaggi::Icona::Esclamazione);
        return EsitoEsportazione::Errore;
    }
    if (!completo)
        messaggi.mostra(QStringLiteral("Esportati i giri salvati nel database; %1 giri in attesa di salvataggio "
                                       "non sono nel file.").arg(mancanti),
                        Messaggi::Pulsanti::Ok, Messaggi::Icona::Esclamazione);
    return EsitoEsportazione::Esportato;
}
