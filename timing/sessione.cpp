#include "timing/sessione.h"

#include "comune/messaggi.h"
#include "timing/archivio.h"
#include "timing/globale.h"
#include "timing/orologio.h"
#include "timing/tempotesto.h"

#include <utility>

Sessione::Sessione(Orologio &orologio, Messaggi &messaggi, ArchivioGiri &archivio, QObject *parent)
    : QObject(parent), orologio_(orologio), messaggi_(messaggi), archivio_(archivio)
{
    for (int i = 0; i < numCorsie; ++i) {
        corsie_[i].nome = QStringLiteral("Pilota %1:").arg(i + 1);
        corsie_[i].captionBtn = QString::number(i + 1);
    }
}

void Sessione::impostaPilota(int i, const QString &nome)
{
    if (i < 0 || i >= numCorsie) return;
    corsie_[i].nome = nome;
    corsie_[i].inUso = true;
    emit cambiato();
}

void Sessione::inizializza()
{
    QVector<int> corsie;
    while (corsie.size() < numCorsie && corsie_[corsie.size()].inUso) corsie.append(int(corsie.size()));
    usa(corsie);
}

void Sessione::inizializza(quint8 maschera)
{
    QVector<int> corsie;
    for (int i = 0; i < numCorsie; ++i) {
        corsie_[i].inUso = maschera & (1u << i);
        if (corsie_[i].inUso) corsie.append(i);
    }
    usa(corsie);
}

void Sessione::usa(const QVector<int> &corsie)
{
    for (int i : corsie) {
        corsie_[i].numGiri = archivio_.contaGiri(corsie_[i].nome);
        corsie_[i].giriPrecedenti = corsie_[i].numGiri;
    }
    inUso_ = corsie;
    numPiloti_ = int(corsie.size());
    anteprimaTasti_ = true;
    ascoltaPrimaDelVia();
    emit cambiato();
}

void Sessione::ricomincia()
{
    for (int i = 0; i < numCorsie; ++i) {
        corsie_[i] = Corsia{};
        corsie_[i].nome = QStringLiteral("Pilota %1:").arg(i + 1);
        corsie_[i].captionBtn = QString::number(i + 1);
    }
    inUso_.clear();
    numPiloti_ = 0;
    pilotaCorrente_ = 0;
    startAbilitato_ = true;
    pausaVisibile_ = riprendiVisibile_ = false;
    timer1Attivo_ = true;
    tempotot_ = QStringLiteral("00:00");
    prova_.clear();
    inizioSessione_ = inizioPausa_ = tempoPausa_ = 0;
    manche_ = 0;
    // giroVeloce_ stays: it is the evening's fastest lap, as the file holds it.
    emit cambiato();
}

void Sessione::impostaGara(bool gara)
{
    gara_ = gara;
    ascoltaPrimaDelVia();
    emit cambiato();
}

// Before a race's start the lanes in use take crossings, to tell false starts.
void Sessione::ascoltaPrimaDelVia()
{
    if (!startAbilitato_) return;
    for (int i : std::as_const(inUso_)) corsie_[i].btnAbilitato = gara_;
}

void Sessione::start()
{
    if (gara_) {
        if (startAbilitato_) emit richiestaStart();
        return;
    }
    avvia();
}

void Sessione::via() { avvia(); }

void Sessione::avvia()
{
    // Only the first Start counts: a second one would complete laps nobody stores.
    if (!startAbilitato_) return;
    const double ora = orologio_.adesso();
    for (int i : std::as_const(inUso_)) {
        Corsia &c = corsie_[i];
        c.ultimoSegnale = ora;
        c.btnAbilitato = true;
        c.fineAbilitato = true;
        fineGiro(i, ora);
    }
    startAbilitato_ = false;
    pausaVisibile_ = true;
    inizioSessione_ = ora;
    emit cambiato();
    emit avviata(ora);
}

void Sessione::pausa()
{
    if (gara_) {
        if (!startAbilitato_ && !riprendiVisibile_) emit richiestaPausa();
        return;
    }
    sospendi();
}

void Sessione::riprendi()
{
    if (gara_) {
        if (riprendiVisibile_) emit richiestaRipresa();
        return;
    }
    riattiva();
}

void Sessione::neutralizza()
{
    if (startAbilitato_ || riprendiVisibile_) return;
    for (int i : std::as_const(inUso_))
        if (corsie_[i].inCorsa) corsie_[i].neutralizzato = true;
    sospendi();
}

