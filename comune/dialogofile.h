#pragma once
#include <QString>
#include <QStringList>

class Messaggi;

// Open and save dialogs behind an interface, so tests can answer them (the real
// ones are the shell's). The filter is a list of "description|pattern" pairs
// joined by "|".
class DialogoFile {
public:
    virtual ~DialogoFile() = default;
    // The chosen file name, or empty when the user cancelled.
    virtual QString apri(const QString &titolo, const QString &filtro) = 0;
    // No extension is added and nothing is asked about an existing file:
    // the callers ask (see nomeDaScrivere).
    virtual QString salva(const QString &titolo, const QString &filtro) = 0;
};

// "Salvataggi|*.qlt|Tutti i file|*.*" as a file dialog lists it: "Salvataggi (*.qlt)", "Tutti i file (*)".
QStringList filtriDialogo(const QString &filtro);

// "Il file gara.qlt esiste già. Sostituirlo?", with No as the default answer.
QString domandaSostituzione(const QString &file);

// True when none of `file` exists or the operator agrees to replace each one that does.
bool sostituzioneConsentita(Messaggi &messaggi, const QStringList &file);

// The save dialog's name, with `estensione` (".pdf") added to a name without
// one; empty when the operator cancels or will not replace the existing file.
QString nomeDaScrivere(DialogoFile &dialogo, Messaggi &messaggi, const QString &titolo, const QString &filtro,
                       const QString &estensione = {});
