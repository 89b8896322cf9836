// The speech engine of Qt TextToSpeech: speech-dispatcher on Linux.
#include "voce/motori.h"

#include <QTextToSpeech>
#include <QVoice>

namespace {
class VoceQt : public MotoreVoce {
public:
    VoceQt()
    {
        if (QTextToSpeech::availableEngines().isEmpty()) {
            problema_ = QStringLiteral("nessun motore di sintesi vocale installato");
            return;
        }
        tts_ = std::make_unique<QTextToSpeech>();
        if (tts_->state() == QTextToSpeech::Error) {
            problema_ = testoErrore();
            return;
        }
        propria_ = tts_->locale();
        for (const QLocale &l : tts_->availableLocales())
            if (l.language() == QLocale::Italian && (italiano_.language() != QLocale::Italian || l.territory() == QLocale::Italy))
                italiano_ = l;
        QObject::connect(tts_.get(), &QTextToSpeech::stateChanged, [this](QTextToSpeech::State s) { cambiato(s); });
        imposta({}, 0, 1);
    }

    QString problema() const override { return problema_; }

    QList<Voce> voci() override
    {
        QList<Voce> elenco;
        if (!tts_ || !problema_.isEmpty()) return elenco;
        const QLocale attuale = tts_->locale();
        const QVoice voce = tts_->voice();
        for (const QLocale &l : lingue()) {
            tts_->setLocale(l);
            for (const QVoice &v : tts_->availableVoices()) elenco.append({v.name(), l.name()});
        }
        tts_->setLocale(attuale);
        tts_->setVoice(voce);
        return elenco;
    }

    void imposta(const QString &voce, double velocita, double volume) override
    {
        if (!tts_ || !problema_.isEmpty()) return;
        bool trovata = false;
        for (const QLocale &l : lingue()) {
            if (voce.isEmpty()) break;
            tts_->setLocale(l);
            for (const QVoice &v : tts_->availableVoices())
                if (v.name() == voce) {
                    tts_->setVoice(v);
                    trovata = true;
                    break;
                }
            if (trovata) break;
        }
        if (!trovata) tts_->setLocale(lingue().constFirst());
        tts_->setRate(velocita);
        tts_->setVolume(volume);
    }

    void pronuncia(const QString &testo) override
    {
        if (!tts_ || !problema_.isEmpty()) {
            if (finito) finito();
            return;
        }
        attesaInizio_ = inCorso_ = true;
        tts_->say(testo);
    }

private:
    // Italian first (when the engine has it), then the engine's own language.
    QList<QLocale> lingue() const
    {
        QList<QLocale> l;
        if (italiano_.language() == QLocale::Italian) l << italiano_;
        if (l.isEmpty() || propria_ != italiano_) l << propria_;
        return l;
    }

    QString testoErrore() const
    {
        const QString e = tts_->errorString();
        return e.isEmpty() ? QStringLiteral("il sistema di sintesi vocale non risponde") : e;
    }

    void cambiato(QTextToSpeech::State s)
    {
        if (s == QTextToSpeech::Speaking && attesaInizio_) {
            attesaInizio_ = false;
            if (iniziato) iniziato();
        } else if (s == QTextToSpeech::Error) {
            problema_ = testoErrore();
            if (guasto) guasto(problema_);
            fine();
        } else if (s == QTextToSpeech::Ready) {
            fine();
        }
    }

    void fine()
    {
        if (!inCorso_) return;
        inCorso_ = attesaInizio_ = false;
        if (finito) finito();
    }

    std::unique_ptr<QTextToSpeech> tts_;
    QString problema_;
    QLocale italiano_{QLocale::C}, propria_;
    bool inCorso_ = false, attesaInizio_ = false;
};
} // namespace

std::unique_ptr<MotoreVoce> creaMotoreVoce() { return std::make_unique<VoceQt>(); }