void Sessione::fineNeutralizzazione() { riattiva(); }

void Sessione::sospendi()
{
    if (startAbilitato_ || riprendiVisibile_) return;
    inizioPausa_ = orologio_.adesso();
    prova_ = QString::number(inizioPausa_);
    timer1Attivo_ = false;
    riprendiVisibile_ = true;
    for (int i : std::as_const(inUso_)) {
        corsie_[i].btnAbilitato = false;
        corsie_[i].fineAbilitato = false;
    }
    emit cambiato();
}

void Sessione::riattiva()
{
    if (!riprendiVisibile_) return;
    tempoPausa_ += orologio_.adesso() - inizioPausa_;
    prova_ = QString::number(tempoPausa_);
    timer1Attivo_ = true;
    riprendiVisibile_ = false;
    // A lane ended by Stop stays ended; one ended by the session limit takes marks again
    // (its next mark re-arms it, as at Start).
    for (int i : std::as_const(inUso_)) {
        Corsia &c = corsie_[i];
        if (c.fermato != 1) {
            c.btnAbilitato = true;
            c.fineAbilitato = true;
        }
    }
    emit cambiato();
}

void Sessione::stop(int i)
{
    if (i < 0 || i >= numCorsie || !corsie_[i].fineAbilitato) return;
    const QString testo = QStringLiteral("Attenzione: questo comando\r\n"
                                         "bloccherà definitivamente i tempi del pilota.\r\n"
                                         "Vuoi continuare?");
    const auto risposta = messaggi_.mostra(testo, Messaggi::Pulsanti::OkAnnulla,
                                           Messaggi::Icona::Esclamazione,
                                           QStringLiteral("Stop Pilota"), 1);
    const bool ok = risposta == Messaggi::Risposta::Ok;
    corsie_[i].fermato = ok ? 1 : 2;
    if (ok) {
        finebottone(i);
        corsie_[i].fineAbilitato = false;
    }
    emit cambiato();
}

void Sessione::finebottone(int i)
{
    corsie_[i].btnAbilitato = false;
    corsie_[i].inCorsa = false;
    emit cambiato();
}

void Sessione::marca(int i) { marca(i, orologio_.adesso()); }

void Sessione::marca(int i, double istante, bool stampato)
{
    if (i < 0 || i >= numCorsie) return;
    if (startAbilitato_ && gara_ && corsie_[i].inUso) emit passaggioPrimaDelVia(i, istante, stampato);
    if (startAbilitato_ || riprendiVisibile_) return;
    pilotaCorrente_ = qRound(corsie_[i].captionBtn.toDouble() - 1);
    Corsia &c = corsie_[i];
    // A lane that is not armed takes no lap: there is nothing to complete or store.
    PassaggioGiro passaggio;
    bool ignorato = false;
    if (istante - c.ultimoSegnale > lockout_ && c.inCorsa) {
        fineGiro(i, istante, &passaggio);
        passaggio.stampato = stampato;
        memorizza(istante, stampato);
        c.ultimoSegnale = istante;
    } else if (istante - c.ultimoSegnale > lockout_ && c.btnAbilitato) {
        // A lane ended by the session limit and enabled again: this mark starts its next
        // lap; there is no lap to store (the one before is stored already).
        fineGiro(i, istante);
        c.ultimoSegnale = istante;
    } else {
        ignorato = c.inCorsa;
    }
    // The grids follow the lap store's commits; nothing here waits for them.
    prova_ = QString::number(istante - c.ultimoSegnale);
    emit cambiato();
    if (passaggio.corsia >= 0) emit giroSegnato(passaggio);
    else if (ignorato) emit passaggioIgnorato(i, istante);
}

