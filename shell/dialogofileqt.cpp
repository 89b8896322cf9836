#include "shell/dialogofileqt.h"

#include <QApplication>
#include <QGuiApplication>
#include <QFileDialog>

namespace {
bool aggiungeEstensione() { return QGuiApplication::platformName() == QLatin1String("windows"); }

QString mostra(const QString &titolo, const QString &filtro, bool salvataggio)
{
    QFileDialog dialogo(QApplication::activeWindow(), titolo);
    dialogo.setNameFilters(filtriDialogo(filtro));
    if (salvataggio) {
        dialogo.setAcceptMode(QFileDialog::AcceptSave);
        dialogo.setFileMode(QFileDialog::AnyFile);
        dialogo.setOption(QFileDialog::DontConfirmOverwrite);
        // The Windows system dialog adds the first filter's extension to a name typed
        // without one ("gara1" saved as "gara1.qlt"), whatever the default suffix:
        // there the name is taken from Qt's own dialog, exactly as typed.
        dialogo.setOption(QFileDialog::DontUseNativeDialog, aggiungeEstensione());
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
