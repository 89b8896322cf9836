#include "logica.h"

#include <string.h>

static log_tempo trascorso(log_tempo adesso, log_tempo prima)
{
    return (adesso - prima) & SPD_MASCHERA48;
}

void logica_avvia(logica *l, uint32_t avvio, uint8_t attivi, log_tempo adesso)
{
    memset(l, 0, sizeof *l);
    l->avvio = avvio;
    l->attivi = attivi;
    l->mai = 0xFF;
    for (uint8_t k = 0; k < LOG_CORSIE; ++k)
        l->morto_ms[k] = LOG_TEMPO_MORTO_MS;
    l->ultimo_byte = l->ultima_trama = adesso;
    spd_decodificatore_avvia(&l->dec, l->buf, sizeof l->buf);
}

static void nuovo_passaggio(logica *l, uint8_t k, log_tempo t)
{
    l->agganciati |= (uint8_t)(1u << k);
    ++l->ultimo;
    if (l->quanti == LOG_CODA) {
        /* Full: the oldest goes, and its number leaves a gap the program will see. */
        l->primo = (uint8_t)((l->primo + 1) % LOG_CODA);
        --l->quanti;
    }
    log_voce *v = &l->coda[(l->primo + l->quanti) % LOG_CODA];
    v->numero = l->ultimo;
    v->corsia = k;
    spd_metti48(v->tempo, t);
    ++l->quanti;
}

void logica_linee(logica *l, uint8_t attivi, uint8_t maschera, log_tempo t)
{
    uint8_t cambiati = (uint8_t)((attivi ^ l->attivi) & maschera);
    for (uint8_t k = 0; k < LOG_CORSIE; ++k) {
        uint8_t bit = (uint8_t)(1u << k);
        if (!(cambiati & bit))
            continue;
        /* Quiet time from the last edge of either direction: bounce on closing and on
           opening, however long the line was held, stays one crossing. */
        int quieto = (l->mai & bit)
            || trascorso(t, l->ultimo_fronte[k]) >= (log_tempo)l->morto_ms[k] * LOG_TICK_MS;
        if ((attivi & bit) && quieto)
            nuovo_passaggio(l, k, t);
        l->ultimo_fronte[k] = t;
        l->mai &= (uint8_t)~bit;
    }
    l->attivi = (uint8_t)((l->attivi & ~maschera) | (attivi & maschera));
}

static void torna_classico(logica *l)
{
    l->esteso = 0;
    /* What was latched meanwhile is stale for a classic program. */
    l->agganciati = 0;
}

static uint8_t uscite(const logica *l)
{
    return (uint8_t)(l->luci | (l->rele ? 0x80 : 0));
}

/* Drops the crossings the program has received: numbered `ack` or before. */
static void conferma(logica *l, uint16_t ack)
{
    if ((uint16_t)(l->ultimo - ack) >= 0x8000u)
        return; /* a number never given, e.g. from before a reset */
    while (l->quanti && (uint16_t)(ack - l->coda[l->primo].numero) < 0x8000u) {
        l->primo = (uint8_t)((l->primo + 1) % LOG_CODA);
        --l->quanti;
    }
}

static uint8_t passaggi(logica *l, const spd_prefisso *pre, uint8_t max, uint8_t *out)
{
    spd_passaggi pp;
    pp.p = *pre;
    pp.n = l->quanti < max ? l->quanti : max;
    pp.pendenti = (uint8_t)(l->quanti - pp.n);
    for (uint8_t i = 0; i < pp.n; ++i) {
        const log_voce *v = &l->coda[(l->primo + i) % LOG_CODA];
        pp.v[i].numero = v->numero;
        pp.v[i].corsia = v->corsia;
        pp.v[i].tempo = spd_prendi48(v->tempo);
    }
    return spd_rispondi_passaggi(out, &pp);
}

