#include "shell/dialogofileqt.h"

#include <QApplication>
#include <QFileDialog>

namespace {
QString mostra(const QString &titolo, const QString &filtro, bool salvataggio)
{
    QFileDialog dialogo(QApplication::activeWindow(), titolo);
    dialogo.setNameFilters(filtriDialogo(filtro));
    if (salvataggio) {
        dialogo.setAcceptMode(QFileDialog::AcceptSave);
        dialogo.setFileMode(QFileDialog::AnyFile);
        dialogo.setOption(QFileDialog::DontConfirmOverwrite);
    } else {
        dialogo.setAcceptMode(QFileDialog::AcceptOpen);
        dialogo.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialogo.exec() != QDialog::Accepted || dialogo.selectedFiles().isEmpty()) return {};
    return dialogo.selectedFiles().first();
}
} // namespace

QString DialogoFileQt::apri(const QString &titolo, const QString &filtro) { return mostra(titolo, filtro, false); }

QString DialogoFileQt::salva(const QString &titolo, const QString &filtro) { return mostra(titolo, filtro, true); }
