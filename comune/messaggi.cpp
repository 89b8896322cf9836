#include "comune/messaggi.h"
#include "comune/identita.h"

#include <QApplication>
#include <QMessageBox>

Messaggi::Risposta MessaggiQt::mostra(const QString &testo, Pulsanti pulsanti, Icona icona,
                                      const QString &titolo, int predefinito)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(titolo.isEmpty() ? QString::fromUtf8(identita::titolo) : titolo);
    box.setText(testo);
    switch (icona) {
    case Icona::Nessuna: box.setIcon(QMessageBox::NoIcon); break;
    case Icona::Esclamazione: box.setIcon(QMessageBox::Warning); break;
    case Icona::Informazione: box.setIcon(QMessageBox::Information); break;
    case Icona::Domanda: box.setIcon(QMessageBox::Question); break;
    case Icona::Critico: box.setIcon(QMessageBox::Critical); break;
    }
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