static uint8_t identita(const logica *l, const spd_prefisso *pre, uint8_t *out)
{
    spd_identita id;
    memset(&id, 0, sizeof id);
    id.p = *pre;
    id.versione = SPD_VERSIONE;
    id.firmware[0] = LOG_FIRMWARE_MAGGIORE;
    id.firmware[1] = LOG_FIRMWARE_MINORE;
    id.firmware[2] = LOG_FIRMWARE_CORREZIONE;
    id.avvio = l->avvio;
    id.tick_al_secondo = LOG_TICK_AL_SECONDO;
    id.corsie = LOG_CORSIE;
    id.capacita = LOG_CODA;
    id.ultimo = l->ultimo;
    id.pendenti = l->quanti;
    id.uscite = uscite(l);
    strcpy(id.nome, LOG_NOME);
    return spd_rispondi_identita(out, &id);
}

static uint8_t richiesta(logica *l, log_tempo adesso, uint8_t *out)
{
    const uint8_t tipo = spd_tipo(&l->dec);
    const uint8_t *p = spd_payload(&l->dec);
    const uint8_t n = spd_lunghezza(&l->dec);
    spd_prefisso pre = { (uint8_t)~l->attivi, adesso };
    static const uint8_t lunghezze[][2] = {
        { SPD_CIAO, 0 }, { SPD_INTERROGA, 3 }, { SPD_USCITE, 2 }, { SPD_TEMPO_MORTO, 3 },
        { SPD_CLASSICO, 0 },
    };

    l->ultima_trama = adesso;
    if (!l->esteso && tipo != SPD_CIAO)
        return spd_rispondi_errore(out, &pre, tipo, SPD_ERR_CLASSICO);
    uint8_t i = 0;
    while (i < sizeof lunghezze / sizeof lunghezze[0] && lunghezze[i][0] != tipo)
        ++i;
    if (i == sizeof lunghezze / sizeof lunghezze[0])
        return spd_rispondi_errore(out, &pre, tipo, SPD_ERR_SCONOSCIUTA);
    if (n != lunghezze[i][1])
        return spd_rispondi_errore(out, &pre, tipo, SPD_ERR_LUNGHEZZA);

    switch (tipo) {
    case SPD_CIAO:
        l->esteso = 1;
        return identita(l, &pre, out);
    case SPD_INTERROGA:
        if (p[2] > SPD_PASSAGGI_MAX)
            break;
        conferma(l, spd_prendi16(p));
        return passaggi(l, &pre, p[2], out);
    case SPD_USCITE:
        if ((p[0] & 0xE0) || p[1] > 1)
            break;
        l->luci = p[0];
        l->rele = p[1];
        return spd_rispondi_fatto(out, &pre, tipo, uscite(l));
    case SPD_TEMPO_MORTO: {
        uint16_t ms = spd_prendi16(p + 1);
        if (ms > SPD_TEMPO_MORTO_MAX_MS)
            break;
        for (uint8_t k = 0; k < LOG_CORSIE; ++k)
            if (p[0] & (1u << k))
                l->morto_ms[k] = ms;
        return spd_rispondi_tempi_morti(out, &pre, l->morto_ms);
    }
    default: /* SPD_CLASSICO */
        torna_classico(l);
        return spd_rispondi_fatto(out, &pre, tipo, uscite(l));
    }
    return spd_rispondi_errore(out, &pre, tipo, SPD_ERR_VALORE);
}

uint8_t logica_byte(logica *l, uint8_t b, log_tempo adesso, uint8_t *out)
{
    l->ultimo_byte = adesso;
    if (!l->esteso && !spd_in_corso(&l->dec) && b != SPD_INIZIO) {
        /* A classic poll, latched: active now, or a crossing began since the last one. */
        out[0] = (uint8_t)~(l->attivi | l->agganciati);
        l->agganciati = 0;
        return 1;
    }
    return spd_ricevi(&l->dec, b) ? richiesta(l, adesso, out) : 0;
}

uint8_t logica_passo(logica *l, log_tempo adesso, uint8_t *out)
{
    if (l->dec.pronta && spd_ancora(&l->dec))
        return richiesta(l, adesso, out);
    if (spd_in_corso(&l->dec) && trascorso(adesso, l->ultimo_byte) >= SPD_SILENZIO_MS * LOG_TICK_MS
        && spd_silenzio(&l->dec))
        return richiesta(l, adesso, out);
    if (l->esteso && trascorso(adesso, l->ultima_trama) >= LOG_ABBANDONO_TICK)
        torna_classico(l);
    return 0;
}
