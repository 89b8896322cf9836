#include "app/bloccoarchivio.h"
#include "comune/identita.h"

#include <QDir>

QString BloccoArchivio::testoOccupato()
{
    return QString::fromUtf8(identita::titolo) + QStringLiteral(" è già in esecuzione su questo archivio");
}

QString BloccoArchivio::testoImpossibile() const
{
    return QStringLiteral("Impossibile creare il file di blocco dell'archivio dei tempi\n%1\n(%2).\n\n"
                          "Senza il blocco un secondo programma potrebbe scrivere sullo stesso archivio, "
                          "quindi l'archivio non viene aperto. Liberare spazio sul disco o rendere "
                          "scrivibile la cartella, poi riavviare il programma.")
        .arg(QDir::toNativeSeparators(percorso()), errore());
}
