#include "shell/applicazione.h"
#include "comune/caratteri.h"
#include "comune/icone.h"
#include "comune/identita.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QString::fromUtf8(identita::organizzazione));
    QApplication::setApplicationName(QString::fromUtf8(identita::titolo));
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(identita::versioneMaggiore)
                                            .arg(identita::versioneMinore)
                                            .arg(identita::revisione));
    QApplication::setWindowIcon(QIcon(iconaProgramma()));
    registraSostituzioniCaratteri();
    QApplication::setFont(carattere(8.25));

    Applicazione applicazione;
    applicazione.avvia();
    return app.exec();
}
