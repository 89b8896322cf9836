#include "comune/messaggi.h"
#include "comune/identita.h"

#include <QApplication>
#include <QMessageBox>

namespace {
QMessageBox::Icon icona(Messaggi::Icona i)
{
    switch (i) {
    case Messaggi::Icona::Esclamazione: return QMessageBox::Warning;
    case Messaggi::Icona::Informazione: return QMessageBox::Information;
    case Messaggi::Icona::Domanda: return QMessageBox::Question;
    case Messaggi::Icona::Critico: return QMessageBox::Critical;
    case Messaggi::Icona::Nessuna: break;
    }
    return QMessageBox::NoIcon;
}
// The window a box belongs to: the active one, but never a notice that takes no
// focus (a wait's notice), which may go while the box is open; its owner instead.
QWidget *proprietario()
{
    QWidget *w = QApplication::activeWindow();
    while (w && w->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus))
        w = w->parentWidget() ? w->parentWidget()->window() : nullptr;
    return w;
}
} // namespace

Messaggi::Risposta MessaggiQt::mostra(const QString &testo, Pulsanti pulsanti, Icona tipo,
                                      const QString &titolo, int predefinito)
{
    QMessageBox box(proprietario());
    box.setWindowTitle(titolo.isEmpty() ? QString::fromUtf8(identita::titolo) : titolo);
    box.setText(testo);
    box.setIcon(icona(tipo));
    QMessageBox::StandardButton primo = QMessageBox::Ok, secondo = QMessageBox::NoButton;
    if (pulsanti == Pulsanti::OkAnnulla) secondo = QMessageBox::Cancel;
    if (pulsanti == Pulsanti::SiNo) { primo = QMessageBox::Yes; secondo = QMessageBox::No; }
    box.setStandardButtons(primo | secondo);
    box.setDefaultButton(predefinito == 1 && secondo != QMessageBox::NoButton ? secondo : primo);
    box.setEscapeButton(secondo != QMessageBox::NoButton ? secondo : primo);
    switch (box.exec()) {
    case QMessageBox::Cancel: return Risposta::Annulla;
    case QMessageBox::Yes: return Risposta::Si;
    case QMessageBox::No: return Risposta::No;
    default: return Risposta::Ok;
    }
}

namespace {
QMessageBox *nuovoAvviso(const QString &testo, Messaggi::Icona tipo)
{
    auto *box = new QMessageBox(icona(tipo), QString::fromUtf8(identita::titolo), testo, QMessageBox::Ok,
                                proprietario());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
    return box;
}
} // namespace

void MessaggiQt::avvisa(const QString &testo, Icona tipo)
{
    nuovoAvviso(testo, tipo);
}

void MessaggiQt::sostituisciAvviso(const QString &chiave, const QString &testo, Icona tipo)
{
    if (QMessageBox *prima = avvisi_.value(chiave)) prima->close();
    avvisi_.insert(chiave, nuovoAvviso(testo, tipo));
}
