#include "serial/protocolloesteso.h"

#include <algorithm>

namespace {
constexpr double infinito = std::numeric_limits<double>::infinity();
// From the request's last byte to the reply's first, on the device.
constexpr double lavoroDispositivo = 0.00025;
constexpr double attesaRisposta = 0.1; // beyond the bytes on the wire either way
constexpr double correzioneMassima = 0.0001;

template <class F, class... A> std::vector<uint8_t> scritta(F scrivi, A... a)
{
    uint8_t b[SPD_TRAMA_MAX];
    return std::vector<uint8_t>(b, b + scrivi(b, a...));
}
} // namespace

ProtocolloEsteso::ProtocolloEsteso(Eventi &eventi) : eventi_(eventi)
{
    spd_decodificatore_avvia(&dec_, memoria_, sizeof memoria_);
}

void ProtocolloEsteso::impostaVelocita(int baud)
{
    if (baud > 0) baud_ = baud;
}

void ProtocolloEsteso::chiedi(double ora)
{
    fase_ = Fase::Domanda;
    primoCiao_ = prossimoCiao_ = ora + attesaIniziale;
    ciaoInviati_ = 0;
    inCorso_.reset();
    ciaoDovuto_ = false;
    conosciuto_ = false;
    usciteDaInviare_.reset();
    usciteImpostate_ = {0, 0};
    spd_decodificatore_avvia(&dec_, memoria_, sizeof memoria_);
}

void ProtocolloEsteso::ferma()
{
    fase_ = Fase::Ferma;
    inCorso_.reset();
}

void ProtocolloEsteso::uscite(uint8_t luci, bool rele)
{
    usciteImpostate_ = {uint8_t(luci & 0x1F), uint8_t(rele ? 1 : 0)};
    usciteDaInviare_ = usciteImpostate_;
}

double ProtocolloEsteso::prossimo() const
{
    switch (fase_) {
    case Fase::Domanda:
        // The next HELLO, or the end of the wait for an answer to the last one.
        return prossimoCiao_;
    case Fase::Attiva:
        return inCorso_ ? inCorso_->scadenza : prossimaRichiesta_;
    case Fase::Ferma:
    case Fase::Assente:
        break;
    }
    return infinito;
}

std::vector<uint8_t> ProtocolloEsteso::invia(std::vector<uint8_t> byte, uint8_t tipo, double ora)
{
    // The longest reply to anything asked here is a full frame.
    inCorso_ = Richiesta{tipo, ora, ora + secondiSulFilo(byte.size() + SPD_TRAMA_MAX) + attesaRisposta, byte.size()};
    return byte;
}

// The bytes of a frame that never finished are given up; they may still hide a frame.
// The device abandons a request after 10 ms of silence; here a reply, which may reach
// the program in pieces as the system and a USB adapter deliver them, is given up only
// when the time for it has run out.
void ProtocolloEsteso::abbandona(double ora)
{
    if (spd_in_corso(&dec_) && spd_silenzio(&dec_)) {
        do trama(ora);
        while (spd_ancora(&dec_));
    }
}

std::vector<uint8_t> ProtocolloEsteso::passo(double ora)
{
    if (fase_ == Fase::Domanda) {
        if (ora < primoCiao_) return {};
        if (ciaoInviati_ < ciaoMassimi && prossimoCiao_ - primoCiao_ < durataDomanda) {
            if (ora < prossimoCiao_) return {};
            if (ciaoInviati_ == 0) spd_decodificatore_avvia(&dec_, memoria_, sizeof memoria_); // what came before is drained
            else abbandona(ora);
            ++ciaoInviati_;
            prossimoCiao_ += intervalloCiao;
            return invia(scritta(spd_chiedi_ciao), SPD_CIAO, ora);
        }
        // The last HELLO had its time to be answered: a device of the classic protocol.
        if (ora >= prossimoCiao_) fase_ = Fase::Assente;
        return {};
    }
    if (fase_ != Fase::Attiva) return {};
    if (inCorso_ && ora >= inCorso_->scadenza) {
        abbandona(ora); // what it held may yet have been the reply
        if (inCorso_) {
            // No answer: the same request (the same ack) goes again; the device resends.
            scambio(false, ora);
            inCorso_.reset();
            senzaCampione_ = true;
            prossimaRichiesta_ = ora;
        }
    }
    if (inCorso_ || ora < prossimaRichiesta_) return {};
    prossimaRichiesta_ = ora + periodo;
    if (ciaoDovuto_) return invia(scritta(spd_chiedi_ciao), SPD_CIAO, ora);
    if (usciteDaInviare_) {
        const auto [luci, rele] = *usciteDaInviare_;
        usciteDaInviare_.reset();
        return invia(scritta(spd_chiedi_uscite, luci, rele), SPD_USCITE, ora);
    }
    return invia(scritta(spd_chiedi_interroga, ack_, uint8_t(SPD_PASSAGGI_MAX)), SPD_INTERROGA, ora);
}

