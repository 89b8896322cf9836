// Speech through the Windows speech API (SAPI 5, over COM): the voices the
// system has installed, the Italian one of an Italian Windows by default. The
// engine is made, used and destroyed on the voice thread, which joins COM here.
#include "voce/motori.h"

#include <QLocale>
#include <QWinEventNotifier>

#include <windows.h>
#include <sapi.h>
#include <sphelper.h>
#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

namespace {

QString daCom(WCHAR *testo)
{
    const QString s = testo ? QString::fromWCharArray(testo) : QString();
    CoTaskMemFree(testo);
    return s;
}

QString errore(HRESULT hr) { return QStringLiteral("errore 0x%1").arg(quint32(hr), 8, 16, QLatin1Char('0')); }

class VoceSapi : public MotoreVoce {
public:
    VoceSapi()
    {
        const HRESULT co = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        comNostro_ = SUCCEEDED(co);
        // Already joined in the other model (a host that set it up first) is as good.
        if (FAILED(co) && co != RPC_E_CHANGED_MODE) {
            problema_ = QStringLiteral("COM non si avvia (%1)").arg(errore(co));
            return;
        }
        HRESULT hr = CoCreateInstance(CLSID_SpVoice, nullptr, CLSCTX_ALL, IID_ISpVoice, reinterpret_cast<void **>(voce_.GetAddressOf()));
        if (FAILED(hr)) {
            problema_ = QStringLiteral("la sintesi vocale di Windows (SAPI) non è disponibile (%1)").arg(errore(hr));
            return;
        }
        voce_->GetVoice(predefinita_.GetAddressOf());
        leggiVoci();
        if (voci_.empty()) {
            problema_ = QStringLiteral("in Windows non è installata nessuna voce");
            return;
        }
        const ULONGLONG interessi = SPFEI(SPEI_START_INPUT_STREAM) | SPFEI(SPEI_END_INPUT_STREAM);
        hr = voce_->SetInterest(interessi, interessi);
        if (SUCCEEDED(hr)) hr = voce_->SetNotifyWin32Event();
        if (FAILED(hr)) {
            problema_ = QStringLiteral("la sintesi vocale di Windows non segnala i suoi eventi (%1)").arg(errore(hr));
            return;
        }
        notifica_ = std::make_unique<QWinEventNotifier>(voce_->GetNotifyEventHandle());
        QObject::connect(notifica_.get(), &QWinEventNotifier::activated, [this] { eventi(); });
        imposta({}, 0, 1);
    }

    ~VoceSapi() override
    {
        notifica_.reset();
        if (voce_) voce_->Speak(nullptr, SPF_PURGEBEFORESPEAK, nullptr);
        voci_.clear();
        predefinita_.Reset();
        voce_.Reset();
        if (comNostro_) CoUninitialize();
    }

    QString problema() const override { return problema_; }

    QList<Voce> voci() override
    {
        QList<Voce> elenco;
        if (!problema_.isEmpty()) return elenco;
        for (const Token &t : voci_) elenco.append({t.nome, t.lingua});
        return elenco;
    }

    void imposta(const QString &voce, double velocita, double volume) override
    {
        if (!problema_.isEmpty()) return;
        // The named voice; else the first Italian one; else the system's own.
        ISpObjectToken *scelta = nullptr;
        for (const Token &t : voci_)
            if (voce.isEmpty() ? t.lingua.startsWith(QLatin1String("it")) : t.nome == voce) {
                scelta = t.token.Get();
                break;
            }
        voce_->SetVoice(scelta ? scelta : predefinita_.Get());
        voce_->SetRate(qBound(-10, qRound(velocita * 10), 10));
        voce_->SetVolume(USHORT(qBound(0, qRound(volume * 100), 100)));
    }