void Sessione::fineGiro(int i, double ora, PassaggioGiro *esito)
{
    Corsia &c = corsie_[i];
    c.tempoRosso = false;
    if (!c.inCorsa) {
        c.inCorsa = true;
        c.neutralizzato = false;
        c.ultimoPassaggio = ora - tempoPausa_; // session time, as every crossing: a lane armed after a pause
        return;
    }
    // A lap across a track call is counted, but is no best lap of the driver nor of the session.
    const bool valido = !std::exchange(c.neutralizzato, false);
    c.numGiri += 1;
    const double passaggio = ora - tempoPausa_;
    // The difference of two full-precision instants, kept in single precision as stored.
    const float giro = static_cast<float>(passaggio - c.ultimoPassaggio);
    if (c.tempiGiro.size() <= c.numGiri) c.tempiGiro.resize(c.numGiri + 1);
    c.tempiGiro[c.numGiri] = giro;
    if (valido && c.migliorGiro == 0) c.migliorGiro = giro;
    c.ultimoPassaggio = passaggio;
    // Worth telling only against a lap that came before: the first is trivially the best.
    const bool personale = valido && c.migliorGiroMostrato != 0 && giro < c.migliorGiroMostrato;
    const float recordPrima = giroVeloce_;
    c.tempolast = testoTempo(giro);
    c.vel = avrSpeed(giro, globale().lunghezzaPista) + QStringLiteral(" Km/h");
    if (valido && (c.migliorGiroMostrato == 0 || giro < c.migliorGiroMostrato)) {
        c.bestlapper = c.tempolast;
        c.migliorGiroMostrato = giro;
    }
    if (valido && giro <= c.migliorGiro) {
        c.migliorGiro = giro;
        if (giroVeloce_ == 0 || giroVeloce_ > c.migliorGiro) {
            giroVeloce_ = c.migliorGiro;
            archivio_.scriviGiroVeloce(giroVeloce_);
        }
    }
    if (esito) {
        esito->corsia = i;
        esito->pilota = c.nome;
        esito->giro = c.numGiri;
        esito->tempo = giro;
        esito->istante = ora;
        esito->migliorePersonale = personale;
        esito->recordSessione = recordPrima != 0 && giroVeloce_ < recordPrima;
    }
}

void Sessione::memorizza(double istante, bool stampato)
{
    const Corsia &c = corsie_[pilotaCorrente_];
    GiroCompletato g;
    g.pilota = c.nome;
    g.giroN = c.numGiri;
    g.tempoGiro = c.tempiGiro.value(c.numGiri);
    g.tempo = c.tempolast;
    g.pista = globale().nomePista;
    // The date and time of the crossing itself, which a device may have stamped a while ago.
    g.quando = orologio_.dataOra().addMSecs(-qRound64((orologio_.adesso() - istante) * 1000.0));
    g.istante = istante;
    g.stampato = stampato;
    g.manche = manche_;
    archivio_.memorizza(g);
}

void Sessione::tick()
{
    if (!timer1Attivo_) return;
    const double ora = orologio_.adesso();
    for (Corsia &c : corsie_) {
        if (!c.inCorsa) continue;
        const float corrente = static_cast<float>((ora - c.ultimoPassaggio) - tempoPausa_);
        if (c.migliorGiro != 0 && corrente >= c.migliorGiro) c.tempoRosso = true;
        c.tempo = testoTempo(corrente);
    }
    double trascorso = 0;
    if (inizioSessione_ != 0) {
        trascorso = (ora - inizioSessione_) - tempoPausa_;
        tempotot_ = testoTempoSessione(static_cast<float>(trascorso));
    }
    const double limite = valoreIniziale(settempo_) * 60.0;
    const bool avviata = inizioSessione_ != 0;
    // A race heat ends by its finish rules, never by the session limit.
    if (avviata && !gara_) emit tempoSessione(trascorso, limite);
    if (!gara_ && trascorso >= limite) {
        for (int j : std::as_const(inUso_)) finebottone(j);
        inizioSessione_ = 0;
    }
    emit cambiato();
    if (avviata && inizioSessione_ == 0) emit terminata(ora);
}

void Sessione::impostaSettempo(const QString &testo)
{
    settempo_ = testo;
}

bool Sessione::carattereDigitato(const QString &testo, Qt::KeyboardModifiers mod)
{
    return carattereDigitato(testo, mod, orologio_.adesso());
}

bool Sessione::carattereDigitato(const QString &testo, Qt::KeyboardModifiers mod, double istante)
{
    if (testo.size() != 1 || (mod & (Qt::AltModifier | Qt::ControlModifier | Qt::MetaModifier)))
        return false;
    const int k = testo[0].unicode() - '1';
    if (k < 0 || k >= numCorsie || !corsie_[k].btnAbilitato) return false;
    marca(k, istante);
    return true;
}

