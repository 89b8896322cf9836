#pragma once
#include "app/bloccoarchivio.h"
#include "app/posizionearchivio.h"

#include <QString>
#include <QStringList>
#include <memory>

class Messaggi;
class QApplication;
class QCoreApplication;

// What the command line asks for before any window opens; Qt's own options
// (-platform, -style, ...) are left to Qt.
enum class Richiesta { Avvia, Versione, Aiuto };
Richiesta leggiRichiesta(const QStringList &argomenti);
QString testoVersione();
QString testoAiuto();

// The QApplication; where it cannot reach a display the program says so on
// standard error, in Italian and English, and ends with exit code 1 instead of
// Qt's abort.
std::unique_ptr<QApplication> apriInterfaccia(int &argc, char **argv);

// Qt's own texts (standard buttons, file and print dialogs) in Italian, from
// the system's Qt translations. False when they are not installed.
bool caricaTraduzioniQt(QCoreApplication &app);

// Finds the timing database (never in a system folder, see posizioneArchivio),
// takes its lock before anything opens it, and copies a database stranded
// beside a program that may not keep it there.
class Avvio {
public:
    explicit Avvio(Messaggi &messaggi, VerificaScrittura scrivibile = fileScrivibile, RegolaCartelle regola = {})
        : messaggi_(messaggi), scrivibile_(std::move(scrivibile)), regola_(std::move(regola)) {}

    // False, after telling the operator, when another program runs on the same
    // database or when no lock can be made for it.
    bool prepara(const QString &cartellaProgramma, const QString &cartellaUtente);
    QString percorso() const { return percorso_; }

private:
    bool blocca(const QString &percorso);

    Messaggi &messaggi_;
    VerificaScrittura scrivibile_;
    RegolaCartelle regola_;
    std::unique_ptr<BloccoArchivio> blocco_;
    QString percorso_;
};
