#pragma once
#include "comune/dialogofile.h"

// The system's open and save dialogs (QFileDialog), modal over the active window.
class DialogoFileQt : public DialogoFile {
public:
    QString apri(const QString &titolo, const QString &filtro) override;
    QString salva(const QString &titolo, const QString &filtro) override;
};