bool Sessione::tastoGiu(int key, Qt::KeyboardModifiers mod)
{
    const Qt::KeyboardModifiers altri = mod & ~Qt::AltModifier;
    if (!(mod & Qt::AltModifier) || altri != Qt::NoModifier) return false;
    const int k = key - Qt::Key_1;
    if (k < 0 || k > 3 || !corsie_[k].inUso || !startAbilitato_) return false;
    start();
    return true;
}

void Sessione::azzeraTempi()
{
    for (int i : std::as_const(inUso_)) {
        Corsia &c = corsie_[i];
        c.numGiri = 0;
        c.giriPrecedenti = 0;
        c.migliorGiro = 100;
        c.tempo = QStringLiteral("00:00,000");
        c.vel = QStringLiteral("0 Km/h");
        c.tempoSfondoPulsante = true;
    }
    giroVeloce_ = 0;
    emit cambiato();
}

void Sessione::rileggiGiri()
{
    for (int i : std::as_const(inUso_)) {
        Corsia &c = corsie_[i];
        c.numGiri = archivio_.contaGiri(c.nome);
        c.giriPrecedenti = c.numGiri;
        c.tempiGiro.clear(); // this window's laps are not in that file
    }
    emit cambiato();
}

void Sessione::impostaLockout(double secondi)
{
    lockout_ = secondi;
    emit cambiato();
}

void Sessione::applicaCorrezione(const CorrezioneGiri &correzione)
{
    const auto tolto = [&](float t) { return t != 0 && correzione.tempiTolti.contains(t); };
    const int numGiri = correzione.giri.isEmpty() ? 0 : correzione.giri.lastKey();
    for (int i : std::as_const(inUso_)) {
        Corsia &c = corsie_[i];
        if (c.nome != correzione.pilota) continue;
        const bool avevaGiri = c.numGiri > c.giriPrecedenti;
        // A lap of an earlier session that is gone moves this session's first lap down too.
        if (correzione.giroTolto > 0 && correzione.giroTolto <= c.giriPrecedenti) --c.giriPrecedenti;
        c.numGiri = numGiri;
        c.giriPrecedenti = qBound(0, c.giriPrecedenti, numGiri);
        // Only this session's laps have a slot, as when they were timed.
        c.tempiGiro = QVector<float>(numGiri + 1, 0.0f);
        float migliore = 0;
        for (auto g = correzione.giri.constBegin(); g != correzione.giri.constEnd(); ++g) {
            if (g.key() <= c.giriPrecedenti) continue;
            c.tempiGiro[g.key()] = g.value();
            if (migliore == 0 || g.value() < migliore) migliore = g.value();
        }
        if (numGiri > c.giriPrecedenti) {
            const float ultimo = c.tempiGiro[numGiri];
            c.tempolast = testoTempo(ultimo);
            c.vel = avrSpeed(ultimo, globale().lunghezzaPista) + QStringLiteral(" Km/h");
        } else if (avevaGiri) {
            c.tempolast = QStringLiteral("00:00,000");
            c.vel = QStringLiteral("0 Km/h");
        }
        // Best laps change only when the lap they held is gone.
        if (tolto(c.migliorGiro)) c.migliorGiro = migliore;
        if (tolto(c.migliorGiroMostrato)) {
            c.migliorGiroMostrato = migliore;
            c.bestlapper = migliore != 0 ? testoTempo(migliore) : QStringLiteral("00:00,000");
        }
    }
    if (tolto(giroVeloce_)) giroVeloce_ = correzione.giroPiuVeloce;
    emit cambiato();
}

void Sessione::riallineaGiri(const QHash<QString, int> &ultimi)
{
    for (int i : std::as_const(inUso_)) {
        Corsia &c = corsie_[i];
        const int spostamento = ultimi.value(c.nome) - c.numGiri;
        if (spostamento == 0) continue;
        // This session's laps keep their times under their new numbers; those the file lost go.
        QVector<float> tempi(c.numGiri + spostamento + 1, 0.0f);
        for (int k = c.giriPrecedenti + 1; k <= c.numGiri && k < c.tempiGiro.size(); ++k)
            if (k + spostamento > 0) tempi[k + spostamento] = c.tempiGiro[k];
        c.tempiGiro = tempi;
        c.numGiri += spostamento;
        c.giriPrecedenti = qMax(0, c.giriPrecedenti + spostamento);
    }
    emit cambiato();
}
