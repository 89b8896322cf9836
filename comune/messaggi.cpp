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
} // namespace

Messaggi::Risposta MessaggiQt::mostra(const QString &testo, Pulsanti pulsanti, Icona tipo,
                                      const QString &titolo, int predefinito)
{
    QMessageBox box(QApplication::activeWindow());
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
                                QApplication::activeWindow());
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
