#include "serial/impostazioniporta.h"
#include "comune/identita.h"

#include <QSettings>
#include <QStringList>

ImpostazioniPorta::ImpostazioniPorta()
    : store_(std::make_unique<QSettings>(QString::fromUtf8(identita::organizzazione),
                                         QString::fromUtf8(identita::titolo)))
{
}

ImpostazioniPorta::ImpostazioniPorta(const QString &fileIni)
    : store_(std::make_unique<QSettings>(fileIni, QSettings::IniFormat)), fileIni_(fileIni)
{
}

std::unique_ptr<ImpostazioniPorta> ImpostazioniPorta::copia() const
{
    return fileIni_.isEmpty() ? std::make_unique<ImpostazioniPorta>() : std::make_unique<ImpostazioniPorta>(fileIni_);
}

ImpostazioniPorta::~ImpostazioniPorta() = default;

QString ImpostazioniPorta::leggi(const QString &sezione, const QString &chiave) const
{
    store_->sync(); // picks up what another process wrote meanwhile
    const QVariant valore = store_->value(sezione + u'/' + chiave);
    // A hand-written 9600,n,8,1 without quotes comes back as a list of four texts.
    if (valore.typeId() == QMetaType::QStringList) return valore.toStringList().join(u',');
    return valore.toString();
}

void ImpostazioniPorta::scrivi(const QString &sezione, const QString &chiave, const QString &valore)
{
    store_->setValue(sezione + u'/' + chiave, valore);
    store_->sync();
}

QString ImpostazioniPorta::percorso() const { return store_->fileName(); }
