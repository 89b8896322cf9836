#include "serial/collegamentodispositivo.h"

#include <algorithm>

CollegamentoDispositivo::CollegamentoDispositivo(AscoltoDispositivo &ascolto) : ascolto_(ascolto), esteso_(*this) {}

void CollegamentoDispositivo::ricomincia()
{
    finestra_ = Finestra{};
    sospesi_.clear();
    vuota_ = false;
    buone_ = fiducia; // nothing wrong seen yet
    risposto_ = muto_ = rumoroso_ = false;
    rumori_.clear();
}

void CollegamentoDispositivo::avvia(double ora)
{
    modo_ = Modo::Domanda;
    persi_ = 0;
    ricomincia();
    esteso_.chiedi(ora);
}

void CollegamentoDispositivo::ferma()
{
    modo_ = Modo::Fermo;
    esteso_.ferma();
}

void CollegamentoDispositivo::ricevi(const uint8_t *byte, size_t n, double ora)
{
    if (n == 0) return;
    switch (modo_) {
    case Modo::Domanda:
    case Modo::Esteso:
        esteso_.ricevi(byte, n, ora);
        break;
    case Modo::Classico:
        // Before the first blank: late answers of a classic device to the HELLOs.
        if (!finestra_.aperta) break;
        if (finestra_.byte == 0) finestra_.istante = ora;
        for (size_t i = 0; i < n && finestra_.byte + int(i) < 2; ++i) finestra_.primi[finestra_.byte + i] = byte[i];
        finestra_.byte += int(n);
        break;
    case Modo::Fermo:
        break;
    }
}

std::vector<uint8_t> CollegamentoDispositivo::passo(double ora)
{
    if (modo_ != Modo::Domanda && modo_ != Modo::Esteso) return {};
    std::vector<uint8_t> b = esteso_.passo(ora);
    if (modo_ == Modo::Domanda && esteso_.fase() == ProtocolloEsteso::Fase::Assente) {
        modo_ = Modo::Classico;
        ricomincia();
    }
    return b;
}

// A classic device answers each blank with one byte. What came between two blanks is
// judged when the second goes out: exactly one byte is a reply; none is a silent poll;
// two after a silent poll are that poll's reply, late, and this one's. Anything else
// with more than one byte (wrong speed, noise, a cable fault) is no reply at all, since
// its first byte is as random as the rest. A reply is read as a status only once the
// poll after it has shown the line sound (a burst of noise may begin with a lone byte),
// and after a bad reply only once ten in a row have been well formed. Statuses reach the
// session up to two polls late, stamped with the instant they arrived.
void CollegamentoDispositivo::interrogaClassico(double ora)
{
    if (modo_ != Modo::Classico) return;
    if (finestra_.aperta) {
        const int n = finestra_.byte;
        const bool inRitardo = n == 2 && vuota_;
        const bool cattiva = n >= 2 && !inRitardo;
        if (!cattiva && buone_ >= fiducia)
            for (const auto &[byte, istante] : sospesi_) ascolto_.stato(byte, istante);
        sospesi_.clear();
        buone_ = cattiva ? 0 : std::min(buone_ + 1, fiducia);
        if (!cattiva)
            for (int i = 0; i < n; ++i) sospesi_.emplace_back(finestra_.primi[i], finestra_.istante);
        vuota_ = n == 0;
        esito(n == 0 ? Esito::Vuota : cattiva ? Esito::Cattiva : Esito::Buona, ora);
    }
    finestra_ = Finestra{};
    finestra_.aperta = true;
}

void CollegamentoDispositivo::esito(Esito e, double ora)
{
    if (e != Esito::Vuota) {
        risposto_ = true;
        ultimaRisposta_ = ora;
        if (muto_) {
            muto_ = false;
            ascolto_.avviso({AvvisoDispositivo::Tipo::Risponde});
        }
    } else if (risposto_ && !muto_ && ora - ultimaRisposta_ >= silenzio) {
        // Only a device that answered can stop answering: an empty port says nothing.
        muto_ = true;
        ascolto_.riposo();
        ascolto_.avviso({AvvisoDispositivo::Tipo::Silenzio});
    }
    if (e == Esito::Cattiva) {
        ultimoRumore_ = ora;
        rumori_.push_back(ora);
        while (ora - rumori_.front() > finestraRumore) rumori_.pop_front();
        if (!rumoroso_ && int(rumori_.size()) >= rumoriMassimi) {
            rumoroso_ = true;
            // Classic lamps show statuses no longer read; extended frames stay checked.
            if (modo_ == Modo::Classico) ascolto_.riposo();
            ascolto_.avviso({AvvisoDispositivo::Tipo::Rumore});
        }
    } else if (e == Esito::Buona && rumoroso_ && ora - ultimoRumore_ >= quieteRumore) {
        rumoroso_ = false;
        ascolto_.avviso({AvvisoDispositivo::Tipo::RumoreFinito});
    }
}

bool CollegamentoDispositivo::impostaUscite(uint8_t luci, bool rele)
{
    if (modo_ != Modo::Esteso) return false;
    esteso_.uscite(luci, rele);
    return true;
}

void CollegamentoDispositivo::identificato(const spd_identita &id, bool riavviato)
{
    const bool primo = modo_ == Modo::Domanda;
    modo_ = Modo::Esteso;
    // The device merely timed out and was asked again: nothing to tell.
    if (!primo && !riavviato) return;
    AvvisoDispositivo a{primo ? AvvisoDispositivo::Tipo::Esteso : AvvisoDispositivo::Tipo::Riavviato};
    a.nome = id.nome;
    a.nome.erase(a.nome.find_last_not_of(' ') + 1);
    a.firmware = {id.firmware[0], id.firmware[1], id.firmware[2]};
    ascolto_.avviso(a);
}

void CollegamentoDispositivo::linee(uint8_t stato) { ascolto_.linee(stato); }

void CollegamentoDispositivo::passaggio(int corsia, double istante) { ascolto_.passaggio(corsia, istante); }

void CollegamentoDispositivo::persi(int quanti)
{
    persi_ += quanti;
    AvvisoDispositivo a{AvvisoDispositivo::Tipo::Persi};
    a.quanti = persi_;
    ascolto_.avviso(a);
}

void CollegamentoDispositivo::scambio(bool risposto, bool rumore, double ora)
{
    esito(rumore ? Esito::Cattiva : risposto ? Esito::Buona : Esito::Vuota, ora);
}