void ProtocolloEsteso::ricevi(const uint8_t *byte, size_t n, double ora)
{
    if (fase_ == Fase::Ferma || fase_ == Fase::Assente) return;
    // Before the first HELLO, whatever comes is drained.
    if (fase_ == Fase::Domanda && ora < primoCiao_) return;
    ricevuti_ += n;
    for (size_t i = 0; i < n; ++i)
        if (spd_ricevi(&dec_, byte[i])) {
            do trama(ora);
            while (spd_ancora(&dec_));
        }
}

// A valid frame is at the front of the decoder.
void ProtocolloEsteso::trama(double ora)
{
    const uint8_t tipo = spd_tipo(&dec_);
    const uint8_t *p = spd_payload(&dec_);
    const uint8_t n = spd_lunghezza(&dec_);
    validi_ += SPD_TRAMA(n);
    if (fase_ == Fase::Domanda) {
        // Only an identification counts while asking; every other byte is ignored.
        spd_identita id;
        if (tipo == SPD_R_IDENTITA && spd_leggi_identita(p, n, &id)) identita(id, ora);
        return;
    }
    if (fase_ != Fase::Attiva) return;
    if (tipo == SPD_R_IDENTITA) {
        spd_identita id;
        if (spd_leggi_identita(p, n, &id)) identita(id, ora);
        return;
    }
    spd_prefisso pre;
    if (!spd_leggi_prefisso(p, n, &pre)) return;
    const uint8_t richiesta = inCorso_ ? inCorso_->tipo : 0;
    if (inCorso_) {
        scambio(true, ora);
        if (!senzaCampione_) campione(pre.tempo, SPD_TRAMA(n), ora);
        senzaCampione_ = false;
        inCorso_.reset();
    }
    switch (tipo) {
    case SPD_R_PASSAGGI: {
        spd_passaggi pp;
        if (!spd_leggi_passaggi(p, n, &pp)) return;
        riferimento_ = continuo(pre.tempo);
        riferimento48_ = pre.tempo;
        eventi_.linee(pre.stato);
        passaggi(pp);
        // More are waiting on the device: ask at once.
        if (pp.pendenti) prossimaRichiesta_ = ora;
        return;
    }
    case SPD_R_ERRORE:
        // The device is in the classic protocol (it timed out, or it restarted): identify again.
        if (n >= SPD_PREFISSO + 2 && p[SPD_PREFISSO + 1] == SPD_ERR_CLASSICO) {
            ciaoDovuto_ = true;
            prossimaRichiesta_ = ora;
        } else if (richiesta == SPD_USCITE) {
            usciteDaInviare_.reset();
        }
        break;
    default:
        break;
    }
    eventi_.linee(pre.stato);
}

