#include "comune/impostazioni.h"
#include "comune/identita.h"

#include <QSettings>
#include <QStringList>

Impostazioni::Impostazioni(QObject *parent)
    : QObject(parent), store_(std::make_unique<QSettings>(QString::fromUtf8(identita::organizzazione),
                                                          QString::fromUtf8(identita::titolo)))
{
}

Impostazioni::Impostazioni(const QString &fileIni, QObject *parent)
    : QObject(parent), store_(std::make_unique<QSettings>(fileIni, QSettings::IniFormat)), fileIni_(fileIni)
{
}

Impostazioni::~Impostazioni() = default;

std::unique_ptr<Impostazioni> Impostazioni::copia() const
{
    return fileIni_.isEmpty() ? std::make_unique<Impostazioni>() : std::make_unique<Impostazioni>(fileIni_);
}

QString Impostazioni::testo(const QString &sezione, const QString &chiave) const
{
    store_->sync(); // picks up what another process wrote meanwhile
    const QVariant valore = store_->value(sezione + u'/' + chiave);
    // A hand-written 9600,n,8,1 without quotes comes back as a list of four texts.
    if (valore.typeId() == QMetaType::QStringList) return valore.toStringList().join(u',');
    return valore.toString();
}

std::optional<bool> Impostazioni::interruttore(const QString &sezione, const QString &chiave) const
{
    const QString t = testo(sezione, chiave);
    if (t == QLatin1String("1")) return true;
    if (t == QLatin1String("0")) return false;
    return std::nullopt;
}

std::optional<qint64> Impostazioni::intero(const QString &sezione, const QString &chiave, qint64 minimo,
                                           qint64 massimo) const
{
    bool ok = false;
    const qint64 v = testo(sezione, chiave).toLongLong(&ok);
    if (!ok || v < minimo || v > massimo) return std::nullopt;
    return v;
}

std::optional<double> Impostazioni::numero(const QString &sezione, const QString &chiave, double minimo,
                                           double massimo) const
{
    bool ok = false;
    const double v = testo(sezione, chiave).toDouble(&ok);
    if (!ok || !(v >= minimo && v <= massimo)) return std::nullopt;
    return v;
}

void Impostazioni::scrivi(const QString &sezione, const QString &chiave, const QString &valore)
{
    store_->setValue(sezione + u'/' + chiave, valore);
    store_->sync();
    emit cambiata(sezione, chiave);
}

void Impostazioni::scriviInterruttore(const QString &sezione, const QString &chiave, bool valore)
{
    scrivi(sezione, chiave, valore ? QStringLiteral("1") : QStringLiteral("0"));
}

void Impostazioni::scriviIntero(const QString &sezione, const QString &chiave, qint64 valore)
{
    scrivi(sezione, chiave, QString::number(valore));
}

void Impostazioni::scriviNumero(const QString &sezione, const QString &chiave, double valore)
{
    scrivi(sezione, chiave, QString::number(valore));
}

QString Impostazioni::percorso() const { return store_->fileName(); }