    void pronuncia(const QString &testo) override
    {
        if (!problema_.isEmpty()) {
            if (finito) finito();
            return;
        }
        attesaInizio_ = inCorso_ = true;
        const HRESULT hr = voce_->Speak(reinterpret_cast<const WCHAR *>(testo.utf16()), SPF_ASYNC | SPF_IS_NOT_XML, nullptr);
        if (FAILED(hr)) {
            problema_ = QStringLiteral("la voce di Windows non parla (%1)").arg(errore(hr));
            if (guasto) guasto(problema_);
            fine();
        }
    }

private:
    struct Token {
        ComPtr<ISpObjectToken> token;
        QString nome, lingua;
    };

    // The system's voices: Italian ones first, then those of the default voice's language.
    void leggiVoci()
    {
        ComPtr<IEnumSpObjectTokens> elenco;
        ULONG n = 0;
        if (FAILED(SpEnumTokens(SPCAT_VOICES, nullptr, nullptr, elenco.GetAddressOf())) || FAILED(elenco->GetCount(&n))) return;
        QString propria;
        std::vector<Token> tutte;
        for (ULONG i = 0; i < n; ++i) {
            Token t;
            if (elenco->Next(1, t.token.GetAddressOf(), nullptr) != S_OK) break;
            WCHAR *descrizione = nullptr;
            if (FAILED(SpGetDescription(t.token.Get(), &descrizione))) continue;
            t.nome = daCom(descrizione);
            t.lingua = lingua(t.token.Get());
            if (predefinita_ && idDi(t.token.Get()) == idDi(predefinita_.Get())) propria = t.lingua;
            tutte.push_back(std::move(t));
        }
        for (bool italiane : {true, false})
            for (Token &t : tutte)
                if (t.lingua.startsWith(QLatin1String("it")) == italiane && (italiane || t.lingua == propria))
                    voci_.push_back(t);
    }

    static QString idDi(ISpObjectToken *token)
    {
        WCHAR *id = nullptr;
        return SUCCEEDED(token->GetId(&id)) ? daCom(id) : QString();
    }

    // "it_IT" from the token's Language attribute (hexadecimal LCIDs, the first one counts).
    static QString lingua(ISpObjectToken *token)
    {
        ComPtr<ISpDataKey> attributi;
        WCHAR *valore = nullptr;
        if (FAILED(token->OpenKey(L"Attributes", attributi.GetAddressOf())) || FAILED(attributi->GetStringValue(L"Language", &valore)))
            return {};
        bool ok = false;
        const LCID lcid = daCom(valore).section(QLatin1Char(';'), 0, 0).toUInt(&ok, 16);
        WCHAR nome[LOCALE_NAME_MAX_LENGTH] = {};
        if (!ok || LCIDToLocaleName(lcid, nome, LOCALE_NAME_MAX_LENGTH, 0) == 0) return {};
        return QLocale(QString::fromWCharArray(nome)).name();
    }

    void eventi()
    {
        // Cleared before the queue is read: an event that comes meanwhile sets it again.
        ResetEvent(voce_->GetNotifyEventHandle());
        SPEVENT evento;
        ULONG letti = 0;
        while (voce_ && voce_->GetEvents(1, &evento, &letti) == S_OK && letti == 1) {
            // Neither event carries data to free.
            if (evento.eEventId == SPEI_START_INPUT_STREAM && attesaInizio_) {
                attesaInizio_ = false;
                if (iniziato) iniziato();
            } else if (evento.eEventId == SPEI_END_INPUT_STREAM) {
                fine();
            }
        }
    }

    void fine()
    {
        if (!inCorso_) return;
        inCorso_ = attesaInizio_ = false;
        if (finito) finito();
    }

    bool comNostro_ = false;
    ComPtr<ISpVoice> voce_;
    ComPtr<ISpObjectToken> predefinita_;
    std::vector<Token> voci_;
    std::unique_ptr<QWinEventNotifier> notifica_;
    QString problema_;
    bool inCorso_ = false, attesaInizio_ = false;
};
} // namespace

std::unique_ptr<MotoreVoce> creaMotoreVoce() { return std::make_unique<VoceSapi>(); }