void ProtocolloEsteso::identita(const spd_identita &id, double ora)
{
    const bool primo = fase_ == Fase::Domanda || !conosciuto_;
    const bool riavviato = !primo && id.avvio != avvio_;
    fase_ = Fase::Attiva;
    ciaoDovuto_ = false;
    prossimaRichiesta_ = ora;
    if (primo || riavviato) {
        // A new clock: its time starts from this reply.
        riferimento48_ = id.p.tempo;
        riferimento_ = static_cast<int64_t>(id.p.tempo);
        mappa_.nuovaOrigine();
        mappa_.impostaNominale(id.tick_al_secondo);
        ultimoPerCorsia_ = {};
    }
    if (primo) {
        ack_ = id.ultimo; // what happened before the program came is not this session's
    } else if (riavviato) {
        ack_ = 0;         // every crossing since the restart is wanted
        // A restart put the outputs off: they go back as they were set.
        if (usciteImpostate_ != std::pair<uint8_t, uint8_t>{0, 0}) usciteDaInviare_ = usciteImpostate_;
    }
    conosciuto_ = true;
    avvio_ = id.avvio;
    if (inCorso_ && !senzaCampione_) campione(id.p.tempo, SPD_TRAMA(uint8_t(SPD_IDENTITA_PAYLOAD)), ora);
    if (inCorso_) scambio(true, ora);
    inCorso_.reset();
    senzaCampione_ = false;
    riferimento_ = continuo(id.p.tempo);
    riferimento48_ = id.p.tempo;
    eventi_.identificato(id, riavviato);
    eventi_.linee(id.p.stato);
}

void ProtocolloEsteso::passaggi(const spd_passaggi &pp)
{
    for (uint8_t i = 0; i < pp.n; ++i) {
        const spd_passaggio &v = pp.v[i];
        const uint16_t avanti = uint16_t(v.numero - ack_);
        if (avanti == 0 || avanti >= 0x8000) continue; // received already
        if (avanti > 1) eventi_.persi(avanti - 1);
        ack_ = v.numero;
        if (v.corsia < 8) eventi_.passaggio(v.corsia, istante(v.corsia, continuo(v.tempo)));
    }
}

// A lap is the difference of the device's stamps at the rate fitted now. Each crossing is
// placed from its lane's previous one by that difference; the line's own moves (it is
// redrawn at every poll) reach the lane at most a tenth of a millisecond per lap, so
// they bend no lap while the lane keeps to the program's clock.
double ProtocolloEsteso::istante(int corsia, int64_t tick)
{
    const double mappato = mappa_.istante(tick);
    std::optional<std::pair<int64_t, double>> &prima = ultimoPerCorsia_[corsia];
    double t = mappato;
    if (prima && tick > prima->first && tick - prima->first < MappaOrologio::finestra * mappa_.tickAlSecondo()) {
        const double catena = prima->second + (tick - prima->first) / mappa_.tickAlSecondo();
        t = catena + std::clamp(mappato - catena, -correzioneMassima, correzioneMassima);
    }
    prima.emplace(tick, t);
    return t;
}

void ProtocolloEsteso::campione(uint64_t tempo, size_t lunghezzaRisposta, double ora)
{
    // The device read its clock once the request was in, and answered right after.
    const double da = inCorso_->inviata + secondiSulFilo(inCorso_->lunghezza);
    const double a = ora - secondiSulFilo(lunghezzaRisposta) - lavoroDispositivo;
    // Complete before the request was written: a reply to another one.
    if (a < inCorso_->inviata - 0.001) return;
    mappa_.campione(continuo(tempo), da, a);
}

// One request is over. Bytes since the previous one that made no valid frame (junk after
// a reply included) are noise on the line; a reply that is merely late is not.
void ProtocolloEsteso::scambio(bool risposto, double ora)
{
    // A frame still arriving is no noise yet: its bytes count with the next request.
    const size_t sospesi = spd_in_corso(&dec_) ? size_t(dec_.n - dec_.pronta) : 0;
    eventi_.scambio(risposto, ricevuti_ > validi_ + sospesi, ora);
    ricevuti_ = sospesi;
    validi_ = 0;
}

// A 48-bit device time as a count that does not wrap, from the latest reply's.
int64_t ProtocolloEsteso::continuo(uint64_t tempo48) const
{
    int64_t d = static_cast<int64_t>((tempo48 - riferimento48_) & SPD_MASCHERA48);
    if (d >= (int64_t(1) << 47)) d -= int64_t(1) << 48;
    return riferimento_ + d;
}
