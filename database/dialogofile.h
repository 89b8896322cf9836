#pragma once
#include <QString>

class QWidget;

// Open and save dialogs behind an interface, so tests can answer them. The
// filter is a list of "description|pattern" pairs joined by "|".
class DialogoFile {
public:
    virtual ~DialogoFile() = default;
    // The chosen file name, or empty when the user cancelled.
    virtual QString apri(const QString &titolo, const QString &filtro) = 0;
    // No extension is added and an existing file is replaced without asking.
    virtual QString salva(const QString &titolo, const QString &filtro) = 0;
};

class DialogoFileQt : public DialogoFile {
public:
    QString apri(const QString &titolo, const QString &filtro) override;
    QString salva(const QString &titolo, const QString &filtro) override;

    // "Salvataggi|*.qlt|Tutti i file|*.*" in the form QFileDialog takes.
    static QStringList filtriQt(const QString &filtro);
};
